#pragma once
// The spreadsheet writer behind every report of the program: one worksheet built in memory
// (cells by address or by row and column, texts, numbers and dates, one font for all cells,
// column widths, per-cell number formats, cleared ranges) and saved as an Office Open XML
// workbook (.xlsx). An existing file of the same name is replaced only once the new one is
// complete, so a failed save never leaves half a file behind.
//
//   qh::Spreadsheet sheet;
//   sheet.setText("a2", "药品编码");
//   sheet.setFont("宋体", 9);
//   sheet.setMoney(5, 3, price);
//   sheet.setNumberFormat(5, 3, "#,##0.00_ ");
//   sheet.setColumnWidth(2, 20);
//   sheet.save(qh::documentFilePath("药品编码名称对照表"));
//
// Rows and columns are numbered from 1, as in the spreadsheet program ("a1" is row 1, column 1).
//
// Cells are kept row by row in ascending order and handed to the file in that order, so a sheet
// written top to bottom costs no sorting. A long report streams instead of building the sheet
// in memory: Spreadsheet::streamingTo(path) hands each row to the file as soon as a later row
// is written, and finish() completes the file. addChart places a native chart over cells of the
// sheet (columns or bars), written with the workbook.
//
//   auto sheet = qh::Spreadsheet::streamingTo(path);
//   sheet.setText("a2", "时间");
//   sheet.setFont("宋体", 9);            // before the first data row
//   for (...) { sheet.setMoney(row, 4, q); sheet.setNumberFormat(row, 4, "#,##0.00_ "); }
//   sheet.finish();
#include "db/error.h"
#include "base/money.h"

#include <QDateTime>
#include <QHash>
#include <QMap>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <variant>
#include <vector>

namespace qh {

// A cell address "A2" / "a2" (letters then digits); nothing for anything else.
struct CellRef {
    int row = 0; // 1-based
    int col = 0; // 1-based
    friend bool operator==(const CellRef &, const CellRef &) = default;
};
std::optional<CellRef> parseCellAddress(const QString &address);
// "b2:d3000" or a single address; the corners are ordered top-left, bottom-right.
std::optional<std::pair<CellRef, CellRef>> parseCellRange(const QString &range);
// 1 -> "A", 27 -> "AA".
QString columnLetters(int col);

// Limits of the file format.
inline constexpr int SheetMaxRows = 1048576;
inline constexpr int SheetMaxCols = 16384;

// A native chart of the workbook over cells of its sheet: the categories in one column, each
// series' values in another, over the same rows; its top-left corner on a cell. The texts take
// the sheet's font.
struct SheetChart {
    enum class Kind {
        Columns,        // vertical columns, one series beside the other
        StackedColumns, // the series stacked
        Bars,           // horizontal bars, the first row on top
    };
    struct Series {
        QString name;
        int col = 0;        // 1-based
        quint32 rgb = 0;    // fill 0xRRGGBB; 0 for the spreadsheet's own
    };
    Kind kind = Kind::Columns;
    QString title;
    int firstRow = 0, lastRow = 0; // 1-based
    int categoryCol = 0;
    std::vector<Series> series;
    int row = 1, col = 1;          // the cell under the top-left corner
    int widthPx = 480, heightPx = 288;
    // The value axis starts at 0, as the program's own charts do (a spreadsheet otherwise
    // starts it near the smallest value, so a bar of 339 looks a fifth of one of 373). Clear
    // it when a value may be below 0: the spreadsheet then scales the axis itself.
    bool fromZero = true;
};

class Spreadsheet {
public:
    using Value = std::variant<std::monostate, QString, double>;

    Spreadsheet();
    ~Spreadsheet();
    Spreadsheet(Spreadsheet &&) noexcept;
    Spreadsheet &operator=(Spreadsheet &&) noexcept;
    Spreadsheet(const Spreadsheet &) = delete;
    Spreadsheet &operator=(const Spreadsheet &) = delete;

    // A sheet written straight into the workbook file at path. A row goes to the file when a
    // later row is first written; rows before it can then no longer be changed, cleared or read
    // back (changing one throws DbError(err::Misuse)), and the font must be set before that
    // (it belongs to every cell). Widths and auto-fit are applied by finish(). Throws
    // DbError(err::FileIo) when the folder is missing or cannot be written to.
    static Spreadsheet streamingTo(const QString &path);
    bool isStreaming() const { return bool(m_writer); }
    // Writes the rows still held and the column widths, and puts the file in place of an
    // existing one only now. A streamed sheet destroyed unfinished leaves no file behind.
    // Throws DbError(err::FileIo) when the file cannot be written; the previous file stays.
    void finish();

    // Values. A bad address or a row or column outside the sheet throws DbError(err::Misuse).
    void setText(int row, int col, const QString &text);
    void setText(const QString &address, const QString &text);
    void setNumber(int row, int col, double value);
    void setNumber(const QString &address, double value);
    void setMoney(int row, int col, Money value);
    // A date and time as the spreadsheet's day number; a cell without a number format of its
    // own gets "yyyy-mm-dd" (midnight) or "yyyy-mm-dd hh:mm:ss".
    void setDate(int row, int col, const QDateTime &value);
    // The same for a day and a time of day in milliseconds (no time zone involved).
    void setDate(int row, int col, const QDate &day, int msecsOfDay = 0);
    // Removes the values of every cell in the range (formats stay), like assigning "" to it.
    void clear(const QString &range);
    void clear(int firstRow, int firstCol, int lastRow, int lastCol);

    // The font of all cells. A font name never ends in a blank: surrounding blanks are dropped.
    void setFont(const QString &name, double size);
    QString fontName() const { return m_fontName; }
    double fontSize() const { return m_fontSize; }

    // Number format of one cell ("#,##0.00_ ", "yyyy-mm-dd"); "" returns the cell to General.
    void setNumberFormat(int row, int col, const QString &format);
    void setNumberFormat(const QString &address, const QString &format);
    QString numberFormat(int row, int col) const;

    // Width of a whole column in characters of the standard font.
    void setColumnWidth(int col, double width);
    // Makes the column as wide as its widest content (measured when the file is saved). A later
    // setColumnWidth overrides it.
    void autoFitColumn(int col);
    // The width a saved file will carry for the column; nothing when it keeps the default.
    std::optional<double> columnWidth(int col) const;

    // Adds a chart, written with the workbook (by save or finish). A chart without series or
    // with a cell outside the sheet throws DbError(err::Misuse).
    void addChart(const SheetChart &chart);
    const std::vector<SheetChart> &charts() const { return m_charts; }

    // Reading back what was written.
    Value value(int row, int col) const;
    QString text(int row, int col) const;            // "" unless the cell holds text
    std::optional<double> number(int row, int col) const;
    int lastRow() const;                             // 0 for an empty sheet
    int lastCol() const;

    // Writes the workbook (one worksheet "Sheet1") to the path, replacing an existing file.
    // Throws DbError(err::FileIo) with a readable description when it cannot be written.
    // Not for a streamed sheet (DbError(err::Misuse)): that one is completed by finish().
    void save(const QString &path) const;

    // How a number format shows a number, for measuring a column (public for the writer).
    struct FormatInfo {
        QString code;
        bool date = false;
        bool general = true;
        int decimals = 0;
        bool grouped = false;
        bool padded = false;
    };

private:
    struct Cell {
        int col;
        Value value;
        int format = 0; // index into m_formats; 0 is General
    };
    struct Row {
        int row;
        std::vector<Cell> cells; // ascending columns
    };
    struct Column {
        bool used = false; // given a width or fitted
        std::optional<double> width;
        bool autoFit = false;
    };
    class Writer;

    static void checkCell(int row, int col);
    Cell &cell(int row, int col);
    const Cell *find(int row, int col) const;
    void removeCell(int row, int col);
    int formatIndex(const QString &format);
    int lookupFormat(const QString &format);
    // Streaming: hands every held row before row to the file.
    void flushBefore(int row);
    void handOver(const Row &r);
    int cellPlaces(const Cell &c) const;
    double measuredWidth(int col) const;

    std::vector<Row> m_rows; // ascending rows
    std::vector<Column> m_columns; // by column - 1
    Column &column(int col);
    std::vector<FormatInfo> m_formats;
    QHash<QString, int> m_formatIndex;
    QString m_lastFormat; // the format asked for last, and its index: a report asks for a few over and over
    int m_lastFormatIndex = 0;
    QString m_fontName = QStringLiteral("Calibri");
    double m_fontSize = 11;

    std::vector<SheetChart> m_charts;

    // Streaming state: the rows up to m_flushedThrough are in the file already.
    std::unique_ptr<Writer> m_writer;
    int m_flushedThrough = 0;
    QMap<int, int> m_flushedPlaces; // widest content (character places) per column, of rows handed over
    int m_flushedLastRow = 0;
    int m_flushedLastCol = 0;
};

// The user's documents folder (Modutarnxt::documentsPath), created when missing.
// Throws DbError(err::FileIo) when it cannot be created.
QString documentsFolder();
// The file a report is saved to: the documents folder, the report's name, ".xlsx" (a trailing
// ".xls" or ".xlsx" of the given name is replaced): documentFilePath("药品盘点表.xls") ->
// ".../Documents/药品盘点表.xlsx".
QString documentFilePath(const QString &reportName);
// Deletes a file when it exists; throws DbError(err::FileIo) when it exists and cannot be deleted.
void removeExistingFile(const QString &path);

} // namespace qh
