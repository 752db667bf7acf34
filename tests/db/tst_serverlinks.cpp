// The server links when the network or the server fails: a commit whose link breaks is reported
// as what the server did (or as unknown when it cannot be asked), and pooled links that died
// with a server restart cost no user action. On a throwaway PostgreSQL cluster of its own (it
// is restarted), reached through a loopback relay that cuts links at a COMMIT.
#include "base/clock.h"
#include "db/session.h"
#include "db/settings.h"
#include "testsupport.h"

#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QtEndian>
#include <QTemporaryDir>
#include <QtTest>

#include <arpa/inet.h>
#include <atomic>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

using namespace qh;
using qh::test::failureOf;

namespace {

quint32 be32(const QByteArray &b, int at) { return qFromBigEndian<quint32>(b.constData() + at); }

void sendAll(int fd, const QByteArray &b)
{
    for (qsizetype done = 0; done < b.size();) {
        const ssize_t n = ::send(fd, b.constData() + done, size_t(b.size() - done), MSG_NOSIGNAL);
        if (n <= 0)
            return;
        done += n;
    }
}

// A loopback TCP relay to the server's socket. It cuts the first link whose client sends COMMIT
// (a simple query 'Q'): before the server has it, or when the server's answer begins (the commit
// is done) without passing the answer on. With refuseAfter it then takes no more connections.
// Its thread ends with the relay, or by itself after a minute.
class Relay {
public:
    enum Cut { BeforeCommit, AfterCommit };
    Relay(const QByteArray &serverSocket, Cut cut, bool refuseAfter)
    {
        m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (::bind(m_listen, reinterpret_cast<sockaddr *>(&a), len) != 0 || ::listen(m_listen, 8) != 0
            || ::getsockname(m_listen, reinterpret_cast<sockaddr *>(&a), &len) != 0)
            qFatal("relay: no loopback port");
        port = ntohs(a.sin_port);
        m_thread = std::thread([this, serverSocket, cut, refuseAfter] { run(serverSocket, cut, refuseAfter); });
    }
    ~Relay()
    {
        m_stop = true;
        m_thread.join();
    }
    int port = 0;
    std::atomic<bool> cutDone{false};

private:
    struct Link {
        int client, server;
        QByteArray pending; // from the client, not yet a whole message
        bool typed = false; // the startup message has passed
        bool cutAtAnswer = false;
        bool gone = false;
    };
    void run(const QByteArray &serverSocket, Cut cut, bool refuseAfter)
    {
        std::vector<Link> links;
        const auto end = std::chrono::steady_clock::now() + std::chrono::minutes(1);
        auto drop = [&](Link &l) {
            ::close(l.client);
            ::close(l.server);
            l.gone = true;
            if (refuseAfter && cutDone && m_listen >= 0) {
                ::close(m_listen);
                m_listen = -1;
            }
        };
        while (!m_stop && std::chrono::steady_clock::now() < end) {
            std::vector<pollfd> fds{{m_listen, POLLIN, 0}};
            for (const Link &l : links)
                fds.insert(fds.end(), {{l.client, POLLIN, 0}, {l.server, POLLIN, 0}});
            if (::poll(fds.data(), nfds_t(fds.size()), 20) <= 0)
                continue;
            char buf[65536];
            for (size_t i = 0; i < links.size(); ++i) {
                Link &l = links[i];
                if (fds[1 + 2 * i + 1].revents) {
                    const ssize_t n = ::read(l.server, buf, sizeof buf);
                    if (n <= 0 || l.cutAtAnswer) {
                        drop(l);
                        continue;
                    }
                    sendAll(l.client, QByteArray(buf, n));
                }
                if (!fds[1 + 2 * i].revents)
                    continue;
                const ssize_t n = ::read(l.client, buf, sizeof buf);
                if (n <= 0) {
                    drop(l);
                    continue;
                }
                l.pending.append(buf, n);
                for (;;) {
                    const int head = l.typed ? 1 : 0;
                    if (l.pending.size() < head + 4 || l.pending.size() < head + qsizetype(be32(l.pending, head)))
                        break;
                    const QByteArray msg = l.pending.left(head + be32(l.pending, head));
                    l.pending.remove(0, msg.size());
                    const bool commit = l.typed && msg.at(0) == 'Q' && QByteArray(msg.constData() + 5).trimmed().toUpper() == "COMMIT";
                    l.typed = true;
                    if (commit && !cutDone.exchange(true)) {
                        if (cut == BeforeCommit) {
                            drop(l);
                            break;
                        }
                        l.cutAtAnswer = true;
                    }
                    sendAll(l.server, msg);
                }
            }
            std::erase_if(links, [](const Link &l) { return l.gone; });
            if (m_listen >= 0 && fds[0].revents) {
                const int c = ::accept(m_listen, nullptr, nullptr);
                if (c < 0)
                    continue;
                const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
                sockaddr_un u{};
                u.sun_family = AF_UNIX;
                qstrncpy(u.sun_path, serverSocket.constData(), sizeof u.sun_path);
                if (::connect(s, reinterpret_cast<sockaddr *>(&u), sizeof u) == 0) {
                    links.push_back(Link{c, s, {}, false, false, false});
                } else {
                    ::close(c);
                    ::close(s);
                }
            }
        }
        for (Link &l : links)
            drop(l);
        if (m_listen >= 0)
            ::close(m_listen);
    }
    int m_listen = -1;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

} // namespace

class TstServerLinks : public QObject {
    Q_OBJECT

    QTemporaryDir home;
    QString clusterDir;
    QByteArray conninfo, serverSocket;
    int nextId = 0;

    db::DatabaseSettings settings(const QByteArray &info) const
    {
        db::DatabaseSettings d;
        d.engine = db::Engine::Server;
        d.conninfo = info;
        return d;
    }
    db::Session direct() const { return db::Session::connect(settings(conninfo)); }
    void restartServer() { QCOMPARE(QProcess::execute(QStringLiteral(QINGHE_PG_CLUSTER), {QStringLiteral("restart"), clusterDir}), 0); }
    // One user action of a workstation.
    void act(db::Session &s, const QString &action)
    {
        if (action == QLatin1String("posting")) {
            db::Transaction t(s);
            s.exec(QStringLiteral("insert into ledger(id, note) values(?, ?)"), ++nextId, QStringLiteral("入库"));
            t.commit();
        } else if (action == QLatin1String("new statement")) {
            s.scalarInt(QStringLiteral("select count(*) + %1 from ledger").arg(++nextId));
        } else {
            s.scalarInt(QStringLiteral("select count(*) from ledger where id > ?"), 0);
        }
    }

private slots:
    void initTestCase()
    {
        clock::setScale(0);
        QFile::setPermissions(home.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther);
        clusterDir = home.filePath(QStringLiteral("pg"));
        QProcess start;
        start.start(QStringLiteral(QINGHE_PG_CLUSTER), {QStringLiteral("start"), clusterDir});
        QVERIFY(start.waitForFinished(120000));
        if (start.exitCode() == 3)
            QSKIP("no PostgreSQL server binaries on this machine");
        QVERIFY2(start.exitCode() == 0, start.readAllStandardError().constData());
        conninfo = start.readAllStandardOutput().trimmed();
        const auto m = QRegularExpression(QStringLiteral("host=(\\S+) port=(\\d+)")).match(QString::fromUtf8(conninfo));
        QVERIFY(m.hasMatch());
        serverSocket = (m.captured(1) + QStringLiteral("/.s.PGSQL.") + m.captured(2)).toUtf8();
        direct().execScript(QStringLiteral("create table ledger(id integer primary key, note text)"));
    }
    void cleanupTestCase()
    {
        db::closePooledConnections();
        if (!clusterDir.isEmpty())
            QProcess::execute(QStringLiteral(QINGHE_PG_CLUSTER), {QStringLiteral("stop"), clusterDir});
    }

    void commitWhenTheLinkBreaks_data()
    {
        QTest::addColumn<int>("cut");
        QTest::addColumn<bool>("serverGone"); // the relay takes no connection after the cut
        QTest::addColumn<int>("number");      // 0: reported saved
        QTest::addColumn<int>("stored");
        QTest::newRow("stored, then cut") << int(Relay::AfterCommit) << false << 0 << 1;
        QTest::newRow("cut before the server has it") << int(Relay::BeforeCommit) << false << err::CannotOpen << 0;
        QTest::newRow("stored, server not reachable again") << int(Relay::AfterCommit) << true << err::CommitUnknown << 1;
        QTest::newRow("not stored, server not reachable again") << int(Relay::BeforeCommit) << true << err::CommitUnknown << 0;
    }
    void commitWhenTheLinkBreaks()
    {
        QFETCH(int, cut);
        QFETCH(bool, serverGone);
        QFETCH(int, number);
        QFETCH(int, stored);
        Relay relay(serverSocket, Relay::Cut(cut), serverGone);
        const QByteArray viaRelay = conninfo + " host=127.0.0.1 port=" + QByteArray::number(relay.port)
            + " sslmode=disable gssencmode=disable";
        const int id = ++nextId;
        const DbError e = failureOf([&] {
            db::Session s = db::Session::connect(settings(viaRelay));
            db::Transaction t(s);
            s.exec(QStringLiteral("insert into ledger(id, note) values(?, ?)"), id, QStringLiteral("出库"));
            t.commit();
        });
        QVERIFY(relay.cutDone);
        QCOMPARE(e.number(), number);
        if (number == err::CommitUnknown)
            QVERIFY2(e.description().startsWith(QStringLiteral("无法确认数据是否已经保存")), qPrintable(e.description()));
        QCOMPARE(direct().scalarInt(QStringLiteral("select count(*) from ledger where id = ?"), id), stored);
    }

    // Every workstation's next action after a server restart succeeds, whatever its first
    // command is (a statement prepared on the link before, a new one, BEGIN).
    void everyWorkstationAfterARestart_data()
    {
        QTest::addColumn<int>("links");
        QTest::addColumn<QString>("action");
        QTest::newRow("1 link, a read") << 1 << "read";
        QTest::newRow("2 links, a posting") << 2 << "posting";
        QTest::newRow("4 links, a new statement") << 4 << "new statement";
        QTest::newRow("8 links, a read") << 8 << "read";
    }
    void everyWorkstationAfterARestart()
    {
        QFETCH(int, links);
        QFETCH(QString, action);
        db::closePooledConnections();
        auto workstations = [&] {
            std::vector<db::Session> w;
            for (int i = 0; i < links; ++i)
                w.push_back(direct());
            return w;
        };
        auto pids = [](std::vector<db::Session> &w) {
            QSet<qint64> p;
            for (auto &s : w)
                p << s.scalarInt(QStringLiteral("select pg_backend_pid()"));
            return p;
        };
        QSet<qint64> before;
        {
            auto w = workstations();
            for (auto &s : w)
                act(s, action);
            before = pids(w);
        }
        restartServer();
        auto w = workstations(); // each takes a pooled link that died with the restart
        int failures = 0;
        for (auto &s : w) {
            try {
                act(s, action);
            } catch (const DbError &) {
                ++failures;
            }
        }
        QCOMPARE(failures, 0);
        QVERIFY(!pids(w).intersects(before));
    }

    // A statement's own failure on a pooled link's first command is reported, on the same link.
    void aStatementsOwnFailureIsNotSentAgain_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<int>("number");
        QTest::newRow("division by zero") << "select 1 / 0" << err::General;
        QTest::newRow("duplicate key") << "insert into ledger(id, note) values(1, 'x')" << err::Duplicate;
        QTest::newRow("no such table") << "select count(*) from nosuch" << err::General;
    }
    void aStatementsOwnFailureIsNotSentAgain()
    {
        QFETCH(QString, sql);
        QFETCH(int, number);
        db::closePooledConnections();
        direct().exec(QStringLiteral("insert into ledger(id, note) values(1, 'x') on conflict do nothing"));
        qint64 pid = 0;
        {
            db::Session s = direct();
            pid = s.scalarInt(QStringLiteral("select pg_backend_pid()"));
            failureOf([&] { s.prepare(sql); }); // kept on the link when it prepares: the next first command runs it
        }
        db::Session s = direct();
        QCOMPARE(failureOf([&] { s.exec(sql); }).number(), number);
        QCOMPARE(s.scalarInt(QStringLiteral("select pg_backend_pid()")), pid);
    }

    // Inside a transaction a lost link fails the statement; nothing goes again on another link.
    void insideATransactionNothingIsSentAgain()
    {
        db::Session s = direct();
        const int first = ++nextId, second = ++nextId;
        const DbError e = failureOf([&] {
            db::Transaction t(s);
            s.exec(QStringLiteral("insert into ledger(id, note) values(?, 'a')"), first);
            restartServer();
            s.exec(QStringLiteral("insert into ledger(id, note) values(?, 'b')"), second);
            t.commit();
        });
        QCOMPARE(e.number(), err::CannotOpen);
        QCOMPARE(direct().scalarInt(QStringLiteral("select count(*) from ledger where id in (?, ?)"), first, second), 0);
    }
};

QTEST_GUILESS_MAIN(TstServerLinks)
#include "tst_serverlinks.moc"
