#include "clinic/ui/printflow.h"
#include "core/modutarnxt.h"

#include "db/error.h"
#include "core/messages.h"
#include "print/systemprinter.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QUrl>

namespace qh::clinic {

bool PrintDesktop::hasPrinter() { return print::hasDefaultPrinter(); }

PagePrinter *PrintDesktop::printer()
{
    static print::SystemPrinter system;
    return &system;
}

bool PrintDesktop::openFile(const QString &path) { return QDesktopServices::openUrl(QUrl::fromLocalFile(path)); }

void PrintDesktop::setClipboardText(const QString &text)
{
    if (auto *clipboard = QGuiApplication::clipboard()) {
        clipboard->clear();
        clipboard->setText(text);
    }
}

namespace {

PrintDesktop *g_desktop = nullptr;

void reportFailure(int number, const QString &failure) { msg::plain(numberedReport(DbError(number, failure))); }

PrintResult shown(const QString &what, const PrintResult &r)
{
    if (!r.ok) {
        reportFailure(r.errorNumber, r.failure);
        return r;
    }
    if (!r.printed)
        msg::info(pdfNotice(what, r.pdfPath, printDesktop()->openFile(r.pdfPath)));
    return r;
}

// The printer the page goes to; none: the PDF.
PagePrinter *target() { return printDesktop()->hasPrinter() ? printDesktop()->printer() : nullptr; }

// The clinic's name, or nothing after the numbered report of a database failure.
bool readUnit(std::optional<QString> &unit)
{
    try {
        auto s = Modutarnxt::clinicStore().open();
        unit = printUnitName(s);
        return true;
    } catch (const DbError &e) {
        msg::show(MsgIcon::Question, MsgButtons::Ok, numberedReport(e));
        return false;
    }
}

template <class Doc>
std::optional<Doc> askFor(const PrintPlan<Doc> &plan)
{
    if (!plan.doc) {
        msg::show(plan.icon, MsgButtons::Ok, plan.refusal);
        return std::nullopt;
    }
    if (!msg::ask(plan.question, plan.title))
        return std::nullopt;
    return plan.doc;
}

} // namespace

void setPrintDesktop(PrintDesktop *desktop) { g_desktop = desktop; }

PrintDesktop *printDesktop()
{
    static PrintDesktop real;
    return g_desktop ? g_desktop : &real;
}

PrintResult PrintCaseRecord(const CaseRecordText &t)
{
    return shown(QStringLiteral("门诊病案"), printCaseRecordPage(t, target()));
}

PrintResult PrintPrescription(const PrescriptionText &t)
{
    return shown(QStringLiteral("处方笺"), printPrescriptionPage(t, target()));
}

PrintResult PrintCaseRecord(const QString &unit, const QString &caseNumber, const QString &name, const QString &sex,
                            const QString &age, const QString &date, const QString &doctor, const QString &history,
                            const QString &plan, const QString &prescription, const QString &directions,
                            const QString &department, const QString &vitalSigns)
{
    return PrintCaseRecord(CaseRecordText{unit, caseNumber, name, sex, age, date, doctor, history, plan, prescription,
                                          directions, department, vitalSigns});
}

PrintResult PrintPrescription(const QString &unit, const QString &caseNumber, const QString &name, const QString &sex,
                              const QString &age, const QString &date, const QString &doctor,
                              const QString &prescription, const QString &directions, const QString &department)
{
    return PrintPrescription(
        PrescriptionText{unit, caseNumber, name, sex, age, date, doctor, prescription, directions, department});
}

PrintResult PrintDocument(const QString &what, const QPageSize &size, const QString &pdfPath,
                          const std::function<void(QPainter &)> &draw)
{
    return shown(what, printDocument(what, size, pdfPath, target(), draw));
}

QString PrintTextInWord(const QString &text, const QString &documentName)
{
    const TextDocument doc = writeTextDocument(text, documentName);
    if (doc.path.isEmpty()) {
        reportFailure(doc.errorNumber, doc.failure);
        return {};
    }
    PrintDesktop *desktop = printDesktop();
    desktop->setClipboardText(text);
    if (!desktop->openFile(doc.path))
        reportFailure(printerr::NoApplication, noApplicationFor(doc.path));
    return doc.path;
}

std::optional<CaseRecordText> caseRecordToPrint(const DiagnosisPrintBoxes &b)
{
    std::optional<QString> unit;
    if (!readUnit(unit))
        return std::nullopt;
    return askFor(caseRecordPlan(b, unit));
}

std::optional<PrescriptionText> prescriptionToPrint(const DiagnosisPrintBoxes &b)
{
    std::optional<QString> unit;
    if (!readUnit(unit))
        return std::nullopt;
    return askFor(prescriptionPlan(b, unit));
}

} // namespace qh::clinic
