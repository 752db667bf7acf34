// The sheet of qh::Spreadsheet: cells kept row by row, number formats, values read back, saving
// and streaming. The file itself is written by spreadsheetwriter.cpp, the charts by
// spreadsheetchart.cpp; column widths are measured by spreadsheetwidths.cpp.
#include "core/spreadsheetwriter_p.h"
#include "core/modutarnxt.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <algorithm>
#include <memory>
#include <utility>

namespace qh {

namespace {

[[noreturn]] void misuse(const QString &what)
{
    throw DbError(err::Misuse, QStringLiteral("表格单元 %1 无效。").arg(what));
}

} // namespace

std::optional<CellRef> parseCellAddress(const QString &address)
{
    static const QRegularExpression re(QStringLiteral(R"(^\s*\$?([A-Za-z]{1,3})\$?([0-9]{1,7})\s*$)"));
    const auto m = re.match(address);
    if (!m.hasMatch())
        return std::nullopt;
    int col = 0;
    for (QChar c : m.captured(1).toUpper())
        col = col * 26 + (c.unicode() - 'A' + 1);
    const int row = m.captured(2).toInt();
    if (row < 1 || row > SheetMaxRows || col < 1 || col > SheetMaxCols)
        return std::nullopt;
    return CellRef{row, col};
}

std::optional<std::pair<CellRef, CellRef>> parseCellRange(const QString &range)
{
    const QStringList parts = range.split(u':');
    if (parts.size() > 2)
        return std::nullopt;
    const auto a = parseCellAddress(parts.first());
    const auto b = parseCellAddress(parts.last());
    if (!a || !b)
        return std::nullopt;
    return std::pair{CellRef{qMin(a->row, b->row), qMin(a->col, b->col)},
                     CellRef{qMax(a->row, b->row), qMax(a->col, b->col)}};
}

QString columnLetters(int col)
{
    QString s;
    while (col > 0) {
        const int r = (col - 1) % 26;
        s.prepend(QChar(u'A' + r));
        col = (col - 1) / 26;
    }
    return s;
}

Spreadsheet::Spreadsheet()
{
    m_formats.push_back(FormatInfo{});
    m_formatIndex.insert(QString(), 0);
}
Spreadsheet::~Spreadsheet() = default;
Spreadsheet::Spreadsheet(Spreadsheet &&) noexcept = default;
Spreadsheet &Spreadsheet::operator=(Spreadsheet &&) noexcept = default;

Spreadsheet Spreadsheet::streamingTo(const QString &path)
{
    Spreadsheet s;
    s.m_writer = std::make_unique<Writer>(path);
    s.m_writer->setFont(s.m_fontName, s.m_fontSize);
    return s;
}

void Spreadsheet::checkCell(int row, int col)
{
    if (row < 1 || row > SheetMaxRows || col < 1 || col > SheetMaxCols)
        misuse(QStringLiteral("(%1, %2)").arg(row).arg(col));
}

void Spreadsheet::handOver(const Row &r)
{
    m_writer->writeRow(r, m_formats);
    for (const Cell &c : r.cells) {
        const int places = cellPlaces(c);
        if (places > 0) {
            int &widest = m_flushedPlaces[c.col];
            widest = qMax(widest, places);
        }
        if (!std::holds_alternative<std::monostate>(c.value)) {
            m_flushedLastRow = qMax(m_flushedLastRow, r.row);
            m_flushedLastCol = qMax(m_flushedLastCol, c.col);
        }
    }
}

void Spreadsheet::flushBefore(int row)
{
    if (!m_writer)
        return;
    if (row <= m_flushedThrough)
        throw DbError(err::Misuse, QStringLiteral("表格第 %1 行已经写入文件，不能再修改。").arg(row));
    size_t n = 0;
    while (n < m_rows.size() && m_rows[n].row < row) {
        handOver(m_rows[n]);
        ++n;
    }
    if (n > 0) {
        m_flushedThrough = m_rows[n - 1].row;
        m_rows.erase(m_rows.begin(), m_rows.begin() + std::ptrdiff_t(n));
    }
}

Spreadsheet::Cell &Spreadsheet::cell(int row, int col)
{
    checkCell(row, col);
    flushBefore(row);
    // Rows and cells are nearly always written at the end: look there first.
    auto rit = m_rows.end();
    if (m_rows.empty() || m_rows.back().row < row) {
        m_rows.push_back(Row{row, {}});
        rit = m_rows.end() - 1;
    } else if (m_rows.back().row == row) {
        rit = m_rows.end() - 1;
    } else {
        rit = std::lower_bound(m_rows.begin(), m_rows.end(), row, [](const Row &r, int v) { return r.row < v; });
        if (rit == m_rows.end() || rit->row != row)
            rit = m_rows.insert(rit, Row{row, {}});
    }
    std::vector<Cell> &cells = rit->cells;
    if (cells.empty() || cells.back().col < col) {
        cells.push_back(Cell{col, {}, 0});
        return cells.back();
    }
    if (cells.back().col == col)
        return cells.back();
    auto cit = std::lower_bound(cells.begin(), cells.end(), col, [](const Cell &c, int v) { return c.col < v; });
    if (cit == cells.end() || cit->col != col)
        cit = cells.insert(cit, Cell{col, {}, 0});
    return *cit;
}

const Spreadsheet::Cell *Spreadsheet::find(int row, int col) const
{
    const auto rit =
        std::lower_bound(m_rows.begin(), m_rows.end(), row, [](const Row &r, int v) { return r.row < v; });
    if (rit == m_rows.end() || rit->row != row)
        return nullptr;
    const auto cit =
        std::lower_bound(rit->cells.begin(), rit->cells.end(), col, [](const Cell &c, int v) { return c.col < v; });
    return cit == rit->cells.end() || cit->col != col ? nullptr : &*cit;
}

void Spreadsheet::removeCell(int row, int col)
{
    auto rit = std::lower_bound(m_rows.begin(), m_rows.end(), row, [](const Row &r, int v) { return r.row < v; });
    if (rit == m_rows.end() || rit->row != row)
        return;
    auto cit = std::lower_bound(rit->cells.begin(), rit->cells.end(), col, [](const Cell &c, int v) { return c.col < v; });
    if (cit != rit->cells.end() && cit->col == col)
        rit->cells.erase(cit);
    if (rit->cells.empty())
        m_rows.erase(rit);
}

int Spreadsheet::formatIndex(const QString &format)
{
    // The same text as last time (shared, so no characters compared) needs no lookup.
    if (format.constData() == m_lastFormat.constData() && format.size() == m_lastFormat.size())
        return m_lastFormatIndex;
    m_lastFormat = format;
    m_lastFormatIndex = lookupFormat(format);
    return m_lastFormatIndex;
}

int Spreadsheet::lookupFormat(const QString &format)
{
    const auto it = m_formatIndex.constFind(format);
    if (it != m_formatIndex.cend())
        return *it;
    FormatInfo info;
    info.code = format;
    info.general = format.isEmpty();
    info.date = format.contains(u'y', Qt::CaseInsensitive) || format.contains(u'd', Qt::CaseInsensitive);
    const int dot = format.indexOf(u'.');
    if (dot >= 0)
        for (int i = dot + 1; i < format.size() && (format[i] == u'0' || format[i] == u'#'); ++i)
            ++info.decimals;
    info.grouped = format.contains(u',');
    info.padded = format.endsWith(QStringLiteral("_ "));
    const int index = int(m_formats.size());
    m_formats.push_back(info);
    m_formatIndex.insert(format, index);
    return index;
}

static CellRef addressOrThrow(const QString &address)
{
    const auto ref = parseCellAddress(address);
    if (!ref)
        throw DbError(err::Misuse, QStringLiteral("表格单元 %1 无效。").arg(address));
    return *ref;
}

void Spreadsheet::setText(int row, int col, const QString &text) { cell(row, col).value = text; }
void Spreadsheet::setText(const QString &address, const QString &text)
{
    const CellRef r = addressOrThrow(address);
    setText(r.row, r.col, text);
}
void Spreadsheet::setNumber(int row, int col, double value) { cell(row, col).value = value; }
void Spreadsheet::setNumber(const QString &address, double value)
{
    const CellRef r = addressOrThrow(address);
    setNumber(r.row, r.col, value);
}
void Spreadsheet::setMoney(int row, int col, Money value) { setNumber(row, col, value.toDouble()); }

void Spreadsheet::setDate(int row, int col, const QDateTime &value)
{
    setDate(row, col, value.date(), value.time().msecsSinceStartOfDay());
}

void Spreadsheet::setDate(int row, int col, const QDate &day, int msecsOfDay)
{
    static const qint64 epoch = QDate(1899, 12, 30).toJulianDay();
    Cell &c = cell(row, col);
    c.value = double(day.toJulianDay() - epoch) + msecsOfDay / 86400000.0;
    if (c.format == 0)
        c.format = formatIndex(msecsOfDay == 0 ? QStringLiteral("yyyy-mm-dd") : QStringLiteral("yyyy-mm-dd hh:mm:ss"));
}

void Spreadsheet::clear(const QString &range)
{
    const auto r = parseCellRange(range);
    if (!r)
        throw DbError(err::Misuse, QStringLiteral("表格区域 %1 无效。").arg(range));
    clear(r->first.row, r->first.col, r->second.row, r->second.col);
}

void Spreadsheet::clear(int firstRow, int firstCol, int lastRow, int lastCol)
{
    checkCell(firstRow, firstCol);
    checkCell(lastRow, lastCol);
    if (m_writer && firstRow <= m_flushedThrough)
        throw DbError(err::Misuse, QStringLiteral("表格第 %1 行已经写入文件，不能再清除。").arg(firstRow));
    for (auto rit = m_rows.begin(); rit != m_rows.end();) {
        if (rit->row >= firstRow && rit->row <= lastRow) {
            auto &cells = rit->cells;
            for (auto cit = cells.begin(); cit != cells.end();) {
                if (cit->col >= firstCol && cit->col <= lastCol) {
                    if (cit->format == 0) {
                        cit = cells.erase(cit);
                        continue;
                    }
                    cit->value = std::monostate{};
                }
                ++cit;
            }
            if (cells.empty()) {
                rit = m_rows.erase(rit);
                continue;
            }
        }
        ++rit;
    }
}

void Spreadsheet::setFont(const QString &name, double size)
{
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty() || size <= 0 || size > 409)
        throw DbError(err::Misuse, QStringLiteral("字体 %1 %2 无效。").arg(name).arg(size));
    if (m_writer && m_flushedThrough > 0)
        throw DbError(err::Misuse, QStringLiteral("表格的字体须在写入数据行之前设定。"));
    m_fontName = trimmed;
    m_fontSize = size;
    if (m_writer)
        m_writer->setFont(m_fontName, m_fontSize);
}

void Spreadsheet::setNumberFormat(int row, int col, const QString &format)
{
    if (format.isEmpty()) {
        checkCell(row, col);
        flushBefore(row);
        const Cell *c = find(row, col);
        if (!c)
            return;
        if (std::holds_alternative<std::monostate>(c->value)) {
            removeCell(row, col);
            return;
        }
    }
    const int index = formatIndex(format);
    cell(row, col).format = index;
}

void Spreadsheet::setNumberFormat(const QString &address, const QString &format)
{
    const CellRef r = addressOrThrow(address);
    setNumberFormat(r.row, r.col, format);
}

QString Spreadsheet::numberFormat(int row, int col) const
{
    const Cell *c = find(row, col);
    return c ? m_formats[size_t(c->format)].code : QString();
}

Spreadsheet::Value Spreadsheet::value(int row, int col) const
{
    const Cell *c = find(row, col);
    return c ? c->value : Value{};
}

QString Spreadsheet::text(int row, int col) const
{
    const Value v = value(row, col);
    const auto *t = std::get_if<QString>(&v);
    return t ? *t : QString();
}

std::optional<double> Spreadsheet::number(int row, int col) const
{
    const Value v = value(row, col);
    const auto *d = std::get_if<double>(&v);
    return d ? std::optional<double>(*d) : std::nullopt;
}

int Spreadsheet::lastRow() const
{
    int r = m_flushedLastRow;
    for (const Row &row : m_rows)
        for (const Cell &c : row.cells)
            if (!std::holds_alternative<std::monostate>(c.value))
                r = qMax(r, row.row);
    return r;
}

int Spreadsheet::lastCol() const
{
    int col = m_flushedLastCol;
    for (const Row &row : m_rows)
        for (const Cell &c : row.cells)
            if (!std::holds_alternative<std::monostate>(c.value))
                col = qMax(col, c.col);
    return col;
}

void Spreadsheet::save(const QString &path) const
{
    if (m_writer)
        throw DbError(err::Misuse, QStringLiteral("逐行写入的表格由 finish 完成。"));
    Writer w(path);
    w.setFont(m_fontName, m_fontSize);
    for (const Row &r : m_rows)
        w.writeRow(r, m_formats);
    for (int col = 1; col <= int(m_columns.size()); ++col)
        if (const auto width = columnWidth(col))
            w.setWidth(col, *width);
    for (const SheetChart &c : m_charts)
        w.insertChart(c);
    w.finish();
}

void Spreadsheet::finish()
{
    if (!m_writer)
        throw DbError(err::Misuse, QStringLiteral("只有逐行写入的表格才由 finish 完成。"));
    for (const Row &r : m_rows)
        handOver(r);
    if (!m_rows.empty())
        m_flushedThrough = m_rows.back().row;
    m_rows.clear();
    // The writer is gone whatever happens below; a failure has discarded the partial file.
    const std::unique_ptr<Writer> w = std::move(m_writer);
    for (int col = 1; col <= int(m_columns.size()); ++col)
        if (const auto width = columnWidth(col))
            w->setWidth(col, *width);
    for (const SheetChart &c : m_charts)
        w->insertChart(c);
    w->finish();
}

QString documentsFolder()
{
    const QString folder = Modutarnxt::documentsPath();
    if (!QFileInfo(folder).isDir())
        throw DbError(err::FileIo, QStringLiteral("不能建立文件夹“%1”。").arg(QDir::toNativeSeparators(folder)));
    return folder;
}

QString documentFilePath(const QString &reportName)
{
    QString name = reportName.trimmed();
    for (const QString &ext : {QStringLiteral(".xlsx"), QStringLiteral(".xls")}) {
        if (name.endsWith(ext, Qt::CaseInsensitive)) {
            name.chop(ext.size());
            break;
        }
    }
    return QDir(documentsFolder()).filePath(name + QStringLiteral(".xlsx"));
}

void removeExistingFile(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return;
    if (info.isDir() || !QFile::remove(path))
        throw DbError(err::FileIo, QStringLiteral("不能删除文件“%1”。").arg(QDir::toNativeSeparators(path)));
}

} // namespace qh
