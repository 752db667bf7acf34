#include "clinic/caseregister.h"
#include "db/error.h"
#include "core/modutarnxt.h"
#include "base/textutil.h"
#include "testsupport.h"
#include "checkorder.h"

#include <QtTest>

using namespace qh;
using namespace qh::clinic;

namespace {

CaseRecord goodCase(const QString &number = QStringLiteral("20240001"))
{
    CaseRecord r;
    r.blbm = number;
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
    r.blxd = QString();
    return r;
}

CaseRecord checked(CaseRecord r)
{
    if (const auto refused = srnrJyhz(r))
        qFatal("case record refused: %s", qPrintable(refused->message));
    return r;
}

int rows(const QString &table)
{
    auto s = Modutarnxt::clinicStore().open();
    return int(s.scalarInt(QStringLiteral("select count(*) from ") + table));
}

} // namespace

class TstCaseRegister : public QObject {
    Q_OBJECT

private slots:
    void checkOrderAndFocus_data() { checkorder::caseOrderRows(); }

    void checkOrderAndFocus()
    {
        QFETCH(QString, f1);
        QFETCH(QString, v1);
        QFETCH(QString, f2);
        QFETCH(QString, v2);
        QFETCH(QString, message);
        QFETCH(int, focus);
        QFETCH(int, selectKind);
        QFETCH(int, selectCount);
        CaseRecord r = checkorder::brokenCase(f1, v1, f2, v2);
        const CaseVerdict refused = srnrJyhz(r);
        QVERIFY(refused);
        QCOMPARE(refused->message, message);
        QCOMPARE(int(refused->field), focus);
        QCOMPARE(int(refused->select.kind), selectKind);
        QCOMPARE(refused->select.count, selectCount);
        QCOMPARE(refused->icon, MsgIcon::Information);
    }

    void firstFailureWins()
    {
        // Everything wrong at once: the case number is named first, then the date before the name.
        CaseRecord r;
        QCOMPARE(srnrJyhz(r)->message, QStringLiteral("请输入患者病历号码"));
        r.blbm = QStringLiteral("A1");
        QCOMPARE(srnrJyhz(r)->message, QStringLiteral("患者初诊时间输入错误"));
        r.blsj = QStringLiteral("2024-01-01");
        QCOMPARE(srnrJyhz(r)->message, QStringLiteral("请选择患者婚姻情况"));
    }

    void optionalBoxesBecomeOneSpace()
    {
        CaseRecord r = goodCase();
        r.mail = QStringLiteral("   ");
        r.blzy.clear();
        r.bldw = QStringLiteral("  ");
        r.blte.clear();
        r.blxd = QStringLiteral(" \u3000");
        r.blbm = QStringLiteral("  A-1  ");
        QVERIFY(!srnrJyhz(r));
        QCOMPARE(r.blbm, QStringLiteral("A-1"));
        for (const QString &v : {r.mail, r.blzy, r.bldw, r.blte, r.blxd})
            QCOMPARE(v, QStringLiteral(" "));
    }

    void futureFirstVisitRefusedOnlyOnEnter()
    {
        const QDate today(2024, 5, 10);
        QCOMPARE(checkFirstVisitOnEnter(QStringLiteral("2024-05-11"), today)->message, QStringLiteral("初诊时间不能大于系统目前时间"));
        QCOMPARE(checkFirstVisitOnEnter(QStringLiteral("2024-02-30"), today)->message, QStringLiteral("初诊时间输入错误"));
        QCOMPARE(checkFirstVisitOnEnter(QStringLiteral("2024-0_-__"), today)->message, QStringLiteral("初诊时间输入错误"));
        QVERIFY(!checkFirstVisitOnEnter(QStringLiteral("2024-05-10"), today));
        CaseRecord r = goodCase();
        r.blsj = dateText(QDate::currentDate().addDays(3));
        QVERIFY(!srnrJyhz(r));
    }

    void saveNewAndExisting()
    {
        test::TempClinic clinic;
        CaseRecord r = goodCase();
        r.blxm = QStringLiteral("O'Brien");
        r.bldz = QStringLiteral("路'; drop table hzblzl; --");
        r = checked(r);
        QCOMPARE(saveCase(test::OneAction().s(), r, Modutarnxt::CurrentUser), SaveKind::Added);
        {
            auto s = clinic.open();
            auto q = s.query(QStringLiteral("select blxm, blnl, bldz, mail, blte, blsj, bljz, zldl, blxd from hzblzl where blbm = ?"),
                             QStringLiteral("20240001"));
            QVERIFY(q.next());
            QCOMPARE(q.text(0), QStringLiteral("O'Brien"));
            QCOMPARE(q.integer(1), 45);
            QCOMPARE(q.text(2), QStringLiteral("路'; drop table hzblzl; --"));
            QCOMPARE(q.text(3), QStringLiteral("zs@example.com"));
            QCOMPARE(*q.date(5), QDate(2024, 3, 1));
            QCOMPARE(*q.date(6), QDate(2024, 3, 5));
            QCOMPARE(q.text(7), QStringLiteral("测试员"));
            QCOMPARE(q.text(8), QStringLiteral(" "));
        }

        // The same number again: number and name stay as first saved, the rest is replaced.
        CaseRecord again = goodCase();
        again.blxm = QStringLiteral("李四");
        again.blnl = QStringLiteral("46");
        again.blte.clear();
        again.mail.clear();
        again = checked(again);
        QCOMPARE(saveCase(test::OneAction().s(), again, QStringLiteral("王医生")), SaveKind::Updated);
        {
            auto s = clinic.open();
            QCOMPARE(s.scalarInt(QStringLiteral("select count(*) from hzblzl")), 1);
            auto q = s.query(QStringLiteral("select blxm, blnl, blte, mail, zldl from hzblzl"));
            QVERIFY(q.next());
            QCOMPARE(q.text(0), QStringLiteral("O'Brien"));
            QCOMPARE(q.integer(1), 46);
            QCOMPARE(q.text(2), QStringLiteral(" "));
            QCOMPARE(q.text(3), QStringLiteral(" "));
            QCOMPARE(q.text(4), QStringLiteral("王医生"));
        }

        // Two patients may share a name.
        saveCase(test::OneAction().s(), checked(goodCase(QStringLiteral("20240002"))), Modutarnxt::CurrentUser);
        QCOMPARE(rows(QStringLiteral("hzblzl")), 2);
    }

    void storedNotesAreNeverLost()
    {
        test::TempClinic clinic;
        saveCase(test::OneAction().s(), checked(goodCase()), Modutarnxt::CurrentUser);
        QVERIFY(saveNotes(test::OneAction().s(), QStringLiteral("20240001"), QStringLiteral("舌红苔黄，脉数")));
        // Register saved with an emptied notes box (the notes tab was closed with its back command).
        saveCase(test::OneAction().s(), checked(goodCase()), Modutarnxt::CurrentUser);
        QCOMPARE(*notesOf(test::OneAction().s(), QStringLiteral("20240001")), QStringLiteral("舌红苔黄，脉数"));
        // Notes in the box are written by the register save.
        CaseRecord withNotes = goodCase();
        withNotes.blxd = QStringLiteral("  复诊见好  ");
        saveCase(test::OneAction().s(), checked(withNotes), Modutarnxt::CurrentUser);
        QCOMPARE(*notesOf(test::OneAction().s(), QStringLiteral("20240001")), QStringLiteral("复诊见好"));
        QCOMPARE(findCase(test::OneAction().s(), QStringLiteral("20240001"))->blxd, QStringLiteral("复诊见好"));
    }

    void notesOfUnsavedCaseAreNotStored()
    {
        test::TempClinic clinic;
        QVERIFY(!saveNotes(test::OneAction().s(), QStringLiteral("NEW-1"), QStringLiteral("心得")));
        QCOMPARE(rows(QStringLiteral("hzblzl")), 0);
        QVERIFY(!notesOf(test::OneAction().s(), QStringLiteral("NEW-1")));
        // A new patient's notes typed before the register save are stored by it.
        CaseRecord r = goodCase(QStringLiteral("NEW-1"));
        r.blxd = QStringLiteral("心得");
        saveCase(test::OneAction().s(), checked(r), Modutarnxt::CurrentUser);
        QCOMPARE(*notesOf(test::OneAction().s(), QStringLiteral("new-1")), QStringLiteral("心得"));
    }

    void refusedSaveWritesNothing()
    {
        test::TempClinic clinic;
        CaseRecord r = checked(goodCase());
        r.bljz = QStringLiteral("2024-02-30");
        bool threw = false;
        try {
            saveCase(test::OneAction().s(), r, Modutarnxt::CurrentUser);
        } catch (const DbError &e) {
            threw = true;
            QCOMPARE(e.number(), err::WrongType);
        }
        QVERIFY(threw);
        QCOMPARE(rows(QStringLiteral("hzblzl")), 0);

        // Over-long texts are refused by the field limits without a partial row.
        r = checked(goodCase());
        r.blzy = QString(51, u'职');
        threw = false;
        try {
            saveCase(test::OneAction().s(), r, Modutarnxt::CurrentUser);
        } catch (const DbError &e) {
            threw = true;
            QCOMPARE(e.number(), err::TooLong);
        }
        QVERIFY(threw);
        QCOMPARE(rows(QStringLiteral("hzblzl")), 0);
    }

    void listsAndLookups()
    {
        test::TempClinic clinic;
        QVERIFY(registerLists(test::OneAction().s()).caseNumbers.isEmpty());
        CaseRecord a = goodCase(QStringLiteral("B002"));
        CaseRecord b = goodCase(QStringLiteral("A001"));
        CaseRecord c = goodCase(QStringLiteral("C003"));
        c.blzy = QStringLiteral("农民");
        CaseRecord d = goodCase(QStringLiteral("D004"));
        d.blzy.clear();
        for (const CaseRecord &r : {a, b, c, d})
            saveCase(test::OneAction().s(), checked(r), Modutarnxt::CurrentUser);
        const RegisterLists lists = registerLists(test::OneAction().s());
        QCOMPARE(lists.caseNumbers, (QStringList{QStringLiteral("A001"), QStringLiteral("B002"), QStringLiteral("C003"), QStringLiteral("D004")}));
        QCOMPARE(lists.occupations, (QStringList{QStringLiteral("农民"), QStringLiteral("教师")}));

        const auto found = findCase(test::OneAction().s(), QStringLiteral(" C003 "));
        QVERIFY(found);
        QCOMPARE(found->blsj, QStringLiteral("2024-03-01"));
        QCOMPARE(found->blnl, QStringLiteral("45"));
        QCOMPARE(found->blzy, QStringLiteral("农民"));
        QVERIFY(!findCase(test::OneAction().s(), QStringLiteral("Z999")));
        QVERIFY(!findCase(test::OneAction().s(), QStringLiteral("' or ''='")));

        QVERIFY(visitsOf(test::OneAction().s(), QStringLiteral("A001")).empty());
        auto s = clinic.open();
        s.exec(QStringLiteral("insert into hzzdzl(blbm, blkb, blsj, bzqk, zdys) values(?, ?, ?, ?, ?)"), QStringLiteral("A001"),
               QStringLiteral("内科"), QDate(2024, 3, 9), QStringLiteral("咳嗽三天"), QStringLiteral("王医生"));
        s.exec(QStringLiteral("insert into hzzdzl(blbm, blkb, blsj, bzqk, zdys) values(?, ?, ?, ?, ?)"), QStringLiteral("A001"),
               QStringLiteral("外科"), QDate(2024, 3, 2), QStringLiteral("扭伤"), QStringLiteral("李医生"));
        const auto visits = visitsOf(test::OneAction().s(), QStringLiteral("A001"));
        QCOMPARE(int(visits.size()), 2);
        QCOMPARE(visits[0].date, QStringLiteral("2024-03-02"));
        QCOMPARE(visits[0].dept, QStringLiteral("外科"));
        QCOMPARE(visits[1].doctor, QStringLiteral("王医生"));
        QCOMPARE(visits[1].history, QStringLiteral("咳嗽三天"));
    }
};

QTEST_GUILESS_MAIN(TstCaseRegister)
#include "tst_caseregister.moc"
