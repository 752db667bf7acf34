#include "base/textutil.h"

#include <QRegularExpression>

namespace qh {

QString toHalfWidth(const QString &text)
{
    QString out = text;
    for (QChar &c : out) {
        const char16_t u = c.unicode();
        if (u >= 0xFF01 && u <= 0xFF5E)
            c = QChar(char16_t(u - 0xFEE0));
        else if (u == 0x3000)
            c = QChar(u' ');
    }
    return out;
}

QString trimSpaces(const QString &text)
{
    qsizetype b = 0, e = text.size();
    auto blank = [](QChar c) { return c == u' ' || c.unicode() == 0x3000; };
    while (b < e && blank(text[b]))
        ++b;
    while (e > b && blank(text[e - 1]))
        --e;
    return text.mid(b, e - b);
}

bool isNumeric(const QString &text)
{
    static const QRegularExpression re(
        QStringLiteral(R"(^\s*[+-]?\s*(\d{1,3}(,\d{3})+|\d+)?(\.\d*)?\s*$)"));
    const QString t = toHalfWidth(text);
    auto m = re.match(t);
    if (!m.hasMatch())
        return false;
    // At least one digit somewhere.
    for (QChar c : t)
        if (c.isDigit() && c.unicode() < 128)
            return true;
    return false;
}

QString emptyDateMask() { return QStringLiteral("____-__-__"); }

QString dateText(const QDate &date) { return date.toString(QStringLiteral("yyyy-MM-dd")); }

std::optional<QDate> parseDateText(const QString &text)
{
    static const QRegularExpression re(QStringLiteral(R"(^(\d{4})-(\d{2})-(\d{2})$)"));
    auto m = re.match(toHalfWidth(text).trimmed());
    if (!m.hasMatch())
        return std::nullopt;
    QDate d(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    if (!d.isValid() || d.year() < 100)
        return std::nullopt;
    return d;
}

bool isDateText(const QString &text) { return parseDateText(text).has_value(); }

QString dbDateTime(const QDateTime &value)
{
    return value.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString dbDate(const QDate &day) { return day.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" 00:00:00"); }

std::optional<QDateTime> fromDbDateTime(const QString &stored)
{
    QDateTime v = QDateTime::fromString(stored, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (!v.isValid())
        return std::nullopt;
    return v;
}

QString likeContains(const QString &text)
{
    QString esc;
    esc.reserve(text.size() + 2);
    for (QChar c : text) {
        if (c == u'%' || c == u'_' || c == u'\\')
            esc += u'\\';
        esc += c;
    }
    return u'%' + esc + u'%';
}

int charCount(const QString &text)
{
    int n = 0;
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        if (text.at(i).isHighSurrogate() && i + 1 < size && text.at(i + 1).isLowSurrogate())
            ++i;
        ++n;
    }
    return n;
}

QString faultSummary(const QStringList &faults, int shown)
{
    QString text = QStringList(faults.mid(0, shown)).join(QStringLiteral("；"));
    if (faults.size() > shown)
        text += QStringLiteral("……另有 %1 处问题").arg(faults.size() - shown);
    return text;
}

} // namespace qh
