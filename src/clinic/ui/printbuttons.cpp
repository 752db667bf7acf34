#include "clinic/ui/printbuttons.h"

#include "clinic/printdoc.h"
#include "core/ui/uikit.h"

#include <QAbstractButton>
#include <QDate>

namespace qh::clinic {

void clickPrintCaseRecord(QAbstractButton *button, const DiagnosisPrintBoxes &boxes)
{
    if (auto doc = caseRecordToPrint(boxes)) {
        ui::setMousePointer(ui::PointerBusy);
        PrintCaseRecord(*doc);
        ui::PauseWithButton(button);
    }
    ui::setMousePointer(ui::PointerArrow);
}

void clickPrintPrescription(QAbstractButton *button, const DiagnosisPrintBoxes &boxes)
{
    if (auto doc = prescriptionToPrint(boxes)) {
        ui::setMousePointer(ui::PointerBusy);
        PrintPrescription(*doc);
        ui::PauseWithButton(button);
    }
    ui::setMousePointer(ui::PointerArrow);
}

bool clickPrintSummary(QAbstractButton *button, const SummaryFields &fields)
{
    const SummaryPrint s = summaryToPrint(fields, QDate::currentDate());
    if (!s.ok)
        return false;
    ui::PauseWithButton(button);
    PrintTextInWord(s.text, s.documentName);
    return true;
}

} // namespace qh::clinic
