#include "clinic/ui/printbuttons.h"

#include "core/ui/refuse.h"
#include "core/ui/uikit.h"

#include <QAbstractButton>
#include <QDate>

namespace qh::clinic {

void clickPrintCaseRecord(QAbstractButton *button, const DiagnosisPrintBoxes &boxes)
{
    if (auto doc = caseRecordToPrint(boxes)) {
        qh::ui::BusyPointer busy;
        PrintCaseRecord(*doc);
        qh::ui::PauseWithButton(button);
    }
    qh::ui::setMousePointer(qh::ui::PointerArrow);
}

void clickPrintPrescription(QAbstractButton *button, const DiagnosisPrintBoxes &boxes)
{
    if (auto doc = prescriptionToPrint(boxes)) {
        qh::ui::BusyPointer busy;
        PrintPrescription(*doc);
        qh::ui::PauseWithButton(button);
    }
    qh::ui::setMousePointer(qh::ui::PointerArrow);
}

bool clickPrintSummary(QAbstractButton *button, const SummaryFields &fields, QWidget *refusedFocus)
{
    const SummaryPrint s = summaryToPrint(fields, QDate::currentDate());
    if (!s.ok) {
        qh::ui::refuse(*s.refusal, refusedFocus);
        return false;
    }
    qh::ui::PauseWithButton(button);
    PrintTextInWord(s.text, s.documentName);
    return true;
}

} // namespace qh::clinic
