#pragma once
// The printed documents of the clinic: the case record of one visit (门诊病案, 182 × 260 mm) and
// the prescription slip (处方笺, 182 × 130 mm), drawn at absolute millimetre positions, and the
// paragraph wrapping both use. The routines take plain strings and know nothing of windows.
//
// Where a page goes: to the system's default printer; when the machine has no printer the page
// is written as a PDF into the user's documents folder (named after the document, the case
// number and the date). Telling the user and opening the PDF is the window's part
// (clinic/ui/printflow.h).
//
// Positions are given in the document's own units (millimetres; the slip's vertical unit is
// 130/140 mm) and converted to device units, so font sizes stay exact points.
#include "core/pageprinter.h"

#include <QPageSize>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class QPainter;

namespace qh::clinic {

// PDFs and word-processor documents are written into Modutarnxt::documentsPath().

// Error numbers of the print routines (reported as "错误号码：n\r\n错误内容：...").
namespace printerr {
inline constexpr int FileIo = 75;         // the file or its folder could not be written
inline constexpr int NoApplication = 429; // no application could open the document
inline constexpr int Printer = 482;       // the printer refused the page
} // namespace printerr

// ---------------------------------------------------------------------------------------------
// The printing face: "宋体" resolves to an installed Ming face (AR PL UMing CN).
inline constexpr auto PrintFontFamily = u"宋体";
void installPrintFontSubstitution();

// Page sizes, exactly, under their own ids.
QPageSize caseRecordPageSize();   // 182 × 260 mm
QPageSize prescriptionPageSize(); // 182 × 130 mm

// ---------------------------------------------------------------------------------------------
// Paragraph wrapping (pure logic).
enum class ParagraphVariant { CaseRecord, Slip };
struct ParagraphGeometry {
    double left;     // x of every line
    double maxWidth; // widest line, horizontal units
};
ParagraphGeometry paragraphGeometry(ParagraphVariant v); // case record 40 / 124, slip 30 / 132
inline constexpr double ParagraphPitch = 6.0;           // vertical units between lines
inline constexpr double ParagraphFontSize = 10.0;

// Width of a text in horizontal units.
using TextWidth = std::function<double(const QString &)>;

// Width in millimetres of a text in the printing face at a size, as the printed page measures it.
double printTextWidthMm(const QString &text, double pointSize, bool bold = false);

// The lines a text prints as, at most maxLines, each trimmed. The text is trimmed first; a
// typed line break (CR LF, CR or LF) ends a line; a line that would grow wider than maxWidth
// is cut before the character that makes it too wide, except that the last three characters
// of the text stay on the line, a full-width mark "，、。；" stays at the end of the line
// rather than starting the next one, and a cut right after digits moves in front of them
// (at most three) so that a dose is not split.
QStringList paragraphLines(const QString &text, int maxLines, double maxWidth, const TextWidth &width);

// ---------------------------------------------------------------------------------------------
// Drawing on a page in document units.
class PrintPage {
public:
    // The painter is active on a device whose page is pageMm; the document's coordinate system
    // spans scaleWidth × scaleHeight units from the top-left corner.
    PrintPage(QPainter &painter, QSizeF pageMm, double scaleWidth, double scaleHeight);

    void setFont(double pointSize, bool bold);
    double textWidth(const QString &text) const; // horizontal units
    // The text's cell has its top-left corner at (x, y), as a printer's current position.
    void text(double x, double y, const QString &text);
    void textRight(double right, double y, const QString &text);        // right edge at x
    void textCentred(double a, double b, double y, const QString &text); // centred in a..b
    void line(double x1, double y1, double x2, double y2);
    void rect(double x1, double y1, double x2, double y2);

    double toDeviceX(double x) const { return x * m_sx; }
    double toDeviceY(double y) const { return y * m_sy; }

private:
    QPainter &m_p;
    double m_sx; // device units per horizontal unit
    double m_sy; // device units per vertical unit
};

// Prints a paragraph from y = top, at most maxLines lines, at the variant's x and width.
void PrintParagraph(PrintPage &page, const QString &text, double top, int maxLines, ParagraphVariant variant);

// ---------------------------------------------------------------------------------------------
// The documents.
struct CaseRecordText {
    QString unit;         // the clinic's name
    QString caseNumber;
    QString name;
    QString sex;
    QString age;
    QString date;         // diagnosis date
    QString doctor;
    QString history;
    QString plan;         // diagnosis and treatment plan
    QString prescription;
    QString directions;   // directions for use
    QString department;
    QString vitalSigns;   // "血压：…，脉搏：…，呼吸：…"
};

struct PrescriptionText {
    QString unit;
    QString caseNumber;
    QString name;
    QString sex;
    QString age;
    QString date;
    QString doctor;
    QString prescription;
    QString directions;
    QString department;
};

// Draw one page each, on a painter whose device has the document's page size.
void drawCaseRecord(QPainter &painter, const CaseRecordText &t);
void drawPrescription(QPainter &painter, const PrescriptionText &t);

// Writes the document as a one-page PDF. Empty result: written; otherwise the failure's text.
QString writeCaseRecordPdf(const CaseRecordText &t, const QString &path);
QString writePrescriptionPdf(const PrescriptionText &t, const QString &path);

// The PDF file a document is written to when there is no printer:
// "<folder>/门诊病案-<case number>-<date>.pdf", "<folder>/处方笺-<case number>-<date>.pdf"
// (characters a file name cannot hold become "_").
QString caseRecordPdfPath(const CaseRecordText &t);
QString prescriptionPdfPath(const PrescriptionText &t);

// How a print went.
struct PrintResult {
    bool ok = false;
    bool printed = false; // to the printer (false: written as a PDF)
    QString pdfPath;      // the PDF written when there is no printer
    int errorNumber = 0;  // printerr:: number of a failure
    QString failure;      // its description
};

// A document of the size to the printer, or without one (nullptr) written as a PDF at pdfPath;
// what names it (the print job's title). draw paints the first page and, for a document of
// several pages, starts each further one with the device's newPage() (QPagedPaintDevice).
PrintResult printDocument(const QString &what, const QPageSize &size, const QString &pdfPath, PagePrinter *printer,
                          const std::function<void(QPainter &)> &draw);

// One page of the document to the printer, or without one (nullptr) written as the PDF described
// above.
PrintResult printCaseRecordPage(const CaseRecordText &t, PagePrinter *printer);
PrintResult printPrescriptionPage(const PrescriptionText &t, PagePrinter *printer);

// One page of any document (what: its title) drawn by draw: to the printer, or without one
// (nullptr) written as a PDF at pdfPath.
PrintResult printDocument(const QString &what, const QPageSize &size, const QString &pdfPath, PagePrinter *printer,
                          const std::function<void(QPainter &)> &draw);

// The notice that tells where the PDF of a document ("门诊病案", "处方笺") was written.
QString pdfNotice(const QString &what, const QString &pdfPath, bool opened);

// A file name part: characters that no file name may hold become "_"; blanks become "_".
QString fileNamePart(const QString &text);

} // namespace qh::clinic
