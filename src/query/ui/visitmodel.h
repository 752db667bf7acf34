#pragma once
// The result grid's model: it holds only the row ids the search found (eight bytes a visit) and
// reads the lines of the rows the view shows, a block at a time, keeping a bounded number of
// blocks. A search matching 100,000 visits therefore builds no item per cell and holds no text
// of rows nobody looked at.
#include "query/recordquery.h"

#include <QAbstractTableModel>
#include <deque>
#include <unordered_map>

namespace qh::query::ui {

class VisitTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit VisitTableModel(QObject *parent = nullptr);

    // The header row: "<病历编号|<诊断科室|..." (every column left-aligned).
    static QStringList headers();

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Shows the rows of a search (empty: the header row only).
    void setRows(std::vector<qint64> rows);
    void clear() { setRows({}); }
    // The line of a row, read when needed; nothing when it could not be read.
    const GridRow *line(int row) const;

    static constexpr int BlockRows = 128;
    static constexpr size_t KeptBlocks = 64;

private:
    const std::vector<GridRow> *block(qsizetype b) const;

    std::vector<qint64> m_rows;
    mutable std::unordered_map<qsizetype, std::vector<GridRow>> m_blocks;
    mutable std::deque<qsizetype> m_order; // blocks read, oldest first
    mutable bool m_failed = false;         // a read failed: stop trying until the next search
};

} // namespace qh::query::ui
