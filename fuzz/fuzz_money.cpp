// The number and money parser: Money::parse, the numeric check and the quantity box reading.
#include "base/money.h"
#include "base/textutil.h"
#include "fuzzcommon.h"
#include "stock/movemententry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString t = fuzz::text(data, size);
    const auto m = qh::Money::parse(t);
    const bool numeric = qh::isNumeric(t);
    if (m) {
        // What was read is written and read back unchanged.
        const auto again = qh::Money::parse(m->toPlain());
        fuzz::require(again && *again == *m, "parse(toPlain(x)) == x", t);
        (void)m->toDisplay(2, true);
        (void)m->roundedEven(2);
        (void)m->roundedHalfUp(2);
    }
    const auto box = qh::stock::readBoxNumber(t);
    if (box.state == qh::stock::BoxNumber::Ok)
        fuzz::require(numeric && m.has_value(), "a box number is numeric and parses", t);
    if (box.state == qh::stock::BoxNumber::Ok)
        (void)qh::stock::formatBoxNumber(box.value);
    return 0;
}
