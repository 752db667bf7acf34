#include "stock/stockoutlook.h"

#include <algorithm>

namespace qh::stock {

namespace {

// Lots of one herb, kept sorted by expiry (no date last), consumed from the front.
struct Lots {
    QList<Lot> lots;

    void receive(Money qty, const QDate &expiry)
    {
        if (qty <= Money())
            return;
        const auto later = [](const QDate &a, const QDate &b) {
            if (!a.isValid())
                return false;
            return !b.isValid() || a < b;
        };
        auto at = std::upper_bound(lots.begin(), lots.end(), expiry,
                                   [&](const QDate &e, const Lot &l) { return later(e, l.expiry); });
        lots.insert(at, Lot{qty, expiry});
    }

    void issue(Money qty)
    {
        while (qty > Money() && !lots.isEmpty()) {
            Lot &first = lots.first();
            if (first.left > qty) {
                first.left -= qty;
                return;
            }
            qty -= first.left;
            lots.removeFirst();
        }
    }
};

} // namespace

QList<Lot> remainingLots(const QList<JournalRow> &rows)
{
    Lots l;
    for (const JournalRow &r : rows) {
        l.receive(r.received, r.expiry);
        l.issue(r.issued);
    }
    return l.lots;
}

QDate storedDay(const QString &t)
{
    if (t.size() < 10 || t.at(4) != u'-' || t.at(7) != u'-')
        return {};
    return QDate(QStringView(t).mid(0, 4).toInt(), QStringView(t).mid(5, 2).toInt(), QStringView(t).mid(8, 2).toInt());
}

QHash<QString, herbs::StockState> stockOutlook(db::Session &s, const QDate &today)
{
    QHash<QString, Lots> lots;
    // The whole order of the index ycrci (its last key is the row's own), so the file walks the
    // index as it always did and the server replays the rows of one time in the same order.
    auto journal = s.query(QStringLiteral("select ycbm, rksl, cksl, yxqx from yccrtb order by crsj, ycbm, xsje, ckje, rowid"));
    QString name;
    Lots *l = nullptr;
    while (journal.next()) {
        const QString rowName = journal.text(0);
        if (!l || rowName != name) {
            name = rowName;
            l = &lots[name];
        }
        const Money received = journal.money(1);
        if (received > Money())
            l->receive(received, storedDay(journal.text(3)));
        l->issue(journal.money(2));
    }
    QHash<QString, herbs::StockState> out;
    auto balances = s.query(QStringLiteral("select ycbm, ycyl from ycyltb"));
    while (balances.next()) {
        herbs::StockState st;
        st.known = true;
        st.onHand = balances.money(1);
        const auto it = lots.constFind(balances.text(0));
        if (st.onHand > Money() && it != lots.constEnd()) {
            for (const Lot &lot : it->lots)
                if (lot.expiry.isValid()) {
                    st.expiry = lot.expiry;
                    break;
                }
            st.expired = st.expiry && *st.expiry < today;
        }
        out.insert(balances.text(0), st);
    }
    return out;
}

} // namespace qh::stock
