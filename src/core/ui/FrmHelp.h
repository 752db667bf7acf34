#pragma once
// The help window "帮助向导": one read-only text with the instructions of the task window
// that asked for it. While it is open that task window is disabled.
#include "core/ui/uikit.h"

#include <QWidget>
#include <optional>

class QTextEdit;

namespace qh::ui {

class FrmHelp : public QWidget {
    Q_OBJECT
public:
    explicit FrmHelp(QWidget *parent = nullptr);
    // The task window that stays disabled until help closes (or is pointed at another one).
    void setRequester(QWidget *window);
    void DisHelp();
    QTextEdit *TxtHelp;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    std::optional<DisabledWhile> m_disabled;
};

// A task window's help button: disables the window, sets HelpTopic, shows the help window.
void showHelp(QWidget *taskWindow, const QString &topic);

} // namespace qh::ui
