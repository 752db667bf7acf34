#pragma once
// The help window "帮助向导": one read-only text with the instructions of the task window
// that asked for it. While it is open that task window is disabled.
#include <QPointer>
#include <QWidget>

class QTextEdit;

namespace qh::ui {

class FrmHelp : public QWidget {
    Q_OBJECT
public:
    explicit FrmHelp(QWidget *parent = nullptr);
    // The task window that is enabled again when help closes.
    void setRequester(QWidget *window);
    void DisHelp();
    QTextEdit *TxtHelp;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QPointer<QWidget> m_requester;
};

// A task window's help button: disables the window, sets HelpTopic, shows the help window.
void showHelp(QWidget *taskWindow, const QString &topic);

} // namespace qh::ui
