#pragma once
// The workbook file behind qh::Spreadsheet, for the writer's own sources only
// (spreadsheet.cpp, spreadsheetwriter.cpp, spreadsheetchart.cpp); reports use core/spreadsheet.h.
#include "core/docfile.h"
#include "core/spreadsheet.h"

#include <QByteArray>
#include <memory>
#include <vector>
#include <xlsxwriter.h>

namespace qh {

// The workbook file being written: constant-memory mode, rows handed over in ascending order
// and the cells of a row from left to right, into a partial file beside the target that takes
// the target's place only when it is complete. Every failure throws DbError(err::FileIo) with a
// readable description and discards the partial file.
class Spreadsheet::Writer {
public:
    explicit Writer(const QString &path);
    ~Writer();
    Writer(const Writer &) = delete;
    Writer &operator=(const Writer &) = delete;

    // The font of every cell; the workbook's normal style carries it too, so empty cells show it.
    void setFont(const QString &name, double size);
    void writeRow(const Row &r, const std::vector<FormatInfo> &formats);
    void setWidth(int col, double width);
    // A native chart over cells of the sheet (spreadsheetchart.cpp).
    void insertChart(const SheetChart &c);
    // Completes the file and puts it in place of the target.
    void finish();

private:
    void styleFont(lxw_format *f);
    lxw_format *format(int index, const std::vector<FormatInfo> &formats);
    [[noreturn]] void fail(lxw_error rc);
    // Nothing of an unfinished workbook stays on disk.
    void discard();

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

} // namespace qh
