#include "base/money.h"
#include "base/textutil.h"

#include <limits>

namespace qh {

namespace {

using i128 = __int128;

constexpr std::int64_t pow10(int n)
{
    std::int64_t r = 1;
    while (n-- > 0)
        r *= 10;
    return r;
}

Money checked(i128 v)
{
    if (v > std::numeric_limits<std::int64_t>::max() || v < std::numeric_limits<std::int64_t>::min())
        throw MoneyOverflow();
    return Money::fromUnits(static_cast<std::int64_t>(v));
}

// Divides with rounding: ties to even when even is true, else ties away from zero.
i128 divRound(i128 num, i128 den, bool even)
{
    if (den < 0) {
        num = -num;
        den = -den;
    }
    i128 q = num / den;
    i128 r = num % den;
    if (r == 0)
        return q;
    bool negative = num < 0;
    i128 twice = (r < 0 ? -r : r) * 2;
    bool up;
    if (twice > den)
        up = true;
    else if (twice < den)
        up = false;
    else
        up = even ? (q % 2 != 0) : true;
    if (up)
        q += negative ? -1 : 1;
    return q;
}

} // namespace

Money Money::fromInt(std::int64_t whole) { return checked(i128(whole) * Scale); }
Money Money::fromCents(std::int64_t cents) { return checked(i128(cents) * 100); }

std::optional<Money> Money::parse(const QString &input)
{
    const QString text = toHalfWidth(input).trimmed();
    if (text.isEmpty())
        return std::nullopt;
    int i = 0;
    bool negative = false;
    if (text[0] == u'+' || text[0] == u'-') {
        negative = text[0] == u'-';
        ++i;
    }
    // Group separators are allowed only between groups of three digits: "1,234,567".
    i128 whole = 0;
    int intDigits = 0;
    int groupDigits = 0; // digits since the last separator
    bool grouped = false;
    for (; i < text.size(); ++i) {
        QChar c = text[i];
        if (c.isDigit() && c.unicode() < 128) {
            whole = whole * 10 + (c.unicode() - '0');
            if (whole > i128(std::numeric_limits<std::int64_t>::max()))
                return std::nullopt;
            ++intDigits;
            ++groupDigits;
        } else if (c == u',') {
            if (groupDigits == 0 || (grouped ? groupDigits != 3 : groupDigits > 3))
                return std::nullopt;
            grouped = true;
            groupDigits = 0;
        } else {
            break;
        }
    }
    if (grouped && groupDigits != 3)
        return std::nullopt;
    i128 frac = 0;
    int fracDigits = 0;
    if (i < text.size() && text[i] == u'.') {
        ++i;
        for (; i < text.size(); ++i) {
            QChar c = text[i];
            if (!(c.isDigit() && c.unicode() < 128))
                break;
            if (fracDigits < 30) {
                frac = frac * 10 + (c.unicode() - '0');
                ++fracDigits;
            }
        }
    }
    if (i != text.size() || (intDigits == 0 && fracDigits == 0))
        return std::nullopt;
    i128 units = whole * Scale;
    if (fracDigits <= 4) {
        units += frac * pow10(4 - fracDigits);
    } else {
        i128 den = 1;
        for (int k = 0; k < fracDigits - 4; ++k)
            den *= 10;
        units += divRound(frac, den, true);
    }
    if (negative)
        units = -units;
    if (units > std::numeric_limits<std::int64_t>::max() || units < std::numeric_limits<std::int64_t>::min())
        return std::nullopt;
    return Money::fromUnits(static_cast<std::int64_t>(units));
}

Money Money::roundedEven(int decimals) const
{
    i128 step = pow10(4 - qBound(0, decimals, 4));
    return checked(divRound(m_units, step, true) * step);
}

Money Money::roundedHalfUp(int decimals) const
{
    i128 step = pow10(4 - qBound(0, decimals, 4));
    return checked(divRound(m_units, step, false) * step);
}

QString Money::toDisplay(int decimals, bool grouping) const
{
    decimals = qBound(0, decimals, 4);
    const i128 step = pow10(4 - decimals);
    i128 scaled = divRound(m_units, step, false); // in units of 10^-decimals
    const bool negative = scaled < 0;
    if (negative)
        scaled = -scaled;
    const i128 den = pow10(decimals);
    i128 whole = scaled / den;
    i128 frac = scaled % den;
    QString digits;
    if (whole == 0)
        digits = QStringLiteral("0");
    while (whole > 0) {
        digits.prepend(QChar(char16_t(u'0' + int(whole % 10))));
        whole /= 10;
    }
    if (grouping) {
        for (int pos = digits.size() - 3; pos > 0; pos -= 3)
            digits.insert(pos, u',');
    }
    QString out = negative ? QStringLiteral("-") + digits : digits;
    if (decimals > 0) {
        QString f = QString::number(static_cast<qint64>(frac));
        out += u'.' + f.rightJustified(decimals, u'0');
    }
    return out;
}

QString Money::toPlain() const
{
    QString s = toDisplay(4, false);
    while (s.endsWith(u'0'))
        s.chop(1);
    if (s.endsWith(u'.'))
        s.chop(1);
    return s;
}

Money Money::operator+(Money o) const { return checked(i128(m_units) + o.m_units); }
Money Money::operator-(Money o) const { return checked(i128(m_units) - o.m_units); }
Money Money::operator-() const { return checked(-i128(m_units)); }
Money Money::operator*(Money o) const { return checked(divRound(i128(m_units) * o.m_units, Scale, true)); }
Money Money::operator*(std::int64_t k) const { return checked(i128(m_units) * k); }

Money Money::operator/(Money o) const
{
    if (o.m_units == 0)
        throw std::domain_error("division by zero");
    return checked(divRound(i128(m_units) * Scale, o.m_units, true));
}

} // namespace qh
