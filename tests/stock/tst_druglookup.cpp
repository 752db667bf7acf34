// The drug lookup behind the code boxes' completion list and the drug list's filter: which
// texts are codes (and keep the boxes' own Enter), the order of what is found, the code
// suggested for a new drug, and the reading of the list from the store.
#include "stock/druglist.h"
#include "stock/druglookup.h"
#include "testsupport.h"

#include <QtTest>

using namespace qh;
using namespace qh::stock;

namespace {

LookupDrug drug(const char *code, const char *name)
{
    return {QString::fromUtf8(code), QString::fromUtf8(name), QStringLiteral("克"), Money::fromCents(50)};
}

// Codes that are letters, digits, and the initials of other drugs ("HQ" reads as 黄芪, "GC" as 甘草).
DrugLookup sample()
{
    DrugLookup l;
    l.setDrugs({drug("001", "黄芪"), drug("002", "黄芩"), drug("MH", "麻黄"), drug("MHG", "麻黄根"), drug("GC", "桂枝"),
                drug("003", "甘草"), drug("004", "炙甘草"), drug("HQ", "花椒")});
    return l;
}

QStringList names(const DrugLookup &l, const QList<int> &found)
{
    QStringList out;
    for (int i : found)
        out << l.drug(i).name;
    return out;
}

} // namespace

class TstDrugLookup : public QObject {
    Q_OBJECT

private slots:
    // A code of the list keeps the box's own Enter; so does a text of digits alone.
    void whatIsOffered_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("code");
        QTest::addColumn<bool>("offered");
        QTest::newRow("letter code") << "MH" << true << false;
        QTest::newRow("letter code, lower case") << "mh" << true << false;
        QTest::newRow("letter code with blanks") << " mhg　" << true << false;
        QTest::newRow("code that reads like another drug") << "hq" << true << false;
        QTest::newRow("initials") << "hqi" << false << true;
        QTest::newRow("start of initials") << "m" << false << true;
        QTest::newRow("syllables") << "huangq" << false << true;
        QTest::newRow("characters") << "黄" << false << true;
        QTest::newRow("digit code") << "001" << true << false;
        QTest::newRow("start of a digit code") << "00" << false << false;
        QTest::newRow("digits with a separator") << "0-0" << false << false;
        QTest::newRow("nothing to match") << " '" << false << false;
        QTest::newRow("empty") << "" << false << false;
    }

    void whatIsOffered()
    {
        QFETCH(QString, typed);
        QFETCH(bool, code);
        QFETCH(bool, offered);
        const DrugLookup l = sample();
        QCOMPARE(l.isCode(typed), code);
        QCOMPARE(l.offers(typed), offered);
    }

    // The prescription's herbs come first, whatever class their match is; then the others.
    void prescribedFirst_data()
    {
        QTest::addColumn<QString>("prescription");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("no prescription") << "" << "g" << QStringList{"甘草", "桂枝", "麻黄根", "炙甘草"};
        QTest::newRow("inside match first when prescribed")
            << "炙甘草6克，桂枝9克" << "g" << QStringList{"桂枝", "炙甘草", "甘草", "麻黄根"};
        QTest::newRow("longest name: 甘草 inside 炙甘草 is not prescribed")
            << "炙甘草6克" << "gc" << QStringList{"炙甘草", "甘草", "桂枝"};
        QTest::newRow("in the order of the prescription within a class")
            << "黄芩9克 黄芪15克" << "huang" << QStringList{"黄芩", "黄芪", "麻黄", "麻黄根"};
        QTest::newRow("codes as typed text") << "麻黄根3克" << "mh" << QStringList{"麻黄根", "麻黄"};
    }

    void prescribedFirst()
    {
        QFETCH(QString, prescription);
        QFETCH(QString, typed);
        QFETCH(QStringList, expected);
        DrugLookup l = sample();
        l.preferPrescription(prescription);
        QCOMPARE(names(l, l.find(typed)), expected);
        // A new list keeps the preference; an empty text drops it.
        l.setDrugs({drug("004", "炙甘草"), drug("003", "甘草")});
        QCOMPARE(l.preferred(0), prescription.contains(QStringLiteral("炙甘草")));
        l.preferPrescription({});
        QVERIFY(!l.preferred(0));
    }

    void limitCutsAfterThePrescribed()
    {
        DrugLookup l = sample();
        l.preferPrescription(QStringLiteral("桂枝"));
        QCOMPARE(names(l, l.find(QStringLiteral("g"), 2)), (QStringList{"桂枝", "甘草"}));
        QCOMPARE(l.find(QStringLiteral("g"), -1).size(), 4);
    }

    // The suggestion is the name's usual initials, made unique; nothing for a known name.
    void suggestedCode_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("maxLength");
        QTest::addColumn<QString>("expected");
        QTest::newRow("new initials") << "当归" << 20 << "DG";
        QTest::newRow("curated reading") << "党参" << 20 << "DS";
        QTest::newRow("cut for the number: H, H2 taken") << "黄芩片" << 2 << "H3";
        QTest::newRow("taken twice") << "槐" << 20 << "H3";
        QTest::newRow("initials taken by a code") << "红琴" << 20 << "HQ2";
        QTest::newRow("letters and digits kept") << "维C100" << 20 << "WC100";
        QTest::newRow("cut to the box") << "炙甘草片" << 3 << "ZGC";
        QTest::newRow("known name") << "黄芪" << 20 << "";
        QTest::newRow("known name with blanks") << " 黄芪 " << 20 << "";
        QTest::newRow("no letters") << "、" << 20 << "";
        QTest::newRow("empty") << "" << 20 << "";
    }

    void suggestedCode()
    {
        QFETCH(QString, name);
        QFETCH(int, maxLength);
        QFETCH(QString, expected);
        DrugLookup l = sample();
        std::vector<LookupDrug> drugs;
        for (int i = 0; i < l.size(); ++i)
            drugs.push_back(l.drug(i));
        drugs.push_back(drug("H", "海藻"));
        drugs.push_back(drug("H2", "荷叶"));
        l.setDrugs(drugs);
        QCOMPARE(l.suggestCode(name, maxLength), expected);
    }

    void suggestionSkipsEveryTakenNumber()
    {
        DrugLookup l;
        l.setDrugs({drug("DG", "党归"), drug("DG2", "独根"), drug("dg3", "豆根")});
        QCOMPARE(l.suggestCode(QStringLiteral("当归"), 20), QStringLiteral("DG4"));
    }

    // The store's own comparison decides what a typed code is.
    void readsTheStore_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("known");
        QTest::newRow("as stored") << "MH" << true;
        QTest::newRow("lower case") << "mh" << true;
        QTest::newRow("blanks around") << " mh " << true;
        QTest::newRow("start only") << "M" << false;
        QTest::newRow("name") << "麻黄" << false;
        QTest::newRow("empty") << "" << false;
    }

    void readsTheStore()
    {
        QFETCH(QString, typed);
        QFETCH(bool, known);
        test::TempClinic c;
        c.addDrug(QStringLiteral("MH"), QStringLiteral("麻黄"), QStringLiteral("0.125"), QStringLiteral("克"));
        c.addDrug(QStringLiteral("001"), QStringLiteral("黄芪"), QStringLiteral("1.50"), QStringLiteral("两"));
        auto s = c.open();
        QCOMPARE(DrugLookup::storeHasCode(s, typed), known);
        const std::vector<LookupDrug> drugs = DrugLookup::read(s);
        QCOMPARE(drugs.size(), size_t(2));
        QCOMPARE(drugs[0].code + drugs[0].name + drugs[0].unit + drugs[0].price.toPlain(), QStringLiteral("001黄芪两1.5"));
        QCOMPARE(drugs[1].price, Money::fromUnits(Money::Scale / 8));
    }

    // Every write of the drug list tells the other windows' lookups; a refused one does not.
    void drugListWritesRaiseTheVersion()
    {
        test::TempClinic c;
        DrugEntry e{QStringLiteral("解表药"), QStringLiteral("mh"), QStringLiteral("麻黄"), QStringLiteral("克"), QStringLiteral("0.5")};
        const quint64 before = drugListVersion();
        QVERIFY(druglist::add(c.store(), e).ok());
        const quint64 added = drugListVersion();
        QVERIFY(added > before);
        QVERIFY(!druglist::add(c.store(), e).ok()); // the same code again
        QCOMPARE(drugListVersion(), added);
        e.price = QStringLiteral("0.6");
        QVERIFY(druglist::changeOthers(c.store(), e).ok());
        QVERIFY(drugListVersion() > added);
    }
};

QTEST_MAIN(TstDrugLookup)
#include "tst_druglookup.moc"
