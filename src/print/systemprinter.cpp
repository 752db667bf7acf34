#include "print/systemprinter.h"

#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

namespace qh::print {

bool hasDefaultPrinter() { return !QPrinterInfo::defaultPrinter().isNull(); }

QString SystemPrinter::name() const { return QPrinterInfo::defaultPrinter().printerName(); }

QString SystemPrinter::printPage(const QPageSize &size, const QString &title,
                                 const std::function<void(QPainter &)> &draw)
{
    QPrinter printer(QPrinterInfo::defaultPrinter(), QPrinter::HighResolution);
    printer.setDocName(title);
    printer.setFullPage(true);
    printer.setPageSize(size);
    printer.setPageOrientation(QPageLayout::Portrait);
    printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
    QPainter painter;
    if (!painter.begin(&printer))
        return QStringLiteral("打印机不能打印：") + printer.printerName();
    draw(painter);
    if (!painter.end())
        return QStringLiteral("打印机不能打印：") + printer.printerName();
    return {};
}

} // namespace qh::print
