#include "stock/movemententry.h"

#include "core/modutarnxt.h"
#include "core/textutil.h"

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

namespace entrystep {

StepResult stay(const QString &message, Selection select, MsgIcon icon)
{
    StepResult r;
    r.ok = false;
    r.message = message;
    r.icon = icon;
    r.select = select;
    return r;
}

StepResult moveTo(const QString &box, Selection select)
{
    StepResult r;
    r.focus = box;
    r.select = select;
    return r;
}

StepResult fail(const QString &message, const QString &box, Selection select)
{
    StepResult r = stay(message, select);
    r.focus = box;
    return r;
}

namespace {

// Looks the trimmed text up with find and hands the drug's row to take, then moves to next;
// an unknown text stays with unknownMessage.
template <typename Take>
StepResult lookUp(const QString &text, std::optional<DrugRow> (*find)(db::Session &, const QString &),
                  const QString &unknownMessage, Take take, const QString &next, Selection select)
{
    try {
        auto s = Modutarnxt::openClinic();
        const auto row = find(s, trimSpaces(text));
        if (!row)
            return stay(unknownMessage);
        take(*row);
    } catch (const DbError &err) {
        return stay(shortReport(err));
    }
    return moveTo(next, select);
}

} // namespace

StepResult lookupCode(QString &code, QString &name, const QString &unknownMessage, const QString &next)
{
    if (code.isEmpty())
        return stay({}, Selection::None);
    code = code.toUpper();
    return lookUp(code, findDrugByCode, unknownMessage, [&name](const DrugRow &row) { name = row.ycmc; }, next,
                  Selection::All);
}

StepResult lookupName(const QString &name, QString &code, const QString &unregisteredMessage)
{
    if (name.isEmpty())
        return stay({}, Selection::None);
    return lookUp(name, findDrugByName, unregisteredMessage, [&code](const DrugRow &row) { code = row.ycbm; },
                  QStringLiteral("TxtGjsj"), Selection::FirstTen);
}

StepResult filledThen(const QString &text, const QString &next, Selection select, const QString &emptyMessage,
                      MsgIcon icon)
{
    if (text.isEmpty())
        return stay(emptyMessage, Selection::None, icon);
    return moveTo(next, select);
}

StepResult enterDay(const QString &text, const QDate &today, const QString &next)
{
    if (!dateTextComplete(text))
        return stay(QStringLiteral("请输入10位日期时间"), Selection::FirstTen);
    const auto d = parseDateText(text);
    if (!d)
        return stay(QStringLiteral("输入时间错误"), Selection::FirstTen);
    if (*d > today)
        return stay(QStringLiteral("输入时间不能大于目前时间"), Selection::FirstTen);
    return moveTo(next, Selection::All);
}

StepResult enterNumber(QString &text, const QString &wrongMessage, const QString &label, const QString &next,
                       const QString &zeroMessage)
{
    const BoxNumber n = readBoxNumber(text);
    switch (n.state) {
    case BoxNumber::Empty:
        return stay({}, Selection::None);
    case BoxNumber::NotNumeric:
        return stay(wrongMessage);
    case BoxNumber::TooLarge:
        return stay(tooLargeMessage(label));
    case BoxNumber::Ok:
        break;
    }
    if (!zeroMessage.isEmpty() && n.value.isZero())
        return stay(zeroMessage);
    text = formatBoxNumber(n.value);
    return moveTo(next, Selection::All);
}

StepResult checkUnitPrice(const QString &code, const QString &quantityText, const QString &amountText,
                          bool (*passes)(Money listPrice, Money unitPrice))
{
    std::optional<DrugRow> row;
    try {
        auto s = Modutarnxt::openClinic();
        row = findDrugByCode(s, trimSpaces(code));
    } catch (const DbError &err) {
        return stay(shortReport(err), Selection::None);
    }
    if (!row)
        return fail(QStringLiteral("药品编码登录错误，重来"), QStringLiteral("Txtycbm"), Selection::All);

    const auto quantity = Money::parse(quantityText);
    const auto amount = Money::parse(amountText);
    if (!quantity || !amount)
        return stay(QStringLiteral("类型不匹配"), Selection::None);
    if (quantity->isZero())
        return stay(QStringLiteral("除数为零"), Selection::None);
    Money unit;
    try {
        unit = *amount / *quantity;
    } catch (const MoneyOverflow &) {
        return stay(QStringLiteral("溢出"), Selection::None);
    }
    if (!passes(row->ycdj, unit))
        return stay({}, Selection::None);
    return StepResult{};
}

std::optional<StepResult> firstMissing(std::initializer_list<RequiredBox> boxes)
{
    for (const RequiredBox &b : boxes)
        if (b.missing)
            return fail(b.message, b.box, b.select);
    return std::nullopt;
}

std::optional<StepResult> refuseDay(const QString &text, const QString &box, const QString &missingMessage,
                                    const QString &wrongMessage, QDate &day)
{
    if (!dateTextComplete(text))
        return fail(missingMessage, box, Selection::FirstTen);
    const auto parsed = parseDateText(text);
    if (!parsed)
        return fail(wrongMessage, box, Selection::FirstTen);
    day = *parsed;
    return std::nullopt;
}

std::optional<StepResult> refuseNumber(const BoxNumber &n, const QString &box, const QString &wrongMessage,
                                       const QString &label)
{
    if (n.state == BoxNumber::Empty || n.state == BoxNumber::NotNumeric)
        return fail(wrongMessage, box, Selection::All);
    if (n.state == BoxNumber::TooLarge)
        return fail(tooLargeMessage(label), box, Selection::All);
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
