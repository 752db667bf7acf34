// The workbook file behind qh::Spreadsheet: libxlsxwriter in constant-memory mode, written into a
// partial file beside the target (qh::DocumentFile) that takes the target's place only when it
// is complete. The charts are written by spreadsheetchart.cpp.
#include "core/spreadsheetwriter_p.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <utility>

namespace qh {

namespace {

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

Spreadsheet::Writer::Writer(const QString &path) : m_path(path)
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

Spreadsheet::Writer::~Writer() { discard(); }

void Spreadsheet::Writer::setFont(const QString &name, double size)
{
    m_fontName = name.toUtf8();
    m_fontSize = size;
    m_eastAsian = false;
    for (QChar c : name)
        m_eastAsian = m_eastAsian || c.unicode() > 0x7f;
    if (lxw_format *normal = STAILQ_FIRST(m_book->formats))
        styleFont(normal);
}

void Spreadsheet::Writer::writeRow(const Row &r, const std::vector<FormatInfo> &formats)
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

void Spreadsheet::Writer::setWidth(int col, double width)
{
    const lxw_error rc = worksheet_set_column(m_sheet, lxw_col_t(col - 1), lxw_col_t(col - 1), width, nullptr);
    if (rc != LXW_NO_ERROR)
        fail(rc);
}

void Spreadsheet::Writer::finish()
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

void Spreadsheet::Writer::styleFont(lxw_format *f)
{
    format_set_font_name(f, m_fontName.constData());
    format_set_font_size(f, m_fontSize);
    if (m_eastAsian)
        format_set_font_charset(f, 134); // GB2312
}

lxw_format *Spreadsheet::Writer::format(int index, const std::vector<FormatInfo> &formats)
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

void Spreadsheet::Writer::fail(lxw_error rc)
{
    discard();
    throw DbError(err::FileIo,
                  QStringLiteral("不能写入表格文件“%1”：%2").arg(QDir::toNativeSeparators(m_path), describe(rc)));
}

void Spreadsheet::Writer::discard()
{
    if (m_book) {
        workbook_close(m_book);
        m_book = nullptr;
        m_sheet = nullptr;
    }
    m_file.reset(); // removes the unfinished file
}

} // namespace qh
