// The print commands (checks, questions, what they hand to the printer), the printer-less PDF
// fallback, the button handlers, and the word-processor document of PrintTextInWord.
#include "core/modutarnxt.h"
#include "clinic/printcommands.h"
#include "clinic/printdoc.h"
#include "clinic/printing.h"
#include "clinic/ui/printflow.h"
#include "clinic/ui/printbuttons.h"
#include "core/messages.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

#include "printfixtures.h"

using namespace qh;
using namespace qh::clinic;

namespace {

using qh::clinic::printtest::RecordingDesktop;

// Counts the times a button is disabled and enabled again.
class EnableCounter : public QObject {
public:
    explicit EnableCounter(QWidget *w) { w->installEventFilter(this); }
    bool eventFilter(QObject *o, QEvent *e) override
    {
        if (e->type() == QEvent::EnabledChange)
            changes << static_cast<QWidget *>(o)->isEnabled();
        return false;
    }
    QList<bool> changes;
};

DiagnosisPrintBoxes sampleBoxes()
{
    DiagnosisPrintBoxes b;
    b.registerCaseNumber = QStringLiteral(" A0001 ");
    b.name = QStringLiteral(" 张三丰");
    b.sex = QStringLiteral("男 ");
    b.age = QStringLiteral("45");
    b.caseNumber = QStringLiteral("A0001  ");
    b.date = QStringLiteral("2026-12-07");
    b.bloodPressure = QStringLiteral("15/20");
    b.pulse = QStringLiteral("70");
    b.respiration = QStringLiteral("40");
    b.doctor = QStringLiteral(" 李时珍 ");
    b.history = QStringLiteral(" 头痛三天。");
    b.plan = QStringLiteral("风寒感冒，辛温解表。 ");
    b.prescription = QStringLiteral("麻黄10克，桂枝6克，");
    b.directions = QStringLiteral("水煎服，日一剂。");
    b.department = QStringLiteral(" 内科 ");
    return b;
}

SummaryFields sampleSummary()
{
    SummaryFields f;
    f.caseNumber = QStringLiteral("A0001 ");
    f.name = QStringLiteral("张三丰");
    f.age = QStringLiteral("45");
    f.marital = QStringLiteral("已婚");
    f.sex = QStringLiteral("男");
    f.occupation = QStringLiteral("教师");
    f.workUnit = QStringLiteral("青禾中学");
    f.telephone = QStringLiteral("12345678");
    f.mail = QStringLiteral("zs@example.com");
    f.firstVisit = QStringLiteral("2026-01-05");
    f.lastVisit = QStringLiteral("2026-12-07");
    f.notes = QStringLiteral("  辛温解表见效。\n再服三剂。 ");
    return f;
}

// The paragraphs of an ODF content.xml, blanks and tabs expanded.
QStringList odtParagraphs(const QByteArray &xml)
{
    QStringList paragraphs;
    QXmlStreamReader r(xml);
    QString current;
    bool inside = false;
    while (!r.atEnd()) {
        const auto token = r.readNext();
        if (token == QXmlStreamReader::StartElement) {
            if (r.name() == QLatin1String("p")) {
                inside = true;
                current.clear();
            } else if (inside && r.name() == QLatin1String("s")) {
                const auto c = r.attributes().value(QLatin1String("urn:oasis:names:tc:opendocument:xmlns:text:1.0"),
                                                    QLatin1String("c"));
                current += QString(c.isEmpty() ? 1 : c.toInt(), u' ');
            } else if (inside && r.name() == QLatin1String("tab")) {
                current += u'\t';
            }
        } else if (token == QXmlStreamReader::Characters && inside) {
            current += r.text();
        } else if (token == QXmlStreamReader::EndElement && r.name() == QLatin1String("p")) {
            paragraphs << current;
            inside = false;
        }
    }
    return paragraphs;
}

QByteArray unzipEntry(const QString &zip, const QString &entry)
{
    QProcess p;
    p.start(QStandardPaths::findExecutable(QStringLiteral("unzip")), {QStringLiteral("-p"), zip, entry});
    p.waitForFinished(30000);
    return p.readAllStandardOutput();
}

} // namespace

class TstPrintCommands : public QObject {
    Q_OBJECT

    // A fresh documents folder for every case.
    std::unique_ptr<QTemporaryDir> m_dir;
    QTemporaryDir &m_out() { return *m_dir; }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        qh::Modutarnxt::setDocumentsPath(m_dir->path());
    }
    void cleanup() { qh::Modutarnxt::setDocumentsPath(QString()); }

    void withoutTheClinicRowNothingPrints()
    {
        test::TempClinic clinic;
        test::RecordingMessages rec;
        QVERIFY(!caseRecordToPrint(sampleBoxes()));
        QVERIFY(!prescriptionToPrint(sampleBoxes()));
        QCOMPARE(rec.texts(), QStringList({QStringLiteral("系统发生错误，不能打印"), QStringLiteral("系统发生错误，不能打印")}));
        QCOMPARE(rec.shown.front().icon, MsgIcon::Question);
        QCOMPARE(rec.shown.front().buttons, MsgButtons::Ok);
        QCOMPARE(rec.shown.front().title, QString());
    }

    void caseRecordNeedsPlanAndPrescription()
    {
        test::TempClinic clinic;
        clinic.addStatusRow();
        test::RecordingMessages rec;
        for (int which = 0; which < 2; ++which) {
            rec.clear();
            DiagnosisPrintBoxes b = sampleBoxes();
            (which == 0 ? b.plan : b.prescription) = QStringLiteral("   ");
            QVERIFY(!caseRecordToPrint(b));
            QCOMPARE(rec.texts(), QStringList{QStringLiteral("治疗处方或治疗方案没有输入，不能打印")});
            QCOMPARE(rec.shown.front().icon, MsgIcon::Information);
        }
    }

    void caseRecordAsksAndHandsOverTrimmedTexts()
    {
        test::TempClinic clinic;
        clinic.addStatusRow(QStringLiteral(" 青禾诊所 "));
        test::RecordingMessages rec;
        rec.answers = {false};
        QVERIFY(!caseRecordToPrint(sampleBoxes()));
        QCOMPARE(rec.shown.size(), size_t(1));
        QCOMPARE(rec.shown.front().text, QStringLiteral("打印吗？"));
        QCOMPARE(rec.shown.front().title, QStringLiteral("打印患者诊断病历"));
        QCOMPARE(rec.shown.front().icon, MsgIcon::Question);
        QCOMPARE(rec.shown.front().buttons, MsgButtons::YesNo);

        const auto doc = caseRecordToPrint(sampleBoxes());
        QVERIFY(doc);
        QCOMPARE(doc->unit, QStringLiteral("青禾诊所"));
        QCOMPARE(doc->caseNumber, QStringLiteral("A0001"));
        QCOMPARE(doc->name, QStringLiteral("张三丰"));
        QCOMPARE(doc->sex, QStringLiteral("男"));
        QCOMPARE(doc->date, QStringLiteral("2026-12-07"));
        QCOMPARE(doc->doctor, QStringLiteral("李时珍"));
        QCOMPARE(doc->history, QStringLiteral("头痛三天。"));
        QCOMPARE(doc->plan, QStringLiteral("风寒感冒，辛温解表。"));
        QCOMPARE(doc->department, QStringLiteral("内科"));
        QCOMPARE(doc->vitalSigns, QStringLiteral("血压：15/20，脉搏：70，呼吸：40"));
    }

    void prescriptionAsksAndPrintsEvenWithoutPrescription()
    {
        test::TempClinic clinic;
        clinic.addStatusRow();
        test::RecordingMessages rec;
        DiagnosisPrintBoxes b = sampleBoxes();
        b.prescription.clear();
        b.caseNumber = QStringLiteral("B0002"); // the slip takes the diagnosis tab's case number
        rec.answers = {false, true};
        QVERIFY(!prescriptionToPrint(b));
        const auto doc = prescriptionToPrint(b);
        QVERIFY(doc);
        QCOMPARE(rec.shown.front().title, QStringLiteral("打印门诊处方"));
        QCOMPARE(rec.shown.front().text, QStringLiteral("打印吗？"));
        QCOMPARE(doc->caseNumber, QStringLiteral("B0002"));
        QCOMPARE(doc->prescription, QString());
        QCOMPARE(doc->doctor, QStringLiteral("李时珍"));
    }

    void withoutPrinterThePageBecomesAPdfInDocuments()
    {
        test::TempClinic clinic;
        test::RecordingMessages rec;
        RecordingDesktop desktop;
        CaseRecordText t;
        t.unit = QStringLiteral("青禾诊所");
        t.caseNumber = QStringLiteral("A/0001");
        t.date = QStringLiteral("2026-12-07");
        t.plan = t.prescription = QStringLiteral("麻黄10克");
        const PrintResult r = PrintCaseRecord(t);
        QVERIFY(r.ok);
        QVERIFY(!r.printed);
        QCOMPARE(r.pdfPath, QDir(m_out().path()).filePath(QStringLiteral("门诊病案-A_0001-2026-12-07.pdf")));
        QVERIFY(QFileInfo(r.pdfPath).size() > 1000);
        QCOMPARE(desktop.opened, QStringList{r.pdfPath});
        QCOMPARE(rec.shown.size(), size_t(1));
        QVERIFY(rec.last().contains(QDir::toNativeSeparators(r.pdfPath)));
        QVERIFY(rec.last().startsWith(QStringLiteral("未找到打印机，门诊病案已保存为PDF文件：")));

        PrescriptionText s;
        s.caseNumber = QStringLiteral("A0001");
        s.date = QStringLiteral("2026-12-07");
        const PrintResult r2 = PrintPrescription(s);
        QVERIFY(r2.ok);
        QCOMPARE(QFileInfo(r2.pdfPath).fileName(), QStringLiteral("处方笺-A0001-2026-12-07.pdf"));

        // Printed again: the same file is replaced, no partial file is left.
        QVERIFY(PrintPrescription(s).ok);
        QCOMPARE(QDir(m_out().path()).entryList(QDir::Files).size(), 2);
    }

    void unwritableFolderGivesTheNumberedMessage()
    {
        test::RecordingMessages rec;
        RecordingDesktop desktop;
        QFile blocker(m_out().filePath(QStringLiteral("blocker")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        qh::Modutarnxt::setDocumentsPath(blocker.fileName() + QStringLiteral("/sub"));

        const PrintResult r = PrintPrescription(PrescriptionText{});
        QVERIFY(!r.ok);
        QVERIFY(desktop.opened.isEmpty());
        QVERIFY(rec.last().startsWith(QStringLiteral("错误号码：75\r\n错误内容：")));
        QCOMPARE(rec.shown.back().icon, MsgIcon::None);

        rec.clear();
        QCOMPARE(PrintTextInWord(QStringLiteral("文本")), QString());
        QVERIFY(rec.last().startsWith(QStringLiteral("错误号码：75\r\n错误内容：")));
        QVERIFY(desktop.opened.isEmpty());
    }

    void answeredNoLeavesTheButtonAloneAndYesPausesIt()
    {
        test::TempClinic clinic;
        clinic.addStatusRow();
        test::RecordingMessages rec;
        RecordingDesktop desktop;
        QPushButton CmdPrbl(QStringLiteral("打印病历"));
        EnableCounter counter(&CmdPrbl);

        rec.answers = {false};
        clickPrintCaseRecord(&CmdPrbl, sampleBoxes());
        QVERIFY(counter.changes.isEmpty());
        QVERIFY(desktop.opened.isEmpty());
        QVERIFY(QDir(m_out().path()).entryList(QDir::Files).isEmpty());

        clickPrintCaseRecord(&CmdPrbl, sampleBoxes());
        QCOMPARE(counter.changes, QList<bool>({false, true}));
        QVERIFY(CmdPrbl.isEnabled());
        QCOMPARE(desktop.opened.size(), 1);

        // A refusal leaves the button alone as well.
        counter.changes.clear();
        DiagnosisPrintBoxes b = sampleBoxes();
        b.plan.clear();
        clickPrintCaseRecord(&CmdPrbl, b);
        QVERIFY(counter.changes.isEmpty());
    }

    void summaryIsRefusedWhenIncomplete()
    {
        test::RecordingMessages rec;
        RecordingDesktop desktop;
        QString SummaryFields::*required[] = {&SummaryFields::caseNumber, &SummaryFields::name, &SummaryFields::age,
                                              &SummaryFields::marital,    &SummaryFields::sex,  &SummaryFields::occupation,
                                              &SummaryFields::firstVisit, &SummaryFields::lastVisit};
        for (auto field : required) {
            rec.clear();
            SummaryFields f = sampleSummary();
            f.*field = QStringLiteral("  ");
            const SummaryPrint s = summaryToPrint(f, QDate(2026, 12, 7));
            QVERIFY(!s.ok);
            QVERIFY(s.refusal);
            QCOMPARE(s.refusal->field, CaseField::CmdQcls);
            QCOMPARE(s.refusal->message, QStringLiteral("打印内容输入不完全，不能打印"));
            QCOMPARE(s.refusal->icon, MsgIcon::None);
            QVERIFY(rec.shown.empty()); // the logic shows nothing
        }
        // Work unit, telephone, e-mail and notes may be empty.
        SummaryFields f = sampleSummary();
        f.workUnit = f.telephone = f.mail = f.notes = QString();
        rec.clear();
        const SummaryPrint s = summaryToPrint(f, QDate(2026, 12, 7));
        QVERIFY(s.ok);
        QVERIFY(rec.shown.empty());
        QVERIFY(s.text.contains(QStringLiteral("治疗心得：\r\n\r\n\r\n打印时间：2026-12-07")));

        QPushButton CmdPrxd;
        EnableCounter counter(&CmdPrxd);
        f.name.clear();
        rec.clear();
        QVERIFY(!clickPrintSummary(&CmdPrxd, f));
        QCOMPARE(rec.texts(), QStringList{QStringLiteral("打印内容输入不完全，不能打印")});
        QCOMPARE(rec.shown.front().icon, MsgIcon::None);
        QVERIFY(counter.changes.isEmpty());
        QVERIFY(desktop.opened.isEmpty());
    }

    void summaryGoesToAWordProcessorDocumentInSongTi11()
    {
        test::RecordingMessages rec;
        RecordingDesktop desktop;
        const SummaryPrint s = summaryToPrint(sampleSummary(), QDate(2026, 12, 7));
        QVERIFY(s.ok);
        const QStringList expected = {
            QStringLiteral("病历号码：A0001"),       QStringLiteral("患者姓名：张三丰"),
            QStringLiteral("患者年龄：45"),          QStringLiteral("患者性别：男"),
            QStringLiteral("婚姻状况：已婚"),        QStringLiteral("职    业：教师"),
            QStringLiteral("工作单位：青禾中学"),    QStringLiteral("联系电话：12345678"),
            QStringLiteral("电子邮箱：zs@example.com"), QStringLiteral("初诊时间：2026-01-05"),
            QStringLiteral("末诊时间：2026-12-07"),  QStringLiteral("治疗心得："),
            QStringLiteral("辛温解表见效。\n再服三剂。"), QString(),
            QStringLiteral("打印时间：2026-12-07"),
        };
        QCOMPARE(s.text, expected.join(QStringLiteral("\r\n")));

        QPushButton CmdPrxd;
        EnableCounter counter(&CmdPrxd);
        QVERIFY(clickPrintSummary(&CmdPrxd, sampleSummary()));
        const QString today = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
        QCOMPARE(counter.changes, QList<bool>({false, true}));
        QCOMPARE(desktop.opened.size(), 1);
        const QString odt = desktop.opened.front();
        QVERIFY(odt.startsWith(m_out().path()));
        QVERIFY(QFileInfo(odt).fileName().startsWith(QStringLiteral("诊断心得-A0001-")));
        QVERIFY(odt.endsWith(QStringLiteral(".odt")));
        QVERIFY(rec.shown.empty());
        QCOMPARE(desktop.clipboard.left(12), QStringLiteral("病历号码：A0001\r\n"));

        // The package: "mimetype" stored first, a valid archive.
        QFile f(odt);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        QCOMPARE(bytes.mid(30, 8), QByteArray("mimetype"));
        QCOMPARE(bytes.mid(38, 39), QByteArray("application/vnd.oasis.opendocument.text"));
        QProcess test;
        test.start(QStandardPaths::findExecutable(QStringLiteral("unzip")), {QStringLiteral("-tq"), odt});
        QVERIFY(test.waitForFinished(30000));
        QCOMPARE(test.exitCode(), 0);

        // The text: one paragraph per line, the notes' own line break included.
        QStringList lines = expected;
        lines.replace(12, QStringLiteral("辛温解表见效。"));
        lines.insert(13, QStringLiteral("再服三剂。"));
        lines.last() = QStringLiteral("打印时间：") + today; // the button prints with the day it is pressed
        QCOMPARE(odtParagraphs(unzipEntry(odt, QStringLiteral("content.xml"))), lines);

        // The font for Western and Asian text alike, 11 pt, not bold, and an A4 page.
        const QString content = QString::fromUtf8(unzipEntry(odt, QStringLiteral("content.xml")));
        const QString styles = QString::fromUtf8(unzipEntry(odt, QStringLiteral("styles.xml")));
        for (const QString &xml : {content, styles}) {
            QVERIFY(xml.contains(QStringLiteral("style:font-name=\"宋体\"")));
            QVERIFY(xml.contains(QStringLiteral("style:font-name-asian=\"宋体\"")));
            QVERIFY(xml.contains(QStringLiteral("fo:font-size=\"11pt\"")));
            QVERIFY(xml.contains(QStringLiteral("style:font-size-asian=\"11pt\"")));
            QVERIFY(xml.contains(QStringLiteral("fo:font-weight=\"normal\"")));
            QVERIFY(xml.contains(QStringLiteral("style:font-weight-asian=\"normal\"")));
            QVERIFY(xml.contains(QStringLiteral("svg:font-family=\"宋体\"")));
        }
        QVERIFY(content.contains(QStringLiteral("text:style-name=\"P1\"")));
        QVERIFY(styles.contains(QStringLiteral("fo:page-width=\"21cm\"")));
        QVERIFY(styles.contains(QStringLiteral("fo:page-height=\"29.7cm\"")));
        QVERIFY(unzipEntry(odt, QStringLiteral("META-INF/manifest.xml")).contains("content.xml"));
    }

    void eachDocumentIsAFreshFile()
    {
        test::RecordingMessages rec;
        RecordingDesktop desktop;
        const QString a = PrintTextInWord(QStringLiteral("甲"), QStringLiteral("病历"));
        const QString b = PrintTextInWord(QStringLiteral("乙"), QStringLiteral("病历"));
        QVERIFY(!a.isEmpty() && !b.isEmpty());
        QVERIFY(a != b);
        QCOMPARE(odtParagraphs(unzipEntry(a, QStringLiteral("content.xml"))), QStringList{QStringLiteral("甲")});
        QCOMPARE(odtParagraphs(unzipEntry(b, QStringLiteral("content.xml"))), QStringList{QStringLiteral("乙")});
        QCOMPARE(desktop.clipboard, QStringLiteral("乙"));
    }

    void noApplicationToOpenTheDocumentGivesTheNumberedMessage()
    {
        test::RecordingMessages rec;
        RecordingDesktop desktop;
        desktop.canOpen = false;
        const QString path = PrintTextInWord(QStringLiteral(" 前后空格  保留\t制表"));
        QVERIFY(QFileInfo::exists(path));
        QCOMPARE(rec.shown.size(), size_t(1));
        QVERIFY(rec.last().startsWith(QStringLiteral("错误号码：429\r\n错误内容：")));
        QCOMPARE(rec.shown.front().icon, MsgIcon::None);
        QCOMPARE(rec.shown.front().title, QString());
        QCOMPARE(desktop.clipboard, QStringLiteral(" 前后空格  保留\t制表"));
        QCOMPARE(odtParagraphs(unzipEntry(path, QStringLiteral("content.xml"))),
                 QStringList{QStringLiteral(" 前后空格  保留\t制表")});
    }
};

QTEST_MAIN(TstPrintCommands)
#include "tst_printcommands.moc"
