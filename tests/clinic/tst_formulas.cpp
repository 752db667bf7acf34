// The clinic's formulas (zyfj): the checks, add, change, delete, the import of the shipped
// classical formulas and "save as formula", on the file and on the server.
#include "clinic/classicalformulas.h"
#include "clinic/formulas.h"
#include "clinic/punctuation.h"
#include "testsupport.h"

#include <QtTest>

using namespace qh;
using namespace qh::clinic;

Q_DECLARE_METATYPE(qh::clinic::FormulaField)

namespace {

const QString User = QStringLiteral("王医生");

Formula formula(const QString &name, const QString &composition, const QString &source = {})
{
    Formula f;
    f.name = name;
    f.composition = composition;
    f.source = source;
    return f;
}

int formulaCount(test::TempClinic &c) { return int(c.open().scalarInt(QStringLiteral("select count(*) from zyfj"))); }

// name|source|composition|dlxm of every stored formula, by name.
QStringList stored(test::TempClinic &c)
{
    auto s = c.open();
    auto q = s.query(QStringLiteral("select fjmc, fjly, fjgc, dlxm from zyfj order by fjmc"));
    QStringList l;
    while (q.next())
        l << QStringList{q.text(0), q.text(1), q.text(2), q.text(3)}.join(u'|');
    return l;
}

} // namespace

class TstFormulas : public QObject {
    Q_OBJECT

private slots:
    // Each row breaks the checks from the given one on and expects that one's refusal.
    void checksRunInOrder_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("composition");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("message"); // "" when it is stored
        QTest::addColumn<FormulaField>("focus");
        const QString longSource(Formulas::SourceMax + 1, u'书');
        const QString rx = QStringLiteral("麻黄9克，桂枝6克");
        QTest::newRow("no name, no composition") << QStringLiteral(" 　") << QString() << longSource
                                                 << QStringLiteral("输入方剂名称") << FormulaField::TxtFjmc;
        QTest::newRow("name too long") << QString(Formulas::NameMax + 1, u'方') << QString() << longSource
                                       << QStringLiteral("方剂名称不能超过200个字") << FormulaField::TxtFjmc;
        QTest::newRow("no composition") << QString(Formulas::NameMax, u'方') << QStringLiteral(" \r\n ") << longSource
                                        << QStringLiteral("输入方剂组成") << FormulaField::TxtFjgc;
        QTest::newRow("source too long") << QStringLiteral("麻黄汤") << rx << longSource
                                         << QStringLiteral("方剂出处不能超过248个字") << FormulaField::TxtFjly;
        // A character outside the basic plane is one character, as the database counts.
        QTest::newRow("longest name and source")
            << QString(Formulas::NameMax - 1, u'方') + QStringLiteral("𠀀") << rx
            << QString(Formulas::SourceMax - 1, u'书') + QStringLiteral("𠀀") << QString() << FormulaField::TxtFjmc;
    }
    void checksRunInOrder()
    {
        QFETCH(QString, name);
        QFETCH(QString, composition);
        QFETCH(QString, source);
        QFETCH(QString, message);
        QFETCH(FormulaField, focus);
        test::TempClinic clinic;
        const FormulaAnswer a = Formulas(test::OneAction().s()).add(formula(name, composition, source), User);
        QCOMPARE(a.failure, QString());
        QCOMPARE(a.refusal ? a.refusal->message : QString(), message);
        if (a.refusal)
            QCOMPARE(a.refusal->field, focus);
        QCOMPARE(formulaCount(clinic), message.isEmpty() ? 1 : 0);
    }

    void addedFormulasAreListedByNameInTheirStoredForm()
    {
        test::TempClinic clinic;
        auto s = clinic.open();
        Formulas formulas(s);
        QVERIFY(formulas.add(formula(QStringLiteral("麻黄汤"), QStringLiteral(" 麻黄9克,桂枝6克;杏仁9克\r\n炙甘草3克 ")), User).ok());
        Formula full = formula(QStringLiteral("  桂枝汤 "), QStringLiteral("桂枝9克，白芍9克"), QStringLiteral(" 伤寒论 "));
        full.actions = QStringLiteral("解肌发表,调和营卫");
        full.indications = QStringLiteral("外感风寒表虚证");
        full.usage = QStringLiteral("水煎服.");
        full.notes = QStringLiteral("服后啜热稀粥");
        QVERIFY(formulas.add(full, QString()).ok());
        QVERIFY(formulas.add(formula(QStringLiteral("白虎汤"), QStringLiteral("石膏48克")), User).ok());

        QStringList listed;
        for (const FormulaRow &r : formulas.list())
            listed << r.name + u'/' + r.source;
        QCOMPARE(listed, (QStringList{QStringLiteral("桂枝汤/伤寒论"), QStringLiteral("白虎汤/"), QStringLiteral("麻黄汤/")}));

        const auto mahuang = formulas.find(QStringLiteral(" 麻黄汤"));
        QVERIFY(mahuang);
        QCOMPARE(mahuang->composition, QStringLiteral("麻黄9克，桂枝6克；杏仁9克\r\n炙甘草3克"));
        QCOMPARE(mahuang->enteredBy, User);
        const auto guizhi = formulas.find(QStringLiteral("桂枝汤"));
        QVERIFY(guizhi);
        QCOMPARE(guizhi->actions, QStringLiteral("解肌发表，调和营卫"));
        QCOMPARE(guizhi->usage, QStringLiteral("水煎服。"));
        QCOMPARE(guizhi->notes, full.notes);
        QCOMPARE(guizhi->indications, full.indications);
        QVERIFY(!formulas.find(QStringLiteral("小青龙汤")));
        // Blank optional fields and an unknown user are Null, never "".
        QCOMPARE(s.scalarInt(QStringLiteral("select count(*) from zyfj where fjly is null and fjgy is null and fjzz is null "
                                            "and fjyf is null and fjxd is null")),
                 qint64(2));
        QCOMPARE(s.scalarInt(QStringLiteral("select count(*) from zyfj where dlxm is null")), qint64(1));
    }

    void aNameThatExistsIsRefused_data()
    {
        QTest::addColumn<int>("command"); // 0 add, 1 rename 麻黄汤, 2 save a prescription
        QTest::addColumn<QString>("name");
        QTest::newRow("add") << 0 << QStringLiteral("桂枝汤");
        QTest::newRow("add with blanks around") << 0 << QStringLiteral(" 桂枝汤　");
        QTest::newRow("rename") << 1 << QStringLiteral("桂枝汤");
        QTest::newRow("save as formula") << 2 << QStringLiteral("桂枝汤");
    }
    void aNameThatExistsIsRefused()
    {
        QFETCH(int, command);
        QFETCH(QString, name);
        test::TempClinic clinic;
        auto s = clinic.open();
        Formulas formulas(s);
        QVERIFY(formulas.add(formula(QStringLiteral("桂枝汤"), QStringLiteral("桂枝9克")), User).ok());
        QVERIFY(formulas.add(formula(QStringLiteral("麻黄汤"), QStringLiteral("麻黄9克")), User).ok());
        const QStringList before = stored(clinic);
        const Formula entry = formula(name, QStringLiteral("葛根15克"));
        const FormulaAnswer a = command == 0   ? formulas.add(entry, User)
                                : command == 1 ? formulas.change(QStringLiteral("麻黄汤"), entry, User)
                                               : formulas.saveAsFormula(entry.composition, name, User);
        QVERIFY(a.refusal);
        QCOMPARE(a.refusal->message, QStringLiteral("方剂名称“桂枝汤”已经存在，请换一个名称。"));
        QCOMPARE(a.refusal->field, FormulaField::TxtFjmc);
        QCOMPARE(stored(clinic), before);
        // The session goes on: the refused command left no transaction behind.
        QVERIFY(!s.inTransaction());
        QVERIFY(formulas.add(formula(QStringLiteral("葛根汤"), QStringLiteral("葛根12克")), User).ok());
    }

    void changeAndDelete()
    {
        test::TempClinic clinic;
        auto s = clinic.open();
        Formulas formulas(s);
        QVERIFY(formulas.add(formula(QStringLiteral("麻黄汤"), QStringLiteral("麻黄9克"), QStringLiteral("伤寒论")), User).ok());
        QVERIFY(formulas.add(formula(QStringLiteral("桂枝汤"), QStringLiteral("桂枝9克")), User).ok());

        QVERIFY(formulas.change(QStringLiteral("麻黄汤"), formula(QStringLiteral("麻黄加术汤"), QStringLiteral("麻黄9克,白术12克")),
                                QStringLiteral("李医生"))
                    .ok());
        QCOMPARE(stored(clinic), (QStringList{QStringLiteral("桂枝汤||桂枝9克|王医生"), QStringLiteral("麻黄加术汤||麻黄9克，白术12克|李医生")}));

        const FormulaAnswer gone = formulas.change(QStringLiteral("麻黄汤"), formula(QStringLiteral("麻黄汤"), QStringLiteral("麻黄6克")), User);
        QVERIFY(gone.refusal);
        QCOMPARE(gone.refusal->field, FormulaField::MSFGridFjmc);
        QVERIFY(gone.refusal->message.contains(QStringLiteral("麻黄汤")));
        QCOMPARE(formulaCount(clinic), 2);

        QVERIFY(formulas.remove(QStringLiteral("桂枝汤")).ok());
        QCOMPARE(stored(clinic), QStringList{QStringLiteral("麻黄加术汤||麻黄9克，白术12克|李医生")});
        for (const QString &name : {QStringLiteral("桂枝汤"), QString()}) {
            const FormulaAnswer a = formulas.remove(name);
            QVERIFY(a.refusal);
            QCOMPARE(a.refusal->field, FormulaField::MSFGridFjmc);
        }
        QCOMPARE(formulaCount(clinic), 1);
    }

    // The clinic's own formula of a classical name stays as the clinic has it, changed or not.
    void importAddsWhatIsMissingAndKeepsTheRest()
    {
        test::TempClinic clinic;
        QString error;
        const QList<ClassicalFormula> shipped = shippedClassicalFormulas(&error);
        QCOMPARE(error, QString());
        QVERIFY(shipped.size() > 3);
        const ClassicalFormula &changed = shipped.at(0);
        const ClassicalFormula &same = shipped.at(2);
        auto s = clinic.open();
        Formulas formulas(s);
        QVERIFY(formulas.add(formula(changed.name, QStringLiteral("桂枝10克"), Formulas::ownSource()), QStringLiteral("李医生")).ok());
        QVERIFY(formulas.add(formula(same.name, same.composition, same.source), QStringLiteral("李医生")).ok());

        const FormulaImport first = formulas.importClassical(shipped, User);
        QCOMPARE(first.failure, QString());
        QCOMPARE(first.added, int(shipped.size()) - 2);
        QCOMPARE(first.kept, 2);
        QCOMPARE(first.message(), QStringLiteral("已导入经方 %1 首；另有 2 首方剂表中已有同名方剂，保留原样，未导入。").arg(shipped.size() - 2));
        QCOMPARE(formulaCount(clinic), int(shipped.size()));

        const auto kept = formulas.find(changed.name);
        QVERIFY(kept);
        QCOMPARE(kept->composition, QStringLiteral("桂枝10克"));
        QCOMPARE(kept->source, Formulas::ownSource());
        QCOMPARE(kept->enteredBy, QStringLiteral("李医生"));
        QCOMPARE(formulas.find(same.name)->enteredBy, QStringLiteral("李医生"));
        const ClassicalFormula &other = shipped.at(1);
        const auto imported = formulas.find(other.name);
        QVERIFY(imported);
        QCOMPARE(imported->source, other.source);
        QCOMPARE(imported->composition, NormalizePunctuation(other.composition));
        QCOMPARE(imported->actions, NormalizePunctuation(other.actions));
        QCOMPARE(imported->enteredBy, User);

        const FormulaImport again = formulas.importClassical(shipped, User);
        QCOMPARE(again.added, 0);
        QCOMPARE(again.kept, int(shipped.size()));
        QCOMPARE(formulaCount(clinic), int(shipped.size()));
    }

    void importIsOneTransaction()
    {
        test::TempClinic clinic;
        const QList<ClassicalFormula> shipped = shippedClassicalFormulas(nullptr);
        QVERIFY(shipped.size() > 3);
        auto s = clinic.open();
        test::addFailingTrigger(s, QStringLiteral("stop_formula"), QStringLiteral("before insert"), QStringLiteral("zyfj"),
                                QStringLiteral("new.fjmc = '%1'").arg(shipped.at(shipped.size() / 2).name));
        Formulas formulas(s);
        const FormulaImport failed = formulas.importClassical(shipped, User);
        QVERIFY(!failed.failure.isEmpty());
        QCOMPARE(failed.added, 0);
        QCOMPARE(failed.message(), failed.failure);
        QCOMPARE(formulaCount(clinic), 0);
        test::dropFailingTrigger(s, QStringLiteral("stop_formula"), QStringLiteral("zyfj"));
        QCOMPARE(formulas.importClassical(shipped, User).added, int(shipped.size()));
    }

    void aPrescriptionSavedAsTheClinicsFormula()
    {
        test::TempClinic clinic;
        auto s = clinic.open();
        Formulas formulas(s);
        const QString rx = QStringLiteral("麻黄9克,桂枝6克;\r\n杏仁9克.炙甘草3克");
        QVERIFY(formulas.saveAsFormula(rx, QStringLiteral(" 自拟麻杏方 "), User).ok());
        QCOMPARE(stored(clinic), QStringList{QStringLiteral("自拟麻杏方|协定方|%1|王医生").arg(NormalizePunctuation(rx))});

        const FormulaAnswer blank = formulas.saveAsFormula(QStringLiteral("  "), QStringLiteral("空方"), User);
        QVERIFY(blank.refusal);
        QCOMPARE(blank.refusal->field, FormulaField::TxtFjgc);
        const FormulaAnswer noName = formulas.saveAsFormula(rx, QString(), User);
        QVERIFY(noName.refusal);
        QCOMPARE(noName.refusal->field, FormulaField::TxtFjmc);
        QCOMPARE(formulaCount(clinic), 1);
    }
};

QTEST_GUILESS_MAIN(TstFormulas)
#include "tst_formulas.moc"
