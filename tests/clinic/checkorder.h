#pragma once
// The fixed order of the register check (srnrJyhz) and of the visit check (SrnrJyzd) as one table
// each, shared by the logic tests and the window tests. Each order row breaks two adjacent checks
// and expects the earlier one's message and focus, so moving any check later fails a row; the
// rows with one break try the other ways a box can be wrong.
#include "clinic/caseregister.h"
#include "clinic/visitentry.h"

#include <QtTest>

namespace qh::clinic::checkorder {

// A valid record, as the boxes hold it.
inline CaseRecord goodCase()
{
    CaseRecord r;
    r.blbm = QStringLiteral("20240001");
    r.blxm = QStringLiteral("张三");
    r.blxb = QStringLiteral("男");
    r.blnl = QStringLiteral("45");
    r.blhf = QStringLiteral("已婚");
    r.blsj = QStringLiteral("2024-03-01");
    r.bljz = QStringLiteral("2024-03-05");
    r.blzy = QStringLiteral("教师");
    r.bldz = QStringLiteral("青禾路1号");
    r.bldw = QStringLiteral("第一中学");
    r.mail = QStringLiteral("zs@example.com");
    r.blte = QStringLiteral("0571-1234567");
    return r;
}

inline QString *caseBox(CaseRecord &r, const QString &name)
{
    QString CaseRecord::*fields[] = {&CaseRecord::blbm, &CaseRecord::blsj, &CaseRecord::blhf, &CaseRecord::blxm,
                                     &CaseRecord::blnl, &CaseRecord::blxb, &CaseRecord::mail, &CaseRecord::bldz};
    const QStringList names = {"blbm", "blsj", "blhf", "blxm", "blnl", "blxb", "mail", "bldz"};
    return names.contains(name) ? &(r.*fields[names.indexOf(name)]) : nullptr;
}

// Columns: first and second break (field name, value; an empty name breaks nothing), the message,
// the control focused and how its text is selected.
inline void caseOrderRows()
{
    QTest::addColumn<QString>("f1");
    QTest::addColumn<QString>("v1");
    QTest::addColumn<QString>("f2");
    QTest::addColumn<QString>("v2");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("focus");
    QTest::addColumn<int>("selectKind");
    QTest::addColumn<int>("selectCount");
    auto row = [](const char *name, const char *f1, const char *v1, const char *f2, const char *v2, const char *message,
                  CaseField focus, Select s) {
        QTest::newRow(name) << QString::fromUtf8(f1) << QString::fromUtf8(v1) << QString::fromUtf8(f2) << QString::fromUtf8(v2)
                            << QString::fromUtf8(message) << int(focus) << int(s.kind) << s.count;
    };
    using F = CaseField;
    // Two adjacent checks broken: the earlier one speaks.
    row("case number before first visit", "blbm", "   ", "blsj", "2024-02-30", "请输入患者病历号码", F::TxtBlbh, Select::none());
    row("first visit before marital status", "blsj", "2024-02-30", "blhf", "", "患者初诊时间输入错误", F::MaskCzsj, Select::all());
    row("marital status before name", "blhf", "", "blxm", " 张 ", "请选择患者婚姻情况", F::CboHyqk, Select::none());
    row("name before age", "blxm", " 张 ", "blnl", "", "请输入患者姓名", F::TxtHzxm, Select::head(1));
    row("age before sex", "blnl", "", "blxb", "", "请输入患者年龄", F::CboHzag, Select::none());
    row("sex before mail", "blxb", "", "mail", "zs@example", "请输入患者性别", F::CboHzxb, Select::none());
    row("mail before address", "mail", "zs@example", "bldz", "京", "电子信箱地址输入错误", F::TxtMail, Select::all());
    // The last check alone, and other ways to be wrong.
    row("short address", "bldz", "京", "", "", "请输入患者家庭住址", F::TxtHzdz, Select::head(2));
    row("incomplete first visit", "blsj", "2024-1_-__", "", "", "患者初诊时间输入错误", F::MaskCzsj, Select::all());
    row("empty mask", "blsj", "____-__-__", "", "", "患者初诊时间输入错误", F::MaskCzsj, Select::all());
    row("mail without at", "mail", "zs.example.com", "", "", "电子信箱地址输入错误", F::TxtMail, Select::all());
    row("full-width at", "mail", "zs＠example.com", "", "", "电子信箱地址输入错误", F::TxtMail, Select::all());
    // A name of one character outside the basic plane is still one character.
    row("one astral character", "blxm", "\xF0\xA0\x80\x80", "", "", "请输入患者姓名", F::TxtHzxm, Select::head(1));
}

inline CaseRecord brokenCase(const QString &f1, const QString &v1, const QString &f2, const QString &v2)
{
    CaseRecord r = goodCase();
    for (const auto &[f, v] : {std::pair{f1, v1}, std::pair{f2, v2}})
        if (QString *box = caseBox(r, f))
            *box = v;
    return r;
}

// ---------------------------------------------------------------------------------------------

inline VisitRecord goodVisit(const QDate &today, const QString &number = QStringLiteral("P0001"))
{
    VisitRecord v = newVisit(number, today);
    v.blkb = QStringLiteral("内科");
    v.zdys = QStringLiteral("王医生");
    v.bzqk = QStringLiteral("咳嗽三天,发热.");
    v.blfa = QStringLiteral("疏风清热");
    v.blcf = QStringLiteral("麻黄10克，石膏30.5克，");
    return v;
}

inline QString *visitBox(VisitRecord &v, const QString &name)
{
    QString VisitRecord::*fields[] = {&VisitRecord::blbm, &VisitRecord::blsj, &VisitRecord::blkb, &VisitRecord::bzxy,
                                      &VisitRecord::bzmb, &VisitRecord::bzhx, &VisitRecord::zdys, &VisitRecord::blfa,
                                      &VisitRecord::blcf, &VisitRecord::fzsj};
    const QStringList names = {"blbm", "blsj", "blkb", "bzxy", "bzmb", "bzhx", "zdys", "blfa", "blcf", "fzsj"};
    return names.contains(name) ? &(v.*fields[names.indexOf(name)]) : nullptr;
}

// Columns as caseOrderRows; a follow-up date ("fzsj") ticks the follow-up. "today" in a value is
// the diagnosis day. withDate: include the rows that break the diagnosis date (the window locks
// that box, so only the logic test can break it).
inline void visitOrderRows(bool withDate)
{
    QTest::addColumn<QString>("f1");
    QTest::addColumn<QString>("v1");
    QTest::addColumn<QString>("f2");
    QTest::addColumn<QString>("v2");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("focus");
    QTest::addColumn<int>("selectKind");
    QTest::addColumn<int>("selectCount");
    auto row = [](const char *name, const char *f1, const char *v1, const char *f2, const char *v2, const char *message,
                  VisitField focus, Select s) {
        QTest::newRow(name) << QString::fromUtf8(f1) << QString::fromUtf8(v1) << QString::fromUtf8(f2) << QString::fromUtf8(v2)
                            << QString::fromUtf8(message) << int(focus) << int(s.kind) << s.count;
    };
    using F = VisitField;
    if (withDate) {
        row("case number before date", "blbm", " ", "blsj", "2024-02-30", "请输入病历号码", F::TxtBlbh, Select::none());
        row("date before department", "blsj", "2024-02-30", "blkb", "  ", "诊断时间输入错误", F::MasZdsj_0, Select::all());
    } else {
        row("case number before department", "blbm", " ", "blkb", "  ", "请输入病历号码", F::TxtBlbh, Select::none());
    }
    row("department before blood pressure", "blkb", "  ", "bzxy", "120", "请输入诊断科室", F::CboZdks, Select::none());
    row("blood pressure before pulse", "bzxy", "12/8", "bzmb", "7_", "患者血压输入错误", F::MasZdsj_1, Select::none());
    row("pulse before respiration", "bzmb", "7_", "bzhx", "_4", "患者脉搏输入错误", F::MasZdsj_2, Select::none());
    row("respiration before doctor", "bzhx", "_4", "zdys", "王", "患者呼吸输入错误", F::MasZdsj_3, Select::none());
    row("doctor before plan", "zdys", "王", "blfa", "  ", "请输入诊断医师姓名", F::TxtStb1_1, Select::all());
    row("plan before prescription", "blfa", "  ", "blcf", "", "请输入治疗方案", F::TxtStb1_3, Select::none());
    row("prescription before follow-up", "blcf", "", "fzsj", "2024-02-30", "请输入治疗处方", F::TxtStb1_4, Select::none());
    row("follow-up not a date", "fzsj", "2024-06-1_", "", "", "复诊时间输入错误", F::MasZdsj_4, Select::none());
    row("follow-up on the diagnosis day", "fzsj", "today", "", "", "复诊时间不能小于诊断时间", F::MasZdsj_4, Select::none());
    row("empty pulse", "bzmb", "__", "", "", "患者脉搏输入错误", F::MasZdsj_2, Select::none());
    row("three-character blood pressure", "bzxy", "120", "", "", "患者血压输入错误", F::MasZdsj_1, Select::none());
    row("doctor of one astral character", "zdys", "\xF0\xA0\x80\x80", "", "", "请输入诊断医师姓名", F::TxtStb1_1, Select::all());
}

inline VisitRecord brokenVisit(const QDate &today, const QString &f1, const QString &v1, const QString &f2,
                               const QString &v2)
{
    VisitRecord v = goodVisit(today);
    for (const auto &[f, value] : {std::pair{f1, v1}, std::pair{f2, v2}}) {
        if (QString *box = visitBox(v, f))
            *box = value == u"today" ? v.blsj : value;
        if (f == u"fzsj")
            v.followUp = true;
    }
    return v;
}

} // namespace qh::clinic::checkorder
