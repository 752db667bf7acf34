// The record query's logic: what a search finds, the order of its checks, the visit and patient
// of a result row, and the texts of the particulars and notes prints.
#include "base/textutil.h"
#include "query/recordquery.h"
#include "testsupport.h"

#include <QtTest>

#include "queryfixtures.h"

using namespace qh;
using namespace qh::query;
using namespace qh::query::fixture;

namespace {

// "field=value" settings over a search of all of 2024, ages 0 to 99, mode 病历.
SearchInput input(const QStringList &settings)
{
    SearchInput in;
    in.ageFrom = QStringLiteral("0");
    in.ageTo = QStringLiteral("99");
    in.start = QStringLiteral("2024-01-01");
    in.end = QStringLiteral("2024-12-31");
    for (const QString &s : settings) {
        const QString key = s.section(u'=', 0, 0), value = s.section(u'=', 1);
        QString *field = key == u"blbm" ? &in.blbm : key == u"blkb" ? &in.blkb : key == u"zdys" ? &in.zdys
                       : key == u"bzqk" ? &in.bzqk : key == u"blxm" ? &in.blxm : key == u"from" ? &in.ageFrom
                       : key == u"to" ? &in.ageTo : key == u"planA" ? &in.planA : key == u"planB" ? &in.planB
                       : key == u"rxA" ? &in.rxA : key == u"rxB" ? &in.rxB : key == u"marital" ? &in.marital
                       : key == u"sex" ? &in.sex : key == u"start" ? &in.start : key == u"end" ? &in.end : nullptr;
        if (key == u"mode")
            in.followUps = value == u"复诊";
        else if (field)
            *field = value;
        else
            qFatal("unknown setting %s", qPrintable(key));
    }
    return in;
}

// The found rows as "case number/department/day".
QStringList found(db::Session &s, const SearchInput &in, RecordQuery::Plan plan = RecordQuery::Plan::Indexed)
{
    const SearchResult r = RecordQuery::runSearch(s, in, plan);
    QStringList out;
    for (const GridRow &g : RecordQuery::fetchRows(s, r.rows, 0, r.count()))
        out << g.cells[0] + u'/' + g.cells[1] + u'/' + g.cells[2];
    return out;
}

const QString V1 = QStringLiteral("000001/内科/2024-03-01");
const QString V2 = QStringLiteral("000001/内科/2024-03-10");
const QString V3 = QStringLiteral("000002/妇科/2024-03-31");
const QString V4 = QStringLiteral("000003/内科/2024-04-02");

ParticularsBoxes boxes()
{
    ParticularsBoxes b;
    b.visitCaseNumber = QStringLiteral("000001");
    b.caseNumber = QStringLiteral(" 000001 ");
    b.name = QStringLiteral("张三 ");
    b.sex = QStringLiteral("男");
    b.age = QStringLiteral("30");
    b.occupation = QStringLiteral("教师");
    b.workUnit = QStringLiteral("青禾中学");
    b.marital = QStringLiteral("已婚");
    b.address = QStringLiteral("人民路1号");
    b.telephone = QStringLiteral("13800000000");
    b.mail = QStringLiteral("a@b.cn");
    b.firstVisit = QStringLiteral("2023-05-06");
    b.lastVisit = QStringLiteral("2024-03-31");
    b.notes = QStringLiteral("药后汗出热退。\r\n宜避风寒。");
    return b;
}

} // namespace

class TstRecordQuery : public QObject {
    Q_OBJECT
    std::unique_ptr<qh::test::TempClinic> m_clinic; // the searches share one filled clinic

private slots:
    void initTestCase()
    {
        m_clinic = std::make_unique<qh::test::TempClinic>();
        auto s = m_clinic->open();
        fillClinic(s);
    }
    void cleanupTestCase() { m_clinic.reset(); }

    void search_data()
    {
        QTest::addColumn<QStringList>("settings");
        QTest::addColumn<QStringList>("expected");
        // Null symptoms (000002 儿科) and a patient without sex (000004) are never found.
        QTest::newRow("all boxes empty") << QStringList{} << QStringList{V1, V2, V3, V4};
        QTest::newRow("case number") << QStringList{"blbm=0002"} << QStringList{V3};
        QTest::newRow("department") << QStringList{"blkb=妇"} << QStringList{V3};
        QTest::newRow("doctor ignores letter case") << QStringList{"zdys=dr. LI"} << QStringList{V4};
        QTest::newRow("symptoms") << QStringList{"bzqk=咳嗽"} << QStringList{V1, V3};
        QTest::newRow("patient name") << QStringList{"blxm=李"} << QStringList{V3};
        QTest::newRow("age range inclusive") << QStringList{"from=20", "to=30"} << QStringList{V1, V2, V3};
        QTest::newRow("age range between") << QStringList{"from=21", "to=29"} << QStringList{};
        QTest::newRow("age 99 before 0") << QStringList{"from=99", "to=0"} << QStringList{};
        QTest::newRow("both plan keywords") << QStringList{"planA=辛温", "planB=止咳"} << QStringList{V1};
        QTest::newRow("one plan keyword") << QStringList{"planA=辛温"} << QStringList{V1, V3};
        QTest::newRow("both prescription keywords") << QStringList{"rxA=麻黄", "rxB=桂枝"} << QStringList{V3};
        QTest::newRow("second prescription box alone") << QStringList{"rxB=天麻"} << QStringList{V2};
        QTest::newRow("marital status") << QStringList{"marital=未婚"} << QStringList{V3};
        QTest::newRow("sex") << QStringList{"sex=女"} << QStringList{V3, V4};
        QTest::newRow("symptom, prescription and a month") << QStringList{"bzqk=咳嗽", "rxA=麻黄", "start=2024-03-01", "end=2024-03-31"}
                                                          << QStringList{V1, V3};
        QTest::newRow("end day included whatever the time") << QStringList{"start=2024-03-31", "end=2024-03-31"} << QStringList{V3};
        QTest::newRow("start day included") << QStringList{"start=2024-03-10", "end=2024-03-10"} << QStringList{V2};
        QTest::newRow("percent is literal") << QStringList{"bzqk=50%"} << QStringList{V4};
        QTest::newRow("percent alone") << QStringList{"bzqk=%"} << QStringList{V4};
        QTest::newRow("percent is no wildcard") << QStringList{"bzqk=发%寒"} << QStringList{};
        QTest::newRow("underscore is literal") << QStringList{"planA=_"} << QStringList{V4};
        QTest::newRow("underscore is no wildcard") << QStringList{"bzqk=咳_"} << QStringList{};
        QTest::newRow("star and brackets") << QStringList{"rxA=*[2]"} << QStringList{V4};
        QTest::newRow("star is no wildcard") << QStringList{"rxA=麻*克"} << QStringList{};
        QTest::newRow("question mark") << QStringList{"rxA=?"} << QStringList{V4};
        QTest::newRow("apostrophes") << QStringList{"rxA='包煎'"} << QStringList{V4};
        QTest::newRow("backslash") << QStringList{"rxA=\\"} << QStringList{};
        QTest::newRow("full-width comma as typed") << QStringList{"bzqk=咳嗽，"} << QStringList{V3};
        QTest::newRow("half-width comma is another character") << QStringList{"bzqk=咳嗽,"} << QStringList{};
        QTest::newRow("follow-ups in range") << QStringList{"mode=复诊", "start=2024-04-01", "end=2024-04-30"} << QStringList{V1};
        QTest::newRow("follow-up on the end day") << QStringList{"mode=复诊", "start=2024-05-01", "end=2024-05-20"} << QStringList{V3};
        QTest::newRow("follow-up outside the range") << QStringList{"mode=复诊", "start=2024-03-01", "end=2024-03-31"} << QStringList{};
        QTest::newRow("follow-ups with a keyword") << QStringList{"mode=复诊", "bzqk=痰"} << QStringList{V3};
    }
    void search()
    {
        QFETCH(QStringList, settings);
        QFETCH(QStringList, expected);
        auto s = m_clinic->open();
        const SearchInput in = input(settings);
        QVERIFY(!RecordQuery::validateSearch(in));
        // Through the indexes and by one pass over all visits: the same rows.
        QCOMPARE(found(s, in, RecordQuery::Plan::Indexed), expected);
        QCOMPARE(found(s, in, RecordQuery::Plan::Scan), expected);
    }

    // The full-text index follows every write of a visit, in the writer's transaction, and is
    // made again when a part of it is missing.
    void indexFollowsWrites()
    {
        if (qh::test::TempClinic::onServer())
            QSKIP("the full-text index is the file's; the server searches by the plain statement");
        qh::test::TempClinic clinic;
        auto s = clinic.open();
        fillClinic(s);
        QVERIFY(!RecordQuery::hasSearchIndex(s));
        const SearchInput cough = input({"bzqk=咳嗽"});
        QCOMPARE(found(s, cough), (QStringList{V1, V3}));
        QVERIFY(RecordQuery::hasSearchIndex(s));
        {
            auto w = clinic.open(); // another session, as the outpatient window's save
            db::Transaction t(w);
            addVisit(w, QStringLiteral("000001"), QStringLiteral("内科"), at(2024, 5, 1), QStringLiteral("夜间咳嗽"),
                     QStringLiteral("宣肺"), QStringLiteral("杏仁9克"));
            w.exec(QStringLiteral("update hzzdzl set bzqk = '头痛眩晕' where blbm = '000002' and blkb = '妇科'"));
            t.commit();
        }
        QCOMPARE(found(s, cough), (QStringList{V1, QStringLiteral("000001/内科/2024-05-01")}));
        QCOMPARE(found(s, input({"bzqk=眩晕"})), QStringList{V3});
        {
            auto w = clinic.open();
            db::Transaction t(w);
            w.exec(QStringLiteral("delete from hzzdzl where blsj = '2024-05-01 00:00:00'"));
            // Rolled back with the visit: the index keeps what the table keeps.
            w.exec(QStringLiteral("update hzzdzl set bzqk = '咳嗽' where blbm = '000001' and blsj = '2024-03-10 00:00:00'"));
        }
        QCOMPARE(found(s, cough), (QStringList{V1, QStringLiteral("000001/内科/2024-05-01")}));
        // A missing trigger: the index is made again from all visits.
        s.exec(QStringLiteral("drop trigger zdcx_au"));
        QVERIFY(!RecordQuery::hasSearchIndex(s));
        QCOMPARE(found(s, input({"bzqk=眩晕"})), QStringList{V3});
        QVERIFY(RecordQuery::hasSearchIndex(s));
        const auto terms = RecordQuery::indexTerms(input({"bzqk=咳*嗽", "rxA=\"", "rxB=麻黄"}));
        QCOMPARE(terms.size(), size_t(2));
        QCOMPARE(terms[0], (std::pair<QString, QString>{"bzqk", "\"咳嗽*\""}));
        QCOMPARE(terms[1], (std::pair<QString, QString>{"blcf", "\"麻黄*\""}));
    }

    // The search through the indexes finds what the literal test finds, in the same order, for
    // texts with letters in both cases, blanks, single characters, characters the full-text
    // index leaves out and empty columns; and keeps doing so after every kind of write.
    void indexAgreesWithLiteralTest_data()
    {
        QTest::addColumn<QStringList>("settings");
        QTest::addColumn<QString>("write"); // a statement run before the search
        QTest::addColumn<int>("count");
        const QString none;
        QTest::newRow("all boxes empty: grid order") << QStringList{} << none << 5;
        QTest::newRow("pair") << QStringList{"bzqk=咳嗽"} << none << 1;
        QTest::newRow("first character") << QStringList{"bzqk=咳"} << none << 3;
        QTest::newRow("last character") << QStringList{"bzqk=嗽"} << none << 4;
        QTest::newRow("letters ignore case") << QStringList{"bzqk=cough"} << none << 1;
        QTest::newRow("letters, blank and more") << QStringList{"bzqk=COUGH 三"} << none << 1;
        QTest::newRow("blank") << QStringList{"bzqk= "} << none << 2;
        QTest::newRow("blank inside") << QStringList{"bzqk=咳 嗽"} << none << 1;
        QTest::newRow("text end") << QStringList{"bzqk=日"} << none << 2;
        QTest::newRow("star typed") << QStringList{"bzqk=咳*嗽"} << none << 1;
        QTest::newRow("star alone") << QStringList{"bzqk=*"} << none << 1;
        QTest::newRow("caret in the text") << QStringList{"planA=宣肺"} << none << 3;
        QTest::newRow("caret typed") << QStringList{"planA=^"} << none << 1;
        QTest::newRow("quote typed") << QStringList{"rxA=\"6"} << none << 1;
        QTest::newRow("around a quote") << QStringList{"rxA=6克"} << none << 2;
        QTest::newRow("Null columns never found") << QStringList{"rxA=麻黄"} << none << 1;
        QTest::newRow("doctor") << QStringList{"zdys=dr"} << none << 1;
        QTest::newRow("two columns") << QStringList{"bzqk=嗽", "planA=宣肺"} << none << 2;
        QTest::newRow("symptom and prescription") << QStringList{"bzqk=咳", "rxB=杏仁"} << none << 1;
        QTest::newRow("case number ignores letter case") << QStringList{"blbm=a0"} << none << 4;
        QTest::newRow("department and keyword") << QStringList{"blkb=内", "bzqk=咳"} << none << 3;
        QTest::newRow("a month") << QStringList{"start=2024-03-01", "end=2024-03-31"} << none << 1;
        QTest::newRow("plan written: found") << QStringList{} << "update hzzdzl set blfa = '宣肺' where blbm = 'b03'" << 6;
        QTest::newRow("plan emptied: gone") << QStringList{} << "update hzzdzl set blfa = null where blbm = 'A02'" << 4;
        QTest::newRow("star written") << QStringList{"bzqk=咳嗽"} << "update hzzdzl set bzqk = '咳*嗽' where blsj = '2024-02-01 09:00:00' and blkb = '内科'" << 0;
        QTest::newRow("star removed") << QStringList{"bzqk=咳嗽"} << "update hzzdzl set bzqk = '咳嗽' where blbm = 'A02'" << 2;
        QTest::newRow("visit moved in time") << QStringList{"start=2024-03-01", "end=2024-03-31"}
                                             << "update hzzdzl set blsj = '2024-03-31 23:59:59' where blbm = 'A02'" << 2;
        QTest::newRow("department changed") << QStringList{"blkb=儿"} << "update hzzdzl set blkb = '儿科' where blbm = 'A02'" << 2;
        QTest::newRow("visit removed") << QStringList{} << "delete from hzzdzl where blbm = 'Ä04'" << 4;
        QTest::newRow("patient removed") << QStringList{} << "delete from hzblzl where blbm = 'A02'" << 4;
        QTest::newRow("patient's case number in other letters") << QStringList{} << "update hzblzl set blbm = 'a02' where blbm = 'A02'" << 5;
    }
    void indexAgreesWithLiteralTest()
    {
        if (qh::test::TempClinic::onServer())
            QSKIP("the full-text index is the file's; the server searches by the plain statement");
        QFETCH(QStringList, settings);
        QFETCH(QString, write);
        QFETCH(int, count);
        qh::test::TempClinic clinic;
        auto s = clinic.open();
        fillIndexClinic(s);
        RecordQuery::ensureSearchIndex(s);
        if (!write.isEmpty())
            QCOMPARE(s.exec(write), 1);
        const SearchInput in = input(settings);
        const QStringList expected = found(s, in, RecordQuery::Plan::Scan);
        QCOMPARE(found(s, in, RecordQuery::Plan::Indexed), expected);
        QCOMPARE(expected.size(), count);
        if (settings.isEmpty() && write.isEmpty())
            QCOMPARE(expected, (QStringList{"a01/内科/2024-02-01", "a01/外科/2024-02-01", "a01/内科/2024-05-05",
                                            "A02/内科/2024-01-15", "Ä04/儿科/2024-03-02"}));
    }

    // A file whose index an earlier version made (the same names, other statements) has it
    // made again before the first search.
    void earlierIndexMadeAgain()
    {
        if (qh::test::TempClinic::onServer())
            QSKIP("the full-text index is the file's; the server searches by the plain statement");
        qh::test::TempClinic clinic;
        auto s = clinic.open();
        fillIndexClinic(s);
        RecordQuery::ensureSearchIndex(s);
        QVERIFY(RecordQuery::hasSearchIndex(s));
        s.exec(QStringLiteral("drop trigger zdcx_ai"));
        s.exec(QStringLiteral("create trigger zdcx_ai after insert on hzzdzl begin insert into zdcx(docid, blcf, bzqk, blfa, zdys) "
                              "values(new.rowid, new.blcf, new.bzqk, new.blfa, new.zdys); end"));
        QVERIFY(!RecordQuery::hasSearchIndex(s));
        s.exec(QStringLiteral("insert into hzzdzl(blbm, blkb, blsj, bzqk, blfa, blcf, zdys) values('a01', '内科', "
                              "'2024-06-01 00:00:00', '咳嗽', '宣肺', '杏仁', '李明德')"));
        const SearchInput cough = input({"bzqk=咳嗽"});
        QCOMPARE(found(s, cough), found(s, cough, RecordQuery::Plan::Scan));
        QCOMPARE(found(s, cough).size(), 2);
        QVERIFY(RecordQuery::hasSearchIndex(s));
    }

    // The index is made a block of row ids at a time, telling how far it is; every block's
    // visits are in it, those on a block's edges too.
    void indexMadeInBlocks()
    {
        if (qh::test::TempClinic::onServer())
            QSKIP("the full-text index is the file's; the server searches by the plain statement");
        qh::test::TempClinic clinic;
        auto s = clinic.open();
        fillIndexClinic(s);
        const qint64 edge = 2 * RecordQuery::IndexBlockRows, far = edge + 5000;
        for (qint64 rowid : {edge, edge + 1, far})
            s.exec(QStringLiteral("insert into hzzdzl(rowid, blbm, blkb, blsj, bzqk, blfa, blcf, zdys) values(?, 'a01', ?, "
                                  "'2024-07-01 00:00:00', '边缘咳嗽', '宣肺', '杏仁', '李明德')"),
                   rowid, QStringLiteral("科%1").arg(rowid));
        std::vector<std::pair<qint64, qint64>> steps;
        RecordQuery::ensureSearchIndex(s, [&steps](qint64 done, qint64 total) { steps.emplace_back(done, total); });
        const std::vector<std::pair<qint64, qint64>> expected{{edge / 2, far + 1}, {edge, far + 1}, {far, far + 1},
                                                              {far + 1, far + 1}};
        QCOMPARE(steps, expected);
        const SearchInput edgy = input({"bzqk=边缘"});
        QCOMPARE(found(s, edgy).size(), 3);
        QCOMPARE(found(s, input({"bzqk=咳"})), found(s, input({"bzqk=咳"}), RecordQuery::Plan::Scan));
        steps.clear();
        RecordQuery::ensureSearchIndex(s, [&steps](qint64 done, qint64 total) { steps.emplace_back(done, total); });
        QVERIFY(steps.empty());
    }

    // Every typed text is bound, never part of the statement.
    void searchBindsEveryText()
    {
        SearchInput in = input({"bzqk='; drop table hzzdzl; --", "blxm=王'五", "mode=复诊"});
        const SearchSql q = RecordQuery::buildSearch(in);
        QVERIFY(!q.text.contains(u'\''+ QStringLiteral("; drop")));
        QVERIFY(!q.text.contains(QStringLiteral("王")));
        QCOMPARE(q.text.count(u'?'), qsizetype(q.values.size()));
        QCOMPARE(q.values.size(), size_t(15));
    }

    // In mode 复诊 a visit comes once for every follow-up row that matches it, and the count
    // says so. The clinic's own unique index on the follow-ups keeps it to one row a visit; a
    // file without that index shows the rule.
    void followUpRowsEachListed()
    {
        qh::test::TempClinic clinic;
        auto s = clinic.open();
        fillClinic(s);
        s.exec(QStringLiteral("drop index fzbmi"));
        s.exec(QStringLiteral("insert into fzzl(blbm, blkb, blsj, blfz, zdys) values(?, ?, ?, ?, ?)"), QStringLiteral("000001"),
               QStringLiteral("内科"), at(2024, 3, 1, 9, 30), QDate(2024, 4, 9), QStringLiteral("李明德"));
        const SearchInput in = input({"mode=复诊", "start=2024-04-01", "end=2024-04-30"});
        QCOMPARE(found(s, in), (QStringList{V1, V1}));
        QCOMPARE(RecordQuery::runSearch(s, in).count(), 2);
    }

    void validation_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("end");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("message"); // "" passes
        QTest::addColumn<int>("field");
        QTest::addColumn<int>("head"); // characters selected; -1 all
        const QString future = dateText(QDate::currentDate().addDays(10));
        const QString later = dateText(QDate::currentDate().addDays(20));
        const int Qssj = int(QueryField::MasQssj), Jssj = int(QueryField::MasJssj);
        const int Hznl = int(QueryField::TxtHznl), Hzln = int(QueryField::TxtHzln);
        QTest::newRow("impossible start") << "2024-02-30" << "2024-03-01" << "x" << "" << "起时时间错误" << Qssj << -1;
        QTest::newRow("partial start") << "2024-1-" << "2024-03-01" << "0" << "99" << "起时时间错误" << Qssj << -1;
        QTest::newRow("impossible end") << "2024-02-01" << "2024-13-01" << "x" << "" << "截止时间错误" << Jssj << -1;
        QTest::newRow("start after end") << "2024-03-02" << "2024-03-01" << "x" << "" << "截止时间不能小于起始时间" << Jssj << -1;
        QTest::newRow("empty age from") << "2024-03-01" << "2024-03-01" << "" << "" << "患者年龄输入错误" << Hznl << 2;
        QTest::newRow("letters in age from") << "2024-03-01" << "2024-03-01" << "abc" << "99" << "患者年龄输入错误" << Hznl << 2;
        QTest::newRow("empty age to") << "2024-03-01" << "2024-03-01" << "0" << "" << "患者年龄输入错误" << Hzln << 2;
        QTest::newRow("start after today passes") << future << later << "0" << "99" << "" << 0 << 0;
        QTest::newRow("age 99 before 0 passes") << "2024-03-01" << "2024-03-01" << "99" << "0" << "" << 0 << 0;
    }
    void validation()
    {
        QFETCH(QString, start);
        QFETCH(QString, end);
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QString, message);
        QFETCH(int, field);
        QFETCH(int, head);
        SearchInput in;
        in.start = start;
        in.end = end;
        in.ageFrom = from;
        in.ageTo = to;
        const auto r = RecordQuery::validateSearch(in);
        QCOMPARE(r ? r->message : QString(), message);
        if (r) {
            QCOMPARE(int(r->field), field);
            QCOMPARE(r->select, head < 0 ? Select::all() : Select::head(head));
        }
    }

    // Each search text is bounded by its box: one character more is refused with the box's
    // focus, by the check and by the search itself, before the engine sees a pattern (the file
    // engine fails a LIKE pattern of over 50,000 bytes).
    void searchTextsAreBounded_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("field");
        QTest::addColumn<int>("limit");
        const std::pair<const char *, QueryField> boxes[] = {
            {"blbm", QueryField::TxtBlhm}, {"blkb", QueryField::TxtZlcs}, {"zdys", QueryField::TxtZlys},
            {"bzqk", QueryField::TxtBzmc}, {"blxm", QueryField::TxtHzxm}, {"planA", QueryField::TxtZlfa},
            {"planB", QueryField::TxtZlaf}, {"rxA", QueryField::TxtZlcf},  {"rxB", QueryField::TxtZlfc},
            {"marital", QueryField::CboHyqk}, {"sex", QueryField::CboHzxb}};
        const int limits[] = {20, 50, 50, 50, 20, 50, 50, 50, 50, 10, 10};
        for (size_t i = 0; i < std::size(boxes); ++i)
            QTest::newRow(boxes[i].first) << QString::fromLatin1(boxes[i].first) << int(boxes[i].second) << limits[i];
    }
    void searchTextsAreBounded()
    {
        QFETCH(QString, key);
        QFETCH(int, field);
        QFETCH(int, limit);
        qh::test::TempClinic clinic;
        auto s = clinic.open();
        QCOMPARE(RecordQuery::searchTextLimit(QueryField(field)), limit);
        for (const QString &mode : {QStringLiteral("初诊"), QStringLiteral("复诊")}) {
            const SearchInput fits = input({QStringLiteral("mode=") + mode, key + u'=' + QString(limit, u'芪')});
            QVERIFY(!RecordQuery::validateSearch(fits));
            QCOMPARE(RecordQuery::runSearch(s, fits).count(), 0);
            for (int length : {limit + 1, 60000}) {
                const SearchInput in = input({QStringLiteral("mode=") + mode, key + u'=' + QString(length, u'芪')});
                const auto r = RecordQuery::validateSearch(in);
                QVERIFY(r);
                QCOMPARE(r->message, QStringLiteral("查询内容不能超过%1个字").arg(limit));
                QCOMPARE(int(r->field), field);
                for (auto plan : {RecordQuery::Plan::Indexed, RecordQuery::Plan::Scan}) {
                    try {
                        RecordQuery::runSearch(s, in, plan);
                        QFAIL("an overlong search text reached the engine");
                    } catch (const DbError &e) {
                        QCOMPARE(e.number(), err::TooLong);
                        QCOMPARE(e.description(), r->message);
                    }
                }
            }
        }
    }

    void enterChecks_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<QString>("message");
        const QString tomorrow = dateText(QDate::currentDate().addDays(1));
        const QString today = dateText(QDate::currentDate());
        QTest::newRow("start not a date") << "start" << "2023-02-29" << "" << "查询起始时间输入错误";
        QTest::newRow("start after today") << "start" << tomorrow << "" << "查询时间不能超过系统目前时间";
        QTest::newRow("start today") << "start" << today << "" << "";
        QTest::newRow("end not a date") << "end" << "2024-04-31" << "" << "查询起截止间输入错误";
        QTest::newRow("end after today") << "end" << tomorrow << "" << "";
        QTest::newRow("age to empty") << "age" << "0" << "" << "请输入年龄时间段";
        QTest::newRow("age to below from") << "age" << "50" << "40" << "年龄截止时间不能大于年龄起始时间";
        QTest::newRow("age to equal") << "age" << "50" << "50" << "";
        QTest::newRow("age from empty counts as 0") << "age" << "" << "5" << "";
    }
    void enterChecks()
    {
        QFETCH(QString, box);
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(QString, message);
        const auto r = box == u"start" ? RecordQuery::checkStartEnter(a, QDate::currentDate())
                     : box == u"end"   ? RecordQuery::checkEndEnter(a)
                                       : RecordQuery::checkAgeToEnter(a, b);
        QCOMPARE(r ? r->message : QString(), message);
    }

    void visitAndPatient()
    {
        qh::test::TempClinic clinic;
        auto s = clinic.open();
        fillClinic(s);
        // The visit's exact key, its time of day included.
        QVERIFY(!RecordQuery::loadVisit(s, QStringLiteral("000001"), QStringLiteral("内科"), at(2024, 3, 1)));
        const auto v = RecordQuery::loadVisit(s, QStringLiteral("000001"), QStringLiteral("内科"), at(2024, 3, 1, 9, 30));
        QVERIFY(v);
        QCOMPARE(v->blsj, QStringLiteral("2024-03-01"));
        QCOMPARE(v->bzxy, QStringLiteral("120/80"));
        QCOMPARE(v->bzmb, QStringLiteral("72"));
        QCOMPARE(v->blcf, QStringLiteral("麻黄9克，杏仁9克"));
        QCOMPARE(v->fzsj, QStringLiteral("2024-04-08"));
        const auto p = RecordQuery::loadPatient(s, QStringLiteral("000001"));
        QVERIFY(p);
        QCOMPARE(p->blnl, QStringLiteral("30"));
        QCOMPARE(p->blsj, QStringLiteral("2023-05-06"));
        QCOMPARE(p->bljz, QStringLiteral("2024-03-31"));
        QVERIFY(!RecordQuery::loadPatient(s, QStringLiteral("000009")));
        // A visit removed after the search leaves its line empty.
        const SearchResult r = RecordQuery::runSearch(s, input({}));
        s.exec(QStringLiteral("delete from hzzdzl where blbm = '000001'"));
        const auto rows = RecordQuery::fetchRows(s, r.rows, 0, 100);
        QCOMPARE(rows.size(), size_t(4));
        QVERIFY(rows[0].missing && rows[1].missing && !rows[2].missing);
        QVERIFY(RecordQuery::fetchRows(s, r.rows, 4, 10).empty());
        QCOMPARE(RecordQuery::countText(3), QStringLiteral("符合查询条件的记录有 3 条"));
    }

    void particularsRequired_data()
    {
        QTest::addColumn<int>("emptied"); // index of the required box left blank; -1 none
        QTest::newRow("all there") << -1;
        for (int i = 0; i < 6; ++i)
            QTest::addRow("required %d blank", i) << i;
    }
    void particularsRequired()
    {
        QFETCH(int, emptied);
        ParticularsBoxes b = boxes();
        QString *required[] = {&b.visitCaseNumber, &b.name, &b.age, &b.marital, &b.sex, &b.firstVisit};
        if (emptied >= 0)
            *required[emptied] = QStringLiteral("  ");
        b.occupation.clear(); // not required
        const auto r = RecordQuery::checkParticulars(b);
        QCOMPARE(bool(r), emptied >= 0);
        if (r) {
            QCOMPARE(r->message, QStringLiteral("打印内容输入不完全，不能打印"));
            QCOMPARE(r->field, QueryField::CmdQcls);
        }
    }

    void printTexts()
    {
        const QDate today(2024, 6, 1);
        const QStringList items = {
            "病历号码：000001", "患者姓名：张三", "患者年龄：30", "患者性别：男", "婚姻状况：已婚", "职    业：教师",
            "工作单位：青禾中学", "家庭住址：人民路1号", "联系电话：13800000000", "电子邮箱：a@b.cn",
            "初诊时间：2023-05-06", "末诊时间：2024-03-31"};
        QStringList particulars{"        张三基本情况介绍", ""};
        particulars << items << "" << "打印时间：2024-06-01";
        QCOMPARE(RecordQuery::particularsText(boxes(), today).split(QStringLiteral("\r\n")), particulars);
        QStringList notes{"        病历诊断治疗心得", ""};
        notes << items << "" << "治疗心得：药后汗出热退。" << "宜避风寒。" << "" << "打印时间：2024-06-01";
        QCOMPARE(RecordQuery::notesText(boxes(), today).split(QStringLiteral("\r\n")), notes);
    }

    void clinicName()
    {
        qh::test::TempClinic clinic;
        auto s = clinic.open();
        s.exec(QStringLiteral("delete from xtzlqk"));
        QVERIFY(!RecordQuery::clinicName(s));
        clinic.addStatusRow(QStringLiteral(" 青禾诊所 "));
        QCOMPARE(RecordQuery::clinicName(s).value_or(QString()), QStringLiteral("青禾诊所"));
    }
};

QTEST_GUILESS_MAIN(TstRecordQuery)
#include "tst_recordquery.moc"
