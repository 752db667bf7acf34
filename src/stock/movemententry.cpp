#include "stock/movemententry.h"

#include "core/modutarnxt.h"
#include "base/textutil.h"

namespace qh::stock {

namespace {

std::optional<DrugRow> findDrug(db::Session &s, const char *field, const QString &value)
{
    auto st = s.query(QStringLiteral("select ycbm, ycmc, ycdj from ycjg where %1 = ?").arg(QLatin1String(field)), value);
    if (!st.next() || st.isNull(0))
        return std::nullopt;
    return DrugRow{st.text(0), st.text(1), st.money(2)};
}

} // namespace

BoxNumber readBoxNumber(const QString &text)
{
    BoxNumber n;
    if (trimSpaces(text).isEmpty())
        return n;
    if (!isNumeric(text)) {
        n.state = BoxNumber::NotNumeric;
        return n;
    }
    const std::optional<Money> v = Money::parse(text);
    if (!v) {
        n.state = BoxNumber::TooLarge;
        return n;
    }
    try {
        n.value = v->roundedHalfUp(2);
    } catch (const MoneyOverflow &) {
        n.state = BoxNumber::TooLarge;
        return n;
    }
    n.state = (n.value > EntryMaximum || n.value < -EntryMaximum) ? BoxNumber::TooLarge : BoxNumber::Ok;
    return n;
}

QString formatBoxNumber(Money value) { return value.toDisplay(2, true); }

QString tooLargeMessage(const QString &label)
{
    return QStringLiteral("%1超出允许范围，最大为%2").arg(label, formatBoxNumber(EntryMaximum));
}

bool dateTextComplete(const QString &text)
{
    QString t = trimSpaces(text);
    t.remove(MaskBlank);
    t.remove(u' ');
    return t.size() == 10;
}

std::optional<DrugRow> findDrugByCode(db::Session &s, const QString &code) { return findDrug(s, "ycbm", code); }
std::optional<DrugRow> findDrugByName(db::Session &s, const QString &name) { return findDrug(s, "ycmc", name); }

std::optional<EnterMove> enterMoveOf(std::span<const EnterMove> chain, StockField box)
{
    for (const EnterMove &m : chain)
        if (m.box == box)
            return m;
    return std::nullopt;
}

std::strong_ordering compareWithUnitPrice(Money listPrice, Money amount, Money quantity)
{
    // listPrice <=> amount / quantity, both sides multiplied by quantity (in units of 1/Scale):
    // listPrice.units * quantity.units <=> amount.units * Scale, reversed for a negative quantity.
    const __int128 left = __int128(listPrice.units()) * quantity.units();
    const __int128 right = __int128(amount.units()) * Money::Scale;
    const std::strong_ordering order = left <=> right;
    return quantity.isNegative() ? 0 <=> order : order;
}

namespace entrystep {

StockRefusal stay(StockField box, const QString &message, Select select, MsgIcon icon)
{
    return refusal(message, box, select).withIcon(icon);
}

namespace {

// Looks the trimmed text up with find and hands the drug's row to take; an unknown text stays
// in box with unknownMessage.
template <typename Take>
StockVerdict lookUp(const db::Store &store, StockField box, const QString &text, std::optional<DrugRow> (*find)(db::Session &, const QString &),
                    const QString &unknownMessage, Take take)
{
    try {
        auto s = store.open();
        const auto row = find(s, trimSpaces(text));
        if (!row)
            return stay(box, unknownMessage);
        take(*row);
    } catch (const DbError &err) {
        return stay(box, shortReport(err));
    }
    return std::nullopt;
}

} // namespace

StockVerdict lookupCode(const db::Store &store, QString &code, QString &name, const QString &unknownMessage)
{
    if (code.isEmpty())
        return stay(StockField::Txtycbm, {}, Select::none());
    code = code.toUpper();
    return lookUp(store, StockField::Txtycbm, code, findDrugByCode, unknownMessage, [&name](const DrugRow &row) { name = row.ycmc; });
}

StockVerdict lookupName(const db::Store &store, const QString &name, QString &code, const QString &unregisteredMessage)
{
    if (name.isEmpty())
        return stay(StockField::Txtycmc, {}, Select::none());
    return lookUp(store, StockField::Txtycmc, name, findDrugByName, unregisteredMessage,
                  [&code](const DrugRow &row) { code = row.ycbm; });
}

StockVerdict filled(StockField box, const QString &text, const QString &emptyMessage, MsgIcon icon)
{
    if (text.isEmpty())
        return stay(box, emptyMessage, Select::none(), icon);
    return std::nullopt;
}

StockVerdict enterDay(const QString &text, const QDate &today)
{
    if (!dateTextComplete(text))
        return stay(StockField::TxtGjsj, QStringLiteral("请输入10位日期时间"), Select::head(10));
    const auto d = parseDateText(text);
    if (!d)
        return stay(StockField::TxtGjsj, QStringLiteral("输入时间错误"), Select::head(10));
    if (*d > today)
        return stay(StockField::TxtGjsj, QStringLiteral("输入时间不能大于目前时间"), Select::head(10));
    return std::nullopt;
}

StockVerdict enterNumber(StockField box, QString &text, const QString &wrongMessage, const QString &label,
                         const QString &zeroMessage)
{
    const BoxNumber n = readBoxNumber(text);
    switch (n.state) {
    case BoxNumber::Empty:
        return stay(box, {}, Select::none());
    case BoxNumber::NotNumeric:
        return stay(box, wrongMessage);
    case BoxNumber::TooLarge:
        return stay(box, tooLargeMessage(label));
    case BoxNumber::Ok:
        break;
    }
    if (!zeroMessage.isEmpty() && n.value.isZero())
        return stay(box, zeroMessage);
    text = formatBoxNumber(n.value);
    return std::nullopt;
}

StockVerdict checkUnitPrice(const db::Store &store, const QString &code, const QString &quantityText, const QString &amountText,
                            bool (*passes)(std::strong_ordering listAgainstUnit))
{
    // Refusals that name no box leave the focus on the save command.
    const auto atSave = [](const QString &message) { return stay(StockField::CmdSave, message, Select::none()); };
    std::optional<DrugRow> row;
    try {
        auto s = store.open();
        row = findDrugByCode(s, trimSpaces(code));
    } catch (const DbError &err) {
        return atSave(shortReport(err));
    }
    if (!row)
        return stay(StockField::Txtycbm, QStringLiteral("药品编码登录错误，重来"));

    const auto quantity = Money::parse(quantityText);
    const auto amount = Money::parse(amountText);
    if (!quantity || !amount)
        return atSave(QStringLiteral("类型不匹配"));
    if (quantity->isZero())
        return atSave(QStringLiteral("除数为零"));
    if (!passes(compareWithUnitPrice(row->ycdj, *amount, *quantity)))
        return atSave({});
    return std::nullopt;
}

StockVerdict firstMissing(std::initializer_list<RequiredBox> boxes)
{
    for (const RequiredBox &b : boxes)
        if (b.missing)
            return stay(b.box, b.message, b.select);
    return std::nullopt;
}

StockVerdict refuseDay(const QString &text, StockField box, const QString &missingMessage, const QString &wrongMessage,
                       QDate &day)
{
    if (!dateTextComplete(text))
        return stay(box, missingMessage, Select::head(10));
    const auto parsed = parseDateText(text);
    if (!parsed)
        return stay(box, wrongMessage, Select::head(10));
    day = *parsed;
    return std::nullopt;
}

StockVerdict refuseNumber(const BoxNumber &n, StockField box, const QString &wrongMessage, const QString &label)
{
    if (n.state == BoxNumber::Empty || n.state == BoxNumber::NotNumeric)
        return stay(box, wrongMessage);
    if (n.state == BoxNumber::TooLarge)
        return stay(box, tooLargeMessage(label));
    return std::nullopt;
}

Movement entryMovement(const QString &dayText, const QString &name, const QString &handler)
{
    Movement m;
    m.crsj = QDateTime(parseDateText(dayText).value_or(QDate()), QTime(0, 0));
    m.ycbm = name;
    m.blhm = QStringLiteral(" ");
    m.blks = QStringLiteral(" ");
    m.jbxm = handler;
    m.bgxm = Modutarnxt::CurrentUser;
    return m;
}

} // namespace entrystep

} // namespace qh::stock
