#include "stock/stockquery.h"
#include "db/session.h"
#include "core/spreadsheet.h"
#include "base/textutil.h"
#include "stock/reportlayout.h"

namespace qh::stock::stockquery {

namespace {

constexpr int Ten = 10; // the characters of a date selected after a refusal

// The select list of each type and what its columns hold.
const QString kMovementsFrom = QStringLiteral(" from yccrtb where crsj >= ? and crsj <= ?");
const QString kDrug = QStringLiteral(" and ycbm = ?");

QString dayStart(const QDate &d) { return dbDate(d); }
// The last second of the day: stored times carry whole seconds, so the whole day is included.
QString dayEnd(const QDate &d) { return dbDateTime(QDateTime(d, QTime(23, 59, 59))); }

} // namespace

StockQueryInput Qpcls(const QDate &today)
{
    return {QString(), QString(), dateText(today.addDays(-DefaultDays)), dateText(today)};
}

Verdict<StockQueryField> checkStartOnEnter(const QString &start)
{
    if (!isDateText(start))
        return refusal(QStringLiteral("查询起始时间输入错误"), StockQueryField::TxtQssj, Select::head(Ten));
    return {};
}

Verdict<StockQueryField> checkEndOnEnter(const QString &end)
{
    if (!isDateText(end))
        return refusal(QStringLiteral("查询载止时间输入错误"), StockQueryField::TxtJssj, Select::head(Ten));
    return {};
}

Verdict<StockQueryField> srnrJy(const QString &start, const QString &end)
{
    if (auto r = checkStartOnEnter(start))
        return r;
    if (!isDateText(end))
        return refusal(QStringLiteral("查询结束时间输入错误"), StockQueryField::TxtJssj, Select::head(Ten));
    return {};
}

std::optional<QString> lookupDrug(db::Session &s, const QString &code)
{
    const QString key = trimSpaces(code).toUpper();
    if (key.isEmpty())
        return std::nullopt;
    return s.scalarText(QStringLiteral("select ycmc from ycjg where ycbm = ?"), key);
}

std::variant<QString, Refusal<StockQueryField>> ycbmOnEnter(db::Session &s, const QString &code)
{
    if (auto name = lookupDrug(s, code))
        return *name;
    return refusal(QStringLiteral("药材编码输入错误"), StockQueryField::Txtycbm, Select::all());
}

std::optional<QString> drugFilter(const StockQueryInput &input)
{
    if (input.code.isEmpty())
        return std::nullopt;
    return trimSpaces(input.name);
}

StockQueryStatement buildQuery(StockQueryType type, const QDate &start, const QDate &end,
                               const std::optional<QString> &drugName)
{
    StockQueryStatement q;
    q.type = type;
    if (type == StockQueryType::Ycjy) {
        q.name = QStringLiteral("ycjy");
        q.sql = QStringLiteral("select ycbm, ycyl, rkje from ycyltb where ycbm <> '' order by ycbm");
        return q;
    }
    q.values = {dayStart(start), dayEnd(end)};
    QString filter;
    if (drugName) {
        filter = kDrug;
        q.values << *drugName;
    }
    switch (type) {
    case StockQueryType::Ycrk:
        q.name = QStringLiteral("ycrk");
        q.sql = QStringLiteral("select ycbm, crsj, yccd, ycly, ywph, yxqx, rksl, rkje, jbxm, bgxm") + kMovementsFrom
              + filter + QStringLiteral(" and ywzy = '购进' order by ycbm, crsj, rowid");
        break;
    case StockQueryType::Ycck:
        q.name = QStringLiteral("ycck");
        q.sql = QStringLiteral("select blhm, blks, crsj, ycbm, ywzy, cksl, ckje, xsje") + kMovementsFrom + filter
              + QStringLiteral(" and ywzy <> '购进' order by ycbm, crsj, rowid");
        break;
    case StockQueryType::Ckrk:
        q.name = QStringLiteral("ycck");
        q.sql = QStringLiteral("select crsj, ycbm, ywzy, rksl, rkje, cksl, ckje, xsje") + kMovementsFrom + filter
              + QStringLiteral(" order by crsj, ycbm");
        break;
    case StockQueryType::Ycjy:
        break;
    }
    return q;
}

namespace {

db::Statement prepared(db::Session &s, const StockQueryStatement &q)
{
    db::Statement st = s.prepare(q.sql);
    int i = 0;
    for (const QString &v : q.values)
        st.bind(++i, v);
    return st;
}

} // namespace

bool runQuery(db::Session &s, const StockQueryStatement &query)
{
    db::Statement st = prepared(s, query);
    return st.next();
}

QString reportFilePath(StockQueryType type, const QString &start, const QString &end)
{
    const QString prefix = trimSpaces(start) + QStringLiteral(" 至 ") + trimSpaces(end);
    return documentFilePath(prefix + reportlayout::of(type).fileName);
}

QString writeReport(db::Session &s, const StockQueryStatement &query, const QString &start, const QString &end,
                    const std::function<void()> &afterRow)
{
    const QString path = reportFilePath(query.type, start, end);
    db::Statement st = prepared(s, query);
    Spreadsheet sheet = Spreadsheet::streamingTo(path);
    reportlayout::write(sheet, reportlayout::of(query.type), st, afterRow);
    sheet.finish();
    return path;
}

QString reportWrittenMessage() { return QStringLiteral("生成图表已经存放在我的文档中，请查收"); }
QString noRowsMessage() { return QStringLiteral("没有符合查询条件的内容"); }

} // namespace qh::stock::stockquery
