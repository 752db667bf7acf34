#pragma once
// Where this window's print commands hand their documents over to the clinic's print
// routines: one place, so the window does not depend on how those routines report.
#include "clinic/printing.h"

#include <QString>

namespace qh::query::ui::printhandover {

// The case record of one visit, on the printer (or its PDF when there is none).
void caseRecord(const clinic::CaseRecordText &t);
// The prescription slip, likewise.
void prescription(const clinic::PrescriptionText &t);
// A plain text for the word processor.
void text(const QString &text, const QString &documentName);

} // namespace qh::query::ui::printhandover
