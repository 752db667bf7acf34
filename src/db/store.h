#pragma once
// Where the data lives, decided once: the settings (file or server) and the data file's path.
// A window opens one session from it for one user action and hands that session to the logic;
// logic that needs several sessions or the engine takes the store itself.
#include "db/session.h"
#include "db/settings.h"

#include <QString>

namespace qh::db {

class Store {
public:
    Store(DatabaseSettings settings, QString filePath);
    // The settings read now (the environment, else the settings file; see dbsettings.h)
    // with the data file at filePath.
    static Store fromSettings(const QString &filePath);

    // One session for one user action: the file at filePath(), or the server the settings name.
    // Throws DbError.
    Session open() const;
    Engine engine() const { return m_settings.engine; }
    const DatabaseSettings &settings() const { return m_settings; }
    // The data file's path (also with the server engine: the file a move to the server reads).
    QString filePath() const { return m_filePath; }

private:
    DatabaseSettings m_settings;
    QString m_filePath;
};

} // namespace qh::db
