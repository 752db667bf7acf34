#include "core/spreadsheet.h"
#include "core/owneronly.h"
#include "core/modutarnxt.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <filesystem>
#include <system_error>
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

QByteArray utf8(const QString &s) { return s.toUtf8(); }

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

Spreadsheet::Spreadsheet() = default;

void Spreadsheet::checkCell(int row, int col)
{
    if (row < 1 || row > SheetMaxRows || col < 1 || col > SheetMaxCols)
        misuse(QStringLiteral("(%1, %2)").arg(row).arg(col));
}

Spreadsheet::Cell &Spreadsheet::cell(int row, int col)
{
    checkCell(row, col);
    return m_cells[key(row, col)];
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
    static const QDate epoch(1899, 12, 30);
    const double day = double(epoch.daysTo(value.date())) + value.time().msecsSinceStartOfDay() / 86400000.0;
    Cell &c = cell(row, col);
    c.value = day;
    if (c.format.isEmpty())
        c.format = value.time() == QTime(0, 0) ? QStringLiteral("yyyy-mm-dd") : QStringLiteral("yyyy-mm-dd hh:mm:ss");
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
    for (auto it = m_cells.begin(); it != m_cells.end();) {
        const int row = int(it.key() >> 32);
        const int col = int(it.key() & 0xffffffffu);
        if (row >= firstRow && row <= lastRow && col >= firstCol && col <= lastCol) {
            if (it->format.isEmpty()) {
                it = m_cells.erase(it);
                continue;
            }
            it->value = std::monostate{};
        }
        ++it;
    }
}

void Spreadsheet::setFont(const QString &name, double size)
{
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty() || size <= 0 || size > 409)
        throw DbError(err::Misuse, QStringLiteral("字体 %1 %2 无效。").arg(name).arg(size));
    m_fontName = trimmed;
    m_fontSize = size;
}

void Spreadsheet::setNumberFormat(int row, int col, const QString &format)
{
    Cell &c = cell(row, col);
    c.format = format;
    if (format.isEmpty() && std::holds_alternative<std::monostate>(c.value))
        m_cells.remove(key(row, col));
}

void Spreadsheet::setNumberFormat(const QString &address, const QString &format)
{
    const CellRef r = addressOrThrow(address);
    setNumberFormat(r.row, r.col, format);
}

QString Spreadsheet::numberFormat(int row, int col) const
{
    const auto it = m_cells.constFind(key(row, col));
    return it == m_cells.cend() ? QString() : it->format;
}

void Spreadsheet::setColumnWidth(int col, double width)
{
    checkCell(1, col);
    if (width < 0 || width > 255)
        throw DbError(err::Misuse, QStringLiteral("列宽 %1 无效。").arg(width));
    Column &c = m_columns[col];
    c.width = width;
    c.autoFit = false;
}

void Spreadsheet::autoFitColumn(int col)
{
    checkCell(1, col);
    Column &c = m_columns[col];
    c.autoFit = true;
    c.width.reset();
}

double Spreadsheet::measuredWidth(int col) const
{
    int places = 0;
    for (auto it = m_cells.cbegin(); it != m_cells.cend(); ++it) {
        if (int(it.key() & 0xffffffffu) != col)
            continue;
        if (const auto *t = std::get_if<QString>(&it->value))
            places = qMax(places, characterPlaces(*t));
        else if (const auto *d = std::get_if<double>(&it->value))
            places = qMax(places, characterPlaces(shownNumber(*d, it->format)));
    }
    if (places == 0)
        return -1;
    return qMin(255.0, places * (m_fontSize / 11.0) + 0.75);
}

std::optional<double> Spreadsheet::columnWidth(int col) const
{
    const auto it = m_columns.constFind(col);
    if (it == m_columns.cend())
        return std::nullopt;
    if (it->autoFit) {
        const double w = measuredWidth(col);
        return w < 0 ? std::nullopt : std::optional<double>(w);
    }
    return it->width;
}

Spreadsheet::Value Spreadsheet::value(int row, int col) const
{
    const auto it = m_cells.constFind(key(row, col));
    return it == m_cells.cend() ? Value{} : it->value;
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
    int r = 0;
    for (auto it = m_cells.cbegin(); it != m_cells.cend(); ++it)
        if (!std::holds_alternative<std::monostate>(it->value))
            r = qMax(r, int(it.key() >> 32));
    return r;
}

int Spreadsheet::lastCol() const
{
    int c = 0;
    for (auto it = m_cells.cbegin(); it != m_cells.cend(); ++it)
        if (!std::holds_alternative<std::monostate>(it->value))
            c = qMax(c, int(it.key() & 0xffffffffu));
    return c;
}

void Spreadsheet::save(const QString &path) const
{
    const QFileInfo target(path);
    if (path.isEmpty() || target.fileName().isEmpty())
        throw DbError(err::FileIo, QStringLiteral("文件名无效。"));
    if (!target.absoluteDir().exists())
        throw DbError(err::FileIo, QStringLiteral("找不到文件夹“%1”。").arg(QDir::toNativeSeparators(target.absolutePath())));
    if (target.isDir())
        throw DbError(err::FileIo, QStringLiteral("“%1”是一个文件夹，不能写成表格文件。").arg(QDir::toNativeSeparators(path)));

    // Written beside the target under a temporary name, then put in its place.
    const QString partial = target.absoluteDir().filePath(
        QStringLiteral(".~%1.%2.part").arg(target.fileName()).arg(QCoreApplication::applicationPid()));
    QFile::remove(partial);
    const QByteArray partialName = QFile::encodeName(partial);

    lxw_workbook_options options{};
    options.constant_memory = LXW_FALSE;
    OwnerOnlyFiles ownerOnly; // the workbook and its temporary files: 0600
    lxw_workbook *book = workbook_new_opt(partialName.constData(), &options);
    if (!book)
        throw DbError(err::FileIo, QStringLiteral("不能创建表格文件“%1”。").arg(QDir::toNativeSeparators(path)));
    lxw_worksheet *sheet = workbook_add_worksheet(book, "Sheet1");

    const QByteArray fontName = utf8(m_fontName);
    bool eastAsian = false;
    for (QChar c : m_fontName)
        eastAsian = eastAsian || c.unicode() > 0x7f;
    auto styleFont = [&](lxw_format *f) {
        format_set_font_name(f, fontName.constData());
        format_set_font_size(f, m_fontSize);
        if (eastAsian)
            format_set_font_charset(f, 134); // GB2312
    };
    // The workbook's normal style carries the font too, so empty cells show it as well.
    if (lxw_format *normal = STAILQ_FIRST(book->formats))
        styleFont(normal);

    QHash<QString, lxw_format *> formats;
    auto formatFor = [&](const QString &numberFormat) {
        auto it = formats.constFind(numberFormat);
        if (it != formats.cend())
            return *it;
        lxw_format *f = workbook_add_format(book);
        styleFont(f);
        if (!numberFormat.isEmpty()) {
            const QByteArray nf = utf8(numberFormat);
            format_set_num_format(f, nf.constData());
        }
        formats.insert(numberFormat, f);
        return f;
    };

    lxw_error rc = LXW_NO_ERROR;
    for (auto it = m_cells.cbegin(); it != m_cells.cend() && rc == LXW_NO_ERROR; ++it) {
        const lxw_row_t row = lxw_row_t((it.key() >> 32) - 1);
        const lxw_col_t col = lxw_col_t((it.key() & 0xffffffffu) - 1);
        lxw_format *f = formatFor(it->format);
        if (const auto *t = std::get_if<QString>(&it->value)) {
            if (t->isEmpty()) {
                rc = worksheet_write_blank(sheet, row, col, f);
            } else {
                const QByteArray s = utf8(*t);
                rc = worksheet_write_string(sheet, row, col, s.constData(), f);
            }
        } else if (const auto *d = std::get_if<double>(&it->value)) {
            rc = worksheet_write_number(sheet, row, col, *d, f);
        } else {
            rc = worksheet_write_blank(sheet, row, col, f);
        }
    }
    for (auto it = m_columns.cbegin(); it != m_columns.cend() && rc == LXW_NO_ERROR; ++it) {
        if (const auto w = columnWidth(it.key()))
            rc = worksheet_set_column(sheet, lxw_col_t(it.key() - 1), lxw_col_t(it.key() - 1), *w, nullptr);
    }

    const lxw_error closed = workbook_close(book); // also frees the workbook
    if (rc == LXW_NO_ERROR)
        rc = closed;
    if (rc != LXW_NO_ERROR) {
        QFile::remove(partial);
        throw DbError(err::FileIo,
                      QStringLiteral("不能写入表格文件“%1”：%2").arg(QDir::toNativeSeparators(path), describe(rc)));
    }
    std::error_code ec;
    std::filesystem::rename(std::filesystem::path(partialName.toStdString()),
                            std::filesystem::path(QFile::encodeName(path).toStdString()), ec);
    if (ec) {
        QFile::remove(partial);
        throw DbError(err::FileIo, QStringLiteral("不能替换文件“%1”，它可能正被其他程序使用。（%2）")
                                       .arg(QDir::toNativeSeparators(path), QString::fromLocal8Bit(ec.message().c_str())));
    }
    restrictToOwner(path);
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
