#pragma once
// The splash window: version, product and the clinic's name; it continues to the login (or, when
// no user exists, to the user window) after 6 seconds, at a key or at a click, exactly once.
#include <QWidget>

class QFrame;
class QLabel;
class QTimer;

namespace qh::ui {

class frmSplash : public QWidget {
    Q_OBJECT
public:
    explicit frmSplash(QWidget *over = nullptr);
    // Places and fills the window, checks the status row and shows it. False when the status
    // row is missing or not alone: "系统发生错误" was shown and the program ends.
    bool Form_Load();
    // Closes the splash and runs seekPass; only the first call does anything.
    void continueOnce();
    bool hasContinued() const { return m_continued; }
    // Login window, or the user window in first-user mode when no user exists.
    void seekPass();

    QFrame *Frame1;
    QTimer *Timer1;
    QLabel *lblVersion;
    QLabel *lblProductName;
    QLabel *LblYhmc;

signals:
    void continued();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *m_over;
    bool m_continued = false;
};

// The start of every later run: the maximised main window with its menus disabled, then the
// splash over it.
void showMainWindowAndSplash();

} // namespace qh::ui
