#include "clinic/caseregister.h"
#include "clinic/visitentry.h"
#include "db/error.h"
#include "core/modutarnxt.h"
#include "base/textutil.h"
#include "testsupport.h"
#include "checkorder.h"

#include <QtTest>

using namespace qh;
using namespace qh::clinic;

namespace {

const QDate Today(2024, 6, 10);

void registerCase(const QString &number)
{
    CaseRecord r;
    r.blbm = number;
    r.blxm = QStringLiteral("张三");
    r.blxb = QStringLiteral("男");
    r.blnl = QStringLiteral("45");
    r.blhf = QStringLiteral("已婚");
    r.blsj = QStringLiteral("2024-03-01");
    r.bljz = QStringLiteral("2024-03-01");
    r.bldz = QStringLiteral("青禾路1号");
    QVERIFY(!srnrJyhz(r));
    saveCase(test::OneAction().s(), r, Modutarnxt::CurrentUser);
}

VisitRecord goodVisit(const QString &number = QStringLiteral("P0001"))
{
    VisitRecord v = newVisit(number, Today);
    v.blkb = QStringLiteral("内科");
    v.zdys = QStringLiteral("王医生");
    v.bzqk = QStringLiteral("咳嗽三天,发热.");
    v.blfa = QStringLiteral("疏风清热");
    v.blcf = QStringLiteral("麻黄10克，石膏30.5克，");
    v.blsx = QString();
    return v;
}

qint64 count(const QString &sql)
{
    auto s = Modutarnxt::clinicStore().open();
    return s.scalarInt(sql);
}

} // namespace

class TstVisitEntry : public QObject {
    Q_OBJECT

private slots:
    void presetsOfNewVisit()
    {
        const VisitRecord v = newVisit(QStringLiteral("P0001"), Today);
        QCOMPARE(v.blsj, QStringLiteral("2024-06-10"));
        QCOMPARE(v.fzsj, QStringLiteral("2024-06-10"));
        QCOMPARE(v.bzxy, QStringLiteral("15/20"));
        QCOMPARE(v.bzmb, QStringLiteral("70"));
        QCOMPARE(v.bzhx, QStringLiteral("40"));
        QVERIFY(!v.followUp);
    }

    void checkOrder_data() { checkorder::visitOrderRows(true); }

    void checkOrder()
    {
        QFETCH(QString, f1);
        QFETCH(QString, v1);
        QFETCH(QString, f2);
        QFETCH(QString, v2);
        QFETCH(QString, message);
        QFETCH(int, focus);
        QFETCH(int, selectKind);
        VisitRecord v = checkorder::brokenVisit(Today, f1, v1, f2, v2);
        const VisitVerdict refused = SrnrJyzd(v);
        QVERIFY(refused);
        QCOMPARE(refused->message, message);
        QCOMPARE(int(refused->field), focus);
        QCOMPARE(int(refused->select.kind), selectKind);
    }

    void checksStopAtFirstFailure()
    {
        VisitRecord v = goodVisit();
        v.blkb.clear();
        v.bzxy = QStringLiteral("1");
        v.blcf.clear();
        QCOMPARE(SrnrJyzd(v)->message, QStringLiteral("请输入诊断科室"));
        v.blkb = QStringLiteral("内科");
        QCOMPARE(SrnrJyzd(v)->message, QStringLiteral("患者血压输入错误"));
        // History and directions are optional; the preset blood pressure passes.
        VisitRecord ok = goodVisit();
        ok.bzqk.clear();
        ok.blsx.clear();
        QVERIFY(!SrnrJyzd(ok));
    }

    void followUpChecks()
    {
        VisitRecord v = goodVisit();
        v.fzsj = QStringLiteral("2024-02-30");
        QVERIFY(!SrnrJyzd(v)); // not ticked: the box is not looked at
        v.followUp = true;
        QCOMPARE(SrnrJyzd(v)->message, QStringLiteral("复诊时间输入错误"));
        QCOMPARE(SrnrJyzd(v)->field, VisitField::MasZdsj_4);
        v.fzsj = QStringLiteral("2024-06-1_");
        QCOMPARE(SrnrJyzd(v)->message, QStringLiteral("复诊时间输入错误"));
        v.fzsj = QStringLiteral("2024-06-10");
        QCOMPARE(SrnrJyzd(v)->message, QStringLiteral("复诊时间不能小于诊断时间"));
        v.fzsj = QStringLiteral("2024-06-01");
        QCOMPARE(SrnrJyzd(v)->message, QStringLiteral("复诊时间不能小于诊断时间"));
        v.fzsj = QStringLiteral("2024-06-11");
        QVERIFY(!SrnrJyzd(v));
    }

    void saveAddsThenEditsSameDepartmentAndDay()
    {
        test::TempClinic clinic;
        registerCase(QStringLiteral("P0001"));
        VisitRecord v = goodVisit();
        QVERIFY(!SrnrJyzd(v));
        QCOMPARE(saveVisit(test::OneAction().s(), v, Today), VisitSaveKind::Added);
        {
            auto s = clinic.open();
            auto q = s.query(QStringLiteral("select blkb, blsj, bzxy, bzmb, bzhx, bzqk, blfa, blcf, blsx, fzsj, zdys from hzzdzl"));
            QVERIFY(q.next());
            QCOMPARE(q.text(0), QStringLiteral("内科"));
            QCOMPARE(*q.date(1), Today);
            QCOMPARE(q.text(2), QStringLiteral("15/20"));
            QCOMPARE(q.integer(3), 70);
            QCOMPARE(q.integer(4), 40);
            QCOMPARE(q.text(5), QStringLiteral("咳嗽三天，发热。"));
            QCOMPARE(q.text(7), QStringLiteral("麻黄10克，石膏30.5克，"));
            QCOMPARE(q.text(8), QStringLiteral("  "));
            QCOMPARE(*q.date(9), Today);
            QCOMPARE(q.text(10), QStringLiteral("王医生"));
        }
        // Same case, department and day: the visit is edited.
        VisitRecord again = goodVisit();
        again.blkb = QStringLiteral(" 内科 ");
        again.blcf = QStringLiteral("桂枝6克，");
        again.bzmb = QStringLiteral("08");
        QVERIFY(!SrnrJyzd(again));
        QCOMPARE(saveVisit(test::OneAction().s(), again, Today), VisitSaveKind::Updated);
        QCOMPARE(count(QStringLiteral("select count(*) from hzzdzl")), 1);
        QCOMPARE(count(QStringLiteral("select bzmb from hzzdzl")), 8);
        // Another department on the same day adds a second visit.
        VisitRecord other = goodVisit();
        other.blkb = QStringLiteral("外科");
        QVERIFY(!SrnrJyzd(other));
        QCOMPARE(saveVisit(test::OneAction().s(), other, Today), VisitSaveKind::Added);
        QCOMPARE(count(QStringLiteral("select count(*) from hzzdzl")), 2);

        const auto found = findVisit(test::OneAction().s(), QStringLiteral("P0001"), QStringLiteral("内科"), Today);
        QVERIFY(found);
        QCOMPARE(found->blcf, QStringLiteral("桂枝6克，"));
        QCOMPARE(found->bzmb, QStringLiteral("08"));
        QCOMPARE(found->bzhx, QStringLiteral("40"));
        QVERIFY(!found->followUp);
        QVERIFY(!findVisit(test::OneAction().s(), QStringLiteral("P0001"), QStringLiteral("儿科"), Today));
    }

    void followUpRowsAndLastVisit()
    {
        test::TempClinic clinic;
        registerCase(QStringLiteral("P0001"));
        auto s0 = clinic.open();
        // An older follow-up entry of the patient in another department.
        s0.exec(QStringLiteral("insert into fzzl(blbm, blkb, blsj, blfz, zdys) values(?, ?, ?, ?, ?)"), QStringLiteral("P0001"),
                QStringLiteral("外科"), QDate(2024, 5, 1), QDate(2024, 5, 20), QStringLiteral("李医生"));
        s0 = clinic.open(); // nothing held between actions

        VisitRecord v = goodVisit();
        v.followUp = true;
        v.fzsj = QStringLiteral("2024-06-20");
        QVERIFY(!SrnrJyzd(v));
        saveVisit(test::OneAction().s(), v, Today);
        {
            auto s = clinic.open();
            QCOMPARE(s.scalarInt(QStringLiteral("select count(*) from fzzl")), 1);
            auto q = s.query(QStringLiteral("select blkb, blsj, blfz, zdys from fzzl where blbm = ?"), QStringLiteral("P0001"));
            QVERIFY(q.next());
            QCOMPARE(q.text(0), QStringLiteral("内科"));
            QCOMPARE(*q.date(1), Today);
            QCOMPARE(*q.date(2), QDate(2024, 6, 20));
            QCOMPARE(q.text(3), QStringLiteral("王医生"));
            q = s.query(QStringLiteral("select bljz from hzblzl where blbm = ?"), QStringLiteral("P0001"));
            QVERIFY(q.next());
            QCOMPARE(*q.date(0), QDate(2024, 6, 20));
        }
        const auto found = findVisit(test::OneAction().s(), QStringLiteral("p0001"), QStringLiteral("内科"), Today);
        QVERIFY(found && found->followUp);
        QCOMPARE(found->fzsj, QStringLiteral("2024-06-20"));

        // Without a follow-up: every entry of the patient goes, the last visit is the box's date.
        VisitRecord plain = goodVisit();
        plain.blkb = QStringLiteral("外科");
        QVERIFY(!SrnrJyzd(plain));
        saveVisit(test::OneAction().s(), plain, Today);
        QCOMPARE(count(QStringLiteral("select count(*) from fzzl")), 0);
        QCOMPARE(count(QStringLiteral("select count(*) from hzblzl where date(bljz) = '2024-06-10'")), 1);

        // A follow-up ticked for today or the past passes the check against an older visit day
        // but writes no entry, while the earlier entries are still removed.
        auto s = clinic.open();
        s.exec(QStringLiteral("insert into fzzl(blbm, blkb, blsj, blfz, zdys) values(?, ?, ?, ?, ?)"), QStringLiteral("P0001"),
               QStringLiteral("外科"), QDate(2024, 5, 1), QDate(2024, 5, 20), QStringLiteral("李医生"));
        s = clinic.open();
        VisitRecord old = goodVisit();
        old.blsj = QStringLiteral("2024-06-01");
        old.followUp = true;
        old.fzsj = QStringLiteral("2024-06-10");
        QVERIFY(!SrnrJyzd(old));
        saveVisit(test::OneAction().s(), old, Today);
        QCOMPARE(count(QStringLiteral("select count(*) from fzzl")), 0);
    }

    void failedSaveWritesNothing()
    {
        test::TempClinic clinic;
        registerCase(QStringLiteral("P0001"));
        auto s = clinic.open();
        s.exec(QStringLiteral("insert into fzzl(blbm, blkb, blsj, blfz, zdys) values(?, ?, ?, ?, ?)"), QStringLiteral("P0001"),
               QStringLiteral("外科"), QDate(2024, 5, 1), QDate(2024, 5, 20), QStringLiteral("李医生"));
        // The follow-up entry, the last write of a save, fails (a disk error, say).
        test::addFailingTrigger(s, QStringLiteral("fail_follow_up"), QStringLiteral("before insert"), QStringLiteral("fzzl"));
        s = clinic.open();
        VisitRecord v = goodVisit();
        v.followUp = true;
        v.fzsj = QStringLiteral("2024-06-20");
        QVERIFY(!SrnrJyzd(v));
        bool threw = false;
        try {
            saveVisit(test::OneAction().s(), v, Today);
        } catch (const DbError &) {
            threw = true;
        }
        QVERIFY(threw);
        QCOMPARE(count(QStringLiteral("select count(*) from hzzdzl")), 0);
        QCOMPARE(count(QStringLiteral("select count(*) from fzzl")), 1);
        QCOMPARE(count(QStringLiteral("select count(*) from hzblzl where date(bljz) = '2024-03-01'")), 1);
    }

    void apostrophesAreStoredLiterally()
    {
        test::TempClinic clinic;
        registerCase(QStringLiteral("O'1"));
        VisitRecord v = goodVisit(QStringLiteral("O'1"));
        v.blkb = QStringLiteral("内'科");
        v.zdys = QStringLiteral("D'Arcy");
        v.blcf = QStringLiteral("'; delete from hzblzl; --");
        QVERIFY(!SrnrJyzd(v));
        saveVisit(test::OneAction().s(), v, Today);
        const auto found = findVisit(test::OneAction().s(), QStringLiteral("O'1"), QStringLiteral("内'科"), Today);
        QVERIFY(found);
        QCOMPARE(found->zdys, QStringLiteral("D'Arcy"));
        QCOMPARE(found->blcf, QStringLiteral("'； delete from hzblzl； --"));
        QCOMPARE(count(QStringLiteral("select count(*) from hzblzl")), 1);
    }

    void pickListsAndHerbPicks()
    {
        test::TempClinic clinic;
        // A blank drug list: nothing is filled, the dose list keeps 1 to 200.
        PickLists empty = TclBnr(test::OneAction().s());
        QVERIFY(!empty.categories && !empty.departments && !empty.resetDoses);

        clinic.addDrug(QStringLiteral("MH"), QStringLiteral("麻黄"), QStringLiteral("1.00"), QStringLiteral("克"), QStringLiteral("解表药"));
        clinic.addDrug(QStringLiteral("GZ"), QStringLiteral("桂枝"), QStringLiteral("1.00"), QStringLiteral("克"), QStringLiteral("解表药"));
        clinic.addDrug(QStringLiteral("HQ"), QStringLiteral("黄芪"), QStringLiteral("2.00"), QStringLiteral("钱"), QStringLiteral("补益药"));
        // Categories but no visit yet: the department list and the doses stay as they were.
        PickLists half = TclBnr(test::OneAction().s());
        QVERIFY(half.categories);
        QCOMPARE(half.categories->size(), 2);
        QVERIFY(!half.departments && !half.resetDoses);

        registerCase(QStringLiteral("P0001"));
        for (const char *dept : {"内科", "外科", "内科"}) {
            VisitRecord v = goodVisit();
            v.blkb = QString::fromUtf8(dept);
            QVERIFY(!SrnrJyzd(v));
            saveVisit(test::OneAction().s(), v, Today);
        }
        PickLists full = TclBnr(test::OneAction().s());
        QVERIFY(full.departments);
        QCOMPARE(full.departments->size(), 2);
        QVERIFY(full.resetDoses);
        QCOMPARE(doseItems(0, 100).size(), 101);
        QCOMPARE(doseItems(0, 100).first(), QStringLiteral("0"));
        QCOMPARE(doseItems(1, 200).last(), QStringLiteral("200"));

        const auto herbs = herbsOfCategory(test::OneAction().s(), QStringLiteral(" 解表药 "));
        QVERIFY(herbs);
        QCOMPARE(herbs->size(), 2);
        QVERIFY(herbs->contains(QStringLiteral("麻黄")));
        QVERIFY(!herbsOfCategory(test::OneAction().s(), QStringLiteral("无此类")));

        QCOMPARE(*herbPickText(test::OneAction().s(), QStringLiteral(" 麻黄 "), QStringLiteral("10")), QStringLiteral("麻黄10克，"));
        QCOMPARE(*herbPickText(test::OneAction().s(), QStringLiteral("黄芪"), QStringLiteral("3")), QStringLiteral("黄芪3钱，"));
        // A herb removed from the drug list after it was picked changes nothing.
        auto s = clinic.open();
        s.exec(QStringLiteral("delete from ycjg where ycmc = ?"), QStringLiteral("桂枝"));
        QVERIFY(!herbPickText(test::OneAction().s(), QStringLiteral("桂枝"), QStringLiteral("6")));
    }
};

QTEST_GUILESS_MAIN(TstVisitEntry)
#include "tst_visitentry.moc"
