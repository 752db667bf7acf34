// Users and passwords: the rules of adding, changing and removing, and the window.
#include "core/modutarnxt.h"
#include "core/passwords.h"
#include "core/ui/FrmHelp.h"
#include "core/ui/taskwindows.h"
#include "core/ui/uikit.h"
#include "maint/ui/Frmmmwh.h"
#include "maint/users.h"
#include "testsupport.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace qh;
using maint::UserField;
using maint::UserInput;
using maint::ui::Frmmmwh;

class TstUsers : public QObject {
    Q_OBJECT

private:
    static int users(test::TempClinic &c) { return int(c.open().scalarInt(QStringLiteral("select count(*) from yckpass"))); }
    static bool hasPassword(test::TempClinic &c, const QString &user, const QString &password)
    {
        const auto h = c.open().scalarText(QStringLiteral("select passwods from yckpass where passuser = ?"), user);
        return h && passwords::verify(*h, password);
    }
    static QStringList storedRows(test::TempClinic &c)
    {
        QStringList l;
        auto s = c.open();
        auto st = s.query(QStringLiteral("select passuser, passwods, passpids from yckpass order by rowid"));
        while (st.next())
            l << st.text(0) + u'|' + st.text(1) + u'|' + st.text(2);
        return l;
    }

    // Opens the window as the main window's menu item does: menus off until it closes.
    static Frmmmwh *openWindow()
    {
        maint::ui::registerUserWindow();
        ui::MenusOff menus;
        auto *w = qobject_cast<Frmmmwh *>(ui::taskWindowFactory(QStringLiteral("xtwh1"))());
        menus.attachTo(w);
        ui::showTaskWindow(w);
        QApplication::setActiveWindow(w);
        return w;
    }

private slots:
    void init()
    {
        ui::resetProgramEnded();
        ui::DisableMainMenus();
    }

    void inputCheckInOrder()
    {
        test::TempClinic clinic;
        clinic.addUser(QStringLiteral("张三"), QStringLiteral("secret1"));
        using maint::srqkjy;
        auto r = srqkjy(test::OneAction().s(), {QStringLiteral(" 张 "), {}, QStringLiteral("1"), QStringLiteral("2")});
        QCOMPARE(r.refusal->message, QStringLiteral("请输二位字符以上的用户名称"));
        QCOMPARE(r.refusal->field, UserField::Cboyhmc);
        QCOMPARE(r.refusal->select, Select::all());
        r = srqkjy(test::OneAction().s(), {QString(21, u'名'), {}, QStringLiteral("newpw1"), QStringLiteral("newpw1")});
        QVERIFY(!r.ok());
        QCOMPARE(r.refusal->field, UserField::Cboyhmc);
        r = srqkjy(test::OneAction().s(), {QStringLiteral("李四"), {}, QStringLiteral(" abc "), QStringLiteral("abcd")});
        QCOMPARE(r.refusal->message, QStringLiteral("请输入4位以上字符的密码"));
        QCOMPARE(r.refusal->field, UserField::Txtnewpass);
        r = srqkjy(test::OneAction().s(), {QStringLiteral("李四"), {}, QStringLiteral("abcd"), QStringLiteral("abc")});
        QCOMPARE(r.refusal->message, QStringLiteral("请输入4位以上字符的密码"));
        QCOMPARE(r.refusal->field, UserField::Txtpassnew);
        r = srqkjy(test::OneAction().s(), {QStringLiteral("李四"), {}, QStringLiteral("abcd"), QStringLiteral("abce")});
        QCOMPARE(r.refusal->message, QStringLiteral("新密码两次输入有误，重新输入。"));
        QCOMPARE(r.refusal->icon, MsgIcon::None);
        QVERIFY(r.refusal->clearOthers);
        QCOMPARE(r.refusal->field, UserField::Txtnewpass);
        // A new name needs no old password; a known one needs the right one.
        QVERIFY(srqkjy(test::OneAction().s(), {QStringLiteral("李四"), {}, QStringLiteral("abcd"), QStringLiteral(" abcd ")}).ok());
        r = srqkjy(test::OneAction().s(), {QStringLiteral("张三"), QStringLiteral("wrong1"), QStringLiteral("abcd"), QStringLiteral("abcd")});
        QCOMPARE(r.refusal->message, QStringLiteral("旧密码输入有误，不能存盘。"));
        QCOMPARE(r.refusal->icon, MsgIcon::None);
        QCOMPARE(r.refusal->field, UserField::Txtoldpass);
        QVERIFY(srqkjy(test::OneAction().s(), {QStringLiteral("张三"), QStringLiteral("SECRET1"), QStringLiteral("abcd"), QStringLiteral("abcd")}).ok());
    }

    void addingRefusesTakenNamesAndPasswords()
    {
        test::TempClinic clinic;
        clinic.addUser(QStringLiteral("张三"), QStringLiteral("secret1"));
        const QStringList before = storedRows(clinic);

        auto r = maint::addUser(test::OneAction().s(), {QStringLiteral("张三"), QStringLiteral("secret1"), QStringLiteral("other9"),
                                 QStringLiteral("other9")});
        QCOMPARE(r.refusal->message, QStringLiteral("用户名称输入错误。"));
        QCOMPARE(r.refusal->field, UserField::Cboyhmc);
        // Another user's password, in other letters' case, is still taken.
        r = maint::addUser(test::OneAction().s(), {QStringLiteral("李四"), {}, QStringLiteral("SECRET1"), QStringLiteral("SECRET1")});
        QCOMPARE(r.refusal->message, QStringLiteral("密码输入错误。"));
        QCOMPARE(r.refusal->field, UserField::Txtnewpass);
        QCOMPARE(storedRows(clinic), before);

        r = maint::addUser(test::OneAction().s(), {QStringLiteral(" O'李 "), QStringLiteral("ignored"), QStringLiteral(" it's4 "),
                            QStringLiteral("it's4")});
        QVERIFY(r.ok());
        QVERIFY(r.inputAccepted);
        QCOMPARE(users(clinic), 2);
        QVERIFY(hasPassword(clinic, QStringLiteral("O'李"), QStringLiteral("IT'S4")));
        QVERIFY(maint::isKnown(test::OneAction().s(), QStringLiteral("o'李 ")));
        QCOMPARE(maint::userNames(test::OneAction().s()), (QStringList{QStringLiteral("张三"), QStringLiteral("O'李")}));
        QVERIFY(!storedRows(clinic).join(u'\n').contains(QStringLiteral("it's4")));
    }

    void changingOnlyTheOwnPasswordAndNeverToOneInUse()
    {
        test::TempClinic clinic;
        clinic.addUser(QStringLiteral("张三"), QStringLiteral("secret1"));
        clinic.addUser(QStringLiteral("李四"), QStringLiteral("secret2"));
        const QStringList before = storedRows(clinic);

        auto r = maint::changePassword(test::OneAction().s(), QStringLiteral("张三"), {QStringLiteral("李四"), QStringLiteral("secret2"),
                                                              QStringLiteral("newpw1"), QStringLiteral("newpw1")});
        QCOMPARE(r.refusal->message, QStringLiteral("张三：你不能修改与你无关人的密码"));
        // The own current password counts as one in use.
        r = maint::changePassword(test::OneAction().s(), QStringLiteral("张三"), {QStringLiteral("张三"), QStringLiteral("secret1"),
                                                         QStringLiteral("Secret1"), QStringLiteral("Secret1")});
        QCOMPARE(r.refusal->message, QStringLiteral("密码输入错误。"));
        r = maint::changePassword(test::OneAction().s(), QStringLiteral("张三"), {QStringLiteral("张三"), QStringLiteral("secret1"),
                                                         QStringLiteral("secret2"), QStringLiteral("secret2")});
        QCOMPARE(r.refusal->message, QStringLiteral("密码输入错误。"));
        r = maint::changePassword(test::OneAction().s(), QStringLiteral("张三"), {QStringLiteral("张三"), QStringLiteral("bad"),
                                                         QStringLiteral("newpw1"), QStringLiteral("newpw1")});
        QCOMPARE(r.refusal->message, QStringLiteral("旧密码输入有误，不能存盘。"));
        // Without a logged-in user (first-user mode) nothing can be changed.
        r = maint::changePassword(test::OneAction().s(), QString(), {QStringLiteral("张三"), QStringLiteral("secret1"), QStringLiteral("newpw1"),
                                              QStringLiteral("newpw1")});
        QVERIFY(!r.ok());
        QCOMPARE(storedRows(clinic), before);

        r = maint::changePassword(test::OneAction().s(), QStringLiteral("张三"), {QStringLiteral("张三"), QStringLiteral("secret1"),
                                                         QStringLiteral("newpw1"), QStringLiteral("newpw1")});
        QVERIFY(r.ok());
        QVERIFY(hasPassword(clinic, QStringLiteral("张三"), QStringLiteral("newpw1")));
        QVERIFY(!hasPassword(clinic, QStringLiteral("张三"), QStringLiteral("secret1")));
        QVERIFY(hasPassword(clinic, QStringLiteral("李四"), QStringLiteral("secret2")));
    }

    void removingOnlyOneselfWithTheRightPassword()
    {
        test::TempClinic clinic;
        clinic.addUser(QStringLiteral("张三"), QStringLiteral("secret1"));
        clinic.addUser(QStringLiteral("李四"), QStringLiteral("secret2"));
        const QString me = QStringLiteral("张三");
        auto r = maint::removeUser(test::OneAction().s(), me, {QString(), {}, {}, {}});
        QCOMPARE(r.refusal->message, QStringLiteral("请指定用户"));
        QCOMPARE(r.refusal->field, UserField::Cboyhmc);
        // Refused before any password is asked for.
        r = maint::removeUser(test::OneAction().s(), me, {QStringLiteral("李四"), QString(), {}, {}});
        QCOMPARE(r.refusal->message, QStringLiteral("张三：你不能剥夺他人的使用权利。"));
        r = maint::removeUser(test::OneAction().s(), me, {me, QString(), {}, {}});
        QCOMPARE(r.refusal->message, QStringLiteral("请输入用户密码"));
        QCOMPARE(r.refusal->field, UserField::Txtoldpass);
        r = maint::removeUser(test::OneAction().s(), me, {me, QStringLiteral("secret2"), {}, {}});
        QCOMPARE(r.refusal->message, QStringLiteral("用户密码错误"));
        QCOMPARE(users(clinic), 2);
        clinic.open().exec(QStringLiteral("delete from yckpass where passuser = ?"), QStringLiteral("李四"));
        r = maint::removeUser(test::OneAction().s(), QStringLiteral("李四"), {QStringLiteral("李四"), QStringLiteral("secret2"), {}, {}});
        QCOMPARE(r.refusal->message, QStringLiteral("用户名称错误"));

        r = maint::removeUser(test::OneAction().s(), me, {QStringLiteral(" 张三 "), QStringLiteral(" SECRET1 "), {}, {}});
        QVERIFY(r.ok());
        QCOMPARE(users(clinic), 0);
    }

    void windowAddsAUserWithTheKeyboard()
    {
        test::TempClinic clinic;
        clinic.addUser(QStringLiteral("张三"), QStringLiteral("secret1"));
        Modutarnxt::CurrentUser = QStringLiteral("张三");
        test::RecordingMessages rec;
        QPointer<Frmmmwh> w = openWindow();
        QVERIFY(QTest::qWaitForWindowActive(w));
        QCOMPARE(w->windowTitle(), QStringLiteral("系统密码维护"));
        QStringList captions;
        for (QPushButton *b : {w->CmdSave, w->Cmdedit, w->Cmddele, w->CmdQcls, w->CmdHelp, w->CmdExit})
            captions << b->objectName() + u'=' + b->text();
        QCOMPARE(captions, (QStringList{QStringLiteral("CmdSave=保存&B"), QStringLiteral("Cmdedit=修改&E"),
                                        QStringLiteral("Cmddele=删除&D"), QStringLiteral("CmdQcls=清屏&Q"),
                                        QStringLiteral("CmdHelp=帮助&H"), QStringLiteral("CmdExit=退出&E")}));
        QStringList labels;
        for (QLabel *l : w->findChildren<QLabel *>())
            labels << l->text();
        QCOMPARE(labels, (QStringList{QStringLiteral("用户姓名："), QStringLiteral("用户旧密码"),
                                      QStringLiteral("输入新密码"), QStringLiteral("再输新密码")}));
        for (QLineEdit *e : {w->Txtoldpass, w->Txtnewpass, w->Txtpassnew}) {
            e->setText(QStringLiteral("abcd"));
            QCOMPARE(e->displayText(), QStringLiteral("****"));
            e->clear();
        }
        QCOMPARE(w->Cboyhmc->count(), 1);
        QVERIFY(w->Cboyhmc->currentText().isEmpty());

        // A known name leads to the old password, a new one straight to the new password.
        w->Cboyhmc->setFocus();
        w->Cboyhmc->lineEdit()->insert(QStringLiteral("张三"));
        QTest::keyClick(w->Cboyhmc->lineEdit(), Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), w->Txtoldpass);
        w->Cboyhmc->setEditText(QString());
        w->Cboyhmc->lineEdit()->insert(QStringLiteral("Lee"));
        w->Cboyhmc->setFocus();
        QTest::keyClick(w->Cboyhmc->lineEdit(), Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), w->Txtnewpass);
        QTest::keyClicks(w->Txtnewpass, QStringLiteral("ab cd"));
        QCOMPARE(w->Txtnewpass->text(), QStringLiteral("abcd"));
        QTest::keyClick(w->Txtnewpass, Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), w->Txtpassnew);
        QTest::keyClicks(w->Txtpassnew, QStringLiteral("abce"));
        QTest::keyClick(w->Txtpassnew, Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), w->CmdSave);

        // Enter on the focused button presses it.
        QTest::keyClick(w->CmdSave, Qt::Key_Return);
        QCOMPARE(rec.last(), QStringLiteral("新密码两次输入有误，重新输入。"));
        QCOMPARE(rec.shown.back().icon, MsgIcon::None);
        QVERIFY(w->Txtnewpass->text().isEmpty());
        QVERIFY(w->Txtpassnew->text().isEmpty());
        QCOMPARE(w->Cboyhmc->currentText(), QStringLiteral("Lee"));
        QCOMPARE(w->srjybl, 1);
        QCOMPARE(users(clinic), 1);

        w->Txtnewpass->setText(QStringLiteral("abcd"));
        w->Txtpassnew->setText(QStringLiteral("abcd"));
        QTest::mouseClick(w->CmdSave, Qt::LeftButton);
        QCOMPARE(rec.shown.size(), size_t(1));
        QCOMPARE(w->srjybl, 0);
        QCOMPARE(users(clinic), 2);
        QCOMPARE(w->Cboyhmc->count(), 2); // the list shows the new user at once
        QVERIFY(w->Cboyhmc->currentText().isEmpty());
        QVERIFY(w->Txtnewpass->text().isEmpty());

        // Removing another user is refused before the password is asked for.
        w->Cboyhmc->setEditText(QStringLiteral("Lee"));
        QTest::mouseClick(w->Cmddele, Qt::LeftButton);
        QCOMPARE(rec.last(), QStringLiteral("张三：你不能剥夺他人的使用权利。"));
        QCOMPARE(users(clinic), 2);

        // Leaving the window enables the menus again, once.
        int switched = 0;
        ui::setMainMenuSwitch([&switched](bool on) { switched += on ? 1 : 100; });
        QTest::mouseClick(w->CmdExit, Qt::LeftButton);
        QVERIFY(ui::mainMenusEnabled());
        QTRY_VERIFY(w.isNull());
        QCOMPARE(switched, 1);
        ui::setMainMenuSwitch({});
        QVERIFY(!ui::programEnded());
        QTRY_VERIFY(w.isNull());
    }

    void helpLeavesTheWindowUsableAfterwards()
    {
        test::TempClinic clinic;
        Modutarnxt::FirstUserMode = true;
        QPointer<Frmmmwh> w = openWindow();
        w->Cboyhmc->setEditText(QStringLiteral("新用户"));
        QTest::mouseClick(w->CmdHelp, Qt::LeftButton);
        QVERIFY(!w->isEnabled());
        QCOMPARE(Modutarnxt::HelpTopic, QStringLiteral("MM"));
        QPointer<ui::FrmHelp> help = ui::singleWindow<ui::FrmHelp>();
        QVERIFY(help->isVisible());
        help->close();
        QVERIFY(w->isEnabled());
        QVERIFY(Modutarnxt::HelpTopic.isEmpty());
        QVERIFY(Modutarnxt::FirstUserMode);
        QCOMPARE(w->Cboyhmc->currentText(), QStringLiteral("新用户"));
        delete w;
    }

    void firstUserModeEndsTheProgramWhenLeft()
    {
        test::TempClinic clinic;
        Modutarnxt::CurrentUser.clear();
        Modutarnxt::FirstUserMode = true;
        test::RecordingMessages rec;
        QPointer<Frmmmwh> w = openWindow();
        QCOMPARE(w->Cboyhmc->count(), 0);
        w->Cboyhmc->setEditText(QStringLiteral("王医生"));
        w->Txtnewpass->setText(QStringLiteral("first1"));
        w->Txtpassnew->setText(QStringLiteral("first1"));
        QTest::mouseClick(w->CmdSave, Qt::LeftButton);
        QVERIFY(rec.shown.empty());
        QVERIFY(hasPassword(clinic, QStringLiteral("王医生"), QStringLiteral("FIRST1")));
        QTest::mouseClick(w->CmdExit, Qt::LeftButton);
        QCOMPARE(rec.texts(), QStringList{QStringLiteral("请以新的用户名称和密码重新登录系统")});
        QCOMPARE(rec.shown[0].icon, MsgIcon::Information);
        QVERIFY(ui::programEnded());
        QVERIFY(!ui::mainMenusEnabled());
        Modutarnxt::FirstUserMode = false;
    }
};

QTEST_MAIN(TstUsers)
#include "tst_users.moc"
