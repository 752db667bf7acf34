#include "clinic/punctuation.h"
#include "base/textutil.h"

namespace qh::clinic {

namespace {
bool isDigitChar(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'0' && u <= u'9') || (u >= 0xFF10 && u <= 0xFF19);
}
} // namespace

QString NormalizePunctuation(const QString &text)
{
    const QString in = trimSpaces(text);
    const qsizetype n = in.size();
    QString out;
    out.reserve(n);
    qsizetype i = 0;
    if (in.startsWith(QStringLiteral("\r\n")))
        i = 2;
    for (; i < n; ++i) {
        const QChar c = in.at(i);
        const QChar prev = i > 0 ? in.at(i - 1) : QChar();
        const QChar next = i + 1 < n ? in.at(i + 1) : QChar();
        switch (c.unicode()) {
        case u'\\':
            out += u'、';
            break;
        case u',':
            out += u'，';
            break;
        case u';':
            out += u'；';
            break;
        case u'.':
        case u'。':
            if (i == 0) {
                out += u'。'; // a point at the start is never a decimal point
            } else if (next == u'《' || (isDigitChar(prev) && isDigitChar(next))) {
                out += u'.';
            } else {
                out += u'。';
            }
            break;
        case u'\n':
            if (prev == u'\r')
                out += c;
            break;
        default:
            out += c;
            break;
        }
    }
    if (trimSpaces(out).isEmpty())
        return QStringLiteral("  ");
    return out;
}

} // namespace qh::clinic
