#pragma once
// The system's default printer behind the page printer seam.
#include "core/pageprinter.h"

namespace qh::print {

// True when the system has a default printer.
bool hasDefaultPrinter();

// The default printer; pages go to it at high resolution.
class SystemPrinter : public PagePrinter {
public:
    QString name() const override;
    QString printPage(const QPageSize &size, const QString &title,
                      const std::function<void(QPainter &)> &draw) override;
};

} // namespace qh::print
