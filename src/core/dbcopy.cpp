#include "core/dbcopy.h"

#include <sqlite3.h>

namespace qh::db {

namespace {
constexpr int PagesPerStep = 1024;

[[noreturn]] void fail(sqlite3 *db, int rc, const QString &path)
{
    const int code = db ? sqlite3_extended_errcode(db) : rc;
    const QString text = db && sqlite3_errcode(db) != SQLITE_OK ? QString::fromUtf8(sqlite3_errmsg(db))
                                                                : QString::fromUtf8(sqlite3_errstr(rc));
    throw engineError(code == SQLITE_OK ? rc : code, text, path);
}
} // namespace

void copyPages(Session &source, Session &dest, const std::function<void(int done, int total)> &between)
{
    if (!dest.handle() || !source.handle())
        throw DbError(err::Misuse, QStringLiteral("数据库复制缺少源或目标。"));
    sqlite3_backup *b = sqlite3_backup_init(dest.handle(), "main", source.handle(), "main");
    if (!b)
        fail(dest.handle(), sqlite3_errcode(dest.handle()), dest.path());
    int rc = SQLITE_OK;
    int waits = 0; // about ten seconds of a source locked by a writer, then give up
    for (;;) {
        rc = sqlite3_backup_step(b, PagesPerStep);
        if (rc == SQLITE_DONE)
            break;
        if (rc == SQLITE_OK || ((rc == SQLITE_BUSY || rc == SQLITE_LOCKED) && ++waits < 500)) {
            if (between)
                between(sqlite3_backup_pagecount(b) - sqlite3_backup_remaining(b), sqlite3_backup_pagecount(b));
            if (rc != SQLITE_OK)
                sqlite3_sleep(20);
            continue;
        }
        break;
    }
    const int finish = sqlite3_backup_finish(b);
    if (rc != SQLITE_DONE) {
        // Errors of the source (a damaged page) and of the destination (disk full) both end here.
        const bool destinationFailed = sqlite3_errcode(dest.handle()) != SQLITE_OK;
        fail(destinationFailed ? dest.handle() : source.handle(), rc, destinationFailed ? dest.path() : source.path());
    }
    if (finish != SQLITE_OK)
        fail(dest.handle(), finish, dest.path());
    if (between)
        between(1, 1);
}

} // namespace qh::db
