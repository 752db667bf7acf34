#pragma once
// The setup window "系统资料登录": on the first start it records the clinic's short name, the
// first user with a password and a background picture; later, from "更换系统背景", it changes the
// name and the picture.
#include "core/setup.h"

#include <QPixmap>
#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

namespace qh::ui {

class FrmJczl : public QWidget {
    Q_OBJECT
public:
    explicit FrmJczl(QWidget *parent = nullptr);
    // Empties the boxes, shows the stored picture, unit and first user's name.
    void Form_Load();
    // Each time the window becomes active: an existing first user is shown with a masked
    // password, both boxes disabled.
    void Form_Activate();
    void CmdLoad_Click();
    void CmdOext_Click();

    // The folder and the file types the picture dialog offers.
    static QString pictureFolder();
    static QString pictureFilter();

    QLineEdit *TxtYhdw;
    QLineEdit *TxtYhxm;
    QLineEdit *TxtPass;
    QLabel *ImageXt;
    QPushButton *CmdLoad;
    QPushButton *CmdOext;
    // The file name the dialog returned (CmDilg.FileName); empty when cancelled or not used.
    QString chosenFile() const { return m_fileName; }

    QWidget *widgetOf(setup::SetupField field) const;

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    // One row of the Enter table: Enter in box runs check; when it passes the focus moves to
    // next, or to CmdLoad when next is disabled (a first user already exists).
    struct EnterStep {
        QLineEdit *box;
        QLineEdit *next;
        setup::SetupVerdict (*check)(const QString &);
    };
    void showPicture(const QPixmap &picture);
    EnterStep m_enter[3];
    QString m_fileName;
    QPixmap m_picture;
    bool m_leaving = false;
};

// The start of the very first run: only the setup window is shown.
void showFirstRunSetup();

} // namespace qh::ui
