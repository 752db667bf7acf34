// qinghe --help / --version in the locale's language, errors for unknown options, all without a
// window system; and the names and icon the program gives itself for the desktop.
#include "app/commandline.h"
#include "app/identity.h"

#include <QApplication>
#include <QIcon>
#include <QProcess>
#include <QSettings>
#include <QtTest>

class TestCommandLine : public QObject {
    Q_OBJECT
private slots:
    void program_data();
    void program();
    void identity_data();
    void identity();
    void desktopEntry();
};

void TestCommandLine::program_data()
{
    QTest::addColumn<QString>("lang");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("out");   // every text must appear on standard output
    QTest::addColumn<QStringList>("err");   // ... on standard error
    const QString v = QStringLiteral(QINGHE_VERSION);
    const QStringList none;
    QTest::newRow("version zh") << "zh_CN.UTF-8" << QStringList{"--version"} << 0
                                << QStringList{QStringLiteral("青禾中医门诊系统 ") + v + u'\n'} << none;
    QTest::newRow("version en") << "C.UTF-8" << QStringList{"-v"} << 0
                                << QStringList{QStringLiteral("Qinghe TCM Clinic (qinghe) ") + v + u'\n'} << none;
    QTest::newRow("help zh") << "zh_CN.UTF-8" << QStringList{"--help"} << 0
                             << QStringList{"用法：", "[选项]", "青禾中医门诊系统：", "--version", "显示本帮助并退出。"} << none;
    QTest::newRow("help en") << "en_GB.UTF-8" << QStringList{"-h"} << 0
                             << QStringList{"Usage: ", "[options]", "Qinghe TCM Clinic:", "--version", "Show this help and exit."} << none;
    QTest::newRow("help names the scheduled backup") << "zh_CN.UTF-8" << QStringList{"--help"} << 0
                                                     << QStringList{"--backup <文件>", "定时任务"} << none;
    QTest::newRow("backup needs its file") << "C.UTF-8" << QStringList{"--backup"} << 2 << none
                                           << QStringList{"Missing value after '--backup'"};
    QTest::newRow("help names the move onto the server") << "zh_CN.UTF-8" << QStringList{"--help"} << 0
                                                         << QStringList{"--export-to-server", "迁移到设置中的数据库服务器"} << none;
    QTest::newRow("move without a server in the settings") << "zh_CN.UTF-8" << QStringList{"--export-to-server"} << 1 << none
                                                           << QStringList{"设置中没有指定数据库服务器", "engine=postgresql"};
    QTest::newRow("backup and move at once") << "C.UTF-8" << QStringList{"--export-to-server", "--backup", "x.dump"} << 2 << none
                                             << QStringList{"cannot be used together"};
    QTest::newRow("help hides Qt's options") << "C.UTF-8" << QStringList{"--help"} << 0 << QStringList{"-h, --help"} << none;
    QTest::newRow("unknown option zh") << "zh_CN.UTF-8" << QStringList{"--backupp"} << 2 << none
                                       << QStringList{"qinghe: ", "backupp", "请用 “qinghe --help” 查看用法。"};
    QTest::newRow("unknown option en") << "C.UTF-8" << QStringList{"-x"} << 2 << none
                                       << QStringList{"Unknown option 'x'", "Try 'qinghe --help'"};
    QTest::newRow("argument") << "C.UTF-8" << QStringList{"patients.mdb"} << 2 << none
                              << QStringList{"unexpected argument: patients.mdb"};
    QTest::newRow("Qt option passes") << "C.UTF-8" << QStringList{"-platform", "offscreen", "--version"} << 0
                                      << QStringList{v} << none;
}

// The real program, with no display and no platform chosen: answering must not need a window system.
void TestCommandLine::program()
{
    QFETCH(QString, lang);
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QStringList, out);
    QFETCH(QStringList, err);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "LANGUAGE", "LC_ALL", "LC_MESSAGES"})
        env.remove(QString::fromLatin1(name));
    env.insert(QStringLiteral("LANG"), lang);
    env.insert(QStringLiteral("QINGHE_DATABASE"), QStringLiteral("file")); // whatever this machine's settings say
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(QINGHE_PROGRAM), args);
    QVERIFY(p.waitForFinished(20000));
    const QString stdOut = QString::fromUtf8(p.readAllStandardOutput());
    const QString stdErr = QString::fromUtf8(p.readAllStandardError());
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QVERIFY2(p.exitCode() == exitCode, qPrintable(stdErr));
    for (const QString &t : out)
        QVERIFY2(stdOut.contains(t), qPrintable(stdOut));
    for (const QString &t : err)
        QVERIFY2(stdErr.contains(t), qPrintable(stdErr));
    if (out.isEmpty())
        QCOMPARE(stdOut, QString());
    if (err.isEmpty())
        QCOMPARE(stdErr, QString());
    QVERIFY(!stdOut.contains(QLatin1String("platform")));   // the accepted Qt options stay out of the help
}

void TestCommandLine::identity_data()
{
    QTest::addColumn<int>("size");
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        QTest::addRow("%d px", size) << size;
}

// The windows' own icon comes from the program's resources in every size, not from Qt's default.
void TestCommandLine::identity()
{
    QFETCH(int, size);
    qh::app::identifyApplication();
    QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("qinghe"));
    // No display name of its own (Qt would add one to every title the window system shows).
    QCOMPARE(QGuiApplication::applicationDisplayName(), QCoreApplication::applicationName());
    QCOMPARE(QGuiApplication::desktopFileName(), QStringLiteral("cn.qinghe.Clinic"));
    const QIcon icon = QApplication::windowIcon();
    QVERIFY(icon.availableSizes().contains(QSize(size, size)));
    const QImage image = icon.pixmap(QSize(size, size)).toImage();
    QCOMPARE(image.size(), QSize(size, size));
    // The jade tile: the middle of the left edge is green.
    const QColor c = image.pixelColor(size / 8 + 1, size / 2);
    QVERIFY2(c.green() > c.red() + 40 && c.green() > c.blue() + 20, qPrintable(c.name()));
}

// The desktop entry names the window class the program really carries and the installed icon.
void TestCommandLine::desktopEntry()
{
    QSettings entry(QStringLiteral(QINGHE_DESKTOP_FILE), QSettings::IniFormat);
    entry.beginGroup(QStringLiteral("Desktop Entry"));
    QCOMPARE(entry.value(QStringLiteral("StartupWMClass")).toString(), QString::fromLatin1(qh::app::WindowClass));
    QCOMPARE(entry.value(QStringLiteral("Icon")).toString(), QStringLiteral("qinghe"));
    QCOMPARE(entry.value(QStringLiteral("Exec")).toString(), QStringLiteral("qinghe"));
    QCOMPARE(QFileInfo(QStringLiteral(QINGHE_DESKTOP_FILE)).completeBaseName(), QString::fromLatin1(qh::app::DesktopId));
}

QTEST_MAIN(TestCommandLine)
#include "tst_commandline.moc"
