#include "core/modutarnxt.h"
#include "base/textutil.h"
#include "core/ui/taskwindows.h"
#include "core/ui/uikit.h"
#include "stock/charging.h"
#include "stock/posting.h"
#include "stock/ui/Frmycjj.h"
#include "testsupport.h"

#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QLabel>
#include <QTableWidget>
#include <QtTest>

using namespace qh;
using namespace qh::stock;

namespace {

void addVisit(test::TempClinic &c, const QString &blbm, const QString &dept, const QDate &day, const QString &rx,
              const QString &doctor = QStringLiteral("李明德"))
{
    c.open().exec(QStringLiteral("insert into hzzdzl(blbm, blkb, blsj, blcf, zdys) values(?, ?, ?, ?, ?)"), blbm, dept, day, rx, doctor);
}

void addBalance(test::TempClinic &c, const QString &name, const QString &qty)
{
    c.open().exec(QStringLiteral("insert into ycyltb(ycbm, rksl, rkje, ycyl) values(?, ?, ?, ?)"), name, *Money::parse(qty),
                  *Money::parse(qty), *Money::parse(qty));
}

Money balance(test::TempClinic &c, const QString &name)
{
    auto s = c.open();
    return balanceOf(s, name).value_or(Balance{}).ycyl;
}

ChargeLine line(const QString &code, const QString &name, const char *dose, const char *price)
{
    const Money d = *Money::parse(QString::fromLatin1(dose));
    const Money p = *Money::parse(QString::fromLatin1(price));
    return {code, name, d, p, Charging::lineAmount(p, d)};
}

template <class T> const ChargeRefusal &refusal(const T &r) { return std::get<ChargeRefusal>(r); }

ChargeDiagnosis visit(const QString &blbm, const QString &blkb, const QString &doctor)
{
    return {blbm, blkb, QDate(2024, 5, 6), QString(), doctor};
}

} // namespace

class TstCharging : public QObject {
    Q_OBJECT

private slots:
    void lineAmountsRoundToEvenHundredths()
    {
        const Money price = *Money::parse(QStringLiteral("0.125"));
        QCOMPARE(Charging::lineAmount(price, Money::fromInt(1)).toDisplay(), QStringLiteral("0.12"));
        QCOMPARE(Charging::lineAmount(price, Money::fromInt(3)).toDisplay(), QStringLiteral("0.38"));
        QList<ChargeLine> lines{line(QStringLiteral("A"), QStringLiteral("甲"), "1", "999.50"),
                                line(QStringLiteral("B"), QStringLiteral("乙"), "1", "5.00")};
        QCOMPARE(Charging::total(lines).toDisplay(), QStringLiteral("1,004.50"));
        lines << line(QStringLiteral("C"), QStringLiteral("丙"), "3", "0.125");
        QCOMPARE(Charging::total(lines).toDisplay(), QStringLiteral("1,004.88"));
    }

    void diagnosisLookupChecksInOrder()
    {
        test::TempClinic c;
        addVisit(c, QStringLiteral("0007"), QStringLiteral("中医内科"), QDate(2024, 5, 6), QStringLiteral("麻黄9克，桂枝6克，"));
        auto s = c.open();
        QCOMPARE(refusal(Charging::findDiagnosis(s, QStringLiteral("2024-05-0_"), QStringLiteral("0007"), QStringLiteral("中医内科"))).message,
                 QStringLiteral("诊断时间输入内容错误"));
        QCOMPARE(refusal(Charging::findDiagnosis(s, QStringLiteral("2024-02-30"), QString(), QString())).message,
                 QStringLiteral("诊断时间输入错误"));
        QCOMPARE(refusal(Charging::findDiagnosis(s, QStringLiteral("2024-05-06"), QStringLiteral("  "), QString())).field,
                 ChargeField::TxtBlhm);
        const auto noDept = refusal(Charging::findDiagnosis(s, QStringLiteral("2024-05-06"), QStringLiteral("0007"), QStringLiteral(" ")));
        QCOMPARE(noDept.message, QStringLiteral("诊断科室请输入诊断科室"));
        QCOMPARE(noDept.field, ChargeField::CboZdks);
        QCOMPARE(refusal(Charging::findDiagnosis(s, QStringLiteral("2024-05-07"), QStringLiteral("0007"), QStringLiteral("中医内科"))).message,
                 QStringLiteral("病历号码、诊断科室及诊断时间输入错误"));
        auto found = std::get<ChargeDiagnosis>(Charging::findDiagnosis(s, QStringLiteral("2024-05-06"), QStringLiteral(" 0007 "), QStringLiteral("中医内科")));
        QCOMPARE(found.prescription, QStringLiteral("麻黄9克，桂枝6克，"));
        QCOMPARE(found.doctor, QStringLiteral("李明德"));
        QCOMPARE(found.blbm, QStringLiteral("0007")); // the key as found, trimmed
        QCOMPARE(found.blkb, QStringLiteral("中医内科"));
        QCOMPARE(Charging::departments(s), QStringList{QStringLiteral("中医内科")});

        // A visit whose date carries a time of day is found by its calendar day.
        s.exec(QStringLiteral("insert into hzzdzl(blbm, blkb, blsj, blcf, zdys) values('0008', '中医内科', '2024-05-08 10:30:00', '甘草3克，', '王大夫')"));
        const auto timed = std::get<ChargeDiagnosis>(Charging::findDiagnosis(s, QStringLiteral("2024-05-08"), QStringLiteral("0008"), QStringLiteral("中医内科")));
        QCOMPARE(timed.doctor, QStringLiteral("王大夫"));
    }

    void doseLineChecksInOrder()
    {
        test::TempClinic c;
        c.addDrug(QStringLiteral("MH"), QStringLiteral("麻黄"), QStringLiteral("0.125"));
        c.addDrug(QStringLiteral("MHG"), QStringLiteral("麻黄根"), QStringLiteral("0.20"));
        c.addDrug(QStringLiteral("GZ'"), QStringLiteral("桂'枝"), QStringLiteral("0.30"));
        c.addDrug(QStringLiteral("XX"), QStringLiteral("细辛"), QStringLiteral("1.00"));
        addBalance(c, QStringLiteral("麻黄"), QStringLiteral("10"));
        addBalance(c, QStringLiteral("桂'枝"), QStringLiteral("100"));
        addBalance(c, QStringLiteral("细辛"), QStringLiteral("100"));
        addBalance(c, QStringLiteral("麻黄根"), QStringLiteral("100"));
        const QString rx = QStringLiteral(" 麻黄根9克，桂'枝6克， ");
        auto s = c.open();
        QCOMPARE(refusal(Charging::addLine(s, QStringLiteral("MH"), QStringLiteral("麻黄"), QStringLiteral("x"), rx, {})).message,
                 QStringLiteral("药材用量输入错误。"));
        QCOMPARE(refusal(Charging::addLine(s, QStringLiteral("MH"), QStringLiteral("麻黄"), QStringLiteral("99999999999999999999"), rx, {})).message,
                 QStringLiteral("药材用量输入错误。"));
        QCOMPARE(refusal(Charging::addLine(s, QStringLiteral("MH"), QStringLiteral("桂'枝"), QStringLiteral("3"), rx, {})).message,
                 QStringLiteral("药材编码与名称不符"));
        QCOMPARE(refusal(Charging::addLine(s, QStringLiteral("MH"), QStringLiteral("麻黄"), QStringLiteral("11"), rx, {})).message,
                 QStringLiteral("库存中此药材余量不足"));
        const auto notPrescribed = refusal(Charging::addLine(s, QStringLiteral("XX"), QStringLiteral("细辛"), QStringLiteral("3"), rx, {}));
        QCOMPARE(notPrescribed.message, QStringLiteral("处方中无此药材"));
        QVERIFY(notPrescribed.clearOthers);
        // "麻黄" is found inside "麻黄根": a plain substring search.
        auto ok = std::get<ChargeLine>(Charging::addLine(s, QStringLiteral("mh"), QStringLiteral("麻黄"), QStringLiteral("10"), rx, {}));
        QCOMPARE(ok.amount.toDisplay(), QStringLiteral("1.25"));
        QCOMPARE(ok.code, QStringLiteral("MH")); // the stored code, not the typed "mh"
        QCOMPARE(ok.price.toDisplay(4), QStringLiteral("0.1250"));
        auto apostrophe = std::get<ChargeLine>(Charging::addLine(s, QStringLiteral("GZ'"), QStringLiteral("桂'枝"), QStringLiteral("6"), rx, {ok}));
        QCOMPARE(apostrophe.amount.toDisplay(), QStringLiteral("1.80"));
        QCOMPARE(refusal(Charging::addLine(s, QStringLiteral("MH"), QStringLiteral("麻黄"), QStringLiteral("1"), rx, {ok, apostrophe})).message,
                 QStringLiteral("麻黄 的用量已经输过。"));
    }

    void postingWritesEveryFieldAndLowersBalances()
    {
        test::TempClinic c;
        c.addDrug(QStringLiteral("MH"), QStringLiteral("麻黄"), QStringLiteral("0.50"));
        c.addDrug(QStringLiteral("GZ"), QStringLiteral("桂枝"), QStringLiteral("0.30"));
        addBalance(c, QStringLiteral("麻黄"), QStringLiteral("100"));
        addBalance(c, QStringLiteral("桂枝"), QStringLiteral("50"));
        auto s = c.open();
        Charging::post(s, {line(QStringLiteral("MH"), QStringLiteral("麻黄"), "9", "0.50"), line(QStringLiteral("GZ"), QStringLiteral("桂枝"), "6", "0.30")},
                       visit(QStringLiteral("0007"), QStringLiteral("中医内科"), QStringLiteral("李明德")), QStringLiteral("王会计"),
                       QDate(2024, 5, 6));
        QCOMPARE(balance(c, QStringLiteral("麻黄")), Money::fromInt(91));
        QCOMPARE(balance(c, QStringLiteral("桂枝")), Money::fromInt(44));
        auto st = s.query(QStringLiteral("select crsj, ycbm, ywzy, yccd, ycly, ywph, yxqx, blhm, blks, rksl, rkje, cksl, ckje, xsje, jbxm, bgxm "
                                         "from yccrtb order by ycbm desc"));
        QVERIFY(st.next());
        QCOMPARE(st.text(0), QStringLiteral("2024-05-06 00:00:00"));
        QCOMPARE(st.text(1), QStringLiteral("麻黄"));
        QCOMPARE(st.text(2), QStringLiteral("处方收款出库"));
        QCOMPARE(st.text(3), QStringLiteral("  "));
        QCOMPARE(st.text(4), QStringLiteral("  "));
        QCOMPARE(st.text(5), QStringLiteral(" "));
        QCOMPARE(st.text(6), QStringLiteral("2050-01-01 00:00:00"));
        QCOMPARE(st.text(7), QStringLiteral("0007"));
        QCOMPARE(st.text(8), QStringLiteral("中医内科"));
        QCOMPARE(st.money(9), Money());
        QCOMPARE(st.money(10), Money());
        QCOMPARE(st.money(11), Money::fromInt(9));
        QCOMPARE(st.money(12), Money());
        QCOMPARE(st.money(13), Money::fromCents(450));
        QCOMPARE(st.text(14), QStringLiteral("李明德"));
        QCOMPARE(st.text(15), QStringLiteral("王会计"));
        QVERIFY(st.next());
        QVERIFY(!st.next());
    }

    void postingIsAllOrNothing()
    {
        test::TempClinic c;
        addBalance(c, QStringLiteral("麻黄"), QStringLiteral("100"));
        addBalance(c, QStringLiteral("桂枝"), QStringLiteral("5"));
        auto s = c.open();
        bool refused = false;
        try {
            Charging::post(s, {line(QStringLiteral("MH"), QStringLiteral("麻黄"), "9", "0.50"), line(QStringLiteral("GZ"), QStringLiteral("桂枝"), "6", "0.30")},
                           visit(QStringLiteral("0007"), QStringLiteral("中医内科"), QStringLiteral("李明德")),
                           QStringLiteral("王会计"), QDate(2024, 5, 6));
        } catch (const InsufficientStock &e) {
            refused = e.herb == QStringLiteral("桂枝") && e.description().contains(QStringLiteral("桂枝"));
        }
        QVERIFY(refused);
        QCOMPARE(balance(c, QStringLiteral("麻黄")), Money::fromInt(100));
        QCOMPARE(s.scalarInt(QStringLiteral("select count(*) from yccrtb")), 0);

        // A failure of the engine in the middle (a trigger refuses the second movement) leaves nothing either.
        s.exec(QStringLiteral("create trigger fail_second before insert on yccrtb when new.ycbm = '桂枝' "
                              "begin select raise(abort, 'disk gone'); end"));
        addBalance(c, QStringLiteral("甘草"), QStringLiteral("5"));
        QVERIFY_THROWS_EXCEPTION(DbError, Charging::post(s, {line(QStringLiteral("MH"), QStringLiteral("麻黄"), "9", "0.50"),
                                                              line(QStringLiteral("GZ"), QStringLiteral("桂枝"), "1", "0.30")},
                                                         visit(QStringLiteral("0007"), QStringLiteral("中医内科"), QString()),
                                                         QString(), QDate(2024, 5, 6)));
        QCOMPARE(balance(c, QStringLiteral("麻黄")), Money::fromInt(100));
        QCOMPARE(s.scalarInt(QStringLiteral("select count(*) from yccrtb")), 0);
    }

    // The checks of the diagnosis lookup and of a dose line in their fixed orders: each row
    // breaks two adjacent checks and expects the earlier one's refusal (the last check of each
    // order is broken alone).
    void checkOrder_data()
    {
        QTest::addColumn<QString>("step"); // "lookup": date, case number, department; "line": code, name, dose
        QTest::addColumn<QStringList>("input");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("field");
        const auto row = [](const char *name, const char *step, QStringList input, const char *message, ChargeField f) {
            QTest::newRow(name) << QString::fromLatin1(step) << input << QString::fromUtf8(message) << int(f);
        };
        row("date incomplete, invalid", "lookup", {"2024-02-3_", "0007", "中医内科"}, "诊断时间输入内容错误", ChargeField::MasZdsj);
        row("date invalid, case number", "lookup", {"2024-02-30", " ", "中医内科"}, "诊断时间输入错误", ChargeField::MasZdsj);
        row("case number, department", "lookup", {"2024-05-06", "  ", " "}, "请输入病历号码", ChargeField::TxtBlhm);
        row("department, no visit", "lookup", {"2024-05-07", "0007", " "}, "诊断科室请输入诊断科室", ChargeField::CboZdks);
        row("no visit", "lookup", {"2024-05-07", "0007", "中医内科"}, "病历号码、诊断科室及诊断时间输入错误", ChargeField::TxtBlhm);
        row("dose, code and name", "line", {"MH", "桂'枝", "x"}, "药材用量输入错误。", ChargeField::TxtYcjl);
        row("code and name, stock", "line", {"MH", "桂'枝", "200"}, "药材编码与名称不符", ChargeField::Txtycbm);
        row("stock, prescribed", "line", {"XX", "细辛", "101"}, "库存中此药材余量不足", ChargeField::Txtycbm);
        row("prescribed, entered", "line", {"GC", "甘草", "3"}, "处方中无此药材", ChargeField::Txtycbm);
        row("entered", "line", {"mh", "麻黄", "1"}, "麻黄 的用量已经输过。", ChargeField::Txtycbm);
    }

    void checkOrder()
    {
        QFETCH(QString, step);
        QFETCH(QStringList, input);
        QFETCH(QString, message);
        QFETCH(int, field);
        test::TempClinic c;
        addVisit(c, QStringLiteral("0007"), QStringLiteral("中医内科"), QDate(2024, 5, 6), QStringLiteral("麻黄9克，"));
        c.addDrug(QStringLiteral("MH"), QStringLiteral("麻黄"), QStringLiteral("0.50"));
        c.addDrug(QStringLiteral("GZ'"), QStringLiteral("桂'枝"), QStringLiteral("0.30"));
        c.addDrug(QStringLiteral("XX"), QStringLiteral("细辛"), QStringLiteral("1.00"));
        c.addDrug(QStringLiteral("GC"), QStringLiteral("甘草"), QStringLiteral("1.00"));
        for (const char *name : {"麻黄", "桂'枝", "细辛", "甘草"})
            addBalance(c, QString::fromUtf8(name), QStringLiteral("100"));
        auto s = c.open();
        ChargeRefusal r;
        if (step == QLatin1String("lookup")) {
            r = refusal(Charging::findDiagnosis(s, input[0], input[1], input[2]));
        } else {
            const QList<ChargeLine> entered{line(QStringLiteral("MH"), QStringLiteral("麻黄"), "9", "0.50"),
                                            line(QStringLiteral("XX"), QStringLiteral("细辛"), "1", "1.00"),
                                            line(QStringLiteral("GC"), QStringLiteral("甘草"), "1", "1.00")};
            r = refusal(Charging::addLine(s, input[0], input[1], input[2], QStringLiteral("麻黄9克，"), entered));
        }
        QCOMPARE(r.message, message);
        QCOMPARE(int(r.field), field);
    }

    void windowWithoutDiagnosesClosesItself()
    {
        test::TempClinic c;
        test::RecordingMessages rec;
        QPointer<stock::ui::Frmycjj> w = new stock::ui::Frmycjj;
        qh::ui::MenusOff menus; // as the main window opens it
        menus.attachTo(w);
        w->show();
        QTRY_VERIFY(w.isNull());
        QCOMPARE(rec.texts(), QStringList{QStringLiteral("没有诊断处方，该功能不能使用")});
        QCOMPARE(rec.shown[0].icon, MsgIcon::Question);
        QVERIFY(qh::ui::mainMenusEnabled());
    }

    void windowChargesASavedVisitEndToEnd()
    {
        test::TempClinic c;
        test::RecordingMessages rec;
        c.addDrug(QStringLiteral("MH"), QStringLiteral("麻黄"), QStringLiteral("0.50"));
        c.addDrug(QStringLiteral("GZ"), QStringLiteral("桂枝"), QStringLiteral("0.125"));
        addBalance(c, QStringLiteral("麻黄"), QStringLiteral("100"));
        addBalance(c, QStringLiteral("桂枝"), QStringLiteral("100"));
        const QDate today = QDate::currentDate();
        addVisit(c, QStringLiteral("0007"), QStringLiteral("中医内科"), today, QStringLiteral("麻黄9克，桂枝3克，"));

        stock::ui::Frmycjj w;
        w.show();
        QApplication::setActiveWindow(&w);
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QCOMPARE(QApplication::focusWidget(), w.TxtBlhm);
        QCOMPARE(w.MasZdsj->displayText(), qh::dateText(today));

        QTest::keyClicks(w.TxtBlhm, QStringLiteral("00 07"));
        QCOMPARE(w.TxtBlhm->text(), QStringLiteral("0007")); // the space is discarded
        QTest::keyClick(w.TxtBlhm, Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), w.CboZdks);
        w.CboZdks->setCurrentIndex(0);
        QTest::keyClick(w.CboZdks, Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), w.MasZdsj);
        QTest::keyClick(w.MasZdsj, Qt::Key_Return);
        QVERIFY(rec.shown.empty());
        QCOMPARE(w.TxtCfnr->toPlainText(), QStringLiteral("麻黄9克，桂枝3克，"));
        QCOMPARE(QApplication::focusWidget(), w.Txtycbm);

        QTest::keyClicks(w.Txtycbm, QStringLiteral("mh"));
        QTest::keyClick(w.Txtycbm, Qt::Key_Return);
        QCOMPARE(w.Txtycmc->text(), QStringLiteral("麻黄"));
        QCOMPARE(QApplication::focusWidget(), w.TxtYcjl);
        QTest::keyClicks(w.TxtYcjl, QStringLiteral("9a."));
        QCOMPARE(w.TxtYcjl->text(), QStringLiteral("9")); // digits only
        QTest::keyClick(w.TxtYcjl, Qt::Key_Return);
        QCOMPARE(w.MSFGridyfjg->rowCount(), 1);
        QCOMPARE(w.MSFGridyfjg->item(0, 0)->text(), QStringLiteral("MH")); // the stored code, as typed "mh"
        QCOMPARE(w.TxtYchj->text(), QStringLiteral("4.50"));

        QTest::keyClicks(w.Txtycbm, QStringLiteral("GZ"));
        QTest::keyClick(w.Txtycbm, Qt::Key_Return);
        QTest::keyClicks(w.TxtYcjl, QStringLiteral("3"));
        QTest::keyClick(w.TxtYcjl, Qt::Key_Return);
        QCOMPARE(w.MSFGridyfjg->rowCount(), 2);
        QCOMPARE(w.MSFGridyfjg->item(1, 4)->text(), QStringLiteral("0.38"));
        QCOMPARE(w.TxtYchj->text(), QStringLiteral("4.88"));

        // The same herb again is refused.
        QTest::keyClicks(w.Txtycbm, QStringLiteral("MH"));
        QTest::keyClick(w.Txtycbm, Qt::Key_Return);
        QTest::keyClicks(w.TxtYcjl, QStringLiteral("1"));
        QTest::keyClick(w.TxtYcjl, Qt::Key_Return);
        QCOMPARE(rec.last(), QStringLiteral("麻黄 的用量已经输过。"));
        QCOMPARE(w.MSFGridyfjg->rowCount(), 2);

        // Taking the last line back puts it into the boxes and out of the total.
        const QRect cell = w.MSFGridyfjg->visualItemRect(w.MSFGridyfjg->item(1, 0));
        QTest::mouseClick(w.MSFGridyfjg->viewport(), Qt::LeftButton, {}, cell.center());
        QCOMPARE(w.MSFGridyfjg->rowCount(), 1);
        QCOMPARE(w.Txtycbm->text(), QStringLiteral("GZ"));
        QCOMPARE(w.TxtYcjl->text(), QStringLiteral("3"));
        QCOMPARE(w.TxtYchj->text(), QStringLiteral("4.5"));
        w.TxtYcjl->setFocus();
        QTest::keyClick(w.TxtYcjl, Qt::Key_Return);
        QCOMPARE(w.MSFGridyfjg->rowCount(), 2);

        QTest::mouseClick(w.Cmdcksf, Qt::LeftButton);
        QCOMPARE(balance(c, QStringLiteral("麻黄")), Money::fromInt(91));
        QCOMPARE(balance(c, QStringLiteral("桂枝")), Money::fromInt(97));
        auto s = c.open();
        QCOMPARE(s.scalarInt(QStringLiteral("select count(*) from yccrtb where ywzy = '处方收款出库' and blhm = '0007' and bgxm = ?"),
                             Modutarnxt::CurrentUser),
                 2);
        QCOMPARE(s.scalarInt(QStringLiteral("select sum(xsje) from yccrtb")), Money::fromCents(488).units());
        QCOMPARE(w.MSFGridyfjg->rowCount(), 0);
        QCOMPARE(w.TxtYchj->text(), QStringLiteral("0.00"));
        QCOMPARE(QApplication::focusWidget(), w.Txtycbm);
    }

    // The lines go to the visit the lookup found. Editing its case number, department or date
    // afterwards forgets that visit, its prescription and the lines checked against it: nothing
    // is issued to the patient now named in the box until a new lookup.
    void windowPostsOnlyAgainstTheVisitFound_data()
    {
        QTest::addColumn<int>("edit"); // 0 case number, 1 department, 2 date
        QTest::newRow("case number") << 0;
        QTest::newRow("department") << 1;
        QTest::newRow("date") << 2;
    }

    void windowPostsOnlyAgainstTheVisitFound()
    {
        QFETCH(int, edit);
        test::TempClinic c;
        c.addDrug(QStringLiteral("MH"), QStringLiteral("麻黄"), QStringLiteral("0.50"));
        addBalance(c, QStringLiteral("麻黄"), QStringLiteral("100"));
        const QDate today = QDate::currentDate();
        addVisit(c, QStringLiteral("0007"), QStringLiteral("中医内科"), today, QStringLiteral("麻黄9克，"));
        addVisit(c, QStringLiteral("0008"), QStringLiteral("中医外科"), today, QStringLiteral("麻黄9克，"));
        test::RecordingMessages rec;
        stock::ui::Frmycjj w;
        w.show();
        QApplication::setActiveWindow(&w);
        QVERIFY(QTest::qWaitForWindowActive(&w));
        const auto lookUp = [&](const QString &caseNo, const QString &dept) {
            w.TxtBlhm->setFocus();
            w.TxtBlhm->selectAll();
            QTest::keyClicks(w.TxtBlhm, caseNo);
            w.CboZdks->setCurrentIndex(w.CboZdks->findText(dept));
            w.MasZdsj->setFocus();
            QTest::keyClick(w.MasZdsj, Qt::Key_Return);
        };
        lookUp(QStringLiteral("0007"), QStringLiteral("中医内科"));
        QVERIFY(w.visit());
        QTest::keyClicks(w.Txtycbm, QStringLiteral("MH"));
        QTest::keyClick(w.Txtycbm, Qt::Key_Return);
        QTest::keyClicks(w.TxtYcjl, QStringLiteral("9"));
        QTest::keyClick(w.TxtYcjl, Qt::Key_Return);
        QCOMPARE(w.lines().size(), 1);

        switch (edit) {
        case 0:
            w.TxtBlhm->setFocus();
            QTest::keyClick(w.TxtBlhm, Qt::Key_Backspace);
            QTest::keyClicks(w.TxtBlhm, QStringLiteral("8"));
            QCOMPARE(w.TxtBlhm->text(), QStringLiteral("0008"));
            break;
        case 1:
            w.CboZdks->setFocus();
            QTest::keyClick(w.CboZdks, Qt::Key_Down);
            QCOMPARE(w.CboZdks->currentText(), QStringLiteral("中医外科"));
            break;
        case 2:
            w.MasZdsj->setFocus();
            w.MasZdsj->end(false);
            QTest::keyClick(w.MasZdsj, Qt::Key_Backspace);
            break;
        }
        QVERIFY(!w.visit());
        QVERIFY(w.lines().isEmpty());
        QCOMPARE(w.MSFGridyfjg->rowCount(), 0);
        QVERIFY(w.TxtCfnr->toPlainText().isEmpty());
        QTest::mouseClick(w.Cmdcksf, Qt::LeftButton);
        QCOMPARE(c.open().scalarInt(QStringLiteral("select count(*) from yccrtb")), 0);
        QCOMPARE(balance(c, QStringLiteral("麻黄")), Money::fromInt(100));

        // A new lookup of the visit now named, and its lines go to it.
        w.Qpcls();
        lookUp(QStringLiteral("0008"), QStringLiteral("中医外科"));
        QTest::keyClicks(w.Txtycbm, QStringLiteral("MH"));
        QTest::keyClick(w.Txtycbm, Qt::Key_Return);
        QTest::keyClicks(w.TxtYcjl, QStringLiteral("9"));
        QTest::keyClick(w.TxtYcjl, Qt::Key_Return);
        QTest::mouseClick(w.Cmdcksf, Qt::LeftButton);
        QCOMPARE(c.open().scalarText(QStringLiteral("select blhm || '|' || blks from yccrtb")),
                 std::optional<QString>(QStringLiteral("0008|中医外科")));
        QVERIFY(rec.shown.empty());
    }

    // The dispenser sees the incompatible herbs of the visit found; posting is not blocked, and a
    // prescription without them shows no label at all.
    void windowShowsIncompatibleHerbsOfTheVisit()
    {
        test::TempClinic c;
        c.addDrug(QStringLiteral("GC"), QStringLiteral("甘草"), QStringLiteral("0.50"));
        c.addDrug(QStringLiteral("HZ"), QStringLiteral("海藻"), QStringLiteral("0.80"));
        addBalance(c, QStringLiteral("甘草"), QStringLiteral("100"));
        addBalance(c, QStringLiteral("海藻"), QStringLiteral("100"));
        const QDate today = QDate::currentDate();
        addVisit(c, QStringLiteral("0007"), QStringLiteral("中医内科"), today, QStringLiteral("海藻10克，甘草6克，"));
        addVisit(c, QStringLiteral("0008"), QStringLiteral("中医外科"), today, QStringLiteral("甘草6克，"));
        test::RecordingMessages rec;
        stock::ui::Frmycjj w;
        w.show();
        QApplication::setActiveWindow(&w);
        QVERIFY(QTest::qWaitForWindowActive(&w));
        const auto lookUp = [&](const QString &caseNo, const QString &dept) {
            w.Qpcls();
            w.TxtBlhm->setText(caseNo);
            w.CboZdks->setCurrentIndex(w.CboZdks->findText(dept));
            w.MasZdsj->setFocus();
            QTest::keyClick(w.MasZdsj, Qt::Key_Return);
            QVERIFY(w.visit());
        };
        lookUp(QStringLiteral("0007"), QStringLiteral("中医内科"));
        QVERIFY(w.LabPwjj->isVisible());
        QCOMPARE(w.LabPwjj->text(), QStringLiteral("配伍禁忌：海藻 与 甘草 相反（十八反），不宜同用"));
        QTest::keyClicks(w.Txtycbm, QStringLiteral("GC"));
        QTest::keyClick(w.Txtycbm, Qt::Key_Return);
        QTest::keyClicks(w.TxtYcjl, QStringLiteral("6"));
        QTest::keyClick(w.TxtYcjl, Qt::Key_Return);
        QTest::mouseClick(w.Cmdcksf, Qt::LeftButton);
        QCOMPARE(balance(c, QStringLiteral("甘草")), Money::fromInt(94));
        lookUp(QStringLiteral("0008"), QStringLiteral("中医外科"));
        QVERIFY(!w.LabPwjj->isVisible());
        QVERIFY(w.LabPwjj->text().isEmpty());
        QVERIFY(rec.shown.empty());
    }

    void windowKeepsLinesAfterItsMessagesAndClearsFromAnotherWindow()
    {
        test::TempClinic c;
        c.addDrug(QStringLiteral("MH"), QStringLiteral("麻黄"), QStringLiteral("0.50"));
        addBalance(c, QStringLiteral("麻黄"), QStringLiteral("100"));
        addVisit(c, QStringLiteral("0007"), QStringLiteral("中医内科"), QDate::currentDate(), QStringLiteral("麻黄9克，"));
        test::RecordingMessages rec;
        stock::ui::Frmycjj w;
        w.show();
        QApplication::setActiveWindow(&w);
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QTest::keyClicks(w.TxtBlhm, QStringLiteral("0007"));
        w.CboZdks->setCurrentIndex(0);
        w.MasZdsj->setFocus();
        QTest::keyClick(w.MasZdsj, Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), w.Txtycbm);
        QTest::keyClicks(w.Txtycbm, QStringLiteral("MH"));
        QTest::keyClick(w.Txtycbm, Qt::Key_Return);
        QTest::keyClicks(w.TxtYcjl, QStringLiteral("9"));
        QTest::keyClick(w.TxtYcjl, Qt::Key_Return);
        QCOMPARE(w.MSFGridyfjg->rowCount(), 1);

        // The dose box takes digits only, but Tab still leaves it.
        QTest::keyClicks(w.Txtycbm, QStringLiteral("MH"));
        QTest::keyClick(w.Txtycbm, Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), w.TxtYcjl);
        QVERIFY(w.TxtYcjl->contextMenuPolicy() == Qt::NoContextMenu);
        QTest::keyClick(w.TxtYcjl, Qt::Key_Tab);
        QVERIFY(QApplication::focusWidget() != w.TxtYcjl);

        // Coming back from a message box or dialog of the window keeps the entry.
        QDialog box(&w);
        box.setModal(true);
        box.show();
        QApplication::setActiveWindow(&box);
        QVERIFY(QTest::qWaitForWindowActive(&box));
        box.hide();
        QApplication::setActiveWindow(&w);
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QCOMPARE(w.MSFGridyfjg->rowCount(), 1);
        QCOMPARE(w.TxtBlhm->text(), QStringLiteral("0007"));
        QCOMPARE(w.TxtYchj->text(), QStringLiteral("4.50"));

        // Coming back from another window of the program starts a fresh charge.
        QWidget other;
        other.show();
        QApplication::setActiveWindow(&other);
        QVERIFY(QTest::qWaitForWindowActive(&other));
        QApplication::setActiveWindow(&w);
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QCOMPARE(w.MSFGridyfjg->rowCount(), 0);
        QVERIFY(w.TxtBlhm->text().isEmpty());
        QCOMPARE(w.TxtYchj->text(), QStringLiteral("0.00"));
        QCOMPARE(QApplication::focusWidget(), w.TxtBlhm);
        QVERIFY(rec.shown.empty());
    }
};

QTEST_MAIN(TstCharging)
#include "tst_charging.moc"
