#pragma once
// The click handlers of the three print buttons of the outpatient window, whole: the command's
// checks and question, the print, and the four-second button pause. A window calls them with
// its button and the values of its boxes, e.g.
//
//   connect(CmdPrbl, &QPushButton::clicked, this, [this] { qh::clinic::clickPrintCaseRecord(CmdPrbl, printBoxes()); });
//   connect(CmdZdde, &QPushButton::clicked, this, [this] { qh::clinic::clickPrintPrescription(CmdZdde, printBoxes()); });
//   connect(CmdPrxd, &QPushButton::clicked, this, [this] { qh::clinic::clickPrintSummary(CmdPrxd, summaryFields(), CmdQcls); });
#include "clinic/ui/printflow.h"

class QAbstractButton;
class QWidget;

namespace qh::clinic {

// CmdPrbl "打印病历": a refusal or the answer No prints nothing and leaves the button alone.
void clickPrintCaseRecord(QAbstractButton *button, const DiagnosisPrintBoxes &boxes);
// CmdZdde "打印处方".
void clickPrintPrescription(QAbstractButton *button, const DiagnosisPrintBoxes &boxes);
// CmdPrxd "打印诊断心得": false when the summary was refused; the refusal is shown and the focus
// goes to refusedFocus (the window's CmdQcls).
bool clickPrintSummary(QAbstractButton *button, const SummaryFields &fields, QWidget *refusedFocus = nullptr);

} // namespace qh::clinic
