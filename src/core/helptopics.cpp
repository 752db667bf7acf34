#include "core/helptopics.h"

namespace qh {

QString helpTopicText(const QString &code)
{
    Q_UNUSED(code);
    return {};
}

} // namespace qh
