#include "clinic/caseregister.h"
#include "db/error.h"
#include "base/textutil.h"

namespace qh::clinic {

namespace {

QString blankIfEmpty(const QString &text) { return text.isEmpty() ? QStringLiteral(" ") : text; }

QString dayText(const std::optional<QDate> &day) { return day ? dateText(*day) : QString(); }

QDate requireDate(const QString &text, const char *field)
{
    if (auto d = parseDateText(text))
        return *d;
    throw DbError(err::WrongType, QStringLiteral("字段 '%1' 的数据类型不正确。").arg(QLatin1String(field)));
}

} // namespace

bool isMailAddress(const QString &text)
{
    return !text.isEmpty() && text.contains(u'@') && text.contains(u'.');
}

CaseVerdict srnrJyhz(CaseRecord &r)
{
    r.blbm = trimSpaces(r.blbm);
    r.blsj = trimSpaces(r.blsj);
    r.blxm = trimSpaces(r.blxm);
    r.blzy = trimSpaces(r.blzy);
    r.bldw = trimSpaces(r.bldw);
    r.bldz = trimSpaces(r.bldz);
    r.blte = trimSpaces(r.blte);
    r.mail = trimSpaces(r.mail);
    r.blxd = trimSpaces(r.blxd);

    if (r.blbm.isEmpty())
        return refusal(QStringLiteral("请输入患者病历号码"), CaseField::TxtBlbh, Select::none());
    if (!isDateText(r.blsj))
        return refusal(QStringLiteral("患者初诊时间输入错误"), CaseField::MaskCzsj, Select::all());
    if (r.blhf.isEmpty())
        return refusal(QStringLiteral("请选择患者婚姻情况"), CaseField::CboHyqk, Select::none());
    if (charCount(r.blxm) < 2)
        return refusal(QStringLiteral("请输入患者姓名"), CaseField::TxtHzxm, Select::head(1));
    bool ageOk = false;
    trimSpaces(r.blnl).toInt(&ageOk);
    if (!ageOk)
        return refusal(QStringLiteral("请输入患者年龄"), CaseField::CboHzag, Select::none());
    if (r.blxb.isEmpty())
        return refusal(QStringLiteral("请输入患者性别"), CaseField::CboHzxb, Select::none());
    if (r.mail.isEmpty())
        r.mail = QStringLiteral(" ");
    else if (!isMailAddress(r.mail))
        return refusal(QStringLiteral("电子信箱地址输入错误"), CaseField::TxtMail, Select::all());
    if (charCount(r.bldz) < 2)
        return refusal(QStringLiteral("请输入患者家庭住址"), CaseField::TxtHzdz, Select::head(2));
    r.blzy = blankIfEmpty(r.blzy);
    r.bldw = blankIfEmpty(r.bldw);
    r.blxd = blankIfEmpty(r.blxd);
    r.blte = blankIfEmpty(r.blte);
    return {};
}

CaseVerdict checkFirstVisitOnEnter(const QString &maskText, const QDate &today)
{
    const auto day = parseDateText(maskText);
    if (!day)
        return refusal(QStringLiteral("初诊时间输入错误"), CaseField::MaskCzsj, Select::all());
    if (*day > today)
        return refusal(QStringLiteral("初诊时间不能大于系统目前时间"), CaseField::MaskCzsj, Select::all());
    return {};
}

CaseVerdict registerEnterCheck(CaseField box, const QString &text, const QDate &today)
{
    const QString t = trimSpaces(text);
    auto stay = [box](const char *message, Select select) -> CaseVerdict {
        return refusal(QString::fromUtf8(message), box, select);
    };
    switch (box) {
    case CaseField::TxtBlbh:
        if (t.isEmpty())
            return stay("请输入病历号码", Select::none());
        break;
    case CaseField::TxtHzxm:
        if (charCount(t) < 2)
            return stay("请输入患者姓名，患者姓名至少应为2个汉字", Select::all());
        break;
    case CaseField::CboHzxb:
        if (text.isEmpty())
            return stay("输入患者性别", Select::none());
        break;
    case CaseField::CboHzag:
        if (text.isEmpty())
            return stay("输入患者年龄", Select::none());
        break;
    case CaseField::CboHyqk:
        if (text.isEmpty())
            return stay("输入患者婚姻情况", Select::none());
        break;
    case CaseField::MaskCzsj:
        return checkFirstVisitOnEnter(text, today);
    case CaseField::TxtHzdz:
        if (charCount(t) < 2)
            return stay("请输入患者住址，患者地址不能为空", Select::all());
        break;
    case CaseField::TxtMail:
        if (!t.isEmpty() && !isMailAddress(t))
            return stay("电子信箱输入错误", Select::all());
        break;
    case CaseField::TxtTele:
        if (charCount(t) < 2)
            return stay("请输入患者联系电话", Select::all());
        break;
    case CaseField::MaskJzsj:
    case CaseField::CboHzzy:
    case CaseField::TxtHzdw:
    case CaseField::CmdHzbc:
    case CaseField::CmdQcls:
    case CaseField::TreeView1:
        break;
    }
    return {};
}

CaseVerdict needCaseNumber(const QString &caseNumber)
{
    if (charCount(trimSpaces(caseNumber)) <= 2)
        return refusal(QStringLiteral("请指明病历号码"), CaseField::TreeView1, Select::none());
    return {};
}

SaveKind saveCase(db::Session &s, const CaseRecord &r, const QString &user)
{
    const QDate first = requireDate(r.blsj, "blsj");
    const QDate last = requireDate(r.bljz, "bljz");
    const int age = trimSpaces(r.blnl).toInt();
    const bool found = s.scalarInt(QStringLiteral("select count(*) from hzblzl where blbm = ?"), r.blbm) > 0;
    if (!found) {
        s.exec(QStringLiteral("insert into hzblzl(blbm, blxm, blxb, blnl, blzy, bldw, blhf, bldz, blte, mail, blsj, bljz, blxd, zldl) "
                              "values(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
               r.blbm, r.blxm, r.blxb, age, r.blzy, r.bldw, r.blhf, r.bldz, r.blte, r.mail, first, last, r.blxd, user);
        return SaveKind::Added;
    }
    // The notes box is blank when the notes tab was left with its back command: the stored
    // notes stay as they are.
    const bool keepNotes = trimSpaces(r.blxd).isEmpty();
    s.exec(QStringLiteral("update hzblzl set blxb = ?, blnl = ?, blzy = ?, bldw = ?, blhf = ?, bldz = ?, blte = ?, mail = ?, "
                          "blsj = ?, bljz = ?, blxd = case when ? then blxd else ? end, zldl = ? where blbm = ?"),
           r.blxb, age, r.blzy, r.bldw, r.blhf, r.bldz, r.blte, r.mail, first, last, keepNotes ? 1 : 0, r.blxd, user, r.blbm);
    return SaveKind::Updated;
}

std::optional<CaseRecord> findCase(db::Session &s, const QString &caseNumber)
{
    auto q = s.query(QStringLiteral("select blbm, blxm, blxb, blnl, blzy, bldw, blhf, bldz, blte, mail, blsj, bljz, blxd "
                                    "from hzblzl where blbm = ?"),
                     trimSpaces(caseNumber));
    if (!q.next() || q.isNull(0))
        return std::nullopt;
    CaseRecord r;
    r.blbm = q.text(0);
    r.blxm = q.text(1);
    r.blxb = q.text(2);
    r.blnl = q.isNull(3) ? QString() : QString::number(q.integer(3));
    r.blzy = q.text(4);
    r.bldw = q.text(5);
    r.blhf = q.text(6);
    r.bldz = q.text(7);
    r.blte = q.text(8);
    r.mail = q.text(9);
    r.blsj = dayText(q.date(10));
    r.bljz = dayText(q.date(11));
    r.blxd = q.text(12);
    return r;
}

std::vector<VisitRow> visitsOf(db::Session &s, const QString &caseNumber)
{
    std::vector<VisitRow> rows;
    auto q = s.query(QStringLiteral("select blsj, blkb, zdys, bzqk from hzzdzl where blbm = ? order by blsj, blkb"),
                     trimSpaces(caseNumber));
    while (q.next())
        rows.push_back({dayText(q.date(0)), q.text(1), q.text(2), q.text(3)});
    return rows;
}

RegisterLists registerLists(db::Session &s)
{
    RegisterLists lists;
    auto cases = s.query(QStringLiteral("select blbm from hzblzl order by blbm"));
    while (cases.next())
        lists.caseNumbers << cases.text(0);
    // Blank occupations (stored as " ") are left out here rather than in SQL: the plain distinct
    // is the one pass over the table that a large register can afford.
    auto jobs = s.query(QStringLiteral("select distinct blzy from hzblzl order by blzy"));
    while (jobs.next()) {
        if (!jobs.isNull(0) && !trimSpaces(jobs.text(0)).isEmpty())
            lists.occupations << jobs.text(0);
    }
    return lists;
}

std::optional<QString> notesOf(db::Session &s, const QString &caseNumber)
{
    return s.scalarText(QStringLiteral("select blxd from hzblzl where blbm = ?"), trimSpaces(caseNumber));
}

bool saveNotes(db::Session &s, const QString &caseNumber, const QString &notes)
{
    return s.exec(QStringLiteral("update hzblzl set blxd = ? where blbm = ?"), notes, trimSpaces(caseNumber)) > 0;
}

} // namespace qh::clinic
