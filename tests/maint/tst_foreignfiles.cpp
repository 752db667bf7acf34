// Files the program did not write itself: a restore, the verification of a backup and every
// start compare each object of the file's schema with what the program makes, and refuse any
// other, naming it, leaving the live file as it was. Genuine clinics (the demonstration data
// with its search index, of either page layout and of the index's earlier layout) pass. The
// engine refuses the two-argument fts3_tokenizer() on every connection. Interrupted copies'
// work files are removed, and nothing else.
#include "db/session.h"
#include "core/modutarnxt.h"
#include "core/schema.h"
#include "core/searchindex.h"
#include "db/features.h"
#include "core/workfile.h"
#include "maint/datacopy.h"
#include "query/recordquery.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtTest>

#include <unistd.h>

using namespace qh;
using maint::DataCopy;

namespace {

void replaceFile(const QString &from, const QString &to)
{
    QFile::remove(to);
    QVERIFY(QFile::copy(from, to));
    QFile::setPermissions(to, QFile::ReadOwner | QFile::WriteOwner);
}

// A clinic as the program leaves it: the status row, a case, a visit, its search index.
void fillGenuine(const QString &path)
{
    auto s = db::Session::open(path);
    s.exec(QStringLiteral("insert into xtzlqk(xt001) values('青禾诊所')"));
    s.exec(QStringLiteral("insert into hzblzl(blbm, blxm, blxb, blnl, zldl) values('000001', '王芳', '女', 35, '张医生')"));
    s.exec(QStringLiteral("insert into hzzdzl(blbm, blkb, blsj, bzqk, blcf, zdys) values('000001', '内科', "
                          "'2024-03-08 09:30:00', '咳嗽', '麻黄9克，', '李明德')"));
    query::RecordQuery::ensureSearchIndex(s);
}

// Whatever way the check is reached, the refusal names the object; the start leaves the file.
void expectRefusedEverywhere(const QString &candidate, const QString &named, const QString &folder)
{
    const QString live = Modutarnxt::databasePath();
    const QByteArray liveBefore = test::fileHash(live);
    const auto r = DataCopy().restore(Modutarnxt::clinicStore(), candidate);
    QVERIFY(r);
    QVERIFY2(r->message.contains(named), qPrintable(r->message));
    QVERIFY2(r->message.count(u'\n') <= 1 && r->message.size() < 400, qPrintable(r->message));
    QCOMPARE(test::fileHash(live), liveBefore);

    // The crafted file as the live one: its backup fails verification, the start refuses it.
    replaceFile(candidate, live);
    const QByteArray crafted = test::fileHash(live);
    const QString target = folder + QStringLiteral("/backup.mdb");
    try {
        DataCopy().backup(Modutarnxt::clinicStore(), target);
        QFAIL("the backup of the crafted file passed its verification");
    } catch (const DbError &e) {
        QVERIFY2(e.description().contains(QStringLiteral("备份文件校验未通过")) && e.description().contains(named),
                 qPrintable(e.description()));
    }
    QVERIFY(!QFileInfo::exists(target));
    try {
        Modutarnxt::prepareClinicDatabase(Modutarnxt::clinicStore());
        QFAIL("the start took the crafted file");
    } catch (const DbError &e) {
        QCOMPARE(e.number(), err::NotADatabase);
        QVERIFY2(e.description().contains(named), qPrintable(e.description()));
    }
    QCOMPARE(test::fileHash(live), crafted);
}

} // namespace

class TstForeignFiles : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        if (test::TempClinic::onServer())
            QSKIP("the data file's own schema");
    }

    void craftedFileIsRefused_data();
    void craftedFileIsRefused();
    void genuineClinicIsAccepted_data();
    void genuineClinicIsAccepted();
    void twoArgumentTokenizerIsRefused();
    void leftoversOfInterruptedCopies_data();
    void leftoversOfInterruptedCopies();
};

void TstForeignFiles::craftedFileIsRefused_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<bool>("firstLayout");
    QTest::addColumn<QString>("named");
    const QString wipe = QStringLiteral("create trigger qh_wipe after insert on yccrtb begin delete from hzblzl; end");
    QTest::newRow("extra trigger") << wipe << false << QStringLiteral("多出本系统不建立的触发器 qh_wipe（数据表 yccrtb）");
    QTest::newRow("extra trigger, first layout") << wipe << true << QStringLiteral("触发器 qh_wipe（数据表 yccrtb）");
    QTest::newRow("extra view") << QStringLiteral("create view qh_all as select * from hzblzl") << false
                                << QStringLiteral("多出本系统不建立的视图 qh_all");
    QTest::newRow("extra table") << QStringLiteral("create table qh_notes(a)") << false
                                 << QStringLiteral("多出本系统不建立的数据表 qh_notes");
    QTest::newRow("dropped unique index") << QStringLiteral("drop index ycyli") << false
                                          << QStringLiteral("缺少索引 ycyli（数据表 ycyltb）");
    QTest::newRow("index made again, not unique")
        << QStringLiteral("drop index ycyli; create index ycyli on ycyltb(ycbm)") << false
        << QStringLiteral("索引 ycyli（数据表 ycyltb） 的定义与本系统的不同");
    QTest::newRow("journal index by name made otherwise")
        << QStringLiteral("drop index yccrbmi; create index yccrbmi on yccrtb(ycbm)") << true
        << QStringLiteral("索引 yccrbmi（数据表 yccrtb） 的定义与本系统的不同");
    QTest::newRow("added column") << QStringLiteral("alter table hzblzl add column qh_x") << false
                                  << QStringLiteral("数据表 hzblzl 的定义与本系统的不同");
    QTest::newRow("tokenizer trigger")
        << QStringLiteral("create trigger qh_addr after insert on yccrtb begin "
                          "select fts3_tokenizer('x', X'4141414141414141'); end")
        << false << QStringLiteral("触发器 qh_addr（数据表 yccrtb）");
    QTest::newRow("full-text table, foreign tokenizer")
        << QStringLiteral("pragma writable_schema = on; insert into sqlite_master(type, name, tbl_name, rootpage, sql) "
                          "values('table', 'qh_fts', 'qh_fts', 0, 'CREATE VIRTUAL TABLE qh_fts USING fts4(a, tokenize=x)'); "
                          "pragma writable_schema = off")
        << false << QStringLiteral("多出本系统不建立的数据表 qh_fts");
    QTest::newRow("search trigger rewritten")
        << QStringLiteral("drop trigger zdcx_ai; create trigger zdcx_ai after insert on hzzdzl begin delete from hzblzl; end")
        << false << QStringLiteral("触发器 zdcx_ai（数据表 hzzdzl） 的定义与本系统的不同");
    QTest::newRow("engine statistics") << QStringLiteral("analyze") << false
                                       << QStringLiteral("多出本系统不建立的数据表 sqlite_stat1");
    QTest::newRow("many objects, three shown")
        << QStringLiteral("create table qh_1(a); create table qh_2(a); create table qh_3(a); create table qh_4(a); "
                          "create table qh_5(a)")
        << false << QStringLiteral("数据表 qh_3……另有 2 处问题");
}

void TstForeignFiles::craftedFileIsRefused()
{
    QFETCH(QString, script);
    QFETCH(bool, firstLayout);
    QFETCH(QString, named);
    test::TempClinic clinic;
    clinic.addStatusRow();
    QTemporaryDir out;
    const QString candidate = out.filePath(QStringLiteral("candidate.mdb"));
    CreateClinicDatabase(candidate);
    fillGenuine(candidate);
    db::Session::open(candidate).execScript(script);
    if (firstLayout) {
        test::makeFirstLayout(candidate);
        QVERIFY(db::hasFirstLayout(candidate));
        QVERIFY_THROWS_EXCEPTION(DbError, upgradeClinicFile(candidate));
        QVERIFY(db::hasFirstLayout(candidate));
    }
    expectRefusedEverywhere(candidate, named, out.path());
}

void TstForeignFiles::genuineClinicIsAccepted_data()
{
    QTest::addColumn<QString>("layout");
    QTest::newRow("demonstration data, search index") << QStringLiteral("index");
    QTest::newRow("demonstration data, first layout") << QStringLiteral("first");
    QTest::newRow("demonstration data, earlier search index") << QStringLiteral("earlier");
    QTest::newRow("demonstration data, no search index") << QStringLiteral("none");
}

void TstForeignFiles::genuineClinicIsAccepted()
{
#ifndef QINGHE_DEMODATA
    QSKIP("the demonstration data tool is not built (QINGHE_TOOLS=OFF)");
#else
    QFETCH(QString, layout);
    QTemporaryDir made;
    const QString failed = test::makeDemoClinic(QStringLiteral(QINGHE_DEMODATA), made.path(), {QStringLiteral("--patients"), QStringLiteral("30")});
    QVERIFY2(failed.isEmpty(), qPrintable(failed));
    const QString candidate = made.filePath(QStringLiteral("system/zyqhmz.mdb"));
    {
        auto s = db::Session::open(candidate);
        if (layout != QLatin1String("none"))
            query::RecordQuery::ensureSearchIndex(s);
        // A file of the first layout or of the earlier search index comes from before the
        // journal's index by name and time.
        if (layout == QLatin1String("first") || layout == QLatin1String("earlier"))
            s.execScript(QStringLiteral("drop index yccrbmi"));
        if (layout == QLatin1String("earlier")) {
            s.execScript(QStringLiteral("drop trigger zdcx_ai; drop trigger zdcx_bu; drop trigger zdcx_au; drop trigger zdcx_bd; "
                                        "drop table zdcx; drop table zdcxsj"));
            for (const searchindex::Object &o : searchindex::earlierObjects())
                s.exec(o.sql);
        }
        QCOMPARE(schemaFaults(s), QStringList());
    }
    if (layout == QLatin1String("first"))
        test::makeFirstLayout(candidate);
    QCOMPARE(maint::whatIsWrong(candidate), std::nullopt);
    test::TempClinic clinic;
    clinic.addStatusRow();
    DataCopy copy;
    const auto refused = copy.restore(Modutarnxt::clinicStore(), candidate);
    QVERIFY2(!refused, qPrintable(refused ? refused->message : QString()));
    QCOMPARE(Modutarnxt::prepareClinicDatabase(Modutarnxt::clinicStore()), Modutarnxt::StartRoute::MainWindow);
    QCOMPARE(db::hasFirstLayout(clinic.dbPath()), false);
    const QString target = made.filePath(QStringLiteral("backup.mdb"));
    copy.backup(Modutarnxt::clinicStore(), target);
    QCOMPARE(maint::whatIsWrong(target), std::nullopt);
    // The earlier search index is made again at the first search, and that file passes too.
    auto s = clinic.open();
    query::RecordQuery::ensureSearchIndex(s);
    QVERIFY(query::RecordQuery::hasSearchIndex(s));
    QVERIFY(db::hasIndex(s, QStringLiteral("yccrbmi")));
    QCOMPARE(schemaFaults(s), QStringList());
#endif
}

void TstForeignFiles::twoArgumentTokenizerIsRefused()
{
    test::TempClinic clinic;
    const QString made = clinic.root() + QStringLiteral("/made.mdb");
    std::vector<db::Session> sessions;
    sessions.push_back(clinic.open());
    sessions.push_back(db::Session::create(made));
    sessions.push_back(db::Session::scratch());
    for (db::Session &s : sessions) {
        QVERIFY_THROWS_EXCEPTION(DbError, s.scalarText(QStringLiteral("select fts3_tokenizer('x', X'4141414141414141')")));
    }
    // The program's own tokenizer still serves its index, on a file opened anew as well.
    sessions.clear();
    clinic.addStatusRow();
    fillGenuine(clinic.dbPath());
    auto s = clinic.open();
    QCOMPARE(s.scalarInt(QStringLiteral("select count(*) from zdcx where bzqk match '咳嗽'")), 1);
}

void TstForeignFiles::leftoversOfInterruptedCopies_data()
{
    QTest::addColumn<QString>("where"); // "data": the data folder at the start; "target": beside a backup's target
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("kind"); // "file", "link", "held" (a running copy's work file)
    QTest::addColumn<bool>("removed");
    QTest::newRow("restore's work file") << "data" << ".zyqhmz.mdb.1x9kq3.part" << "file" << true;
    QTest::newRow("its journal") << "data" << ".zyqhmz.mdb.1x9kq3.part-journal" << "file" << true;
    QTest::newRow("a link of that name") << "data" << ".zyqhmz.mdb.2abc.part" << "link" << false;
    QTest::newRow("a running copy's") << "data" << "" << "held" << false;
    QTest::newRow("not hidden") << "data" << "zyqhmz.mdb.1x9kq3.part" << "file" << false;
    QTest::newRow("other suffix") << "data" << ".zyqhmz.mdb.1x9kq3.part.old" << "file" << false;
    QTest::newRow("backup's work file") << "target" << ".backup.mdb.8zz01.part" << "file" << true;
    QTest::newRow("another target's") << "target" << ".other.mdb.8zz01.part" << "file" << false;
    QTest::newRow("not random") << "target" << ".backup.mdb.X_Y.part" << "file" << false;
    QTest::newRow("a link beside the target") << "target" << ".backup.mdb.8zz02.part" << "link" << false;
}

void TstForeignFiles::leftoversOfInterruptedCopies()
{
    QFETCH(QString, where);
    QFETCH(QString, name);
    QFETCH(QString, kind);
    QFETCH(bool, removed);
    test::TempClinic clinic;
    clinic.addStatusRow();
    QTemporaryDir out;
    const QString folder = where == QLatin1String("data") ? clinic.root() + QStringLiteral("/system") : out.path();
    const QString target = out.filePath(QStringLiteral("backup.mdb"));
    // A link's own target stays whatever happens.
    const QString pointed = out.filePath(QStringLiteral("precious.txt"));
    QFile p(pointed);
    QVERIFY(p.open(QIODevice::WriteOnly));
    p.write("keep");
    p.close();
    std::optional<WorkFile> held;
    QString path = folder + u'/' + name;
    if (kind == QLatin1String("held")) {
        held.emplace(Modutarnxt::databasePath());
        path = held->path();
    } else if (kind == QLatin1String("link")) {
        QVERIFY(QFile::link(pointed, path));
    } else {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(4096, 'x'));
    }
    if (where == QLatin1String("data"))
        QCOMPARE(Modutarnxt::prepareClinicDatabase(Modutarnxt::clinicStore()), Modutarnxt::StartRoute::MainWindow);
    else
        DataCopy().backup(Modutarnxt::clinicStore(), target);
    QCOMPARE(QFileInfo(path).exists() || QFileInfo(path).isSymLink(), !removed);
    QFile check(pointed);
    QVERIFY(check.open(QIODevice::ReadOnly));
    QCOMPARE(check.readAll(), QByteArray("keep"));
}

QTEST_GUILESS_MAIN(TstForeignFiles)
#include "tst_foreignfiles.moc"
