#include "stock/stockoutlook.h"

#include <QStringList>

#include <algorithm>
#include <map>
#include <vector>

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

namespace {

// The first window reaches this many days back from the newest row; each next one is twice
// as long as the one before.
constexpr int FirstWindowDays = 32;
// Up to this many open herbs the statement names them; beyond, it reads every herb's rows.
constexpr int NamedHerbsLimit = 400;

// One journal row of a herb, with what orders it.
struct Move {
    QString crsj;
    Money xsje;
    Money ckje;
    qint64 key = 0;
    Money rksl;
    Money cksl;
    QDate expiry;
    bool ownName = true; // false: the name in another letter case
};

// The replay order of the rows of one name (see the header): time, revenue, cost, key.
bool replayedBefore(const Move &a, const Move &b)
{
    if (const int c = a.crsj.compare(b.crsj); c != 0)
        return c < 0;
    if (a.xsje != b.xsje)
        return a.xsje < b.xsje;
    if (a.ckje != b.ckje)
        return a.ckje < b.ckje;
    return a.key < b.key;
}

// A herb with stock on hand, read newest row first.
struct Herb {
    QString name;                 // the balance row's name
    Money bound;                  // what the replay can hold at the end, at most
    Money issued;                 // issued by the rows read
    std::map<QDate, Money> dated; // purchases read, by expiry
    Money undated;                // purchases read without a date
    QDate earliest;               // the candidate: earliest expiry a run read shows held
    bool open = true;
    std::vector<Move> window;     // the rows of the window being read

    // The rows of one window, all older than those read before.
    void readWindow()
    {
        for (const Move &m : window) {
            if (m.rksl < Money())
                bound += -m.rksl; // a return: the balance went down, the replay did not
            if (!m.ownName && m.cksl > Money())
                bound += m.cksl;  // an issue from this balance that the replay of the name does not see
        }
        std::sort(window.begin(), window.end(), [](const Move &a, const Move &b) { return replayedBefore(b, a); });
        for (const Move &m : window) {
            if (!m.ownName)
                continue;
            if (m.cksl > Money())
                issued += m.cksl;
            if (m.rksl <= Money())
                continue;
            if (m.expiry.isValid()) {
                dated[m.expiry] += m.rksl;
                Money cumulative;
                for (const auto &[day, qty] : dated) {
                    cumulative += qty;
                    if (cumulative > issued) {
                        if (!earliest.isValid() || day < earliest)
                            earliest = day;
                        break;
                    }
                }
            } else {
                undated += m.rksl;
            }
            Money cover = undated;
            if (earliest.isValid())
                for (auto it = dated.lower_bound(earliest); it != dated.end(); ++it)
                    cover += it->second;
            if (cover >= bound) {
                open = false;
                break;
            }
        }
        window.clear();
    }
};

QString asciiFolded(const QString &name)
{
    QString f = name;
    for (QChar &c : f)
        if (c >= u'A' && c <= u'Z')
            c = QChar(c.unicode() + (u'a' - u'A'));
    return f;
}

QString dayStart(const QDate &day) { return day.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" 00:00:00"); }

} // namespace

QHash<QString, herbs::StockState> stockOutlook(db::Session &s, const QDate &today)
{
    QHash<QString, herbs::StockState> out;
    std::vector<Herb> herbs;
    QHash<QString, qsizetype> byName;       // every balance row's name: its herb, -1 without stock
    QHash<QString, qsizetype> byFolded;     // the same, letter case of ASCII letters ignored
    QHash<QString, qsizetype> byCaseFolded; // the same, any letter case ignored (the server's texts)
    {
        auto balances = s.query(QStringLiteral("select ycbm, ycyl from ycyltb"));
        while (balances.next()) {
            herbs::StockState st;
            st.known = true;
            st.onHand = balances.money(1);
            const QString name = balances.text(0);
            out.insert(name, st);
            qsizetype at = -1;
            if (st.onHand > Money()) {
                at = qsizetype(herbs.size());
                herbs.emplace_back();
                herbs.back().name = name;
                herbs.back().bound = st.onHand;
            }
            byName.insert(name, at);
            byFolded.insert(asciiFolded(name), at);
            byCaseFolded.insert(name.toCaseFolded(), at);
        }
    }
    if (herbs.empty())
        return out;
    // The herb whose balance a journal row's name posts to (the engine's comparison ignores
    // letter case), -1 for none with stock.
    const auto herbOf = [&](const QString &name) -> qsizetype {
        if (const auto it = byName.constFind(name); it != byName.constEnd())
            return *it;
        if (const auto it = byFolded.constFind(asciiFolded(name)); it != byFolded.constEnd())
            return *it;
        return byCaseFolded.value(name.toCaseFolded(), -1);
    };

    const std::optional<QString> newestText = s.scalarText(QStringLiteral("select max(crsj) from yccrtb"));
    const std::optional<QString> oldestText = s.scalarText(QStringLiteral("select min(crsj) from yccrtb"));
    const QDate newest = newestText ? storedDay(*newestText) : QDate();
    const QDate oldest = oldestText ? storedDay(*oldestText) : QDate();

    std::optional<QString> upper; // the window's end (exclusive), none for the first
    int days = FirstWindowDays;
    QDate from = newest.isValid() ? newest.addDays(-days) : QDate();
    while (newestText) {
        const bool last = !from.isValid() || !oldest.isValid() || from <= oldest;
        QStringList open;
        for (const Herb &h : herbs)
            if (h.open)
                open << h.name;
        if (open.isEmpty())
            break;
        const bool named = open.size() <= NamedHerbsLimit;

        QStringList where;
        if (!last)
            where << QStringLiteral("crsj >= ?");
        if (upper)
            where << QStringLiteral("crsj < ?");
        if (named)
            where << QStringLiteral("ycbm in (%1)").arg(QStringList(open.size(), QStringLiteral("?")).join(u", "));
        // A window bounded in time is read through the index on the time; the whole journal at
        // once (the first window is the last) is read as the table lies.
        QString sql = QStringLiteral("select ycbm, crsj, xsje, ckje, rowid, rksl, cksl, yxqx from yccrtb");
        if (!last || upper)
            sql += QStringLiteral(" indexed by ycrci");
        if (!where.isEmpty())
            sql += QStringLiteral(" where ") + where.join(QStringLiteral(" and "));
        db::Statement rows = s.prepare(sql);
        int p = 0;
        if (!last)
            rows.bind(++p, dayStart(from));
        if (upper)
            rows.bind(++p, *upper);
        if (named)
            for (const QString &name : open)
                rows.bind(++p, name);

        while (rows.next()) {
            const QString name = rows.text(0);
            const bool own = byName.contains(name);
            const qsizetype at = herbOf(name);
            if (at < 0 || !herbs[size_t(at)].open)
                continue;
            Move m;
            m.crsj = rows.text(1);
            m.xsje = rows.money(2);
            m.ckje = rows.money(3);
            m.key = rows.int64(4);
            m.rksl = rows.money(5);
            m.cksl = rows.money(6);
            if (own && m.rksl > Money())
                m.expiry = storedDay(rows.text(7));
            m.ownName = own;
            herbs[size_t(at)].window.push_back(std::move(m));
        }
        for (Herb &h : herbs)
            if (h.open && !h.window.empty())
                h.readWindow();
        if (last)
            break;
        upper = dayStart(from);
        days *= 2;
        from = from.addDays(-days);
    }

    for (const Herb &h : herbs) {
        if (!h.earliest.isValid())
            continue;
        herbs::StockState &st = out[h.name];
        st.expiry = h.earliest;
        st.expired = h.earliest < today;
    }
    return out;
}

} // namespace qh::stock
