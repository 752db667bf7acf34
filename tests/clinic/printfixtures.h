#pragma once
// The desktop of the print tests: no printer; records what is opened and put on the clipboard.
#include "clinic/ui/printflow.h"

#include <QStringList>

namespace qh::clinic::printtest {

class RecordingDesktop : public PrintDesktop {
public:
    RecordingDesktop() { setPrintDesktop(this); }
    ~RecordingDesktop() override { setPrintDesktop(nullptr); }
    bool hasPrinter() override { return false; }
    bool openFile(const QString &path) override
    {
        opened << path;
        return canOpen;
    }
    void setClipboardText(const QString &text) override { clipboard = text; }

    QStringList opened;
    QString clipboard;
    bool canOpen = true;
};

} // namespace qh::clinic::printtest
