// Moving a clinic onto another database: everything copied exactly, a target with data refused,
// a failure in the middle leaves the target without a copied row. Both sides are data files in
// the first run; in the second (a server named by QINGHE_TEST_PG) a data file is moved onto an
// empty server database, as `qinghe --export-to-server` does.
#include "db/session.h"
#include "core/modutarnxt.h"
#include "core/schema.h"
#include "maint/servermove.h"
#include "testsupport.h"

#include <QDir>
#include <QtTest>

#include <limits>

using namespace qh;

namespace {

// Every table's rows, every value as its stored bytes, in stored order.
QList<QStringList> everyRow(db::Session &s)
{
    QList<QStringList> all;
    for (const TableDef &t : clinicSchema()) {
        std::optional<db::Statement> rows;
        try {
            rows.emplace(s.prepare(QStringLiteral("select * from \"%1\" order by rowid").arg(QString::fromLatin1(t.name).toLower())));
        } catch (const DbError &) {
            all << QStringList{QString::fromLatin1(t.name), QStringLiteral("<missing>")};
            continue;
        }
        db::Statement &st = *rows;
        while (st.next()) {
            QStringList row{QString::fromLatin1(t.name)};
            for (int c = 0; c < st.columnCount(); ++c)
                row << (st.isNull(c) ? QStringLiteral("<null>") : QString::fromLatin1(st.blob(c).toHex()));
            all << row;
        }
    }
    return all;
}

// Every table's fields (not the server's own row key) as text, in stored order.
QList<QStringList> everyField(db::Session &s)
{
    QList<QStringList> all;
    for (const TableDef &t : clinicSchema()) {
        QStringList names;
        for (const FieldDef &f : t.fields)
            names << u'"' + QString::fromLatin1(f.name) + u'"';
        auto st = s.prepare(QStringLiteral("select %1 from \"%2\" order by rowid").arg(names.join(u','), QString::fromLatin1(t.name).toLower()));
        while (st.next()) {
            QStringList row{QString::fromLatin1(t.name)};
            for (int c = 0; c < st.columnCount(); ++c) {
                const bool binary = t.fields[size_t(c)].type == FieldType::LongBinary;
                row << (st.isNull(c) ? QStringLiteral("<null>") : binary ? QString::fromLatin1(st.blob(c).toHex()) : st.text(c));
            }
            all << row;
        }
    }
    return all;
}

qint64 rowsIn(db::Session &s)
{
    qint64 n = 0;
    for (const TableDef &t : clinicSchema())
        n += s.scalarInt(QStringLiteral("select count(*) from \"%1\"").arg(QString::fromLatin1(t.name).toLower()));
    return n;
}

// Rows of every table and the sums of its money fields, by the engine's own count() and sum().
QStringList countsAndSums(db::Session &s)
{
    QStringList out;
    for (const TableDef &t : clinicSchema()) {
        QStringList cols{QStringLiteral("count(*)")};
        for (const FieldDef &f : t.fields)
            if (f.type == FieldType::Currency)
                cols << QStringLiteral("coalesce(sum(\"%1\"), 0)").arg(QString::fromLatin1(f.name));
        auto st = s.prepare(QStringLiteral("select %1 from \"%2\"").arg(cols.join(u','), QString::fromLatin1(t.name).toLower()));
        st.next();
        QStringList line{QString::fromLatin1(t.name)};
        for (int c = 0; c < st.columnCount(); ++c)
            line << QString::number(st.int64(c));
        out << line.join(u' ');
    }
    return out;
}

void fill(db::Session &s)
{
    const Money huge = Money::fromUnits(std::numeric_limits<qint64>::max() / 2 + 7); // two of them overflow 64 bits
    s.exec(QStringLiteral("insert into xtzlqk(xt001, xt006, xt007) values('青禾诊所', '管理员', ?)"), QByteArray("\x89PNG\0\1\2", 7));
    s.exec(QStringLiteral("insert into yckpass(passuser, passwods, passpids) values('张医生', 'hash$1', 1)"));
    s.exec(QStringLiteral("insert into ycjg(ycbm, ycmc, ycdj, jldw, yplb) values('A01', '麻黄', ?, '克', '解表药')"), Money::fromCents(35));
    s.exec(QStringLiteral("insert into ycjg(ycbm, ycmc, ycdj, jldw, yplb) values('A02', 'O''Neil''s 桂枝', ?, '克', null)"), huge);
    s.exec(QStringLiteral("insert into ycyltb(ycbm, rksl, rkje, ycyl) values('麻黄', ?, ?, ?)"), huge, huge, Money::fromUnits(-1));
    s.exec(QStringLiteral("insert into ycyltb(ycbm, rksl, rkje, ycyl) values('桂枝', ?, ?, null)"), huge, huge);
    s.exec(QStringLiteral("insert into hzblzl(blbm, blxm, blxb, blnl, blsj, bljz, blxd, zldl) values('000001', '王芳', '女', 35, ?, ?, ?, '张医生')"),
           QDateTime(QDate(2024, 3, 1), QTime(8, 5, 9)), QDate(2024, 3, 8), QStringLiteral("舌红'苔薄\n脉浮\t\"紧\"；𠀀"));
    for (int i = 2; i <= 40; ++i)
        s.exec(QStringLiteral("insert into hzzdzl(blbm, blkb, blsj, bzxy, bzmb, bzhx, blcf, zdys) values(?, '中医内科', ?, '120/80', ?, 18, '麻黄9克，桂枝6克', '李明德')"),
               QStringLiteral("%1").arg(i, 6, 10, QLatin1Char('0')), QDateTime(QDate(2024, 3, 8), QTime(9, 30)).addDays(i), i);
    s.exec(QStringLiteral("insert into yccrtb(crsj, ycbm, ywzy, rksl, rkje, cksl, ckje, xsje, bgxm) values(?, '麻黄', '购进', ?, ?, 0, 0, ?, '张医生')"),
           QDateTime(QDate(2024, 3, 1), QTime(8, 0)), Money::fromCents(100000), Money::fromCents(2000), Money::fromUnits(-12345));
}

} // namespace

class TstServerMove : public QObject {
    Q_OBJECT

private:
    std::optional<test::TempClinic> clinic;
    std::optional<QTemporaryDir> other;
    std::optional<test::TempClinic> serverTarget; // an empty server database (second run only)

    QString targetPath() const { return other->filePath(QStringLiteral("server.mdb")); }

    // The second run moves a data file onto the server: a bare server database as the target.
    db::Session bareServerDatabase()
    {
        serverTarget.emplace(false);
        return db::Session::connect(serverTarget->serverSettings());
    }

    // The target as the data-driven rows want it: "bare" (an empty database), "blank" (the
    // schema and the blank status row of a first start), "schema" (the schema, no rows).
    db::Session makeTarget(const QString &kind)
    {
        if (kind == QLatin1String("bare"))
            return db::Session::create(targetPath());
        CreateClinicDatabase(targetPath(), kind == QLatin1String("blank"));
        return db::Session::open(targetPath());
    }

private slots:
    void init()
    {
        const QByteArray name = QTest::currentTestFunction();
        if (test::TempClinic::onServer() && name != "fileOntoServer" && name != "demoClinic")
            QSKIP("moves between two data files; the server run moves a data file onto the server");
        clinic.emplace();
        other.emplace();
        auto s = clinic->open();
        fill(s);
    }
    void cleanup()
    {
        clinic.reset();
        serverTarget.reset();
        other.reset();
    }

    void fileOntoServer()
    {
        if (!test::TempClinic::onServer())
            QSKIP("needs a server (QINGHE_TEST_PG)");
        const QString file = other->filePath(QStringLiteral("clinic.mdb"));
        CreateClinicDatabase(file);
        {
            auto f = db::Session::open(file);
            fill(f);
        }
        auto source = db::Session::open(file);
        auto dest = bareServerDatabase();
        const maint::MoveOutcome outcome = maint::moveClinic(source, dest);
        QCOMPARE(outcome.refused, QString());
        // The engine's own sum() overflows on these amounts: every value is compared instead.
        QCOMPARE(everyField(dest), everyField(source));
        QCOMPARE(*dest.scalarText(QStringLiteral("select blxm from hzblzl where blbm = ?"), QStringLiteral("000001")), QStringLiteral("王芳"));
        // A second move onto the same database is refused: it holds a clinic now.
        QVERIFY(maint::moveClinic(source, dest).refused.contains(QStringLiteral("xtzlqk 1 行")));
    }

    void copiesEverything_data()
    {
        QTest::addColumn<QString>("target");
        QTest::newRow("empty database: schema made") << "bare";
        QTest::newRow("blank status row of a first start replaced") << "blank";
        QTest::newRow("schema without rows") << "schema";
    }
    void copiesEverything()
    {
        QFETCH(QString, target);
        auto source = clinic->open();
        auto dest = makeTarget(target);
        QStringList reported;
        const maint::MoveOutcome outcome = maint::moveClinic(source, dest, [&](const maint::TableMoved &t) {
            reported << QStringLiteral("%1 %2").arg(t.table).arg(t.rows);
        });
        QCOMPARE(outcome.refused, QString());
        QCOMPARE(qsizetype(outcome.tables.size()), qsizetype(clinicSchema().size()));
        QCOMPARE(reported.size(), qsizetype(clinicSchema().size()));
        QVERIFY(reported.contains(QStringLiteral("hzzdzl 39")));
        QCOMPARE(everyRow(dest), everyRow(source));
        // The money sums are exact beyond 64 bits.
        const auto stock = std::find_if(outcome.tables.begin(), outcome.tables.end(), [](const maint::TableMoved &t) { return t.table == QLatin1String("ycyltb"); });
        QVERIFY(stock != outcome.tables.end());
        QCOMPARE(stock->moneySums.at(0), QStringLiteral("rksl 合计 922337203685477.5820"));
        QCOMPARE(stock->moneySums.at(2), QStringLiteral("ycyl 合计 -0.0001"));
    }

    // A target holding data is refused and left exactly as it was.
    void refusesTargetWithData_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("message");
        QTest::newRow("a patient") << "insert into hzblzl(blbm, blxm) values('900001', '李四')" << "hzblzl 1 行";
        QTest::newRow("another clinic's status row") << "insert into xtzlqk(xt001) values('别的诊所')" << "xtzlqk 1 行";
        QTest::newRow("blank status row and a user") << "insert into xtzlqk(xt001) values('  '); insert into yckpass(passuser, passwods) values('甲', 'h')"
                                                     << "yckpass 1 行";
        QTest::newRow("part of the schema") << "drop table zyzd" << "缺少本系统的数据表 zyzd";
    }
    void refusesTargetWithData()
    {
        QFETCH(QString, sql);
        QFETCH(QString, message);
        auto dest = makeTarget(QStringLiteral("schema"));
        dest.execScript(sql);
        auto source = clinic->open();
        const QList<QStringList> before = everyRow(dest);
        const maint::MoveOutcome outcome = maint::moveClinic(source, dest);
        QVERIFY2(outcome.refused.contains(message), qPrintable(outcome.refused));
        QVERIFY(outcome.tables.empty());
        QCOMPARE(everyRow(dest), before);
    }

    // A failure anywhere rolls the whole copy back: the target keeps no copied row.
    void failureLeavesTargetEmpty_data()
    {
        QTest::addColumn<QString>("onSource");
        QTest::addColumn<QString>("onTarget");
        QTest::addColumn<QString>("message");
        QTest::newRow("target refuses a row in the middle")
            << QString()
            << "create trigger fault before insert on hzzdzl when new.blbm = '000020' begin select raise(abort, 'disk gone'); end"
            << "disk gone";
        QTest::newRow("a text with NUL in the source")
            << "pragma ignore_check_constraints = 1; update hzblzl set blxd = 'a' || char(0) || 'b'; pragma ignore_check_constraints = 0"
            << QString() << "NUL";
        QTest::newRow("target changes a money value") << QString()
                                                     << "create trigger shift after insert on ycyltb begin update ycyltb set rkje = rkje + 1 where rowid = new.rowid; end"
                                                     << "ycyltb 字段 rkje 的合计不同";
        QTest::newRow("target changes a text") << QString()
                                              << "create trigger shift after insert on hzblzl begin update hzblzl set blzy = '教师' where rowid = new.rowid; end"
                                              << "hzblzl 字段 blzy 的非空值个数不同";
        QTest::newRow("target changes a text in place") << QString()
                                                       << "create trigger shift after insert on hzzdzl when new.blbm = '000030' begin update hzzdzl set zdys = '王淑华' where rowid = new.rowid; end"
                                                       << "hzzdzl 的内容校验和不同";
    }
    void failureLeavesTargetEmpty()
    {
        QFETCH(QString, onSource);
        QFETCH(QString, onTarget);
        QFETCH(QString, message);
        auto source = clinic->open();
        if (!onSource.isEmpty())
            source.execScript(onSource);
        auto dest = makeTarget(QStringLiteral("blank"));
        if (!onTarget.isEmpty())
            dest.execScript(onTarget);
        try {
            maint::moveClinic(source, dest);
            QFAIL("the copy was not refused");
        } catch (const DbError &e) {
            QVERIFY2(e.description().contains(message), qPrintable(e.description()));
        }
        QVERIFY(!dest.inTransaction());
        QCOMPARE(rowsIn(dest), qint64(1)); // the blank status row the transaction had removed is back
        QCOMPARE(*dest.scalarText(QStringLiteral("select xt001 from xtzlqk")), QStringLiteral("  "));
        QVERIFY(!source.inTransaction());
    }

    // The demonstration clinic: row counts and money sums equal on both sides.
    void demoClinic()
    {
#ifndef QINGHE_DEMODATA
        QSKIP("the demonstration data tool is not built (QINGHE_TOOLS=OFF)");
#else
        QTemporaryDir root;
        const QString failed = test::makeDemoClinic(QStringLiteral(QINGHE_DEMODATA), root.path(), {QStringLiteral("--patients"), QStringLiteral("40")});
        QVERIFY2(failed.isEmpty(), qPrintable(failed));
        auto source = db::Session::open(root.filePath(QStringLiteral("system/zyqhmz.mdb")));
        auto dest = test::TempClinic::onServer() ? bareServerDatabase() : makeTarget(QStringLiteral("bare"));
        const maint::MoveOutcome outcome = maint::moveClinic(source, dest);
        QCOMPARE(outcome.refused, QString());
        const QStringList expected = countsAndSums(source);
        QCOMPARE(countsAndSums(dest), expected);
        QVERIFY(source.scalarInt(QStringLiteral("select count(*) from yccrtb")) > 40); // the demo really has movements
#endif
    }
};

QTEST_GUILESS_MAIN(TstServerMove)
#include "tst_servermove.moc"
