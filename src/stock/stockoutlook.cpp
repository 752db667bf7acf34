#include "stock/stockoutlook.h"

namespace qh::stock {

namespace {

// The purchases on the shelf of one herb, taken newest first until they cover the balance.
class Shelf {
public:
    explicit Shelf(Money onHand) : m_left(onHand) {}

    bool covered() const { return m_left <= Money(); }
    void take(Money qty, const QDate &expiry)
    {
        if (covered() || qty <= Money())
            return;
        m_left -= qty;
        if (expiry.isValid() && (!m_expiry || expiry < *m_expiry))
            m_expiry = expiry;
    }
    const std::optional<QDate> &expiry() const { return m_expiry; }

private:
    Money m_left;
    std::optional<QDate> m_expiry;
};

// The first page of purchases read per herb; each further page is four times the last. Most
// balances are covered by the newest one or two.
constexpr qint64 FirstPage = 4;

} // namespace

std::optional<QDate> shelfExpiry(Money onHand, const QList<Receipt> &newestFirst)
{
    if (onHand <= Money())
        return std::nullopt;
    Shelf shelf(onHand);
    for (const Receipt &r : newestFirst)
        shelf.take(r.qty, r.expiry);
    return shelf.expiry();
}

QDate storedDay(const QString &t)
{
    if (t.size() < 10 || t.at(4) != u'-' || t.at(7) != u'-')
        return {};
    return QDate(QStringView(t).mid(0, 4).toInt(), QStringView(t).mid(5, 2).toInt(), QStringView(t).mid(8, 2).toInt());
}

QHash<QString, herbs::StockState> stockOutlook(db::Session &s, const QDate &today)
{
    QHash<QString, herbs::StockState> out;
    QList<std::pair<QString, Money>> stocked;
    {
        auto balances = s.query(QStringLiteral("select ycbm, ycyl from ycyltb"));
        while (balances.next()) {
            herbs::StockState st;
            st.known = true;
            st.onHand = balances.money(1);
            out.insert(balances.text(0), st);
            if (st.onHand > Money())
                stocked.append({balances.text(0), st.onHand});
        }
    }
    // The name compares ignoring letter case in both engines: the rows of another case are read
    // through the same index entries and passed over here. A page is a bound: the server sends
    // a statement's whole answer at once.
    auto purchases = s.prepare(QStringLiteral("select ycbm, rksl, yxqx from yccrtb where ycbm = ? and rksl > 0 "
                                              "order by crsj desc, xsje desc, ckje desc, rowid desc limit ? offset ?"));
    for (const auto &[name, onHand] : stocked) {
        Shelf shelf(onHand);
        qint64 offset = 0;
        for (qint64 page = FirstPage; !shelf.covered(); offset += page, page *= 4) {
            purchases.reset();
            purchases.bindAll(name, page, offset);
            qint64 read = 0;
            while (!shelf.covered() && purchases.next()) {
                ++read;
                if (purchases.text(0) == name)
                    shelf.take(purchases.money(1), storedDay(purchases.text(2)));
            }
            if (read < page)
                break; // the purchases ran out (or the balance is covered)
        }
        herbs::StockState &st = out[name];
        st.expiry = shelf.expiry();
        st.expired = st.expiry && *st.expiry < today;
    }
    return out;
}

} // namespace qh::stock
