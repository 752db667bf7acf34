#pragma once
// Where a printed page goes. The logic draws a document on the painter it is handed and never
// sees the printer: the system's printer (src/print, the one library that links the toolkit's
// printing support) is handed in by the windows, a test hands in a stand-in.
#include <QPageSize>
#include <QString>
#include <functional>

class QPainter;

namespace qh {

class PagePrinter {
public:
    virtual ~PagePrinter() = default;
    // The printer's name, for the failure message.
    virtual QString name() const = 0;
    // One page of the size (portrait, no margins, painter in the device's units with the page's
    // size in millimetres known to the drawing), or several when draw starts further pages with
    // the device's newPage(). Empty result: printed; otherwise the failure.
    virtual QString printPage(const QPageSize &size, const QString &title,
                              const std::function<void(QPainter &)> &draw) = 0;
};

} // namespace qh
