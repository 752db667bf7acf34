#include "clinic/visitentry.h"
#include "clinic/punctuation.h"
#include "db/session.h"
#include "db/error.h"
#include "base/textutil.h"

namespace qh::clinic {

namespace {

QString dayText(const std::optional<QDate> &day) { return day ? dateText(*day) : QString(); }

QDate requireDate(const QString &text, const char *field)
{
    if (auto d = parseDateText(text))
        return *d;
    throw DbError(err::WrongType, QStringLiteral("字段 '%1' 的数据类型不正确。").arg(QLatin1String(field)));
}

int numberOf(const QString &text) { return toHalfWidth(trimSpaces(text)).toInt(); }

// The row id of the visit of a case, department and day.
std::optional<qint64> visitRow(db::Session &s, const QString &caseNumber, const QString &dept, const QDate &day)
{
    auto q = s.query(QStringLiteral("select rowid from hzzdzl where blbm = ? and blkb = ? and date(blsj) = ? "
                                    "order by blsj limit 1"),
                     caseNumber, dept, dateText(day));
    if (!q.next())
        return std::nullopt;
    return q.int64(0);
}

} // namespace

VisitRecord newVisit(const QString &caseNumber, const QDate &today)
{
    VisitRecord v;
    v.blbm = caseNumber;
    v.blsj = dateText(today);
    v.fzsj = dateText(today);
    v.bzxy = QStringLiteral("15/20");
    v.bzmb = QStringLiteral("70");
    v.bzhx = QStringLiteral("40");
    return v;
}

VisitVerdict SrnrJyzd(VisitRecord &v)
{
    for (QString *t : {&v.blbm, &v.blkb, &v.zdys, &v.bzqk, &v.blfa, &v.blcf, &v.blsx, &v.blsj, &v.bzxy, &v.bzmb,
                       &v.bzhx, &v.fzsj})
        *t = trimSpaces(*t);

    if (v.blbm.isEmpty())
        return refusal(QStringLiteral("请输入病历号码"), VisitField::TxtBlbh, Select::none());
    // The diagnosis date box is locked by the window; a record filled elsewhere is still checked.
    if (!isDateText(v.blsj))
        return refusal(QStringLiteral("诊断时间输入错误"), VisitField::MasZdsj_0, Select::all());
    if (v.blkb.isEmpty())
        return refusal(QStringLiteral("请输入诊断科室"), VisitField::CboZdks, Select::none());
    if (charCount(v.bzxy) < 5)
        return refusal(QStringLiteral("患者血压输入错误"), VisitField::MasZdsj_1, Select::none());
    if (!isNumeric(v.bzmb))
        return refusal(QStringLiteral("患者脉搏输入错误"), VisitField::MasZdsj_2, Select::none());
    if (!isNumeric(v.bzhx))
        return refusal(QStringLiteral("患者呼吸输入错误"), VisitField::MasZdsj_3, Select::none());
    if (charCount(v.zdys) < 2)
        return refusal(QStringLiteral("请输入诊断医师姓名"), VisitField::TxtStb1_1, Select::all());
    if (v.blfa.isEmpty())
        return refusal(QStringLiteral("请输入治疗方案"), VisitField::TxtStb1_3, Select::none());
    if (v.blcf.isEmpty())
        return refusal(QStringLiteral("请输入治疗处方"), VisitField::TxtStb1_4, Select::none());
    if (v.followUp) {
        const auto follow = parseDateText(v.fzsj);
        if (!follow)
            return refusal(QStringLiteral("复诊时间输入错误"), VisitField::MasZdsj_4, Select::none());
        if (*parseDateText(v.blsj) >= *follow)
            return refusal(QStringLiteral("复诊时间不能小于诊断时间"), VisitField::MasZdsj_4, Select::none());
    }
    return {};
}

VisitVerdict visitEnterCheck(VisitField box, const QString &text)
{
    const QString t = trimSpaces(text);
    auto stay = [box](const char *message, Select select) -> VisitVerdict {
        return refusal(QString::fromUtf8(message), box, select);
    };
    switch (box) {
    case VisitField::CboZdks:
        if (t.isEmpty())
            return stay("输入诊断科室", Select::none());
        break;
    case VisitField::TxtStb1_1:
        if (t.isEmpty())
            return stay("输入诊断医师", Select::all());
        break;
    case VisitField::MasZdsj_1:
        // The box has no mask: what was typed counts, blanks included.
        if (charCount(text) < 3)
            return stay("请输入患者血压。", Select::all());
        break;
    case VisitField::MasZdsj_2:
        if (charCount(text) != 2)
            return stay("请输入患者脉搏。", Select::none());
        break;
    case VisitField::MasZdsj_3:
        if (charCount(text) != 2)
            return refusal(QString(), box, Select::all()); // no message: the text is selected again
        break;
    case VisitField::TxtStb1_3:
        if (t.isEmpty())
            return stay("输入诊断治疗内容。", Select::none());
        break;
    case VisitField::TxtStb1_4:
        if (t.isEmpty())
            return stay("输入处方内容。", Select::none());
        break;
    case VisitField::TxtStb1_5:
        if (t.isEmpty())
            return stay("输入处方使用注意事项。", Select::none());
        break;
    case VisitField::TxtBlbh:
    case VisitField::TxtStb1_0:
    case VisitField::TxtStb1_2:
    case VisitField::MasZdsj_0:
    case VisitField::MasZdsj_4:
        break;
    }
    return {};
}

VisitSaveKind saveVisit(db::Session &s, const VisitRecord &v, const QDate &today)
{
    const QDate day = requireDate(v.blsj, "blsj");
    // Without a follow-up the box holds today's date; a box left without a date means today too.
    const QDate follow = v.followUp ? requireDate(v.fzsj, "fzsj") : parseDateText(v.fzsj).value_or(today);
    const QString dept = trimSpaces(v.blkb);
    const QString doctor = trimSpaces(v.zdys);

    db::Transaction t(s);
    const auto row = visitRow(s, v.blbm, dept, day);
    if (!row) {
        s.exec(QStringLiteral("insert into hzzdzl(blbm, blkb, blsj, bzxy, bzmb, bzhx, bzqk, blfa, blcf, blsx, fzsj, zdys) "
                              "values(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
               v.blbm, dept, day, v.bzxy, numberOf(v.bzmb), numberOf(v.bzhx), NormalizePunctuation(v.bzqk),
               NormalizePunctuation(v.blfa), NormalizePunctuation(v.blcf), NormalizePunctuation(v.blsx), follow, doctor);
    } else {
        s.exec(QStringLiteral("update hzzdzl set bzxy = ?, bzmb = ?, bzhx = ?, bzqk = ?, blfa = ?, blcf = ?, blsx = ?, "
                              "fzsj = ?, zdys = ? where rowid = ?"),
               v.bzxy, numberOf(v.bzmb), numberOf(v.bzhx), NormalizePunctuation(v.bzqk), NormalizePunctuation(v.blfa),
               NormalizePunctuation(v.blcf), NormalizePunctuation(v.blsx), follow, doctor, *row);
    }
    s.exec(QStringLiteral("update hzblzl set bljz = ? where blbm = ?"), follow, v.blbm);
    s.exec(QStringLiteral("delete from fzzl where blbm = ?"), v.blbm);
    if (v.followUp && follow > today)
        s.exec(QStringLiteral("insert into fzzl(blbm, blkb, blsj, blfz, zdys) values(?, ?, ?, ?, ?)"), v.blbm, dept, day,
               follow, doctor);
    t.commit();
    return row ? VisitSaveKind::Updated : VisitSaveKind::Added;
}

std::optional<VisitRecord> findVisit(db::Session &s, const QString &caseNumber, const QString &dept, const QDate &day)
{
    const auto row = visitRow(s, trimSpaces(caseNumber), trimSpaces(dept), day);
    if (!row)
        return std::nullopt;
    auto q = s.query(QStringLiteral("select blbm, blkb, blsj, bzxy, bzmb, bzhx, bzqk, blfa, blcf, blsx, fzsj, zdys "
                                    "from hzzdzl where rowid = ?"),
                     *row);
    if (!q.next())
        return std::nullopt;
    VisitRecord v;
    v.blbm = q.text(0);
    v.blkb = trimSpaces(q.text(1));
    v.blsj = dayText(q.date(2));
    v.bzxy = trimSpaces(q.text(3));
    v.bzmb = QStringLiteral("%1").arg(q.integer(4), 2, 10, QLatin1Char('0'));
    v.bzhx = QStringLiteral("%1").arg(q.integer(5), 2, 10, QLatin1Char('0'));
    v.bzqk = q.text(6);
    v.blfa = q.text(7);
    v.blcf = q.text(8);
    v.blsx = q.text(9);
    v.fzsj = dayText(q.date(10));
    v.zdys = q.text(11);
    // A follow-up had been set when its date differs from the diagnosis day.
    v.followUp = v.blsj != v.fzsj;
    return v;
}

std::optional<QString> lastPrescription(db::Session &s, const QString &caseNumber)
{
    auto q = s.query(QStringLiteral("select blcf from hzzdzl where blbm = ? order by blsj desc, rowid desc limit 1"),
                     trimSpaces(caseNumber));
    if (!q.next())
        return std::nullopt;
    return q.isNull(0) ? QString() : q.text(0);
}

PickLists TclBnr(db::Session &s)
{
    PickLists lists;
    QStringList categories;
    auto c = s.query(QStringLiteral("select distinct yplb from ycjg where yplb is not null order by yplb"));
    while (c.next())
        categories << c.text(0);
    if (categories.isEmpty())
        return lists;
    lists.categories = categories;
    QStringList departments;
    auto d = s.query(QStringLiteral("select distinct blkb from hzzdzl where blkb is not null order by blkb"));
    while (d.next())
        departments << d.text(0);
    if (departments.isEmpty())
        return lists;
    lists.departments = departments;
    lists.resetDoses = true;
    return lists;
}

QStringList doseItems(int from, int to)
{
    QStringList items;
    for (int i = from; i <= to; ++i)
        items << QString::number(i);
    return items;
}

std::optional<QStringList> herbsOfCategory(db::Session &s, const QString &category)
{
    QStringList herbs;
    auto q = s.query(QStringLiteral("select ycmc from ycjg where yplb = ? order by ycmc"), trimSpaces(category));
    while (q.next())
        herbs << q.text(0);
    if (herbs.isEmpty())
        return std::nullopt;
    return herbs;
}

std::optional<QString> herbPickText(db::Session &s, const QString &herb, const QString &dose)
{
    auto q = s.query(QStringLiteral("select ycmc, jldw from ycjg where ycmc = ?"), trimSpaces(herb));
    if (!q.next())
        return std::nullopt;
    return trimSpaces(herb) + trimSpaces(dose) + q.text(1) + QStringLiteral("，");
}

QString visitSavedMessage()
{
    return QStringLiteral("资料内容保存完毕，点击打印键进行打印") + QStringLiteral("\r\n") +
           QStringLiteral("或按返回首页键，返回首页输入新的内容。");
}

} // namespace qh::clinic
