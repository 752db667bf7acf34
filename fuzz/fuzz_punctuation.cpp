// The punctuation normalisation of the long texts of a visit.
#include "clinic/punctuation.h"
#include "fuzzcommon.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString t = fuzz::text(data, size);
    const QString out = qh::clinic::NormalizePunctuation(t);
    fuzz::require(!out.isEmpty(), "the stored form is never empty", t);
    for (qsizetype i = 0; i < out.size(); ++i) {
        const QChar c = out[i];
        fuzz::require(c != u'\\' && c != u',' && c != u';', "no ASCII \\ , ; remain", t);
        fuzz::require(c != u'\n' || (i > 0 && out[i - 1] == u'\r'), "every line feed follows a carriage return", t);
    }
    fuzz::require(out.size() <= std::max<qsizetype>(t.size(), 2), "the text does not grow", t);
    return 0;
}
