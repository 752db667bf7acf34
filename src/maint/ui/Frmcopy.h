#pragma once
// The window "数据备份及数据恢复": backs the clinic database up to a file the user chooses, or
// restores it from one. The copies and their checks are in maint/datacopy.h.
#include "maint/datacopy.h"

#include <QWidget>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace qh::maint::ui {

class Frmcopy : public QWidget {
    Q_OBJECT
public:
    explicit Frmcopy(QWidget *parent = nullptr);

    void Optsave_Click();
    void Optcove_Click();
    void CmdPath_Click();
    void Cmdcopy_Click();
    void CmdExit_Click();

    QRadioButton *Optsave;
    QRadioButton *Optcove;
    QLabel *Lblpath; // "选择备份数据的盘符及路径" in backup mode
    QLineEdit *Txtpath;
    QPushButton *CmdPath;
    QPushButton *Cmdcopy;
    QPushButton *CmdExit;
    // The busy indicator of the copy: moves while the copy runs, stays visible and still after it.
    QProgressBar *Aniplay;

    // Tests replace the copier to interrupt it at a stage.
    DataCopy &copier() { return m_copy; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QWidget *widgetOf(CopyField f) const;
    void chooseMode(const QString &caption, const QString &label);
    // The buttons back after a stop, the animation hidden.
    void stopped();
    void startAnimation();
    // Five seconds with the buttons hidden, then the animation stops and the buttons come back.
    void waitment();
    bool restoreMode() const;
    DataCopy m_copy;
    bool m_copying = false;
};

// Registers the window for the menu item "系统数据备份/恢复".
void registerCopyWindow();

} // namespace qh::maint::ui
