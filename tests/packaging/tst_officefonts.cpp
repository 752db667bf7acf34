// Documents and spreadsheets the program writes, opened by the desktop's own office programs:
// converted to PDF by LibreOffice (headless) with the program's font alias in effect, the Chinese
// text must come out in the Chinese Ming face (AR PL UMing CN), not in a Japanese or Latin face.
// Skipped with the reason when LibreOffice is not installed.
#include "clinic/printdoc.h"
#include "core/spreadsheet.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

namespace {

const QString Text = QStringLiteral("青禾中医门诊系统 处方：黄芪 当归 甘草");

QString run(const QString &tool, const QStringList &args, const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment(),
            int timeout = 30000)
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStandardPaths::findExecutable(tool), args);
    if (!p.waitForFinished(timeout) || p.exitCode() != 0)
        return QStringLiteral("FAILED ") + tool + QStringLiteral(": ") + QString::fromUtf8(p.readAll());
    return QString::fromUtf8(p.readAll());
}

} // namespace

class TestOfficeFonts : public QObject {
    Q_OBJECT
private slots:
    void asianLanguageDeclared_data();
    void asianLanguageDeclared();
    void convertedInChineseFace_data();
    void convertedInChineseFace();
};

void TestOfficeFonts::asianLanguageDeclared_data()
{
    QTest::addColumn<QByteArray>("xml");
    QTest::newRow("styles.xml") << qh::clinic::odtStylesXml();
    QTest::newRow("content.xml") << qh::clinic::odtContentXml(Text);
}

// Every text style of the document says its Asian text is Simplified Chinese.
void TestOfficeFonts::asianLanguageDeclared()
{
    QFETCH(QByteArray, xml);
    const QString style = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:style:1.0");
    QXmlStreamReader r(xml);
    int styles = 0;
    while (!r.atEnd()) {
        r.readNext();
        if (r.isStartElement() && r.name() == QLatin1String("text-properties")) {
            ++styles;
            QCOMPARE(r.attributes().value(style, QStringLiteral("language-asian")).toString(), QStringLiteral("zh"));
            QCOMPARE(r.attributes().value(style, QStringLiteral("country-asian")).toString(), QStringLiteral("CN"));
        }
    }
    QVERIFY(!r.hasError());
    QVERIFY(styles > 0);
}

void TestOfficeFonts::convertedInChineseFace_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("summary .odt") << QStringLiteral("summary.odt");
    QTest::newRow("report .xlsx") << QStringLiteral("report.xlsx");
}

void TestOfficeFonts::convertedInChineseFace()
{
    QFETCH(QString, file);
    const QString office = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (office.isEmpty())
        QSKIP("LibreOffice (soffice) is not installed: documents not converted. "
              "Install libreoffice-writer-nogui and libreoffice-calc-nogui to run this test.");
    for (const char *tool : {"pdffonts", "pdftotext"})
        QVERIFY2(!QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty(), tool);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(file);
    if (file.endsWith(QLatin1String(".odt"))) {
        QCOMPARE(qh::clinic::writeOdt(path, Text), QString());
    } else {
        qh::Spreadsheet sheet;
        sheet.setFont(QStringLiteral("宋体"), 9);
        sheet.setText(QStringLiteral("a1"), Text);
        sheet.setColumnWidth(1, 60);
        sheet.save(path);
    }

    // The system's fonts plus the alias the package installs into /etc/fonts/conf.d.
    QFile conf(dir.filePath(QStringLiteral("fonts.conf")));
    QVERIFY(conf.open(QIODevice::WriteOnly));
    conf.write("<?xml version=\"1.0\"?>\n<!DOCTYPE fontconfig SYSTEM \"urn:fontconfig:fonts.dtd\">\n<fontconfig>\n"
               "  <include ignore_missing=\"no\">/etc/fonts/fonts.conf</include>\n"
               "  <include ignore_missing=\"no\">" QINGHE_FONTCONF_FILE "</include>\n</fontconfig>\n");
    conf.close();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("FONTCONFIG_FILE"), conf.fileName());
    env.insert(QStringLiteral("HOME"), dir.path());
    env.remove(QStringLiteral("DISPLAY"));

    const QString converted = run(QStringLiteral("soffice"),
                                  {QStringLiteral("-env:UserInstallation=file://") + dir.filePath(QStringLiteral("profile")),
                                   QStringLiteral("--headless"), QStringLiteral("--norestore"), QStringLiteral("--convert-to"),
                                   QStringLiteral("pdf"), QStringLiteral("--outdir"), dir.path(), path},
                                  env, 180000);
    const QString pdf = dir.filePath(QFileInfo(file).completeBaseName() + QStringLiteral(".pdf"));
    QVERIFY2(QFileInfo::exists(pdf), qPrintable(converted));

    const QString text = run(QStringLiteral("pdftotext"), {QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf, QStringLiteral("-")});
    QVERIFY2(text.simplified().contains(Text), qPrintable(text));

    // pdffonts: the embedded faces; the one that holds the Chinese text is the Chinese Ming face.
    const QString fonts = run(QStringLiteral("pdffonts"), {pdf});
    qInfo().noquote() << fonts;
    QVERIFY2(fonts.contains(QLatin1String("UMing")), qPrintable(fonts));
    QVERIFY2(!fonts.contains(QLatin1String("CJK JP")) && !fonts.contains(QLatin1String("CJKjp")), qPrintable(fonts));
    QVERIFY2(!fonts.contains(QLatin1String("DejaVu")), qPrintable(fonts));
}

QTEST_GUILESS_MAIN(TestOfficeFonts)
#include "tst_officefonts.moc"
