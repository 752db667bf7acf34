#include "../core/tst_spreadsheet.h"
#include "core/modutarnxt.h"
#include "core/spreadsheet.h"
#include "stock/druglist.h"
#include "testsupport.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace qh;
using namespace qh::stock;

Q_DECLARE_METATYPE(qh::stock::DrugEntry)

namespace {

DrugEntry entry(const QString &category, const QString &code, const QString &name, const QString &unit,
                const QString &price)
{
    return {category, code, name, unit, price};
}

DrugEntry good() { return entry(QStringLiteral("解表药"), QStringLiteral("MH01"), QStringLiteral("麻黄"), QStringLiteral("克"), QStringLiteral("0.35")); }

struct Stored {
    QString code, name, unit, category;
    qint64 units = 0;
};

QList<Stored> stored(test::TempClinic &c)
{
    auto s = c.open();
    auto q = s.query(QStringLiteral("select ycbm, ycmc, jldw, yplb, ycdj from ycjg order by ycbm"));
    QList<Stored> l;
    while (q.next())
        l.push_back({q.text(0), q.text(1), q.text(2), q.text(3), q.money(4).units()});
    return l;
}

QString fieldName(DrugField f)
{
    switch (f) {
    case DrugField::CboYplb: return QStringLiteral("CboYplb");
    case DrugField::Txtycbm: return QStringLiteral("Txtycbm");
    case DrugField::Txtycmc: return QStringLiteral("Txtycmc");
    case DrugField::TxtJldw: return QStringLiteral("TxtJldw");
    case DrugField::Txtycdj: return QStringLiteral("Txtycdj");
    case DrugField::CmdSave: return QStringLiteral("CmdSave");
    }
    return {};
}

// The message of an answer that refused.
QString said(const DrugAnswer &a) { return a.refusal ? a.refusal->message : a.failure; }

QStringList codes(test::TempClinic &c)
{
    QStringList l;
    for (const auto &r : stored(c))
        l << r.code + u'/' + r.name;
    return l;
}

} // namespace

class TstDrugList : public QObject {
    Q_OBJECT

private slots:
    // Each row breaks two adjacent checks (category, name, code, price, unit) and expects the
    // earlier one's refusal; the last check, the unit, is broken alone.
    void validationRunsInOrder_data()
    {
        QTest::addColumn<DrugEntry>("in");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("focus");
        QTest::addColumn<bool>("selectAll");
        const QString cat = QStringLiteral("解表药"), code = QStringLiteral("MH01"), name = QStringLiteral("麻黄"),
                      unit = QStringLiteral("克");
        QTest::newRow("no category, no name") << entry(QStringLiteral("  　"), code, QStringLiteral(" "), unit, QStringLiteral("1"))
                                              << QStringLiteral("输入药品类别") << QStringLiteral("CboYplb") << false;
        QTest::newRow("category over 40, no name") << entry(QString(41, u'类'), code, {}, unit, QStringLiteral("1"))
                                                   << QStringLiteral("药品类别不能超过40个字") << QStringLiteral("CboYplb") << true;
        QTest::newRow("no name, no code") << entry(cat, {}, QStringLiteral("   "), unit, QStringLiteral("1"))
                                          << QStringLiteral("输入药品名称") << QStringLiteral("Txtycmc") << false;
        QTest::newRow("name over 50, no code") << entry(cat, QStringLiteral(" "), QString(51, u'药'), unit, QStringLiteral("1"))
                                               << QStringLiteral("药品名称不能超过50个字") << QStringLiteral("Txtycmc") << true;
        QTest::newRow("no code, letters for price") << entry(cat, QStringLiteral(" "), name, unit, QStringLiteral("abc"))
                                                    << QStringLiteral("输入药品编码") << QStringLiteral("Txtycbm") << false;
        QTest::newRow("code over 20, empty price") << entry(cat, QString(21, u'A'), name, unit, {})
                                                   << QStringLiteral("药品编码不能超过20个字符") << QStringLiteral("Txtycbm") << true;
        QTest::newRow("letters for price, no unit") << entry(cat, code, name, {}, QStringLiteral("abc"))
                                                    << QStringLiteral("药品单价输入错误") << QStringLiteral("Txtycdj") << true;
        QTest::newRow("beyond any amount, no unit") << entry(cat, code, name, QStringLiteral(" "), QStringLiteral("99999999999999999999"))
                                                    << QStringLiteral("药品单价输入错误") << QStringLiteral("Txtycdj") << true;
        QTest::newRow("zero, no unit") << entry(cat, code, name, {}, QStringLiteral("0")) << QStringLiteral("药品单价不能为零或小于零")
                                       << QStringLiteral("Txtycdj") << true;
        QTest::newRow("rounds to zero, no unit") << entry(cat, code, name, {}, QStringLiteral("0.00001"))
                                                 << QStringLiteral("药品单价不能为零或小于零") << QStringLiteral("Txtycdj") << true;
        QTest::newRow("negative, unit over 100") << entry(cat, code, name, QString(101, u'克'), QStringLiteral("-3"))
                                                 << QStringLiteral("药品单价不能为零或小于零") << QStringLiteral("Txtycdj") << true;
        QTest::newRow("huge, no unit") << entry(cat, code, name, {}, QStringLiteral("99999999999999"))
                                       << QStringLiteral("药品单价不能大于9,999,999.99") << QStringLiteral("Txtycdj") << true;
        QTest::newRow("no unit") << entry(cat, code, name, QStringLiteral(" "), QStringLiteral("1")) << QStringLiteral("输入药品计量单位")
                                 << QStringLiteral("TxtJldw") << false;
        QTest::newRow("unit over 100") << entry(cat, code, name, QString(101, u'克'), QStringLiteral("1"))
                                       << QStringLiteral("计量单位不能超过100个字") << QStringLiteral("TxtJldw") << true;
        // Lengths count characters: 51 characters outside the basic plane are 102 UTF-16 units.
        QString ext;
        for (int i = 0; i < 51; ++i)
            ext += QString::fromUcs4(U"\U00020000");
        QTest::newRow("name of 51 wide characters") << entry(cat, code, ext, unit, QStringLiteral("1"))
                                                    << QStringLiteral("药品名称不能超过50个字") << QStringLiteral("Txtycmc") << true;
    }

    void validationRunsInOrder()
    {
        QFETCH(DrugEntry, in);
        QFETCH(QString, message);
        QFETCH(QString, focus);
        QFETCH(bool, selectAll);
        test::TempClinic clinic;
        const DrugVerdict c = druglist::srnrJy(in);
        QVERIFY(c);
        QCOMPARE(c->message, message);
        QCOMPARE(fieldName(c->field), focus);
        QCOMPARE(c->select, selectAll ? Select::all() : Select::none());
        // The same entry is refused by every command, with nothing written.
        for (auto command : {&druglist::add, &druglist::changeOthers, &druglist::changeName, &druglist::changeCode,
                             &druglist::remove}) {
            DrugEntry e = in;
            QCOMPARE(said(command(Modutarnxt::clinicStore(), e)), message);
        }
        QVERIFY(stored(clinic).isEmpty());
    }

    void lengthsCountCharacters()
    {
        DrugEntry e = good();
        e.name.clear();
        for (int i = 0; i < druglist::NameMax; ++i)
            e.name += QString::fromUcs4(U"\U00020000"); // 50 characters, 100 UTF-16 units
        QVERIFY(!druglist::srnrJy(e));
    }

    void entriesAreNormalisedAndStored()
    {
        test::TempClinic clinic;
        DrugEntry e = entry(QStringLiteral(" 解表药 "), QStringLiteral("  ab01 "), QStringLiteral(" 麻 黄  "),
                            QStringLiteral(" 克"), QStringLiteral(" 1,234.5 "));
        const DrugAnswer c = druglist::add(Modutarnxt::clinicStore(), e);
        QVERIFY2(c.ok(), qPrintable(said(c)));
        QCOMPARE(c.next, DrugField::CboYplb);
        QCOMPARE(e.code, QStringLiteral("AB01"));
        QCOMPARE(e.name, QStringLiteral("麻 黄"));
        QCOMPARE(e.price, QStringLiteral("1,234.5"));
        const auto rows = stored(clinic);
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0].code, QStringLiteral("AB01"));
        QCOMPARE(rows[0].name, QStringLiteral("麻 黄"));
        QCOMPARE(rows[0].unit, QStringLiteral("克"));
        QCOMPARE(rows[0].category, QStringLiteral("解表药"));
        QCOMPARE(rows[0].units, Money::fromCents(123450).units());
    }

    void priceOnEnterFormats()
    {
        QCOMPARE(*druglist::priceOnEnter(QStringLiteral("1234.5")), QStringLiteral("1,234.50"));
        QCOMPARE(*druglist::priceOnEnter(QStringLiteral("-3")), QStringLiteral("-3.00"));
        QCOMPARE(*druglist::priceOnEnter(QStringLiteral("1,234,567.125")), QStringLiteral("1,234,567.13"));
        QCOMPARE(*druglist::priceOnEnter(QStringLiteral(".5")), QStringLiteral("0.50"));
        for (const char *bad : {"", "abc", "1.2.3", "12a", "99999999999999999999"})
            QVERIFY2(!druglist::priceOnEnter(QString::fromLatin1(bad)), bad);
    }

    void listAndCategoriesComeInOrder()
    {
        test::TempClinic clinic;
        QVERIFY(druglist::GridBmmcAdd(test::OneAction().s()).empty());
        QVERIFY(druglist::YplbAdd(test::OneAction().s()).isEmpty());
        clinic.addDrug(QStringLiteral("GC01"), QStringLiteral("甘草"), QStringLiteral("0.2"), QStringLiteral("克"), QStringLiteral("补虚药"));
        clinic.addDrug(QStringLiteral("AB01"), QStringLiteral("麻黄"), QStringLiteral("1234.5"), QStringLiteral("克"), QStringLiteral("解表药"));
        clinic.addDrug(QStringLiteral("BZ02"), QStringLiteral("白芷"), QStringLiteral("0.4"), QStringLiteral("克"), QStringLiteral("解表药"));
        const auto rows = druglist::GridBmmcAdd(test::OneAction().s());
        QCOMPARE(rows.size(), size_t(3));
        QCOMPARE(rows[0].code, QStringLiteral("AB01"));
        QCOMPARE(rows[1].code, QStringLiteral("BZ02"));
        QCOMPARE(rows[2].name, QStringLiteral("甘草"));
        QCOMPARE(druglist::priceText(rows[0].price), QStringLiteral("1,234.50"));
        QCOMPARE(rows[1].category, QStringLiteral("解表药"));
        const QStringList cats = druglist::YplbAdd(test::OneAction().s());
        QCOMPARE(cats.size(), 2);
        QVERIFY(cats.contains(QStringLiteral("补虚药")) && cats.contains(QStringLiteral("解表药")));
    }

    void addRefusesDuplicateCodesAndNames()
    {
        test::TempClinic clinic;
        clinic.addDrug(QStringLiteral("MH01"), QStringLiteral("Mahuang"), QStringLiteral("0.3"));
        const QStringList before = codes(clinic);

        DrugEntry e = entry(QStringLiteral("解表药"), QStringLiteral("mh01"), QStringLiteral("新药"), QStringLiteral("克"), QStringLiteral("1"));
        DrugAnswer c = druglist::add(Modutarnxt::clinicStore(), e);
        QCOMPARE(said(c), QStringLiteral("药品编码重复"));
        QCOMPARE(c.refusal->field, DrugField::Txtycbm);
        QCOMPARE(c.refusal->select, Select::all());

        // Name under another code, also when it differs only in letter case.
        for (const char *name : {"Mahuang", "MAHUANG", " mahuang "}) {
            e = entry(QStringLiteral("解表药"), QStringLiteral("MH02"), QString::fromLatin1(name), QStringLiteral("克"), QStringLiteral("1"));
            c = druglist::add(Modutarnxt::clinicStore(), e);
            QCOMPARE(said(c), QStringLiteral("药品名称重复"));
            QCOMPARE(c.refusal->field, DrugField::Txtycmc);
            QCOMPARE(c.refusal->select, Select::all());
        }
        // Both taken: the code is named first.
        e = entry(QStringLiteral("解表药"), QStringLiteral("MH01"), QStringLiteral("Mahuang"), QStringLiteral("克"), QStringLiteral("1"));
        QCOMPARE(said(druglist::add(Modutarnxt::clinicStore(), e)), QStringLiteral("药品编码重复"));
        QCOMPARE(codes(clinic), before);
    }

    void apostrophesAreOrdinaryText()
    {
        test::TempClinic clinic;
        DrugEntry e = entry(QStringLiteral("解'表"), QStringLiteral("a'1"), QStringLiteral("麻'黄"), QStringLiteral("克'"),
                            QStringLiteral("2"));
        QVERIFY(druglist::add(Modutarnxt::clinicStore(), e).ok());
        QCOMPARE(codes(clinic), QStringList{QStringLiteral("A'1/麻'黄")});
        e = entry(QStringLiteral("x"), QStringLiteral("A'1"), QStringLiteral("别名"), QStringLiteral("克"), QStringLiteral("2"));
        QCOMPARE(said(druglist::add(Modutarnxt::clinicStore(), e)), QStringLiteral("药品编码重复"));
        e = entry(QStringLiteral("x"), QStringLiteral("B'2"), QStringLiteral("麻'黄"), QStringLiteral("克"), QStringLiteral("2"));
        QCOMPARE(said(druglist::add(Modutarnxt::clinicStore(), e)), QStringLiteral("药品名称重复"));
        e = entry(QStringLiteral("x"), QStringLiteral("a'1"), QStringLiteral("麻'黄"), QStringLiteral("克"), QStringLiteral("3"));
        QVERIFY(druglist::changeOthers(Modutarnxt::clinicStore(), e).ok());
        QCOMPARE(stored(clinic)[0].units, Money::fromInt(3).units());
        QCOMPARE(druglist::YplbAdd(test::OneAction().s()), QStringList{QStringLiteral("x")});
        QVERIFY(druglist::remove(Modutarnxt::clinicStore(), e).ok());
        QVERIFY(stored(clinic).isEmpty());
    }

    void changeOthersKeepsCodeAndName()
    {
        test::TempClinic clinic;
        clinic.addDrug(QStringLiteral("MH01"), QStringLiteral("麻黄"), QStringLiteral("0.3"));
        DrugEntry e = entry(QStringLiteral("发散风寒药"), QStringLiteral("mh01"), QStringLiteral("另一个名字"), QStringLiteral("两"), QStringLiteral("12.5"));
        const DrugAnswer c = druglist::changeOthers(Modutarnxt::clinicStore(), e);
        QVERIFY(c.ok());
        QCOMPARE(c.next, DrugField::CboYplb);
        const auto rows = stored(clinic);
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0].name, QStringLiteral("麻黄"));
        QCOMPARE(rows[0].unit, QStringLiteral("两"));
        QCOMPARE(rows[0].category, QStringLiteral("发散风寒药"));
        QCOMPARE(rows[0].units, Money::fromCents(1250).units());

        e = entry(QStringLiteral("x"), QStringLiteral("NO01"), QStringLiteral("麻黄"), QStringLiteral("克"), QStringLiteral("1"));
        const DrugAnswer missing = druglist::changeOthers(Modutarnxt::clinicStore(), e);
        QCOMPARE(said(missing), QStringLiteral("此条记录尚未保存"));
        QCOMPARE(missing.refusal->field, DrugField::CmdSave);
        QCOMPARE(stored(clinic)[0].units, Money::fromCents(1250).units());
    }

    void changeNameAndItsRefusals()
    {
        test::TempClinic clinic;
        clinic.addDrug(QStringLiteral("MH01"), QStringLiteral("麻黄"), QStringLiteral("0.3"));
        clinic.addDrug(QStringLiteral("GC01"), QStringLiteral("Gancao"), QStringLiteral("0.2"));
        clinic.open().exec(QStringLiteral("insert into ycyltb(ycbm, rksl, rkje, ycyl) values(?, ?, ?, ?)"), QStringLiteral("麻黄"),
                           Money::fromInt(10), Money::fromInt(3), Money::fromInt(10));

        DrugEntry e = entry(QStringLiteral("解表药"), QStringLiteral("MH01"), QStringLiteral("GANCAO"), QStringLiteral("克"), QStringLiteral("0.3"));
        DrugAnswer c = druglist::changeName(Modutarnxt::clinicStore(), e);
        QCOMPARE(said(c), QStringLiteral("药品名称重复"));
        QCOMPARE(c.refusal->field, DrugField::Txtycmc);
        e = entry(QStringLiteral("解表药"), QStringLiteral("XX99"), QStringLiteral("新名"), QStringLiteral("克"), QStringLiteral("0.3"));
        c = druglist::changeName(Modutarnxt::clinicStore(), e);
        QCOMPARE(said(c), QStringLiteral("此条记录尚未保存"));
        QCOMPARE(c.refusal->field, DrugField::CmdSave);
        QCOMPARE(codes(clinic), (QStringList{QStringLiteral("GC01/Gancao"), QStringLiteral("MH01/麻黄")}));

        e = entry(QStringLiteral("解表药"), QStringLiteral("mh01"), QStringLiteral("生麻黄"), QStringLiteral("克"), QStringLiteral("0.45"));
        QVERIFY(druglist::changeName(Modutarnxt::clinicStore(), e).ok());
        QCOMPARE(codes(clinic), (QStringList{QStringLiteral("GC01/Gancao"), QStringLiteral("MH01/生麻黄")}));
        QCOMPARE(stored(clinic)[1].units, Money::fromCents(45).units());
        // The stock stays under the old name.
        QCOMPARE(*clinic.open().scalarText(QStringLiteral("select ycbm from ycyltb")), QStringLiteral("麻黄"));
    }

    void changeCodeAndItsRefusals()
    {
        test::TempClinic clinic;
        clinic.addDrug(QStringLiteral("MH01"), QStringLiteral("麻黄"), QStringLiteral("0.3"));
        clinic.addDrug(QStringLiteral("GC01"), QStringLiteral("甘草"), QStringLiteral("0.2"));

        DrugEntry e = entry(QStringLiteral("解表药"), QStringLiteral("gc01"), QStringLiteral("麻黄"), QStringLiteral("克"), QStringLiteral("0.3"));
        DrugAnswer c = druglist::changeCode(Modutarnxt::clinicStore(), e);
        QCOMPARE(said(c), QStringLiteral("药品编码重复"));
        QCOMPARE(c.refusal->field, DrugField::Txtycbm);
        QCOMPARE(c.refusal->select, Select::all());
        e = entry(QStringLiteral("解表药"), QStringLiteral("NEW1"), QStringLiteral("不在表中"), QStringLiteral("克"), QStringLiteral("0.3"));
        c = druglist::changeCode(Modutarnxt::clinicStore(), e);
        QCOMPARE(said(c), QStringLiteral("此条记录尚未保存"));
        QCOMPARE(c.refusal->field, DrugField::CmdSave);

        e = entry(QStringLiteral("解表药"), QStringLiteral("mh02"), QStringLiteral("麻黄"), QStringLiteral("克"), QStringLiteral("0.3"));
        QVERIFY(druglist::changeCode(Modutarnxt::clinicStore(), e).ok());
        QCOMPARE(codes(clinic), (QStringList{QStringLiteral("GC01/甘草"), QStringLiteral("MH02/麻黄")}));
    }

    void deleteNeedsACompleteEntry()
    {
        test::TempClinic clinic;
        clinic.addDrug(QStringLiteral("MH01"), QStringLiteral("麻黄"), QStringLiteral("0.3"));
        DrugEntry e = entry(QStringLiteral("解表药"), QStringLiteral("MH01"), QStringLiteral("麻黄"), {}, QStringLiteral("0.30"));
        QCOMPARE(said(druglist::remove(Modutarnxt::clinicStore(), e)), QStringLiteral("输入药品计量单位"));
        e = entry(QStringLiteral("解表药"), QStringLiteral("MH01"), QStringLiteral("麻黄"), QStringLiteral("克"), QStringLiteral("0"));
        QCOMPARE(said(druglist::remove(Modutarnxt::clinicStore(), e)), QStringLiteral("药品单价不能为零或小于零"));
        e = entry(QStringLiteral("解表药"), QStringLiteral("MH09"), QStringLiteral("麻黄"), QStringLiteral("克"), QStringLiteral("1"));
        QCOMPARE(said(druglist::remove(Modutarnxt::clinicStore(), e)), QStringLiteral("此条记录尚未保存"));
        QCOMPARE(stored(clinic).size(), 1);
        e = entry(QStringLiteral("解表药"), QStringLiteral("mh01"), QStringLiteral("别的名字也行"), QStringLiteral("克"), QStringLiteral("1"));
        const DrugAnswer c = druglist::remove(Modutarnxt::clinicStore(), e);
        QVERIFY(c.ok());
        QCOMPARE(c.next, DrugField::Txtycbm);
        QVERIFY(stored(clinic).isEmpty());
    }

    void databaseFailuresAreShortReports()
    {
        test::TempClinic clinic(false); // no database file
        DrugEntry e = good();
        const DrugAnswer c = druglist::add(Modutarnxt::clinicStore(), e);
        QVERIFY(!c.ok());
        QVERIFY(!c.refusal);
        QVERIFY(!c.failure.isEmpty());
        bool threw = false;
        try {
            druglist::GridBmmcAdd(test::OneAction().s());
        } catch (const DbError &) {
            threw = true;
        }
        QVERIFY(threw);
    }

    void exportSheetLayout()
    {
        QTemporaryDir docs;
        qh::Modutarnxt::setDocumentsPath(docs.path());
        QCOMPARE(druglist::exportFilePath(), docs.filePath(QStringLiteral("药品编码名称对照表.xlsx")));
        const std::vector<QStringList> rows{
            {QStringLiteral(" AB01 "), QStringLiteral("麻黄"), QStringLiteral("1,234.50"), QStringLiteral("克"), QStringLiteral("解表药")},
            {QStringLiteral("0002"), QStringLiteral("It's 甘草"), QStringLiteral("0.20"), QStringLiteral("两"), QStringLiteral("补虚药")},
        };
        int calls = 0;
        const Spreadsheet sheet = druglist::buildExport(rows, [&] { ++calls; });
        QCOMPARE(calls, 2);
        sheet.save(druglist::exportFilePath());

        const auto x = test::readXlsx(druglist::exportFilePath());
        QVERIFY(x.ok);
        QCOMPARE(x.text(QStringLiteral("A2")), QStringLiteral("药品编码"));
        QCOMPARE(x.text(QStringLiteral("B2")), QStringLiteral("药品名称"));
        QCOMPARE(x.text(QStringLiteral("C2")), QStringLiteral("药品价格"));
        QCOMPARE(x.text(QStringLiteral("D2")), QStringLiteral("计量单位"));
        for (const char *empty : {"A3", "A4", "B3", "B4", "E5"})
            QVERIFY2(!x.has(QString::fromLatin1(empty)), empty);
        QCOMPARE(x.text(QStringLiteral("A5")), QStringLiteral("AB01"));
        QCOMPARE(x.text(QStringLiteral("B5")), QStringLiteral("麻黄"));
        QVERIFY(x.isNumber(QStringLiteral("C5")));
        QCOMPARE(x.number(QStringLiteral("C5")), 1234.5);
        QCOMPARE(x.text(QStringLiteral("D5")), QStringLiteral("克"));
        QCOMPARE(x.text(QStringLiteral("A6")), QStringLiteral("0002"));
        QCOMPARE(x.text(QStringLiteral("B6")), QStringLiteral("It's 甘草"));
        QCOMPARE(x.number(QStringLiteral("C6")), 0.2);
        QCOMPARE(x.lastRow(), 6);
        QCOMPARE(x.numberFormat(QStringLiteral("C5")), QStringLiteral("#,##0.00_ "));
        QCOMPARE(x.numberFormat(QStringLiteral("C6")), QStringLiteral("#,##0.00_ "));
        QCOMPARE(x.numberFormat(QStringLiteral("B5")), QStringLiteral("General"));
        QCOMPARE(x.font(QStringLiteral("A2")), qMakePair(QStringLiteral("宋体"), 9.0));
        QCOMPARE(x.font(QStringLiteral("C6")), qMakePair(QStringLiteral("宋体"), 9.0));
        const double asked[4] = {8.8, 20, 9, 9};
        for (int col = 1; col <= 4; ++col) {
            QVERIFY(x.width(col));
            QVERIFY2(*x.width(col) >= asked[col - 1] && *x.width(col) < asked[col - 1] + 1, qPrintable(QString::number(*x.width(col))));
        }
        QVERIFY(!x.width(5));
        qh::Modutarnxt::setDocumentsPath(QString());
    }
};

QTEST_GUILESS_MAIN(TstDrugList)
#include "tst_druglist.moc"
