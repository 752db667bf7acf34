#include "db/error.h"

namespace qh {

DbError::DbError(int number, QString description, int engineCode)
    : m_number(number), m_description(std::move(description)), m_engineCode(engineCode),
      m_what(QStringLiteral("%1: %2").arg(number).arg(m_description).toStdString())
{
}

QString shortReport(const DbError &e) { return e.description(); }

QString numberedReport(const DbError &e)
{
    return QStringLiteral("错误号码：") + QString::number(e.number()) + QStringLiteral("\r\n错误内容：") + e.description();
}

QString plainReport(const DbError &e) { return QString::number(e.number()) + QStringLiteral("\r\n") + e.description(); }

} // namespace qh
