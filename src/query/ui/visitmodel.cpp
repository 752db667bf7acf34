#include "query/ui/visitmodel.h"

#include "db/error.h"
#include "core/modutarnxt.h"

namespace qh::query::ui {

VisitTableModel::VisitTableModel(QObject *parent) : QAbstractTableModel(parent) {}

QStringList VisitTableModel::headers()
{
    return {QStringLiteral("病历编号"), QStringLiteral("诊断科室"), QStringLiteral("诊断时间"),
            QStringLiteral("血压"),     QStringLiteral("脉搏"),     QStringLiteral("呼吸"),
            QStringLiteral("病症情况"), QStringLiteral("治疗方案"), QStringLiteral("治疗处方"),
            QStringLiteral("治疗医师")};
}

int VisitTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int VisitTableModel::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : GridColumns; }

void VisitTableModel::setRows(std::vector<qint64> rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    m_blocks.clear();
    m_order.clear();
    m_failed = false;
    endResetModel();
}

const std::vector<GridRow> *VisitTableModel::block(qsizetype b) const
{
    if (auto it = m_blocks.find(b); it != m_blocks.end())
        return &it->second;
    if (m_failed)
        return nullptr;
    try {
        auto s = Modutarnxt::clinicStore().open();
        auto lines = RecordQuery::fetchRows(s, m_rows, b * BlockRows, BlockRows);
        if (m_order.size() >= KeptBlocks) {
            m_blocks.erase(m_order.front());
            m_order.pop_front();
        }
        m_order.push_back(b);
        return &(m_blocks[b] = std::move(lines));
    } catch (const DbError &) {
        m_failed = true; // the cells stay empty; the next search tries again
        return nullptr;
    }
}

const GridRow *VisitTableModel::line(int row) const
{
    if (row < 0 || row >= rowCount())
        return nullptr;
    const auto *lines = block(row / BlockRows);
    const size_t i = size_t(row % BlockRows);
    if (!lines || i >= lines->size() || (*lines)[i].missing)
        return nullptr;
    return &(*lines)[i];
}

QVariant VisitTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    const GridRow *g = line(index.row());
    if (!g)
        return QString();
    QString text = g->cells[size_t(index.column())];
    if (role == Qt::DisplayRole) // a long text shows on its one line
        text.replace(QStringLiteral("\r\n"), QStringLiteral(" ")).replace(u'\n', u' ').replace(u'\r', u' ');
    return text;
}

QVariant VisitTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= GridColumns)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole)
        return headers().at(section);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    return {};
}

} // namespace qh::query::ui
