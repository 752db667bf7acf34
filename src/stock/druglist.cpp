#include "stock/druglist.h"

#include "db/session.h"
#include "base/textutil.h"
#include "stock/druglookup.h"

namespace qh::stock::druglist {

namespace {

DrugVerdict refuse(const QString &message, DrugField focus, bool selectAll = false)
{
    return refusal(message, focus, selectAll ? Select::all() : Select::none());
}

DrugAnswer refused(DrugVerdict r)
{
    DrugAnswer a;
    a.refusal = std::move(r);
    return a;
}

DrugAnswer failed(const DbError &e)
{
    DrugAnswer a;
    a.failure = shortReport(e);
    return a;
}

DrugAnswer succeeded(DrugField next)
{
    DrugAnswer a;
    a.next = next;
    return a;
}

constexpr DrugField kCategory = DrugField::CboYplb;
constexpr DrugField kCode = DrugField::Txtycbm;
constexpr DrugField kName = DrugField::Txtycmc;
constexpr DrugField kUnit = DrugField::TxtJldw;
constexpr DrugField kPrice = DrugField::Txtycdj;
constexpr DrugField kSave = DrugField::CmdSave;

const QString kNotSaved = QStringLiteral("此条记录尚未保存");
const QString kDuplicateCode = QStringLiteral("药品编码重复");
const QString kDuplicateName = QStringLiteral("药品名称重复");

bool codeExists(db::Session &s, const QString &code)
{
    return s.scalarInt(QStringLiteral("select count(*) from ycjg where ycbm = ?"), code) > 0;
}

bool nameExists(db::Session &s, const QString &name)
{
    return s.scalarInt(QStringLiteral("select count(*) from ycjg where ycmc = ?"), name) > 0;
}

} // namespace

Money maxPrice() { return Money::fromCents(999999999); } // 9,999,999.99

QString priceText(Money price) { return price.toDisplay(2, true); }

std::optional<QString> priceOnEnter(const QString &text)
{
    if (!isNumeric(text))
        return std::nullopt;
    const auto value = Money::parse(text);
    if (!value)
        return std::nullopt;
    return priceText(*value);
}

QStringList YplbAdd(db::Session &s)
{
    auto q = s.query(QStringLiteral("select distinct yplb from ycjg where ycbm <> '' and yplb is not null order by yplb"));
    QStringList list;
    while (q.next())
        list << q.text(0);
    return list;
}

std::vector<DrugListRow> GridBmmcAdd(db::Session &s)
{
    std::vector<DrugListRow> rows;
    rows.reserve(size_t(s.scalarInt(QStringLiteral("select count(*) from ycjg"))));
    auto q = s.query(QStringLiteral("select ycbm, ycmc, ycdj, jldw, yplb from ycjg order by ycbm"));
    while (q.next())
        rows.push_back({q.text(0), q.text(1), q.money(2), q.text(3), q.text(4)});
    return rows;
}

DrugVerdict srnrJy(DrugEntry &e)
{
    e.category = trimSpaces(e.category);
    e.code = trimSpaces(e.code).toUpper();
    e.name = trimSpaces(e.name);
    e.unit = trimSpaces(e.unit);
    e.price = trimSpaces(e.price);

    if (e.category.isEmpty())
        return refuse(QStringLiteral("输入药品类别"), kCategory);
    if (charCount(e.category) > CategoryMax)
        return refuse(QStringLiteral("药品类别不能超过%1个字").arg(CategoryMax), kCategory, true);
    if (e.name.isEmpty())
        return refuse(QStringLiteral("输入药品名称"), kName);
    if (charCount(e.name) > NameMax)
        return refuse(QStringLiteral("药品名称不能超过%1个字").arg(NameMax), kName, true);
    if (e.code.isEmpty())
        return refuse(QStringLiteral("输入药品编码"), kCode);
    if (charCount(e.code) > CodeMax)
        return refuse(QStringLiteral("药品编码不能超过%1个字符").arg(CodeMax), kCode, true);
    // A number too large for an amount is no price either.
    const auto price = isNumeric(e.price) ? Money::parse(e.price) : std::nullopt;
    if (!price)
        return refuse(QStringLiteral("药品单价输入错误"), kPrice, true);
    if (*price <= Money())
        return refuse(QStringLiteral("药品单价不能为零或小于零"), kPrice, true);
    if (*price > maxPrice())
        return refuse(QStringLiteral("药品单价不能大于%1").arg(priceText(maxPrice())), kPrice, true);
    if (e.unit.isEmpty())
        return refuse(QStringLiteral("输入药品计量单位"), kUnit);
    if (charCount(e.unit) > UnitMax)
        return refuse(QStringLiteral("计量单位不能超过%1个字").arg(UnitMax), kUnit, true);
    return std::nullopt;
}

DrugVerdict categoryOnEnter(const QString &category)
{
    if (trimSpaces(category).isEmpty())
        return refuse(QStringLiteral("输入药品类别，此项必须输入。"), kCategory);
    return std::nullopt;
}

DrugVerdict formatPriceOnEnter(QString &text)
{
    const auto shown = priceOnEnter(text);
    if (!shown)
        return refuse(QStringLiteral("药品单价输入错误"), kPrice, true);
    text = *shown;
    return std::nullopt;
}

DrugVerdict filledOnEnter(DrugField box, const QString &text)
{
    if (trimSpaces(text).isEmpty())
        return refuse(QString(), box);
    return std::nullopt;
}

namespace {

// Checks the entry, then runs write in one transaction of a session of the store (a failed open
// is reported as the write's own failure). write returns a refusal to stop
// (nothing is written then) or nothing to commit; a database failure comes back short.
template <typename Write>
DrugAnswer checkedWrite(const db::Store &store, DrugEntry &e, DrugField focusAfter, Write write)
{
    if (DrugVerdict check = srnrJy(e))
        return refused(std::move(check));
    try {
        auto s = store.open();
        db::Transaction t(s);
        if (DrugVerdict r = write(s))
            return refused(std::move(r));
        t.commit();
    } catch (const DbError &err) {
        return failed(err);
    }
    // The other windows' lookups read the list again before their next use.
    drugListChanged();
    return succeeded(focusAfter);
}

// An update or delete that changed no row met an entry that was never saved.
DrugVerdict unlessUnchanged(int changedRows)
{
    if (changedRows == 0)
        return refuse(kNotSaved, kSave);
    return std::nullopt;
}

} // namespace

DrugAnswer add(const db::Store &store, DrugEntry &e)
{
    return checkedWrite(store, e, kCategory, [&](db::Session &s) -> DrugVerdict {
        if (codeExists(s, e.code))
            return refuse(kDuplicateCode, kCode, true);
        if (nameExists(s, e.name))
            return refuse(kDuplicateName, kName, true);
        s.exec(QStringLiteral("insert into ycjg(ycbm, ycmc, ycdj, jldw, yplb) values(?, ?, ?, ?, ?)"), e.code, e.name,
               *Money::parse(e.price), e.unit, e.category);
        return DrugVerdict();
    });
}

DrugAnswer changeOthers(const db::Store &store, DrugEntry &e)
{
    return checkedWrite(store, e, kCategory, [&](db::Session &s) {
        return unlessUnchanged(s.exec(QStringLiteral("update ycjg set ycdj = ?, jldw = ?, yplb = ? where ycbm = ?"),
                                      *Money::parse(e.price), e.unit, e.category, e.code));
    });
}

DrugAnswer changeName(const db::Store &store, DrugEntry &e)
{
    return checkedWrite(store, e, kCategory, [&](db::Session &s) -> DrugVerdict {
        if (nameExists(s, e.name))
            return refuse(kDuplicateName, kName, true);
        return unlessUnchanged(s.exec(QStringLiteral("update ycjg set ycmc = ?, ycdj = ?, jldw = ?, yplb = ? where ycbm = ?"),
                                      e.name, *Money::parse(e.price), e.unit, e.category, e.code));
    });
}

DrugAnswer changeCode(const db::Store &store, DrugEntry &e)
{
    return checkedWrite(store, e, kCategory, [&](db::Session &s) -> DrugVerdict {
        if (codeExists(s, e.code))
            return refuse(kDuplicateCode, kCode, true);
        return unlessUnchanged(s.exec(QStringLiteral("update ycjg set ycbm = ?, ycdj = ?, jldw = ?, yplb = ? where ycmc = ?"),
                                      e.code, *Money::parse(e.price), e.unit, e.category, e.name));
    });
}

DrugAnswer remove(const db::Store &store, DrugEntry &e)
{
    return checkedWrite(store, e, kCode, [&](db::Session &s) {
        return unlessUnchanged(s.exec(QStringLiteral("delete from ycjg where ycbm = ?"), e.code));
    });
}

QString exportFilePath() { return documentFilePath(QStringLiteral("药品编码名称对照表.xls")); }

Spreadsheet buildExport(const std::vector<QStringList> &gridRows, const std::function<void()> &afterRow)
{
    Spreadsheet sheet;
    sheet.clear(QStringLiteral("b2:d3000"));
    sheet.setText(QStringLiteral("a2"), QStringLiteral("药品编码"));
    sheet.setText(QStringLiteral("b2"), QStringLiteral("药品名称"));
    sheet.setText(QStringLiteral("c2"), QStringLiteral("药品价格"));
    sheet.setText(QStringLiteral("d2"), QStringLiteral("计量单位"));
    sheet.setFont(QStringLiteral("宋体 "), 9);
    int i = 0;
    for (const QStringList &cells : gridRows) {
        ++i;
        const int row = i + 4;
        for (int j = 0; j < 4; ++j) {
            const QString text = trimSpaces(cells.value(j));
            // The price goes in as a number, so the spreadsheet can sum it.
            const auto price = j == 2 ? Money::parse(text) : std::nullopt;
            if (price)
                sheet.setMoney(row, j + 1, *price);
            else
                sheet.setText(row, j + 1, text);
            sheet.autoFitColumn(j + 1);
        }
        sheet.setColumnWidth(1, 8.8);
        sheet.setColumnWidth(2, 20);
        sheet.setColumnWidth(3, 9);
        sheet.setColumnWidth(4, 9);
        sheet.setNumberFormat(row, 3, QStringLiteral("#,##0.00_ "));
        if (afterRow)
            afterRow();
    }
    return sheet;
}

} // namespace qh::stock::druglist
