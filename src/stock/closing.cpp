#include "stock/closing.h"
#include "db/features.h"

#include <QHash>
#include <algorithm>
#include <limits>
#include <stdexcept>

namespace qh::stock {

namespace {

using i128 = __int128;

i128 abs128(i128 v) { return v < 0 ? -v : v; }

QString herbText(const QString &name) { return QStringLiteral("药材“%1”").arg(name); }

} // namespace

std::int64_t mulDivEven(i128 a, std::int64_t b, std::int64_t c)
{
    if (c == 0)
        throw std::domain_error("division by zero");
    // |a| < 2^65 and |b| < 2^63 in every use here: the product stays below 2^128.
    i128 num = a * b;
    i128 den = c;
    if (den < 0) {
        num = -num;
        den = -den;
    }
    i128 q = num / den;
    const i128 r = num % den;
    if (r != 0) {
        const i128 twice = abs128(r) * 2;
        const bool up = twice > den || (twice == den && q % 2 != 0);
        if (up)
            q += num < 0 ? -1 : 1;
    }
    if (q > std::numeric_limits<std::int64_t>::max() || q < std::numeric_limits<std::int64_t>::min())
        throw MoneyOverflow();
    return static_cast<std::int64_t>(q);
}

Money costAt(i128 quantityUnits, Money rkje, Money rksl)
{
    // quantity x (rkje / rksl) in ten-thousandths: the scales of rkje and rksl cancel.
    return Money::fromUnits(mulDivEven(quantityUnits, rkje.units(), rksl.units()));
}

Money DrugClosing::unitCost() const { return rksl.isZero() ? Money() : rkje / rksl; }

int ClosingPlan::issueCount() const
{
    int n = 0;
    for (const DrugClosing &d : drugs)
        n += d.issues;
    return n;
}

Money ClosingPlan::totalIssueCost() const
{
    Money t;
    for (const DrugClosing &d : drugs)
        t += d.issueCost;
    return t;
}

Money ClosingPlan::totalBefore() const
{
    Money t;
    for (const DrugClosing &d : drugs)
        t += d.rkje;
    return t;
}

Money ClosingPlan::totalAfter() const
{
    Money t;
    for (const DrugClosing &d : drugs)
        t += d.newRkje;
    return t;
}

namespace {

// A closing holds this lock while it writes, so a second workstation that starts one is told at
// once instead of waiting for the writer lock; postings wait for the closing's transaction as
// with the file (where the file's writer lock alone keeps closings apart).
constexpr qint64 ClosingLockKey = 0x51484A5A;

ClosingRefused closingBusy()
{
    return ClosingRefused(err::Locked, QStringLiteral("另一台工作站正在结帐，请等它结帐完成后再结帐。"), {});
}

db::NamedLock closingLock(db::Session &s)
{
    std::optional<db::NamedLock> lock = db::tryNamedLock(s, ClosingLockKey);
    if (!lock)
        throw closingBusy();
    return std::move(*lock);
}

} // namespace

ClosingPlan planClosing(db::Session &session)
{
    if (db::namedLockHeld(session, ClosingLockKey))
        throw closingBusy();
    // The journal is read once, page by page, so the page cache stays at its small default: a
    // cache the size of the journal would take fresh memory for every page read, which costs
    // more than the writing spends reading again the pages that hold pending issues.
    ClosingPlan plan;
    plan.emptyRows = int(session.scalarInt(QStringLiteral("select count(*) from ycyltb where ycyl = 0")));

    QHash<qint64, std::size_t> byRow;
    {
        db::Statement st = session.query(
            QStringLiteral("select rowid, ycbm, rksl, rkje, ycyl from ycyltb where ycyl <> 0 order by ycbm"));
        while (st.next()) {
            DrugClosing d;
            d.row = st.int64(0);
            d.ycbm = st.text(1);
            d.rksl = st.money(2);
            d.rkje = st.money(3);
            d.ycyl = st.money(4);
            if (d.rksl.isZero())
                throw ClosingRefused(NoUnitCostError,
                                     herbText(d.ycbm) + QStringLiteral("有库存余量，但入库数量为0，无法计算单位成本，结帐没有进行"),
                                     d.ycbm);
            byRow.insert(d.row, plan.drugs.size());
            plan.drugs.push_back(std::move(d));
        }
    }

    // One pass over the journal: the journal has no index on the drug, the balance table has
    // one (ycyli), so the journal is the outer loop and each row finds its balance by key.
    // The key comparison is the engine's own (letter case ignored), as in the balance lookups
    // of the postings.
    std::vector<std::vector<IssueCost>> perDrug(plan.drugs.size());
    {
        db::Statement st = session.query(QStringLiteral(
            "select c.rowid, b.rowid, c.cksl from yccrtb c cross join ycyltb b on b.ycbm = c.ycbm "
            "where c.cksl <> 0 and c.ckje = 0 and b.ycyl <> 0"));
        while (st.next()) {
            const auto it = byRow.constFind(st.int64(1));
            if (it == byRow.constEnd())
                continue;
            perDrug[*it].push_back({st.int64(0), st.money(2), Money()});
        }
    }

    for (std::size_t i = 0; i < plan.drugs.size(); ++i) {
        DrugClosing &d = plan.drugs[i];
        try {
            d.firstIssue = plan.issues.size();
            for (IssueCost &c : perDrug[i]) {
                c.ckje = costAt(c.cksl, d.rkje, d.rksl);
                if (c.ckje.isZero()) {
                    // A cost of 0 keeps the issue pending: a later closing prices it again.
                    ++d.leftUncosted;
                    continue;
                }
                ++d.issues;
                d.issueCost += c.ckje;
                plan.issues.push_back(c);
            }
            d.endIssue = plan.issues.size();
            d.outflow = costAt(i128(d.rksl.units()) - d.ycyl.units(), d.rkje, d.rksl);
            d.newRkje = d.rkje - d.outflow;
        } catch (const MoneyOverflow &) {
            throw ClosingRefused(err::Overflow, herbText(d.ycbm) + QStringLiteral("的成本金额超出允许范围，结帐没有进行"),
                                 d.ycbm);
        }
    }
    return plan;
}

namespace {

// The drug whose issues hold plan.issues[k].
const DrugClosing &drugOfIssue(const ClosingPlan &plan, std::size_t k)
{
    const auto it = std::partition_point(plan.drugs.begin(), plan.drugs.end(),
                                         [k](const DrugClosing &d) { return d.endIssue <= k; });
    return *it;
}

} // namespace

void applyClosing(db::Session &session, const ClosingPlan &plan, const ClosingObserver &observer)
{
    const auto stale = [](const QString &drug) {
        return ClosingRefused(ClosingStaleError,
                              drug.isEmpty() ? QStringLiteral("药品库存在结帐前已经改变，结帐没有进行，请重新结帐")
                                             : herbText(drug) + QStringLiteral("的库存在结帐前已经改变，结帐没有进行，请重新结帐"),
                              drug);
    };
    const int n = int(plan.drugs.size());

    // The issues are written in journal order (rowid), not drug by drug: neighbouring rows share
    // their pages, so each page of the journal and of its index is changed in one visit instead
    // of once per drug.
    std::vector<std::size_t> order(plan.issues.size());
    for (std::size_t k = 0; k < order.size(); ++k)
        order[k] = k;
    std::sort(order.begin(), order.end(),
              [&plan](std::size_t a, std::size_t b) { return plan.issues[a].row < plan.issues[b].row; });

    // The whole closing is one transaction. A 64 MB page cache keeps a large closing's changed
    // pages nearly all until the commit; beyond it the engine writes changed pages early, a few
    // times in all (each time after syncing its rollback journal, so a power cut still undoes
    // everything). A bigger cache measured slower: each page it holds takes fresh memory, where
    // this one reuses the memory of the pages it only read.
    db::setPageCache(session, 64 * 1024);
    const db::NamedLock running = closingLock(session);
    db::Transaction t(session);

    // Prepare: drugs with nothing on hand lose their balance row before any costing.
    if (session.exec(QStringLiteral("delete from ycyltb where ycyl = 0")) != plan.emptyRows)
        throw stale({});
    if (session.scalarInt(QStringLiteral("select count(*) from ycyltb where ycyl <> 0")) != n)
        throw stale({});

    // Cost the issues. Each update changes exactly one row, so "or fail" loses nothing: a
    // refused row leaves nothing of itself behind, and the transaction undoes everything on
    // any failure. It spares the engine a statement journal per update, which would copy and
    // encrypt every page the update touches, 200,000 times over in a large closing.
    //
    // The progress counts drugs: after w of the N issues, w x n / N drugs are done.
    if (observer.phaseStarted)
        observer.phaseStarted(ClosingPhase::CostIssues, n);
    const auto drugsDone = [&](int from, int to) {
        for (int i = from + 1; i <= to; ++i)
            if (observer.drugDone)
                observer.drugDone(ClosingPhase::CostIssues, i, n);
        return to;
    };
    db::Statement cost = session.prepare(
        QStringLiteral("update or fail yccrtb set ckje = ? where rowid = ? and cksl = ? and ckje = 0"));
    const qint64 total = qint64(order.size());
    int shown = 0;
    for (qint64 w = 1; w <= total; ++w) {
        const std::size_t k = order[std::size_t(w - 1)];
        const IssueCost &c = plan.issues[k];
        cost.reset();
        cost.bindAll(c.ckje, c.row, c.cksl);
        cost.run();
        if (session.changes() != 1)
            throw stale(drugOfIssue(plan, k).ycbm);
        shown = drugsDone(shown, int(w * n / total));
        if (w % ClosingBatch == 0 && observer.batchDone)
            observer.batchDone();
    }
    drugsDone(shown, n);

    // Revalue the balances and carry the quantity on hand as the next base.
    if (observer.phaseStarted)
        observer.phaseStarted(ClosingPhase::Revalue, n);
    db::Statement revalue = session.prepare(QStringLiteral(
        "update or fail ycyltb set rkje = ?, rksl = ycyl where rowid = ? and rksl = ? and rkje = ? and ycyl = ?"));
    for (int i = 0; i < n; ++i) {
        const DrugClosing &d = plan.drugs[std::size_t(i)];
        revalue.reset();
        revalue.bindAll(d.newRkje, d.row, d.rksl, d.rkje, d.ycyl);
        revalue.run();
        if (session.changes() != 1)
            throw stale(d.ycbm);
        if (observer.drugDone)
            observer.drugDone(ClosingPhase::Revalue, i + 1, n);
    }
    session.exec(QStringLiteral("delete from ycyltb where ycyl = 0"));
    t.commit();
}

Money progressStep(int span, int n)
{
    if (n <= 0)
        return Money();
    return Money::fromInt(span) / Money::fromInt(n);
}

Money progressAfter(int base, int span, int i, int n) { return Money::fromInt(base) + progressStep(span, n) * i; }

QString progressText(Money value) { return value.toPlain() + u'%'; }

QString previewText(const ClosingPlan &plan)
{
    QString t;
    t += QStringLiteral("药材名称\t单位成本\t待结出库笔数\t出库成本\t结帐前金额\t结帐后金额\n");
    for (const DrugClosing &d : plan.drugs) {
        t += d.ycbm + u'\t' + d.unitCost().toDisplay(4) + u'\t' + QString::number(d.issues) + u'\t'
            + d.issueCost.toDisplay() + u'\t' + d.rkje.toDisplay() + u'\t' + d.newRkje.toDisplay();
        if (d.leftUncosted > 0)
            t += QStringLiteral("\t（%1笔成本为0，留待以后结帐）").arg(d.leftUncosted);
        t += u'\n';
    }
    t += QStringLiteral("合计\t\t%1\t%2\t%3\t%4\n")
             .arg(QString::number(plan.issueCount()), plan.totalIssueCost().toDisplay(), plan.totalBefore().toDisplay(),
                  plan.totalAfter().toDisplay());
    if (plan.emptyRows > 0)
        t += QStringLiteral("无库存余量的药材%1种，结帐时删除其余量记录\n").arg(plan.emptyRows);
    return t;
}

} // namespace qh::stock
