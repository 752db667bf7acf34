#include "core/spreadsheet.h"
#include "core/docfile.h"
#include "core/modutarnxt.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <algorithm>
#include <memory>
#include <cmath>
#include <utility>
#include <xlsxwriter.h>

namespace qh {

namespace {


[[noreturn]] void misuse(const QString &what)
{
    throw DbError(err::Misuse, QStringLiteral("表格单元 %1 无效。").arg(what));
}

// Characters of East Asian scripts and full-width forms take two character places.
int characterPlaces(const QString &text)
{
    int n = 0;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        const bool wide = (u >= 0x1100 && u <= 0x115F) || (u >= 0x2E80 && u <= 0xA4CF) || (u >= 0xAC00 && u <= 0xD7A3)
                          || (u >= 0xF900 && u <= 0xFAFF) || (u >= 0xFE30 && u <= 0xFE4F) || (u >= 0xFF00 && u <= 0xFF60)
                          || (u >= 0xFFE0 && u <= 0xFFE6) || c.isSurrogate();
        n += wide ? 2 : 1;
    }
    return n;
}

// Roughly the text a number shows under a format, for measuring a column.
QString shownNumber(double v, const QString &format)
{
    if (format.contains(u'y', Qt::CaseInsensitive) || format.contains(u'd', Qt::CaseInsensitive))
        return QString(format.size(), u'0');
    if (format.isEmpty())
        return QString::number(v, 'g', 11);
    int decimals = 0;
    const int dot = format.indexOf(u'.');
    if (dot >= 0)
        for (int i = dot + 1; i < format.size() && (format[i] == u'0' || format[i] == u'#'); ++i)
            ++decimals;
    QString s = QString::number(v, 'f', decimals);
    if (format.contains(u',')) {
        const int end = s.indexOf(u'.') >= 0 ? s.indexOf(u'.') : s.size();
        const int start = s.startsWith(u'-') ? 1 : 0;
        for (int i = end - 3; i > start; i -= 3)
            s.insert(i, u',');
    }
    if (format.endsWith(QStringLiteral("_ ")))
        s += u' ';
    return s;
}

QString describe(lxw_error rc)
{
    switch (rc) {
    case LXW_ERROR_CREATING_XLSX_FILE:
        return QStringLiteral("不能建立文件，可能没有写入权限或磁盘已满。");
    case LXW_ERROR_CREATING_TMPFILE:
    case LXW_ERROR_READING_TMPFILE:
        return QStringLiteral("不能使用临时文件。");
    case LXW_ERROR_MEMORY_MALLOC_FAILED:
        return QStringLiteral("内存不足。");
    case LXW_ERROR_MAX_STRING_LENGTH_EXCEEDED:
        return QStringLiteral("单元格中的文字超过 32767 个字符。");
    case LXW_ERROR_ZIP_FILE_OPERATION:
    case LXW_ERROR_ZIP_PARAMETER_ERROR:
    case LXW_ERROR_ZIP_BAD_ZIP_FILE:
    case LXW_ERROR_ZIP_INTERNAL_ERROR:
    case LXW_ERROR_ZIP_FILE_ADD:
    case LXW_ERROR_ZIP_CLOSE:
        return QStringLiteral("写入文件时出错，可能磁盘已满。");
    default:
        return QString::fromUtf8(lxw_strerror(rc));
    }
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

// The workbook file being written: constant-memory mode, rows handed over in ascending order
// and the cells of a row from left to right, into a partial file beside the target that takes
// the target's place only when it is complete.
class Spreadsheet::Writer {
public:
    explicit Writer(const QString &path) : m_path(path)
    {
        const QFileInfo target(path);
        if (path.isEmpty() || target.fileName().isEmpty())
            throw DbError(err::FileIo, QStringLiteral("文件名无效。"));
        if (!target.absoluteDir().exists())
            throw DbError(err::FileIo,
                          QStringLiteral("找不到文件夹“%1”。").arg(QDir::toNativeSeparators(target.absolutePath())));
        if (target.isDir())
            throw DbError(err::FileIo,
                          QStringLiteral("“%1”是一个文件夹，不能写成表格文件。").arg(QDir::toNativeSeparators(path)));
        // The workbook goes into a new file under a random name beside the target (owner-only,
        // never a planted link); the library opens that very file by its descriptor's name.
        m_file = std::make_unique<DocumentFile>(path);
        if (!m_file->isOpen())
            throw DbError(err::FileIo, QStringLiteral("不能写入表格文件“%1”：%2")
                                           .arg(QDir::toNativeSeparators(path), describe(LXW_ERROR_CREATING_XLSX_FILE)));
        m_partialName = QFile::encodeName(m_file->openableName());
        lxw_workbook_options options{};
        options.constant_memory = LXW_TRUE;
        m_book = workbook_new_opt(m_partialName.constData(), &options);
        if (m_book)
            m_sheet = workbook_add_worksheet(m_book, "Sheet1");
        if (!m_book || !m_sheet) {
            discard();
            throw DbError(err::FileIo, QStringLiteral("不能创建表格文件“%1”。").arg(QDir::toNativeSeparators(path)));
        }
    }
    ~Writer() { discard(); }
    Writer(const Writer &) = delete;
    Writer &operator=(const Writer &) = delete;

    // The font of every cell; the workbook's normal style carries it too, so empty cells show it.
    void setFont(const QString &name, double size)
    {
        m_fontName = name.toUtf8();
        m_fontSize = size;
        m_eastAsian = false;
        for (QChar c : name)
            m_eastAsian = m_eastAsian || c.unicode() > 0x7f;
        if (lxw_format *normal = STAILQ_FIRST(m_book->formats))
            styleFont(normal);
    }

    void writeRow(const Row &r, const std::vector<FormatInfo> &formats)
    {
        const lxw_row_t row = lxw_row_t(r.row - 1);
        lxw_error rc = LXW_NO_ERROR;
        for (const Cell &c : r.cells) {
            const lxw_col_t col = lxw_col_t(c.col - 1);
            lxw_format *f = format(c.format, formats);
            if (const auto *t = std::get_if<QString>(&c.value)) {
                if (t->isEmpty()) {
                    rc = worksheet_write_blank(m_sheet, row, col, f);
                } else {
                    m_utf8 = t->toUtf8();
                    rc = worksheet_write_string(m_sheet, row, col, m_utf8.constData(), f);
                }
            } else if (const auto *d = std::get_if<double>(&c.value)) {
                rc = worksheet_write_number(m_sheet, row, col, *d, f);
            } else {
                rc = worksheet_write_blank(m_sheet, row, col, f);
            }
            if (rc != LXW_NO_ERROR)
                fail(rc);
        }
    }

    void setWidth(int col, double width)
    {
        const lxw_error rc = worksheet_set_column(m_sheet, lxw_col_t(col - 1), lxw_col_t(col - 1), width, nullptr);
        if (rc != LXW_NO_ERROR)
            fail(rc);
    }

    void insertChart(const SheetChart &c)
    {
        const uint8_t type = c.kind == SheetChart::Kind::Bars             ? LXW_CHART_BAR
                             : c.kind == SheetChart::Kind::StackedColumns ? LXW_CHART_COLUMN_STACKED
                                                                          : LXW_CHART_COLUMN;
        lxw_chart *chart = workbook_add_chart(m_book, type);
        if (!chart)
            fail(LXW_ERROR_MEMORY_MALLOC_FAILED);
        const auto range = [&c](int col) {
            const QString letters = columnLetters(col);
            return QStringLiteral("=Sheet1!$%1$%2:$%1$%3").arg(letters).arg(c.firstRow).arg(c.lastRow).toUtf8();
        };
        const QByteArray categories = range(c.categoryCol);
        for (const SheetChart::Series &s : c.series) {
            const QByteArray values = range(s.col);
            lxw_chart_series *series = chart_add_series(chart, categories.constData(), values.constData());
            if (!series)
                fail(LXW_ERROR_MEMORY_MALLOC_FAILED);
            chart_series_set_name(series, s.name.toUtf8().constData());
            if (s.rgb != 0) {
                lxw_chart_fill fill{};
                fill.color = s.rgb;
                chart_series_set_fill(series, &fill);
            }
        }
        lxw_chart_font font{};
        font.name = m_fontName.data();
        font.size = m_fontSize;
        font.charset = m_eastAsian ? 134 : 0;
        lxw_chart_font bold = font;
        bold.size = m_fontSize + 2;
        bold.bold = LXW_TRUE;
        const QByteArray title = c.title.toUtf8();
        if (title.isEmpty()) {
            chart_title_off(chart);
        } else {
            chart_title_set_name(chart, title.constData());
            chart_title_set_name_font(chart, &bold);
        }
        for (lxw_chart_axis *axis : {chart->x_axis, chart->y_axis})
            chart_axis_set_num_font(axis, &font);
        // The value axis counts in whole numbers with groups; bars list the first row on top.
        lxw_chart_axis *values = c.kind == SheetChart::Kind::Bars ? chart->x_axis : chart->y_axis;
        chart_axis_set_num_format(values, "#,##0");
        if (c.kind == SheetChart::Kind::Bars)
            chart_axis_set_reverse(chart->y_axis);
        if (c.series.size() > 1) {
            chart_legend_set_position(chart, LXW_CHART_LEGEND_BOTTOM);
            chart_legend_set_font(chart, &font);
        } else {
            chart_legend_set_position(chart, LXW_CHART_LEGEND_NONE);
        }
        lxw_chart_options options{};
        options.x_scale = c.widthPx / 480.0;
        options.y_scale = c.heightPx / 288.0;
        const lxw_error rc = worksheet_insert_chart_opt(m_sheet, lxw_row_t(c.row - 1), lxw_col_t(c.col - 1), chart, &options);
        if (rc != LXW_NO_ERROR)
            fail(rc);
    }

    // Completes the file and puts it in place of the target.
    void finish()
    {
        lxw_workbook *book = std::exchange(m_book, nullptr);
        m_sheet = nullptr;
        const lxw_error rc = workbook_close(book); // also frees the workbook
        if (rc != LXW_NO_ERROR)
            fail(rc);
        if (!m_file->commit()) {
            const QString why = m_file->reason();
            m_file.reset();
            throw DbError(err::FileIo, QStringLiteral("不能替换文件“%1”，它可能正被其他程序使用。（%2）")
                                           .arg(QDir::toNativeSeparators(m_path), why));
        }
        m_file.reset();
    }

private:
    void styleFont(lxw_format *f)
    {
        format_set_font_name(f, m_fontName.constData());
        format_set_font_size(f, m_fontSize);
        if (m_eastAsian)
            format_set_font_charset(f, 134); // GB2312
    }

    lxw_format *format(int index, const std::vector<FormatInfo> &formats)
    {
        if (index < int(m_formats.size()) && m_formats[size_t(index)])
            return m_formats[size_t(index)];
        if (index >= int(m_formats.size()))
            m_formats.resize(size_t(index) + 1, nullptr);
        lxw_format *f = workbook_add_format(m_book);
        styleFont(f);
        if (!formats[size_t(index)].code.isEmpty()) {
            const QByteArray nf = formats[size_t(index)].code.toUtf8();
            format_set_num_format(f, nf.constData());
        }
        m_formats[size_t(index)] = f;
        return f;
    }

    [[noreturn]] void fail(lxw_error rc)
    {
        discard();
        throw DbError(err::FileIo,
                      QStringLiteral("不能写入表格文件“%1”：%2").arg(QDir::toNativeSeparators(m_path), describe(rc)));
    }

    // Nothing of an unfinished workbook stays on disk.
    void discard()
    {
        if (m_book) {
            workbook_close(m_book);
            m_book = nullptr;
            m_sheet = nullptr;
        }
        m_file.reset(); // removes the unfinished file
    }

    QString m_path;
    std::unique_ptr<DocumentFile> m_file;
    QByteArray m_partialName;
    lxw_workbook *m_book = nullptr;
    lxw_worksheet *m_sheet = nullptr;
    std::vector<lxw_format *> m_formats;
    QByteArray m_fontName = "Calibri";
    double m_fontSize = 11;
    bool m_eastAsian = false;
    QByteArray m_utf8;
};

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

Spreadsheet::Column &Spreadsheet::column(int col)
{
    if (col > int(m_columns.size()))
        m_columns.resize(size_t(col));
    Column &c = m_columns[size_t(col - 1)];
    c.used = true;
    return c;
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

void Spreadsheet::addChart(const SheetChart &chart)
{
    checkCell(chart.row, chart.col);
    checkCell(chart.firstRow, chart.categoryCol);
    checkCell(chart.lastRow, chart.categoryCol);
    if (chart.series.empty() || chart.lastRow < chart.firstRow || chart.widthPx <= 0 || chart.heightPx <= 0)
        throw DbError(err::Misuse, QStringLiteral("图表“%1”无效。").arg(chart.title));
    for (const SheetChart::Series &s : chart.series)
        checkCell(chart.firstRow, s.col);
    m_charts.push_back(chart);
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

void Spreadsheet::setColumnWidth(int col, double width)
{
    checkCell(1, col);
    if (width < 0 || width > 255)
        throw DbError(err::Misuse, QStringLiteral("列宽 %1 无效。").arg(width));
    Column &c = column(col);
    c.width = width;
    c.autoFit = false;
}

void Spreadsheet::autoFitColumn(int col)
{
    checkCell(1, col);
    Column &c = column(col);
    c.autoFit = true;
    c.width.reset();
}

namespace {

// Character places of a number under a format with the given decimals, grouping and padding,
// without building the text.
int numberPlaces(double v, const Spreadsheet::FormatInfo &f)
{
    if (f.date)
        return int(f.code.size());
    if (f.general || !std::isfinite(v) || std::fabs(v) >= 1e15)
        return characterPlaces(shownNumber(v, f.code));
    double scale = 1;
    for (int i = 0; i < f.decimals; ++i)
        scale *= 10;
    const qint64 scaled = qint64(std::llround(std::fabs(v) * scale));
    const bool negative = v < 0 && scaled != 0;
    qint64 whole = scaled / qint64(scale);
    int digits = 1;
    while (whole >= 10) {
        whole /= 10;
        ++digits;
    }
    int places = digits + (negative ? 1 : 0);
    if (f.grouped)
        places += (digits - 1) / 3;
    if (f.decimals > 0)
        places += f.decimals + 1;
    if (f.padded)
        ++places;
    return places;
}

} // namespace

int Spreadsheet::cellPlaces(const Cell &c) const
{
    if (const auto *t = std::get_if<QString>(&c.value))
        return characterPlaces(*t);
    if (const auto *d = std::get_if<double>(&c.value))
        return numberPlaces(*d, m_formats[size_t(c.format)]);
    return 0;
}

double Spreadsheet::measuredWidth(int col) const
{
    int places = m_flushedPlaces.value(col, 0);
    for (const Row &r : m_rows)
        for (const Cell &c : r.cells)
            if (c.col == col)
                places = qMax(places, cellPlaces(c));
    if (places == 0)
        return -1;
    return qMin(255.0, places * (m_fontSize / 11.0) + 0.75);
}

std::optional<double> Spreadsheet::columnWidth(int col) const
{
    if (col < 1 || col > int(m_columns.size()) || !m_columns[size_t(col - 1)].used)
        return std::nullopt;
    const Column *it = &m_columns[size_t(col - 1)];
    if (it->autoFit) {
        const double w = measuredWidth(col);
        return w < 0 ? std::nullopt : std::optional<double>(w);
    }
    return it->width;
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
