#pragma once
// Exact fixed-point amount with four decimals over a 64-bit integer: the type of every
// quantity, price and amount the clinic stores (the "Currency" fields of the database).
#include <QString>
#include <compare>
#include <cstdint>
#include <optional>
#include <stdexcept>

namespace qh {

class MoneyOverflow : public std::overflow_error {
public:
    MoneyOverflow() : std::overflow_error("金额超出允许范围") {}
};

class Money {
public:
    static constexpr std::int64_t Scale = 10000;

    constexpr Money() = default;
    static constexpr Money fromUnits(std::int64_t units) { Money m; m.m_units = units; return m; }
    static Money fromInt(std::int64_t whole);
    // Cents: fromCents(12345) == 123.45
    static Money fromCents(std::int64_t cents);

    // Reads a typed or displayed amount: optional sign, digits with optional "," group
    // separators, optional decimal point. Full-width digits and signs count as ASCII,
    // blanks around the number are ignored. More than four decimals round half to even.
    // Returns nothing for anything else, and for values outside the 64-bit range.
    static std::optional<Money> parse(const QString &text);

    constexpr std::int64_t units() const { return m_units; }
    double toDouble() const { return double(m_units) / Scale; }
    bool isZero() const { return m_units == 0; }
    bool isNegative() const { return m_units < 0; }

    // Rounds to the given number of decimals (0..4), ties to even.
    Money roundedEven(int decimals) const;
    // Rounds to the given number of decimals (0..4), ties away from zero (display rounding).
    Money roundedHalfUp(int decimals) const;

    // "1,234.50": grouped, the given decimals, ties away from zero.
    QString toDisplay(int decimals = 2, bool grouping = true) const;
    // All four decimals without grouping, trailing zeros removed: "1234.5", "12".
    QString toPlain() const;

    Money operator+(Money o) const;
    Money operator-(Money o) const;
    Money operator-() const;
    Money &operator+=(Money o) { *this = *this + o; return *this; }
    Money &operator-=(Money o) { *this = *this - o; return *this; }
    // Exact product rounded to four decimals, ties to even.
    Money operator*(Money o) const;
    Money operator*(std::int64_t k) const;
    // Quotient rounded to four decimals, ties to even; throws std::domain_error on zero.
    Money operator/(Money o) const;

    constexpr auto operator<=>(const Money &) const = default;

private:
    std::int64_t m_units = 0;
};

} // namespace qh
