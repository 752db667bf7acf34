// What the reliability probe checks after a kill or a run: the file's integrity, every balance
// against its movements, the postings told against those stored; the first start and the rewrite
// of a first-layout file.
#include "probe.h"
#include "core/modutarnxt.h"
#include "core/schema.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QHash>

namespace probe {

Lines readLines(const QByteArray &out)
{
    Lines l;
    for (const QByteArray &line : out.split('\n')) {
        const QList<QByteArray> w = line.split(' ');
        if (line == "GO")
            l.go = true;
        else if (line == "END")
            l.ended = true;
        else if (w.size() >= 2 && w[0] == "ACK")
            l.acked.insert(w[1].toInt());
        else if (w.size() >= 2 && w[0] == "REF")
            l.refused.insert(w[1].toInt());
        else if (w.size() >= 3 && w[0] == "ERR") {
            l.failed.insert(w[1].toInt());
            l.failureNumbers << w[2].toInt();
        }
    }
    // The last line may be cut by the kill: it was not acknowledged.
    return l;
}

// Checks the file after a kill or a run. Empty result: everything holds.
QStringList checkFile(const QString &path, Ledger &ledger, bool inFlightAllowed)
{
    QStringList problems;
    try {
        auto s = db::Session::open(path);
        const QString integrity = s.scalarText(QStringLiteral("pragma integrity_check")).value_or(QString());
        if (integrity != u"ok")
            problems << QStringLiteral("integrity check: %1").arg(integrity);

        // Every balance equals its movements; no movement without a balance.
        auto st = s.query(QStringLiteral(
            "select coalesce(b.ycbm, m.ycbm), b.rksl, b.rkje, b.ycyl, m.rksl, m.rkje, m.cksl from "
            "(select ycbm, sum(rksl) rksl, sum(rkje) rkje, sum(cksl) cksl from yccrtb group by ycbm) m "
            "left join ycyltb b on b.ycbm = m.ycbm "
            "union all select b.ycbm, b.rksl, b.rkje, b.ycyl, null, null, null from ycyltb b "
            "where not exists (select 1 from yccrtb m where m.ycbm = b.ycbm)"));
        while (st.next()) {
            const QString drug = st.text(0);
            if (st.isNull(1) || st.isNull(4)) {
                problems << QStringLiteral("%1: balance row and movements do not go together").arg(drug);
                continue;
            }
            const Money inQty = st.money(4), inAmount = st.money(5), outQty = st.money(6);
            if (st.money(1) != inQty || st.money(2) != inAmount || st.money(3) != inQty - outQty)
                problems << QStringLiteral("%1: balance %2/%3/%4, movements in %5/%6 out %7")
                                .arg(drug, st.money(1).toPlain(), st.money(2).toPlain(), st.money(3).toPlain(),
                                     inQty.toPlain(), inAmount.toPlain(), outQty.toPlain());
        }

        // Postings: acknowledged ones whole, failed ones absent, nothing half.
        QHash<int, int> present;
        auto t = s.query(QStringLiteral("select jbxm, count(*) from yccrtb group by jbxm"));
        while (t.next())
            present.insert(t.text(0).mid(1).toInt(), t.integer(1));
        int highest = -1;
        for (auto it = present.cbegin(); it != present.cend(); ++it) {
            const int n = it.key();
            highest = std::max(highest, n);
            if (it.value() != rowsOf(n))
                problems << QStringLiteral("posting %1 is half there: %2 of %3 rows").arg(n).arg(it.value()).arg(rowsOf(n));
            if (ledger.notDone.contains(n))
                problems << QStringLiteral("posting %1 was reported failed but is stored").arg(n);
            else if (!ledger.acked.contains(n) && !(inFlightAllowed && n >= ledger.next))
                problems << QStringLiteral("posting %1 is stored but was never acknowledged").arg(n);
        }
        for (int n : std::as_const(ledger.acked))
            if (!present.contains(n))
                problems << QStringLiteral("acknowledged posting %1 is missing").arg(n);
        // A posting that went through just before the kill without its acknowledgement counts.
        for (auto it = present.cbegin(); it != present.cend(); ++it)
            ledger.acked.insert(it.key());
        ledger.next = std::max(ledger.next, highest + 1);
    } catch (const DbError &e) {
        problems << QStringLiteral("the file cannot be used: %1 %2").arg(e.number()).arg(e.description());
    }
    return problems;
}

// A fresh clinic with the two herbs in the drug list, made by the real start.
void prepareClinic(const QString &root)
{
    Modutarnxt::SystemRoot = root;
    Modutarnxt::prepareClinicDatabase(Modutarnxt::clinicStore());
    auto s = Modutarnxt::clinicStore().open();
    const QString sql = QStringLiteral("insert into ycjg(ycbm, ycmc, ycdj, jldw, yplb) values(?, ?, ?, '克', '补益药')");
    s.exec(sql, QStringLiteral("GC"), QStringLiteral("甘草"), Money::fromInt(5));
    s.exec(sql, QStringLiteral("HQ"), QStringLiteral("黄芪"), Money::fromInt(8));
}

// Checks a data folder after a kill during the first start; then starts again, unkilled.
QStringList checkFirstStart(const QString &root)
{
    QStringList problems;
    Modutarnxt::SystemRoot = root;
    const QString path = Modutarnxt::databasePath();
    if (QFileInfo::exists(path)) {
        try {
            auto s = db::Session::open(path);
            if (s.scalarText(QStringLiteral("pragma integrity_check")).value_or(QString()) != u"ok")
                problems << QStringLiteral("integrity check fails");
            if (s.scalarInt(QStringLiteral("select count(*) from sqlite_master where type = 'table'")) != 23)
                problems << QStringLiteral("the database file is there without all its tables");
            else if (s.scalarInt(QStringLiteral("select count(*) from xtzlqk")) != 1)
                problems << QStringLiteral("the database file is there without its status row");
        } catch (const DbError &e) {
            problems << QStringLiteral("the database file left behind cannot be opened: %1 %2").arg(e.number()).arg(e.description());
        }
    }
    try {
        QString notice;
        const auto route = Modutarnxt::prepareClinicDatabase(Modutarnxt::clinicStore(), notice);
        if (route != Modutarnxt::StartRoute::FirstRun)
            problems << QStringLiteral("the next start does not lead to the first-run setup");
        if (!notice.isEmpty())
            problems << QStringLiteral("the next start had to repair: %1").arg(notice);
        if (QFileInfo::exists(creatingPath(path)))
            problems << QStringLiteral("the temporary file of the creation is still there");
    } catch (const DbError &e) {
        problems << QStringLiteral("the next start fails: %1 %2").arg(e.number()).arg(e.description());
    }
    return problems;
}

// Everything a file holds (schema and every row), as one digest.
QByteArray contentDigest(db::Session &s)
{
    QCryptographicHash h(QCryptographicHash::Sha256);
    QStringList tables;
    db::Statement st = s.query(QStringLiteral("select type, name, ifnull(sql, '') from sqlite_master order by type, name"));
    while (st.next()) {
        h.addData((st.text(0) + st.text(1) + st.text(2)).toUtf8());
        if (st.text(0) == u"table")
            tables << st.text(1);
    }
    for (const QString &t : tables) {
        db::Statement rows = s.query(QStringLiteral("select * from \"%1\" order by rowid").arg(t));
        while (rows.next())
            for (int c = 0; c < rows.columnCount(); ++c)
                h.addData((rows.isNull(c) ? QStringLiteral("\x01") : rows.text(c) + u'\x02').toUtf8());
    }
    return h.result();
}

// Checks a data folder after a kill during the rewrite of its first-layout file: the file opens
// (in either layout) with exactly what it held; the next start, unkilled, finishes the rewrite.
QStringList checkUpgrade(const QString &root, const QByteArray &expected)
{
    QStringList problems;
    Modutarnxt::SystemRoot = root;
    const QString path = Modutarnxt::databasePath();
    try {
        auto s = db::Session::open(path);
        if (s.scalarText(QStringLiteral("pragma integrity_check")).value_or(QString()) != u"ok")
            problems << QStringLiteral("integrity check fails");
        if (contentDigest(s) != expected)
            problems << QStringLiteral("the file does not hold what it held before the rewrite");
    } catch (const DbError &e) {
        problems << QStringLiteral("the file left behind cannot be opened: %1 %2").arg(e.number()).arg(e.description());
    }
    try {
        Modutarnxt::prepareClinicDatabase(Modutarnxt::clinicStore());
        auto s = db::Session::open(path);
        if (s.layout() != db::FileLayout::Pages4K)
            problems << QStringLiteral("the next start did not rewrite the file");
        if (contentDigest(s) != expected)
            problems << QStringLiteral("after the next start the file does not hold what it held");
        if (QFileInfo::exists(upgradingPath(path)))
            problems << QStringLiteral("the temporary copy of the rewrite is still there");
    } catch (const DbError &e) {
        problems << QStringLiteral("the next start fails: %1 %2").arg(e.number()).arg(e.description());
    }
    return problems;
}

} // namespace probe
