// The reliability probe's child: postings through the real logic classes (and their broken
// variants), each told on stdout as it is acknowledged, refused or failed; the first start.
#include "probe.h"
#include "core/modutarnxt.h"
#include "core/schema.h"
#include "stock/charging.h"
#include "stock/posting.h"
#include "stock/stockin.h"
#include "stock/stockout.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

namespace probe {

namespace {

QString tagOf(int n) { return QStringLiteral("K%1").arg(n); }

stock::StockInEntry receipt(int n)
{
    stock::StockInEntry e;
    const bool first = n % 4 == 0;
    e.Txtycbm = first ? QStringLiteral("GC") : QStringLiteral("HQ");
    e.Txtycmc = first ? QStringLiteral("甘草") : QStringLiteral("黄芪");
    e.TxtYcph = QStringLiteral("B%1").arg(n);
    e.TxtYsqx = QStringLiteral("2026-06-15");
    e.Txthwcd = QStringLiteral("甘肃");
    e.TxtPjhm = QStringLiteral("P%1").arg(n);
    e.TxtYcsl = first ? QStringLiteral("10.00") : QStringLiteral("7.00");
    e.TxtYcje = first ? QStringLiteral("32.50") : QStringLiteral("21.70");
    e.Txthwll = QStringLiteral("药材公司");
    e.TxtGjsj = QStringLiteral("2024-06-15");
    e.Txtjbxm = tagOf(n);
    return e;
}

stock::StockOutEntry issue(int n)
{
    stock::StockOutEntry e;
    e.Txtycbm = QStringLiteral("GC");
    e.Txtycmc = QStringLiteral("甘草");
    e.TxtPjhm = QStringLiteral("P%1").arg(n);
    e.TxtGjsj = QStringLiteral("2024-06-15");
    e.Txthwll = QStringLiteral("科室领用");
    e.TxtYcsl = QStringLiteral("1");
    e.TxtYcje = QStringLiteral("6.00");
    e.Txtjbxm = tagOf(n);
    return e;
}

QList<stock::ChargeLine> dispensing()
{
    return {{QStringLiteral("GC"), QStringLiteral("甘草"), Money::fromInt(1), Money::fromInt(5), Money::fromInt(5)},
            {QStringLiteral("HQ"), QStringLiteral("黄芪"), *Money::parse(QStringLiteral("0.5")), Money::fromInt(8),
             Money::fromInt(4)}};
}

// The number of a failure that the window logic reported in the short form (its description).
int numberOfReport(const QString &text)
{
    for (int code : {SQLITE_IOERR, SQLITE_FULL, SQLITE_NOTADB, SQLITE_CANTOPEN, SQLITE_BUSY, SQLITE_READONLY}) {
        const DbError e = db::engineError(code, QString(), QString());
        if (text.startsWith(e.description().left(6)))
            return e.number();
    }
    if (text.startsWith(QStringLiteral("事务")))
        return err::Misuse;
    return 0;
}

// The broken variant: the same rows, written without their transaction.
Result postWithoutTransaction(int n)
{
    try {
        auto s = Modutarnxt::clinicStore().open();
        switch (n % 4) {
        case 0:
        case 1:
            stock::postMovementInTransaction(s, stock::StockIn::movement(receipt(n)), stock::MovementKind::Receipt);
            break;
        case 2:
            stock::postMovementInTransaction(s, stock::StockOut::movement(issue(n)), stock::MovementKind::Issue);
            break;
        default:
            for (const auto &l : dispensing()) {
                stock::Movement m;
                m.crsj = QDateTime(Today, QTime(0, 0));
                m.ycbm = l.name;
                m.ywzy = stock::SummaryDispensing;
                m.cksl = l.dose;
                m.xsje = l.amount;
                m.jbxm = tagOf(n);
                stock::postMovementInTransaction(s, m, stock::MovementKind::Issue);
            }
        }
        return {Outcome::Acknowledged, 0, {}};
    } catch (const DbError &e) {
        return {Outcome::Failed, e.number(), e.description()};
    }
}

} // namespace

int rowsOf(int n) { return n % 4 == 3 ? 2 : 1; }

// One posting through the window logic, as the windows do it.
Result postThroughLogic(int n)
{
    switch (n % 4) {
    case 0:
    case 1: {
        stock::StockIn logic(Modutarnxt::clinicStore());
        const auto r = logic.post(receipt(n));
        return !r ? Result{Outcome::Acknowledged, 0, {}} : Result{Outcome::Failed, numberOfReport(r->message), r->message};
    }
    case 2: {
        stock::StockOut logic(Modutarnxt::clinicStore());
        const auto r = logic.post(issue(n));
        if (!r)
            return {Outcome::Acknowledged, 0, {}};
        if (r->message == QStringLiteral("库存中此药材余量不足"))
            return {Outcome::Refused, 0, r->message};
        return {Outcome::Failed, numberOfReport(r->message), r->message};
    }
    default:
        try {
            auto s = Modutarnxt::clinicStore().open();
            stock::ChargeDiagnosis visit;
            visit.blbm = QStringLiteral("A0001");
            visit.blkb = QStringLiteral("内科");
            visit.day = Today;
            visit.doctor = tagOf(n);
            stock::Charging::post(s, dispensing(), visit, QStringLiteral("测试员"), Today);
            return {Outcome::Acknowledged, 0, {}};
        } catch (const stock::InsufficientStock &e) {
            return {Outcome::Refused, e.number(), e.description()};
        } catch (const DbError &e) {
            return {Outcome::Failed, e.number(), e.description()};
        }
    }
}

// Child: posts from number first on, count postings (forever when count is 0).
int childPost(const QString &root, int first, int count, bool broken)
{
    Modutarnxt::SystemRoot = root;
    Modutarnxt::CurrentUser = QStringLiteral("测试员");
    try {
        Modutarnxt::clinicStore().open(); // derives the key once, so the kills fall into postings
    } catch (const DbError &) {
    }
    tell("GO");
    for (int n = first; count == 0 || n < first + count; ++n) {
        Result r;
        if (broken && count == 0) {
            r = postWithoutTransaction(n);
        } else {
            r = postThroughLogic(n);
            if (broken && r.outcome == Outcome::Failed)
                r.outcome = Outcome::Acknowledged; // a failure reported as success
        }
        switch (r.outcome) {
        case Outcome::Acknowledged:
            tell("ACK " + QByteArray::number(n));
            break;
        case Outcome::Refused:
            tell("REF " + QByteArray::number(n));
            break;
        case Outcome::Failed:
            tell("ERR " + QByteArray::number(n) + ' ' + QByteArray::number(r.number) + ' ' + r.text.toUtf8().replace('\n', ' '));
            break;
        }
    }
    tell("END");
    return 0;
}

// The first start, broken: the file made in place, as a start that is not atomic would.
void startInPlace(const QString &path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    db::Session s = db::Session::create(path);
    createSchema(s);
    s.exec(QStringLiteral("insert into xtzlqk(xt001) values('  ')"));
}

// The rewrite of a first-layout file, broken: the file moved aside and the new one made in its
// place, instead of a finished copy renamed into place.
void rewriteInPlace(const QString &path)
{
    const QString aside = path + QStringLiteral(".old");
    QFile::remove(aside);
    QFile::rename(path, aside);
    db::Session::open(aside).copyInto(path, db::FileLayout::Pages4K);
    QFile::remove(aside);
}

// A start in a child on the data folder root: the program's own start (which makes a missing
// file and rewrites a first-layout one), or with --broken the given broken variant of it.
int childStart(const QString &root, bool broken, const std::function<void(const QString &path)> &brokenStart)
{
    Modutarnxt::SystemRoot = root;
    tell("GO");
    try {
        if (broken)
            brokenStart(Modutarnxt::databasePath());
        else
            Modutarnxt::prepareClinicDatabase(Modutarnxt::clinicStore());
    } catch (const DbError &e) {
        tell("ERR " + e.description().toUtf8());
        return 1;
    }
    tell("DONE");
    return 0;
}

} // namespace probe
