#pragma once
// What the user sees of printing: the desktop hand-over (printer, default viewer or word
// processor, clipboard), the print routines that tell what went wrong or where a PDF went, and
// the flows of the print commands with their messages and questions. The documents themselves
// and the commands' checks are logic (clinic/printing.h, printdoc.h, printcommands.h).
#include "clinic/printcommands.h"
#include "clinic/printdoc.h"
#include "clinic/printing.h"

namespace qh::clinic {

// The desktop: the program uses the real one; tests install a recorder.
class PrintDesktop {
public:
    virtual ~PrintDesktop() = default;
    // True when the system has a default printer.
    virtual bool hasPrinter();
    // The printer the pages go to when there is one.
    virtual PagePrinter *printer();
    // Opens a file with its default application; false when nothing could open it.
    virtual bool openFile(const QString &path);
    // Replaces the clipboard's contents by the text.
    virtual void setClipboardText(const QString &text);
};
void setPrintDesktop(PrintDesktop *desktop); // nullptr restores the real desktop
PrintDesktop *printDesktop();

// One page to the default printer, or without a printer the PDF in the documents folder, opened
// with the default viewer and its place told with a notice. Failures are reported as numbered
// messages ("错误号码：n\r\n错误内容：...", no icon).
PrintResult PrintCaseRecord(const CaseRecordText &t);
PrintResult PrintPrescription(const PrescriptionText &t);
PrintResult PrintCaseRecord(const QString &unit, const QString &caseNumber, const QString &name,
                            const QString &sex, const QString &age, const QString &date,
                            const QString &doctor, const QString &history, const QString &plan,
                            const QString &prescription, const QString &directions,
                            const QString &department, const QString &vitalSigns);
PrintResult PrintPrescription(const QString &unit, const QString &caseNumber, const QString &name,
                              const QString &sex, const QString &age, const QString &date,
                              const QString &doctor, const QString &prescription,
                              const QString &directions, const QString &department);

// A document the caller draws (see printDocument), likewise; what names it in the notice.
PrintResult PrintDocument(const QString &what, const QPageSize &size, const QString &pdfPath,
                          const std::function<void(QPainter &)> &draw);

// The text as a fresh word-processor document: written, put on the clipboard and opened.
// Failures give the numbered message. Returns the document's path ("" when not written).
QString PrintTextInWord(const QString &text, const QString &documentName = QStringLiteral("文本"));

// CmdPrbl and CmdZdde up to the print: the clinic's name read, the refusal shown or the question
// asked; the document to print, or nothing when the command stopped.
std::optional<CaseRecordText> caseRecordToPrint(const DiagnosisPrintBoxes &b);
std::optional<PrescriptionText> prescriptionToPrint(const DiagnosisPrintBoxes &b);

} // namespace qh::clinic
