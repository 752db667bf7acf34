#include "app/commandline.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <cstdio>
#include <memory>

namespace qh::app {

namespace {

QString version()
{
    return QStringLiteral(QT_STRINGIFY(QINGHE_VERSION_MAJOR) "." QT_STRINGIFY(QINGHE_VERSION_MINOR) "." QT_STRINGIFY(
        QINGHE_VERSION_PATCH));
}

// Options of QGuiApplication / QApplication that a desktop or session manager may pass; they are
// accepted here and left to QApplication, which reads them from argv itself.
void addWindowSystemOptions(QCommandLineParser &p)
{
    const char *withValue[] = {"platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry",
                               "qwindowicon", "qwindowtitle", "display", "geometry", "name", "title",
                               "session", "style", "stylesheet"};
    for (const char *name : withValue) {
        QCommandLineOption o(QString::fromLatin1(name), QString(), QStringLiteral("value"));
        o.setFlags(QCommandLineOption::HiddenFromHelp);
        p.addOption(o);
    }
    for (const char *name : {"reverse", "widgetcount", "nograb", "dograb", "sync"}) {
        QCommandLineOption o(QString::fromLatin1(name));
        o.setFlags(QCommandLineOption::HiddenFromHelp);
        p.addOption(o);
    }
}

} // namespace

CommandLineLanguage commandLineLanguage()
{
    const QStringList ui = QLocale::system().uiLanguages();
    const QString first = ui.isEmpty() ? QString() : ui.first();
    return first.startsWith(QLatin1String("zh"), Qt::CaseInsensitive) ? CommandLineLanguage::Chinese
                                                                       : CommandLineLanguage::English;
}

CommandLine parseCommandLine(const QStringList &arguments, CommandLineLanguage language)
{
    const bool zh = language == CommandLineLanguage::Chinese;
    QCommandLineParser p;
    p.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    p.setApplicationDescription(zh ? QStringLiteral("青禾中医门诊系统：中医门诊的病历、诊断处方、收费发药、药材库存、查询、"
                                                    "用户与备份管理。\n数据保存在用户数据文件夹：~/.local/share/qinghe/system/zyqhmz.mdb。")
                                   : QStringLiteral("Qinghe TCM Clinic: case records, diagnoses and herbal prescriptions, "
                                                    "charging and dispensing,\nherb stock, queries, users and backups of a "
                                                    "Chinese medicine outpatient clinic.\nThe data is kept in "
                                                    "~/.local/share/qinghe/system/zyqhmz.mdb."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  zh ? QStringLiteral("显示本帮助并退出。") : QStringLiteral("Show this help and exit."));
    const QCommandLineOption ver({QStringLiteral("v"), QStringLiteral("version")},
                                 zh ? QStringLiteral("显示版本信息并退出。") : QStringLiteral("Show the version and exit."));
    const QCommandLineOption backup(QStringLiteral("backup"),
                                    zh ? QStringLiteral("把诊所数据校验后备份到<文件>（无需窗口，可由定时任务执行）。")
                                       : QStringLiteral("Write a verified backup of the clinic's data to <file> "
                                                        "(no window; for scheduled backups)."),
                                    zh ? QStringLiteral("文件") : QStringLiteral("file"));
    const QCommandLineOption exportToServer(QStringLiteral("export-to-server"),
                                            zh ? QStringLiteral("把本机的诊所数据文件迁移到设置中的数据库服务器（服务器数据库须为空），"
                                                                "逐表核对后提交（无需窗口）。")
                                               : QStringLiteral("Move the clinic's data file onto the database server of the "
                                                                "settings (its database must be empty), checked table by table "
                                                                "(no window)."));
    p.addOption(help);
    p.addOption(ver);
    p.addOption(backup);
    p.addOption(exportToServer);
    addWindowSystemOptions(p);

    CommandLine r;
    const QString program = arguments.isEmpty() ? QStringLiteral("qinghe") : QFileInfo(arguments.first()).fileName();
    const QString hint = zh ? QStringLiteral("请用 “%1 --help” 查看用法。\n").arg(program)
                            : QStringLiteral("Try '%1 --help' for more information.\n").arg(program);
    if (!p.parse(arguments)) {
        r.answered = true;
        r.exitCode = 2;
        r.error = program + QStringLiteral(": ") + p.errorText() + u'\n' + hint;
        return r;
    }
    if (p.isSet(help)) {
        r.answered = true;
        r.output = p.helpText();
        return r;
    }
    if (p.isSet(ver)) {
        r.answered = true;
        r.output = (zh ? QStringLiteral("青禾中医门诊系统 ") : QStringLiteral("Qinghe TCM Clinic (qinghe) ")) + version() + u'\n';
        return r;
    }
    if (p.isSet(backup) && p.isSet(exportToServer)) {
        r.answered = true;
        r.exitCode = 2;
        r.error = program + QStringLiteral(": ")
            + (zh ? QStringLiteral("--backup 与 --export-to-server 不能同时使用。") : QStringLiteral("--backup and --export-to-server cannot be used together."))
            + u'\n' + hint;
        return r;
    }
    if (p.isSet(backup))
        r.backupPath = p.value(backup);
    r.exportToServer = p.isSet(exportToServer);
    if (!p.positionalArguments().isEmpty()) {
        r.answered = true;
        r.exitCode = 2;
        r.error = program + QStringLiteral(": ")
            + (zh ? QStringLiteral("多余的参数：") : QStringLiteral("unexpected argument: ")) + p.positionalArguments().first()
            + u'\n' + hint;
    }
    return r;
}

CommandLine readCommandLine(int argc, char *argv[])
{
    const CommandLineLanguage language = commandLineLanguage();
    CommandLine r;
    {
        // Qt's own words of the help text ("Usage:", "Options:") come from its Chinese translation.
        int n = argc;
        QCoreApplication core(n, argv);
        std::unique_ptr<QTranslator> qt;
        if (language == CommandLineLanguage::Chinese) {
            qt = std::make_unique<QTranslator>();
            if (qt->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
                QCoreApplication::installTranslator(qt.get());
        }
        r = parseCommandLine(QCoreApplication::arguments(), language);
    }
    if (!r.output.isEmpty())
        std::fputs(r.output.toLocal8Bit().constData(), stdout);
    if (!r.error.isEmpty())
        std::fputs(r.error.toLocal8Bit().constData(), stderr);
    return r;
}

} // namespace qh::app
