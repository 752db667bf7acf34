#pragma once
// The shared module: the globals every window reads, the database path, opening a session
// for one user action, and the start-up decisions that need no window.
#include "db/session.h"
#include "db/store.h"

#include <QString>
#include <functional>
#include <optional>

namespace qh::Modutarnxt {

// The folder under which "system/zyqhmz.mdb" lives. Set once at start (tests set their own).
extern QString SystemRoot;
// The logged-in user; empty until a login succeeds.
extern QString CurrentUser;
// The topic the help window is to show.
extern QString HelpTopic;
// The splash opened the user window because no user exists; leaving it ends the program.
extern bool FirstUserMode;

// The user's application data folder (XDG), where the clinic's data lives.
QString defaultSystemRoot();
// The folder where reports, PDFs and documents for the user are written: the user's Documents
// folder (XDG), or the folder set by setDocumentsPath ("" restores the standard one; tests use
// a temporary folder). A missing folder is created owner-only (0700); callers check that it exists.
QString documentsPath();
void setDocumentsPath(const QString &folder);

// SystemRoot + "/system/zyqhmz.mdb".
QString databasePath();
// The clinic's store for the windows: the one installed for this process (the program installs
// its own at start), else one made from SystemRoot and the database settings, read once and kept
// until SystemRoot or the installed store changes. A window opens one session from it for one
// user action and hands that session (or the store) to the logic; logic never calls this.
db::Store clinicStore();
// Installs the store clinicStore() returns (nothing: the one made from SystemRoot again).
void setClinicStore(std::optional<db::Store> store);
// The store installed now, if any (a test keeps it to put it back).
std::optional<db::Store> installedClinicStore();

enum class StartRoute {
    FirstRun,    // the clinic's name is still blank: first-run setup
    MainWindow,  // main window, splash, login
    NoStatusRow, // the status row could not be made to exist: "系统发生错误"
};

// Start-up steps that need no window: creates the data folders (owner-only) and the database
// when missing, removes what a stopped creation left behind, tightens the permissions of the
// folders and files that exist, makes sure the status row exists, and tells where the start
// goes. On the server the same start makes the tables and the status row in an empty database
// (first run) instead of a file. A file or server database made by an earlier version gets the
// indexes added since (addMissingIndexes), once its schema is checked. A zero-length database
// file (a creation stopped by an older version) is moved aside under a new name and a fresh
// database made; notice then tells the user so. A file of the first
// layout is rewritten with 4 KB pages (upgradeClinicFile), with upgradeProgress(percent) called
// from 0 to 100 while it is; nothing is called for a file that needs nothing. The data folder is
// the folder above the store's file's folder. Throws DbError.
StartRoute prepareClinicDatabase(const db::Store &store, QString &notice,
                                 const std::function<void(int percent)> &upgradeProgress = {});
StartRoute prepareClinicDatabase(const db::Store &store);
// What the progress window says while the file is rewritten.
inline QString upgradeProgressText() { return QStringLiteral("正在转换数据文件的格式，请稍候……"); }

// Number of rows in the status table and the clinic's name of the first row.
struct StatusRow {
    int rows = 0;
    QString unitName; // xt001 as stored
};
StatusRow readStatusRow(db::Session &session);

// The version shown by the splash: major, minor and revision written one after the other.
QString versionText();

} // namespace qh::Modutarnxt
