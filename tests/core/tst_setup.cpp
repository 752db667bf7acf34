// The setup window "系统资料登录": picture storing, the entry checks, first run and menu mode.
#include "core/modutarnxt.h"
#include "core/passwords.h"
#include "core/setup.h"
#include "core/ui/FrmJczl.h"
#include "core/ui/MDIFtarn.h"
#include "core/ui/taskwindows.h"
#include "core/ui/uikit.h"
#include "testsupport.h"

#include <QBuffer>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QtTest>

using namespace qh;
using qh::ui::FrmJczl;

class TstSetup : public QObject {
    Q_OBJECT

private:
    static QByteArray pattern(int size)
    {
        QByteArray b(size, '\0');
        for (int i = 0; i < size; ++i)
            b[i] = char((i * 7 + i / 4096) & 0xff); // every chunk differs
        return b;
    }

    static QString writeFile(const QString &folder, const QString &name, const QByteArray &bytes)
    {
        const QString path = folder + u'/' + name;
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly))
            return {};
        f.write(bytes);
        return path;
    }

    static QByteArray pngBytes(QColor color, QSize size = QSize(40, 30))
    {
        QImage img(size, QImage::Format_RGB32);
        img.fill(color);
        QByteArray out;
        QBuffer buf(&out);
        buf.open(QIODevice::WriteOnly);
        img.save(&buf, "PNG");
        return out;
    }

    struct Row {
        int rows = 0;
        QString unit, user;
        QByteArray picture;
        bool pictureNull = true;
    };
    static Row status(test::TempClinic &clinic)
    {
        Row r;
        auto s = clinic.open();
        auto st = s.query(QStringLiteral("select xt001, xt006, xt007 from xtzlqk order by rowid"));
        while (st.next()) {
            if (r.rows++ == 0) {
                r.unit = st.text(0);
                r.user = st.text(1);
                r.picture = st.blob(2);
                r.pictureNull = st.isNull(2);
            }
        }
        return r;
    }

    // Opens the window; for a logged-in user as the menu item "更换系统背景" does (menus off
    // until it closes).
    static FrmJczl *openSetup()
    {
        std::optional<ui::MenusOff> menus;
        if (!Modutarnxt::CurrentUser.isEmpty())
            menus.emplace();
        auto *w = ui::singleWindow<ui::FrmJczl>();
        if (menus)
            menus->attachTo(w);
        w->show();
        QApplication::setActiveWindow(w);
        return w;
    }

private slots:
    void init()
    {
        ui::resetProgramEnded();
        ui::DisableMainMenus();
    }

    void picturesAreReadWholeInChunks_data()
    {
        QTest::addColumn<int>("size");
        QTest::newRow("one byte") << 1;
        QTest::newRow("short") << 1000;
        QTest::newRow("exactly one chunk") << 4096;
        QTest::newRow("exactly two chunks") << 8192;
        QTest::newRow("two chunks and a bit") << 8193;
        QTest::newRow("large") << 3 * 4096 + 4095;
    }
    void picturesAreReadWholeInChunks()
    {
        QFETCH(int, size);
        const QByteArray bytes = pattern(size);
        QBuffer device;
        device.setData(bytes);
        device.open(QIODevice::ReadOnly);
        device.seek(size / 2); // wherever the device stands, the whole content is read
        const auto read = setup::StorePictureFile(device);
        QVERIFY(read.has_value());
        QCOMPARE(read->size(), size);
        QCOMPARE(*read, bytes);

        QTemporaryDir dir;
        const QString path = writeFile(dir.path(), QStringLiteral("p.bin"), bytes);
        QCOMPARE(setup::StorePictureFile(path).value_or(QByteArray()), bytes);
    }

    void emptyOrMissingFilesGiveNothing()
    {
        QTemporaryDir dir;
        const QString empty = writeFile(dir.path(), QStringLiteral("empty.jpg"), QByteArray());
        QVERIFY(!setup::StorePictureFile(empty).has_value());
        QVERIFY(!setup::StorePictureFile(dir.path() + QStringLiteral("/none.jpg")).has_value());
        QVERIFY(!setup::StorePictureFile(QString()).has_value());
        QBuffer nothing;
        QVERIFY(!setup::StorePictureFile(nothing).has_value());
        QCOMPARE(setup::emptyFileMessage(QStringLiteral("c.jpg")), QStringLiteral("c.jpg无 内 容 或 不 存 在 !"));
    }

    void entryChecksInOrder()
    {
        using setup::checkEntries;
        using setup::SetupField;
        auto c = checkEntries(QStringLiteral("青"), QStringLiteral("张"), QStringLiteral("1"), true);
        QVERIFY(c);
        QVERIFY(c->message.isEmpty());
        QCOMPARE(c->field, SetupField::TxtYhdw);
        c = checkEntries(QStringLiteral("青禾"), QStringLiteral("张"), QStringLiteral("1"), true);
        QCOMPARE(c->message, QStringLiteral("用户名称不能少于2位字符"));
        QCOMPARE(c->field, SetupField::TxtYhxm);
        c = checkEntries(QStringLiteral("青禾"), QStringLiteral("张三"), QStringLiteral("123"), true);
        QCOMPARE(c->message, QStringLiteral("系统密码不能少于4位字符"));
        QCOMPARE(c->field, SetupField::TxtPass);
        QCOMPARE(c->select, Select::end()); // the caret after the last character
        QVERIFY(!checkEntries(QStringLiteral("青禾"), QStringLiteral("张三"), QStringLiteral("1234"), true));
        // A user who already exists keeps his password; it is not looked at.
        QVERIFY(!checkEntries(QStringLiteral("青禾"), QStringLiteral("张三"), QString(), false));
        // Characters, not UTF-16 units, count: one character outside the basic plane is too short.
        QVERIFY(checkEntries(QString::fromUcs4(U"\U00020000"), QStringLiteral("张三"), QString(), false));
    }

    void saveAddsTheFirstUserOnceAndKeepsOtherRows()
    {
        test::TempClinic clinic;
        clinic.open().exec(QStringLiteral("insert into xtzlqk(xt001) values(?)"), QStringLiteral("  "));
        setup::SaveInput in{QStringLiteral("O'Clinic"), QStringLiteral("张'三"), QStringLiteral("pa'ss"), true,
                            QByteArray("bytes")};
        setup::save(test::OneAction().s(), in);
        Row r = status(clinic);
        QCOMPARE(r.rows, 1);
        QCOMPARE(r.unit, QStringLiteral("O'Clinic"));
        QCOMPARE(r.user, QStringLiteral("张'三"));
        QCOMPARE(r.picture, QByteArray("bytes"));
        auto s = clinic.open();
        QCOMPARE(s.scalarInt(QStringLiteral("select count(*) from yckpass")), 1);
        QVERIFY(passwords::verify(*s.scalarText(QStringLiteral("select passwods from yckpass")),
                                  QStringLiteral("PA'SS")));
        QCOMPARE(s.scalarInt(QStringLiteral("select passpids from yckpass")), 1);

        // The same user again adds no second row; no picture keeps the stored one.
        setup::save(test::OneAction().s(), {QStringLiteral("新名"), QStringLiteral("张'三"), QStringLiteral("other1"), true, std::nullopt});
        r = status(clinic);
        QCOMPARE(r.unit, QStringLiteral("新名"));
        QCOMPARE(r.picture, QByteArray("bytes"));
        QCOMPARE(s.scalarInt(QStringLiteral("select count(*) from yckpass")), 1);
        QVERIFY(passwords::verify(*s.scalarText(QStringLiteral("select passwods from yckpass")),
                                  QStringLiteral("pa'ss")));
    }

    void saveThatFailsLeavesNothingHalfWritten()
    {
        test::TempClinic clinic;
        clinic.addStatusRow(QStringLiteral("旧名"));
        // A user name longer than its field fails after the status row was changed.
        bool failed = false;
        try {
            setup::save(test::OneAction().s(), {QStringLiteral("新名"), QString(25, u'长'), QStringLiteral("pass1"), true, QByteArray("x")});
        } catch (const DbError &) {
            failed = true;
        }
        QVERIFY(failed);
        const Row r = status(clinic);
        QCOMPARE(r.unit, QStringLiteral("旧名"));
        QVERIFY(r.pictureNull);
    }

    void firstRunEndToEnd()
    {
        test::TempClinic clinic;
        clinic.open().exec(QStringLiteral("insert into xtzlqk(xt001) values(?)"), QStringLiteral("  "));
        Modutarnxt::CurrentUser.clear();
        test::RecordingMessages rec;
        test::RecordingFileDialogs files;
        QTemporaryDir dir;
        const QByteArray png = pngBytes(Qt::red);
        files.answers.push_back(writeFile(dir.path(), QStringLiteral("bg.png"), png));

        QPointer<FrmJczl> w = openSetup();
        QVERIFY(QTest::qWaitForWindowActive(w));
        QVERIFY(w->TxtYhdw->text().isEmpty());
        QVERIFY(w->TxtYhxm->isEnabled());
        QVERIFY(w->TxtPass->isEnabled());
        QVERIFY(w->windowFlags().testFlag(Qt::CustomizeWindowHint));
        QVERIFY(!w->windowFlags().testFlag(Qt::WindowCloseButtonHint));
        QCOMPARE(w->windowTitle(), QStringLiteral("系统资料登录"));
        QCOMPARE(w->TxtYhdw->maxLength(), 6);
        QCOMPARE(w->TxtYhxm->maxLength(), 5);
        QCOMPARE(w->TxtPass->maxLength(), 30);
        QCOMPARE(w->TxtYhdw->toolTip(), QStringLiteral(" 输入用户医疗门诊简称"));
        QCOMPARE(w->TxtYhxm->toolTip(), QStringLiteral("输入系统管理员姓名"));
        QCOMPARE(w->TxtPass->toolTip(), QStringLiteral("输入系统管理员密码，不要超过30位字符"));
        QCOMPARE(w->CmdLoad->text(), QStringLiteral("选择图片(&L)"));
        QCOMPARE(w->CmdOext->text(), QStringLiteral("确定退出(&O)"));
        QStringList labels;
        for (QLabel *l : w->findChildren<QLabel *>())
            if (l != w->ImageXt)
                labels << l->text();
        QCOMPARE(labels, (QStringList{QStringLiteral("单位简称"), QStringLiteral("用户姓名"), QStringLiteral("系统密码")}));

        // Keys: spaces are discarded, Enter moves along when the entry is long enough.
        w->TxtYhdw->setFocus();
        w->TxtYhdw->insert(QStringLiteral("青"));
        QTest::keyClick(w->TxtYhdw, Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), w->TxtYhdw);
        QTest::keyClicks(w->TxtYhdw, QStringLiteral(" "));
        w->TxtYhdw->insert(QStringLiteral("禾"));
        QCOMPARE(w->TxtYhdw->text(), QStringLiteral("青禾"));
        QTest::keyClick(w->TxtYhdw, Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), w->TxtYhxm);
        w->TxtYhxm->insert(QStringLiteral("张"));
        // Confirming now: the user name is too short.
        QTest::mouseClick(w->CmdOext, Qt::LeftButton);
        QCOMPARE(rec.last(), QStringLiteral("用户名称不能少于2位字符"));
        QCOMPARE(QApplication::focusWidget(), w->TxtYhxm);
        w->TxtYhxm->insert(QStringLiteral("三"));
        QTest::keyClick(w->TxtYhxm, Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), w->TxtPass);
        QTest::keyClicks(w->TxtPass, QStringLiteral("a b"));
        QTest::keyClick(w->TxtPass, Qt::Key_Return);
        QCOMPARE(rec.last(), QStringLiteral("为了系统安全，请输入4位以上密码"));
        QCOMPARE(QApplication::focusWidget(), w->TxtPass);
        QTest::keyClicks(w->TxtPass, QStringLiteral("cdE"));
        QCOMPARE(w->TxtPass->text(), QStringLiteral("abcdE"));
        QCOMPARE(w->TxtPass->displayText(), QStringLiteral("*****"));
        QTest::keyClick(w->TxtPass, Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), w->CmdLoad);

        QTest::mouseClick(w->CmdLoad, Qt::LeftButton);
        const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
        QCOMPARE(files.folders.value(0), QDir(pictures).exists() ? pictures : QDir::homePath());
        for (const char *ext : {"*.jpg", "*.jpeg", "*.bmp", "*.png"})
            QVERIFY(files.filters.value(0).contains(QLatin1String(ext)));
        QVERIFY(!w->ImageXt->pixmap().isNull());

        rec.clear();
        QTest::mouseClick(w->CmdOext, Qt::LeftButton);
        QCOMPARE(rec.texts(), (QStringList{QStringLiteral("首次进入系统后，用户名称、密码将作为系统今后使用密码"),
                                           QStringLiteral("请重新启动系统")}));
        QCOMPARE(rec.shown[0].icon, MsgIcon::Question);
        QCOMPARE(rec.shown[0].buttons, MsgButtons::Ok);
        QCOMPARE(rec.shown[1].icon, MsgIcon::Information);
        QVERIFY(ui::programEnded());
        QVERIFY(!ui::mainMenusEnabled());

        const Row r = status(clinic);
        QCOMPARE(r.rows, 1);
        QCOMPARE(r.unit, QStringLiteral("青禾"));
        QCOMPARE(r.user, QStringLiteral("张三"));
        QCOMPARE(r.picture, png);
        auto s = clinic.open();
        QCOMPARE(s.scalarText(QStringLiteral("select passuser from yckpass")).value_or(QString()), QStringLiteral("张三"));
        QVERIFY(passwords::verify(*s.scalarText(QStringLiteral("select passwods from yckpass")),
                                  QStringLiteral("ABCDE")));
        QVERIFY(ui::MDIFtarn::exists());
        QVERIFY(!ui::MDIFtarn::instance()->backgroundPicture().isNull());
        QTRY_VERIFY(w.isNull() || !w->isVisible());
        delete ui::MDIFtarn::instance();
    }

    void fromTheMenuOnlyNameAndPictureChange()
    {
        test::TempClinic clinic;
        clinic.addStatusRow(QStringLiteral("旧诊所"));
        clinic.open().exec(QStringLiteral("update xtzlqk set xt007 = ?"), pngBytes(Qt::blue));
        clinic.addUser(QStringLiteral("张三"), QStringLiteral("secret1"));
        const QString hashBefore =
            *clinic.open().scalarText(QStringLiteral("select passwods from yckpass where passuser = ?"),
                                      QStringLiteral("张三"));
        test::RecordingMessages rec;
        test::RecordingFileDialogs files;
        QTemporaryDir dir;
        const QString emptyFile = writeFile(dir.path(), QStringLiteral("empty.jpg"), QByteArray());
        files.answers.push_back(emptyFile);

        QPointer<FrmJczl> w = openSetup();
        QVERIFY(QTest::qWaitForWindowActive(w));
        QCOMPARE(w->TxtYhdw->text(), QStringLiteral("旧诊所"));
        QCOMPARE(w->TxtYhxm->text(), QStringLiteral("张三"));
        QVERIFY(!w->TxtYhxm->isEnabled());
        QVERIFY(!w->TxtPass->isEnabled());
        QCOMPARE(w->TxtPass->text(), passwords::maskedPlaceholder());
        QVERIFY(!w->TxtPass->text().contains(QLatin1String("argon")));
        QVERIFY(!w->ImageXt->pixmap().isNull());

        // Enter in the unit box jumps to the picture button: the user boxes are closed.
        w->TxtYhdw->setFocus();
        QTest::keyClick(w->TxtYhdw, Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), w->CmdLoad);

        // The frame cannot close it.
        QVERIFY(!w->close());

        w->TxtYhdw->setText(QStringLiteral(" 新诊所 "));
        QTest::mouseClick(w->CmdLoad, Qt::LeftButton);
        QTest::mouseClick(w->CmdOext, Qt::LeftButton);
        QCOMPARE(rec.texts(), QStringList{emptyFile + QStringLiteral("无 内 容 或 不 存 在 !")});
        QCOMPARE(rec.shown[0].icon, MsgIcon::None);
        QVERIFY(!ui::programEnded());
        QVERIFY(ui::mainMenusEnabled()); // opened from the menu by a logged-in user
        const Row r = status(clinic);
        QCOMPARE(r.unit, QStringLiteral("新诊所"));
        QCOMPARE(r.picture, pngBytes(Qt::blue)); // the empty file changed nothing
        QCOMPARE(*clinic.open().scalarText(QStringLiteral("select passwods from yckpass where passuser = ?"),
                                           QStringLiteral("张三")),
                 hashBefore);
        QCOMPARE(clinic.open().scalarInt(QStringLiteral("select count(*) from yckpass")), 1);
        delete ui::MDIFtarn::instance();
    }

    void aLongerUserNameIsShownAndStoredWhole()
    {
        test::TempClinic clinic;
        clinic.addStatusRow(QStringLiteral("诊所"));
        clinic.addUser(QStringLiteral("欧阳主任医师甲"), QStringLiteral("secret1"));
        test::RecordingMessages rec;
        QPointer<FrmJczl> w = openSetup();
        QCOMPARE(w->TxtYhxm->text(), QStringLiteral("欧阳主任医师甲"));
        QTest::mouseClick(w->CmdOext, Qt::LeftButton);
        QVERIFY(rec.shown.empty());
        QCOMPARE(status(clinic).user, QStringLiteral("欧阳主任医师甲"));
        delete ui::MDIFtarn::instance();
    }

    void aFileThatIsNoPictureIsNotStored()
    {
        test::TempClinic clinic;
        clinic.addStatusRow(QStringLiteral("诊所"));
        clinic.addUser(QStringLiteral("张三"), QStringLiteral("secret1"));
        test::RecordingMessages rec;
        test::RecordingFileDialogs files;
        QTemporaryDir dir;
        files.answers.push_back(writeFile(dir.path(), QStringLiteral("fake.jpg"), pattern(8192)));
        QPointer<FrmJczl> w = openSetup();
        QTest::mouseClick(w->CmdLoad, Qt::LeftButton);
        QVERIFY(w->ImageXt->pixmap().isNull());
        QTest::mouseClick(w->CmdOext, Qt::LeftButton);
        QCOMPARE(rec.shown.size(), size_t(1));
        QVERIFY(rec.last().contains(QStringLiteral("不是可以显示的图片文件")));
        QVERIFY(status(clinic).pictureNull);
        delete ui::MDIFtarn::instance();
    }

    void cancellingTheDialogEmptiesThePictureButKeepsTheStoredOne()
    {
        test::TempClinic clinic;
        clinic.addStatusRow(QStringLiteral("诊所"));
        clinic.open().exec(QStringLiteral("update xtzlqk set xt007 = ?"), pngBytes(Qt::green));
        clinic.addUser(QStringLiteral("张三"), QStringLiteral("secret1"));
        test::RecordingMessages rec;
        test::RecordingFileDialogs files; // answers "" = cancelled
        QPointer<FrmJczl> w = openSetup();
        QVERIFY(!w->ImageXt->pixmap().isNull());
        QTest::mouseClick(w->CmdLoad, Qt::LeftButton);
        QVERIFY(w->ImageXt->pixmap().isNull());
        QVERIFY(w->chosenFile().isEmpty());
        QTest::mouseClick(w->CmdOext, Qt::LeftButton);
        QVERIFY(rec.shown.empty());
        QCOMPARE(status(clinic).picture, pngBytes(Qt::green));
        QVERIFY(ui::MDIFtarn::instance()->backgroundPicture().isNull());
        delete ui::MDIFtarn::instance();
    }
};

QTEST_MAIN(TstSetup)
#include "tst_setup.moc"
