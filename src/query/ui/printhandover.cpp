#include "query/ui/printhandover.h"

#include "clinic/ui/printflow.h"

namespace qh::query::ui::printhandover {

void caseRecord(const clinic::CaseRecordText &t) { clinic::PrintCaseRecord(t); }

void prescription(const clinic::PrescriptionText &t) { clinic::PrintPrescription(t); }

void text(const QString &text, const QString &documentName) { clinic::PrintTextInWord(text, documentName); }

} // namespace qh::query::ui::printhandover
