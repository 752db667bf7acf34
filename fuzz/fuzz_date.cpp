// The date text check of the masked date boxes.
#include "base/textutil.h"
#include "fuzzcommon.h"
#include "stock/movemententry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString t = fuzz::text(data, size);
    const auto d = qh::parseDateText(t);
    fuzz::require(d.has_value() == qh::isDateText(t), "isDateText agrees with parseDateText", t);
    if (d) {
        fuzz::require(d->isValid(), "a parsed date is a real day", t);
        const auto again = qh::parseDateText(qh::dateText(*d));
        fuzz::require(again && *again == *d, "dateText(d) reads back as d", t);
        const auto stored = qh::fromDbDateTime(qh::dbDate(*d));
        fuzz::require(stored && stored->date() == *d, "the stored form reads back", t);
    }
    (void)qh::stock::dateTextComplete(t);
    (void)qh::fromDbDateTime(t);
    return 0;
}
