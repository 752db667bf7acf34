#pragma once
// Test helpers: a temporary clinic database and recorders behind the message and file seams.
#include "db/session.h"
#include "core/messages.h"
#include "db/store.h"

#include <QStringList>
#include <QTemporaryDir>
#include <deque>
#include <functional>
#include <vector>

namespace qh::test {

// Records every message shown and answers questions from a queue (Yes when it is empty); text
// questions are recorded apart and answered from their own queue (cancelled when it is empty).
class RecordingMessages : public MessagePresenter {
public:
    RecordingMessages();
    ~RecordingMessages() override;
    bool present(const Message &m) override;
    std::optional<QString> askText(const TextQuestion &q) override;

    std::vector<Message> shown;
    std::deque<bool> answers;
    std::vector<TextQuestion> asked;
    std::deque<std::optional<QString>> textAnswers;

    QStringList texts() const;
    QString last() const;          // text of the last message, "" when none
    void clear() { shown.clear(); }

private:
    MessagePresenter *m_previous;
};

// Answers file dialogs from a queue ("" = cancelled) and records their arguments.
class RecordingFileDialogs : public FileDialogPresenter {
public:
    RecordingFileDialogs();
    ~RecordingFileDialogs() override;
    QString openFileName(QWidget *, const QString &caption, const QString &folder, const QString &filter) override;
    QString saveFileName(QWidget *, const QString &caption, const QString &folder, const QString &filter) override;

    std::deque<QString> answers;
    QStringList folders, filters;
    QStringList forms; // "open" or "save", one per dialog shown

private:
    FileDialogPresenter *m_previous;
};

// A fresh clinic database in its own temporary folder: sets SystemRoot there, resets the
// globals, shortens every pause to nothing. Everything goes when it is destroyed.
//
// With QINGHE_TEST_PG set to a server's connection string (scripts/test.sh sets it for the logic
// tests' second run) the clinic is a fresh database on that server instead, made from a template
// database that holds the schema (or empty when create is false: a first start); store() and
// open() reach it. For its lifetime the clinic's store is the one the windows get
// (Modutarnxt::clinicStore()); the store installed before comes back at the end. Tests of the
// file itself skip there (onServer()).
class TempClinic {
public:
    explicit TempClinic(bool create = true);
    ~TempClinic();
    QString root() const { return m_dir.path(); }
    QString dbPath() const;
    db::Session open() const;
    // This clinic's store: its data file, or its server database.
    const db::Store &store() const { return *m_store; }
    static bool onServer();
    // The server database's settings (onServer() only).
    db::DatabaseSettings serverSettings() const;

    // Convenience rows used by many tests.
    void addStatusRow(const QString &unit = QStringLiteral("青禾诊所"));
    void addUser(const QString &name, const QString &password);
    void addDrug(const QString &code, const QString &name, const QString &price, const QString &unit = QStringLiteral("克"),
                 const QString &category = QStringLiteral("解表药"));

private:
    QTemporaryDir m_dir;
    QByteArray m_serverDb; // the database made on the server, dropped at the end
    std::optional<db::Store> m_store;
    std::optional<db::Store> m_previousStore; // installed before this clinic, back at the end
};

// One session of the installed store for one call, as a window opens it for one user action;
// it closes at the end of the statement:  saveCase(test::OneAction().s(), record, user);
class OneAction {
public:
    OneAction();
    db::Session &s() { return m_session; }

private:
    db::Session m_session;
};

// Installs a store for the windows (Modutarnxt::clinicStore()) while it lives; the one
// installed before comes back at the end.
class StoreInstalled {
public:
    explicit StoreInstalled(db::Store store);
    ~StoreInstalled();
    StoreInstalled(const StoreInstalled &) = delete;
    StoreInstalled &operator=(const StoreInstalled &) = delete;

private:
    std::optional<db::Store> m_previous;
};

// Fills root's data file with the demonstration data tool (its path, which the build gives the
// programs that use it as QINGHE_DEMODATA) and the tool's arguments after --root. The tool
// always writes the data file, whatever QINGHE_DATABASE names. Returns "" when it succeeded,
// else what went wrong.
QString makeDemoClinic(const QString &tool, const QString &root, const QStringList &arguments);

// The DbError the call throws, or number 0 ("no failure") when it throws none.
DbError failureOf(const std::function<void()> &f);

// The SHA-256 of a file's bytes (empty when it cannot be read).
QByteArray fileHash(const QString &path);

// Replaces the data file at path by a copy of itself in the first layout (1 KB pages), as an
// earlier version of the program made it.
void makeFirstLayout(const QString &path);

// A trigger that refuses a write with an error, on either engine (fault injection): timing is
// "before insert", "before update" or "before delete", when a condition over new.<field> (or
// empty for every row).
void addFailingTrigger(db::Session &s, const QString &name, const QString &timing, const QString &table,
                       const QString &when = {});
void dropFailingTrigger(db::Session &s, const QString &name, const QString &table);

// Files of this process take no more than the given bytes while the object lives (a write
// beyond fails with EFBIG, as on a full disk, also for root); the limit before comes back at the
// end. Fault injection for document writers.
class FileSizeLimit {
public:
    explicit FileSizeLimit(qint64 bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    qint64 m_previous;
    void (*m_handler)(int);
};

} // namespace qh::test
