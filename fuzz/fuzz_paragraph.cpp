// The paragraph wrapping of the print routines. Widths are fixed per character here (no
// fonts), so every run is the same.
#include "clinic/printing.h"
#include "fuzzcommon.h"

namespace {
double width(const QString &s)
{
    double w = 0;
    for (QChar c : s)
        w += c.unicode() < 0x80 ? 2.0 : (c.isSurrogate() ? 2.0 : 4.0);
    return w;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const int maxLines = data[0] % 12;
    const double maxWidth = 1 + data[1] % 160;
    const QString t = fuzz::text(data + 2, size - 2);
    const QStringList lines = qh::clinic::paragraphLines(t, maxLines, maxWidth, width);
    fuzz::require(lines.size() <= std::max(maxLines, 0), "at most maxLines lines", t);
    // The lines are the text's characters, in their order, with nothing added.
    qsizetype at = 0;
    for (const QString &line : lines)
        for (QChar c : line) {
            at = t.indexOf(c, at);
            fuzz::require(at >= 0, "every printed character comes from the text, in order", t);
            ++at;
        }
    return 0;
}
