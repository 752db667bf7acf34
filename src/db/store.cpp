#include "db/store.h"

#include <utility>

namespace qh::db {

Store::Store(DatabaseSettings settings, QString filePath)
    : m_settings(std::move(settings)), m_filePath(std::move(filePath))
{
}

Store Store::fromSettings(const QString &filePath) { return Store(DatabaseSettings::load(), filePath); }

Session Store::open() const
{
    if (m_settings.engine == Engine::File)
        return Session::open(m_filePath);
    return Session::connect(m_settings);
}

} // namespace qh::db
