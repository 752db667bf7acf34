// Password storage, the login logic and the login window.
#include "core/login.h"
#include "core/modutarnxt.h"
#include "core/passwords.h"
#include "core/ui/frmLogin.h"
#include "core/ui/taskwindows.h"
#include "core/ui/uikit.h"
#include "testsupport.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <sodium.h>

using namespace qh;

class TstLogin : public QObject {
    Q_OBJECT

private:
    // The whole readable content of every table of the (decrypted) database.
    static QString dumpAll(db::Session &s)
    {
        QStringList tables;
        {
            auto st = s.query(QStringLiteral("select name from sqlite_master where type='table'"));
            while (st.next())
                tables << st.text(0);
        }
        QString all;
        for (const QString &t : tables) {
            auto st = s.prepare(QStringLiteral("select * from \"%1\"").arg(t));
            while (st.next()) {
                for (int c = 0; c < st.columnCount(); ++c)
                    all += st.text(c) + u'|' + QString::fromUtf8(st.blob(c)) + u'|';
            }
        }
        return all;
    }

    static QString storedHash(test::TempClinic &clinic, const QString &user)
    {
        auto s = clinic.open();
        return s.scalarText(QStringLiteral("select passwods from yckpass where passuser = ?"), user).value_or(QString());
    }

    static std::unique_ptr<ui::frmLogin> openLogin()
    {
        auto w = std::make_unique<ui::frmLogin>();
        w->Form_Load();
        QApplication::setActiveWindow(w.get());
        return w;
    }

    static void press(ui::frmLogin *w, const QString &password)
    {
        w->Txtpass->setText(password);
        QTest::mouseClick(w->cmdOK, Qt::LeftButton);
    }

private slots:
    void init()
    {
        ui::resetProgramEnded();
        ui::DisableMainMenus();
    }

    void passwordsAreHashedAndCompareWithoutCaseOrWidth()
    {
        const QString h = passwords::hash(QStringLiteral("Secret9"));
        QVERIFY(h.startsWith(QStringLiteral("$argon2id$")));
        QVERIFY(!h.contains(QStringLiteral("Secret9"), Qt::CaseInsensitive));
        QVERIFY(passwords::verify(h, QStringLiteral("secret9")));
        QVERIFY(passwords::verify(h, QStringLiteral("SECRET9")));
        QVERIFY(passwords::verify(h, QStringLiteral("ｓｅｃｒｅｔ９"))); // typed in full-width mode
        QVERIFY(!passwords::verify(h, QStringLiteral("secret8")));
        // Two hashes of the same password differ (salted), and a plain text is never a match.
        QVERIFY(passwords::hash(QStringLiteral("Secret9")) != h);
        QVERIFY(!passwords::verify(QStringLiteral("Secret9"), QStringLiteral("Secret9")));
        QVERIFY(!passwords::verify(QString(), QString()));
        QVERIFY(!passwords::needsRehash(h));
    }

    void noPasswordAppearsInTheDecryptedFile()
    {
        test::TempClinic clinic;
        clinic.addStatusRow();
        clinic.addUser(QStringLiteral("张医生"), QStringLiteral("Plain4Text"));
        auto s = clinic.open();
        const QString dump = dumpAll(s);
        QVERIFY(dump.contains(QStringLiteral("张医生")));
        QVERIFY(!dump.contains(QStringLiteral("Plain4Text"), Qt::CaseInsensitive));
        QVERIFY(!dump.contains(QStringLiteral("plain4text")));
    }

    void seekpasswordFindsUserAndRehashesOldHashes()
    {
        test::TempClinic clinic;
        // A hash made with weaker limits than the program's.
        char weak[crypto_pwhash_STRBYTES];
        const QByteArray pw = passwords::canonical(QStringLiteral("oldpass")).toUtf8();
        QCOMPARE(crypto_pwhash_str(weak, pw.constData(), pw.size(), crypto_pwhash_OPSLIMIT_MIN,
                                   crypto_pwhash_MEMLIMIT_MIN),
                 0);
        clinic.open().exec(QStringLiteral("insert into yckpass(passuser, passwods, passpids) values(?, ?, 1)"),
                           QStringLiteral("李四"), QString::fromLatin1(weak));
        QVERIFY(passwords::needsRehash(QString::fromLatin1(weak)));

        QVERIFY(!login::seekpassword(test::OneAction().s(), QStringLiteral("李四"), QStringLiteral("wrong1")));
        QCOMPARE(storedHash(clinic, QStringLiteral("李四")), QString::fromLatin1(weak));

        const auto found = login::seekpassword(test::OneAction().s(), QStringLiteral(" 李四 "), QStringLiteral(" OLDPASS "));
        QCOMPARE(found, std::optional<QString>(QStringLiteral("1")));
        const QString now = storedHash(clinic, QStringLiteral("李四"));
        QVERIFY(now != QString::fromLatin1(weak));
        QVERIFY(!passwords::needsRehash(now));
        QVERIFY(passwords::verify(now, QStringLiteral("oldpass")));
    }

    void apostrophesAreComparedLiterally()
    {
        test::TempClinic clinic;
        clinic.addUser(QStringLiteral("O'Neil"), QStringLiteral("it's'ok"));
        QCOMPARE(login::seekusename(test::OneAction().s()), QStringList{QStringLiteral("O'Neil")});
        QVERIFY(login::seekpassword(test::OneAction().s(), QStringLiteral("O'Neil"), QStringLiteral("it's'ok")));
        QVERIFY(!login::seekpassword(test::OneAction().s(), QStringLiteral("O'Neil"), QStringLiteral("' or '1'='1")));
        QVERIFY(!login::seekpassword(test::OneAction().s(), QStringLiteral("' or ''='"), QStringLiteral("it's'ok")));
    }

    void attemptsCountOnlyPressesThatPassTheLengthCheck()
    {
        test::TempClinic clinic;
        clinic.addUser(QStringLiteral("王五"), QStringLiteral("right1"));
        login::LoginAttempts a;
        QCOMPARE(a.press(Modutarnxt::clinicStore(), QStringLiteral("王五"), QStringLiteral("abc")), login::Outcome::TooShort);
        QCOMPARE(a.press(Modutarnxt::clinicStore(), QStringLiteral("王五"), QStringLiteral("  ab  ")), login::Outcome::TooShort);
        QCOMPARE(a.count(), 0);
        QCOMPARE(a.press(Modutarnxt::clinicStore(), QStringLiteral("王五"), QStringLiteral("wrong1")), login::Outcome::TryAgain);
        QCOMPARE(a.press(Modutarnxt::clinicStore(), QStringLiteral("王五"), QStringLiteral("wrong2")), login::Outcome::TryAgain);
        QCOMPARE(a.press(Modutarnxt::clinicStore(), QStringLiteral("王五"), QStringLiteral("RIGHT1")), login::Outcome::Succeeded);
        QVERIFY(a.LoginSucceeded);
        QCOMPARE(a.count(), 3);

        // From the fourth counted press on even the right password is refused.
        login::LoginAttempts b;
        for (int i = 0; i < 3; ++i)
            QCOMPARE(b.press(Modutarnxt::clinicStore(), QStringLiteral("王五"), QStringLiteral("wrong9")), login::Outcome::TryAgain);
        QCOMPARE(b.press(Modutarnxt::clinicStore(), QStringLiteral("王五"), QStringLiteral("right1")), login::Outcome::Refused);
        QVERIFY(!b.LoginSucceeded);
    }

    // The checks of a press of OK in their order: too short (not counted), the fourth counted
    // press, the password. Each row breaks two adjacent checks and expects the earlier outcome;
    // the last check is broken alone.
    void pressChecksInOrder_data()
    {
        QTest::addColumn<int>("earlierPresses"); // counted wrong presses before this one
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<int>("counted"); // counted presses afterwards
        QTest::newRow("too short, fourth press") << 3 << "abc" << int(login::Outcome::TooShort) << 3;
        QTest::newRow("too short in wide characters") << 0 << QString::fromUcs4(U"\U00020000\U00020001\U00020002")
                                                      << int(login::Outcome::TooShort) << 0;
        QTest::newRow("fourth press, wrong password") << 3 << "wrong1" << int(login::Outcome::Refused) << 4;
        QTest::newRow("wrong password") << 2 << "wrong1" << int(login::Outcome::TryAgain) << 3;
    }

    void pressChecksInOrder()
    {
        QFETCH(int, earlierPresses);
        QFETCH(QString, password);
        QFETCH(int, outcome);
        QFETCH(int, counted);
        test::TempClinic clinic;
        clinic.addUser(QStringLiteral("王五"), QStringLiteral("right1"));
        login::LoginAttempts a;
        for (int i = 0; i < earlierPresses; ++i)
            QCOMPARE(a.press(Modutarnxt::clinicStore(), QStringLiteral("王五"), QStringLiteral("wrong9")), login::Outcome::TryAgain);
        QCOMPARE(int(a.press(Modutarnxt::clinicStore(), QStringLiteral("王五"), password)), outcome);
        QCOMPARE(a.count(), counted);
    }

    void windowLogsInWithDifferentLetterCase()
    {
        test::TempClinic clinic;
        clinic.addUser(QStringLiteral("甲医生"), QStringLiteral("first1"));
        clinic.addUser(QStringLiteral("乙医生"), QStringLiteral("Second2"));
        Modutarnxt::CurrentUser = QStringLiteral("旧值");
        test::RecordingMessages rec;
        auto w = openLogin();
        QCOMPARE(w->Cboyhmc->count(), 2);
        QCOMPARE(w->Cboyhmc->itemText(1), QStringLiteral("乙医生"));
        QVERIFY(w->Txtpass->text().isEmpty());
        w->Cboyhmc->setCurrentIndex(1);
        press(w.get(), QStringLiteral("sECOND2"));
        QVERIFY(rec.shown.empty());
        QVERIFY(w->LoginSucceeded());
        QCOMPARE(Modutarnxt::CurrentUser, QStringLiteral("乙医生"));
        QVERIFY(ui::mainMenusEnabled());
        QVERIFY(!w->isVisible());
        QVERIFY(!ui::programEnded());
    }

    void threeWrongTriesThenTheFourthEndsTheProgram()
    {
        test::TempClinic clinic;
        clinic.addUser(QStringLiteral("甲医生"), QStringLiteral("first1"));
        test::RecordingMessages rec;
        auto w = openLogin();
        press(w.get(), QStringLiteral("abc")); // too short: not counted
        QCOMPARE(rec.last(), QStringLiteral("请输入四位以上密码"));
        QCOMPARE(w->countedPresses(), 0);
        for (int i = 1; i <= 3; ++i) {
            press(w.get(), QStringLiteral("wrong%1").arg(i));
            QCOMPARE(rec.last(), QStringLiteral("无效的密码，再试一次！"));
            QCOMPARE(rec.shown.back().title, QStringLiteral("登录"));
            QCOMPARE(rec.shown.back().icon, MsgIcon::None);
            QCOMPARE(w->Txtpass->selectedText(), QStringLiteral("wrong%1").arg(i));
            QVERIFY(!ui::programEnded());
        }
        QVERIFY(Modutarnxt::CurrentUser.isEmpty());
        press(w.get(), QStringLiteral("first1")); // right, but too late
        QCOMPARE(rec.last(), QStringLiteral("非法用户，你无权使用本系统！"));
        QCOMPARE(rec.shown.back().title, QStringLiteral("登录"));
        QCOMPARE(rec.shown.back().icon, MsgIcon::Information);
        QVERIFY(ui::programEnded());
        QVERIFY(!ui::mainMenusEnabled());
        QVERIFY(Modutarnxt::CurrentUser.isEmpty());
        QCOMPARE(rec.shown.size(), size_t(5));
    }

    void keysOfTheLoginWindow()
    {
        test::TempClinic clinic;
        clinic.addUser(QStringLiteral("甲医生"), QStringLiteral("first1"));
        test::RecordingMessages rec;
        auto w = openLogin();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QCOMPARE(w->windowTitle(), QStringLiteral("系统用户登录"));
        QCOMPARE(w->lblLabels[0]->text(), QStringLiteral("用户名"));
        QCOMPARE(w->lblLabels[1]->text(), QStringLiteral("密码(&P):"));
        QCOMPARE(w->lblLabels[1]->buddy(), w->Txtpass);
        QCOMPARE(w->cmdOK->text(), QStringLiteral("确定"));
        QCOMPARE(w->cmdCancel->text(), QStringLiteral("取消"));
        QVERIFY(!w->Cboyhmc->isEditable()); // a choice from the list only
        QVERIFY(!w->windowFlags().testFlag(Qt::WindowCloseButtonHint));
        w->Cboyhmc->setFocus();
        QTest::keyClick(w->Cboyhmc, Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), w->Txtpass);
        QTest::keyClicks(w->Txtpass, QStringLiteral("a b"));
        QCOMPARE(w->Txtpass->text(), QStringLiteral("ab")); // spaces cannot be typed
        QTest::keyClicks(w->Txtpass, QStringLiteral("c"));
        QCOMPARE(w->Txtpass->displayText(), QStringLiteral("***")); // each character shown as "*"
        QTest::keyClick(w->Txtpass, Qt::Key_Return);
        QCOMPARE(rec.last(), QStringLiteral("请输入四位字符以上密码"));
        QCOMPARE(QApplication::focusWidget(), w->Txtpass);
        QCOMPARE(w->Txtpass->selectedText(), QStringLiteral("abc"));
        QTest::keyClicks(w->Txtpass, QStringLiteral("wxyz"));
        QTest::keyClick(w->Txtpass, Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), w->cmdOK);
        QCOMPARE(w->countedPresses(), 0);
        // Enter on the focused button presses it.
        QTest::keyClick(w->cmdOK, Qt::Key_Return);
        QCOMPARE(w->countedPresses(), 1);
        QCOMPARE(rec.last(), QStringLiteral("无效的密码，再试一次！"));
        QCOMPARE(QApplication::focusWidget(), w->Txtpass);
        QCOMPARE(w->Txtpass->selectedText(), QStringLiteral("wxyz"));

        // The frame cannot close it; cancel ends the program.
        QVERIFY(!w->close());
        QVERIFY(w->isVisible());
        QTest::mouseClick(w->cmdCancel, Qt::LeftButton);
        QVERIFY(ui::programEnded());
        QVERIFY(!w->isVisible());
    }
};

QTEST_MAIN(TstLogin)
#include "tst_login.moc"
