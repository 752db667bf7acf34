// Paragraph wrapping with the printing face, and the printed pages read back: the PDF's words
// (pdftotext -bbox) at their millimetre positions, the rules and fonts through a recording
// paint device.
#include "clinic/printing.h"

#include <QFontMetricsF>
#include <QPaintEngine>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

using namespace qh::clinic;

namespace {

constexpr double MaxCaseWidth = 124.0;

double width10(const QString &t) { return printTextWidthMm(t, 10); }

QStringList wrap(const QString &text, int maxLines = 100, double maxWidth = MaxCaseWidth)
{
    return paragraphLines(text, maxLines, maxWidth, width10);
}

QString repeatChar(const QString &c, int n) { return c.repeated(n); }

// The most "药" that fit in a case-record line.
int cjkPerLine()
{
    int n = 1;
    while (width10(repeatChar(QStringLiteral("药"), n + 1)) <= MaxCaseWidth)
        ++n;
    return n;
}

bool startsWithMark(const QString &line)
{
    return !line.isEmpty() && QStringLiteral("，、。；").contains(line.front());
}

// ---- PDF words ----
struct Word {
    QString text;
    double xMin, yMin, xMax, yMax; // millimetres
    double xCentre() const { return (xMin + xMax) / 2; }
};

QList<Word> pdfWords(const QString &pdf)
{
    QList<Word> words;
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (tool.isEmpty())
        return words;
    QProcess p;
    p.start(tool, {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    if (!p.waitForFinished(30000))
        return words;
    QXmlStreamReader r(p.readAllStandardOutput());
    constexpr double mm = 25.4 / 72.0;
    while (!r.atEnd()) {
        if (r.readNext() == QXmlStreamReader::StartElement && r.name() == QLatin1String("word")) {
            const auto a = r.attributes();
            Word w;
            w.xMin = a.value(QLatin1String("xMin")).toDouble() * mm;
            w.yMin = a.value(QLatin1String("yMin")).toDouble() * mm;
            w.xMax = a.value(QLatin1String("xMax")).toDouble() * mm;
            w.yMax = a.value(QLatin1String("yMax")).toDouble() * mm;
            w.text = r.readElementText();
            words << w;
        }
    }
    return words;
}

QSizeF pdfPageSizeMm(const QString &pdf)
{
    QProcess p;
    p.start(QStandardPaths::findExecutable(QStringLiteral("pdfinfo")), {pdf});
    p.waitForFinished(30000);
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    static const QRegularExpression re(QStringLiteral("Page size:\\s+([0-9.]+) x ([0-9.]+) pts"));
    const auto m = re.match(out);
    if (!m.hasMatch())
        return {};
    return {m.captured(1).toDouble() * 25.4 / 72, m.captured(2).toDouble() * 25.4 / 72};
}

const Word *findWord(const QList<Word> &words, const QString &text)
{
    for (const Word &w : words)
        if (w.text == text)
            return &w;
    return nullptr;
}

enum class Anchor { Left, Right, Centre };

// Checks that the word was printed exactly and stands where the layout says (0.5 mm).
void expectWord(const QList<Word> &words, const QString &text, Anchor anchor, double x, double top)
{
    const Word *w = findWord(words, text);
    QVERIFY2(w, qPrintable(QStringLiteral("not printed as such: ") + text));
    const double got = anchor == Anchor::Left ? w->xMin : anchor == Anchor::Right ? w->xMax : w->xCentre();
    QVERIFY2(qAbs(got - x) <= 0.5, qPrintable(QStringLiteral("%1: x %2 instead of %3").arg(text).arg(got).arg(x)));
    QVERIFY2(qAbs(w->yMin - top) <= 0.5,
             qPrintable(QStringLiteral("%1: top %2 instead of %3").arg(text).arg(w->yMin).arg(top)));
}

// ---- recording paint device: rules, frames and fonts ----
struct DrawnText {
    QPointF baseline;
    QString text;
    QFont font;
};

class RecordingEngine : public QPaintEngine {
public:
    RecordingEngine() : QPaintEngine(QPaintEngine::AllFeatures) {}
    bool begin(QPaintDevice *) override { return true; }
    bool end() override { return true; }
    void updateState(const QPaintEngineState &s) override
    {
        if (s.state() & QPaintEngine::DirtyPen)
            pen = s.pen();
    }
    void drawPixmap(const QRectF &, const QPixmap &, const QRectF &) override {}
    Type type() const override { return QPaintEngine::User; }
    void drawLines(const QLineF *l, int n) override
    {
        for (int i = 0; i < n; ++i)
            lines << l[i];
    }
    void drawRects(const QRectF *r, int n) override
    {
        for (int i = 0; i < n; ++i)
            rects << r[i];
    }
    void drawTextItem(const QPointF &p, const QTextItem &ti) override { texts << DrawnText{p, ti.text(), ti.font()}; }

    QList<QLineF> lines;
    QList<QRectF> rects;
    QList<DrawnText> texts;
    QPen pen;
};

class RecordingDevice : public QPaintDevice {
public:
    explicit RecordingDevice(QSizeF mm) : m_mm(mm) {}
    QPaintEngine *paintEngine() const override { return &m_engine; }
    RecordingEngine &engine() { return m_engine; }
    static constexpr int Dpi = 1200;
    double px(double mm) const { return mm * Dpi / 25.4; }

protected:
    int metric(PaintDeviceMetric m) const override
    {
        switch (m) {
        case PdmWidth: return qRound(px(m_mm.width()));
        case PdmHeight: return qRound(px(m_mm.height()));
        case PdmWidthMM: return qRound(m_mm.width());
        case PdmHeightMM: return qRound(m_mm.height());
        case PdmNumColors: return INT_MAX;
        case PdmDepth: return 32;
        case PdmDpiX: case PdmDpiY: case PdmPhysicalDpiX: case PdmPhysicalDpiY: return Dpi;
        case PdmDevicePixelRatio: return 1;
        case PdmDevicePixelRatioScaled: return int(devicePixelRatioFScale());
        default: return 0;
        }
    }

private:
    QSizeF m_mm;
    mutable RecordingEngine m_engine;
};

// True when a line from (x1,y1) to (x2,y2) in millimetres was drawn (either direction, 0.05 mm).
bool hasLine(const RecordingDevice &d, const QList<QLineF> &lines, double x1, double y1, double x2, double y2)
{
    const QLineF want(d.px(x1), d.px(y1), d.px(x2), d.px(y2));
    const double tol = d.px(0.05);
    auto near = [tol](QPointF a, QPointF b) { return qAbs(a.x() - b.x()) <= tol && qAbs(a.y() - b.y()) <= tol; };
    for (const QLineF &l : lines)
        if ((near(l.p1(), want.p1()) && near(l.p2(), want.p2())) || (near(l.p1(), want.p2()) && near(l.p2(), want.p1())))
            return true;
    return false;
}

// The drawn text, or its first run when the text was drawn in runs of one script each.
const DrawnText *findText(const QList<DrawnText> &texts, const QString &t)
{
    for (const DrawnText &d : texts)
        if (d.text == t)
            return &d;
    for (const DrawnText &d : texts)
        if (d.text.size() >= 2 && t.startsWith(d.text))
            return &d;
    return nullptr;
}

CaseRecordText sampleCaseRecord()
{
    CaseRecordText t;
    t.unit = QStringLiteral("青禾诊所");
    t.caseNumber = QStringLiteral("A0001");
    t.name = QStringLiteral("张三丰");
    t.sex = QStringLiteral("男");
    t.age = QStringLiteral("45");
    t.date = QStringLiteral("2026-12-07");
    t.doctor = QStringLiteral("李时珍");
    // Seven typed lines: the seventh is not printed.
    QStringList history;
    for (int i = 1; i <= 7; ++i)
        history << QStringLiteral("第%1行头痛发热恶寒无汗。").arg(i);
    t.history = history.join(QStringLiteral("\r\n"));
    t.plan = QStringLiteral("风寒感冒，辛温解表。");
    t.prescription = QStringLiteral("麻黄10克，桂枝6克，杏仁9克，甘草3克。");
    t.directions = QStringLiteral("水煎服，日一剂。");
    t.department = QStringLiteral("内科");
    t.vitalSigns = QStringLiteral("血压：15/20，脉搏：70，呼吸：40");
    return t;
}

PrescriptionText sampleSlip()
{
    PrescriptionText s;
    s.unit = QStringLiteral("青禾诊所");
    s.caseNumber = QStringLiteral("A0001");
    s.name = QStringLiteral("张三丰");
    s.sex = QStringLiteral("男");
    s.age = QStringLiteral("45");
    s.date = QStringLiteral("2026-12-07");
    s.doctor = QStringLiteral("李时珍");
    s.prescription = QStringLiteral("麻黄10克，桂枝6克，\r\n杏仁9克，甘草3克。");
    s.directions = QStringLiteral("水煎服，日一剂。");
    s.department = QStringLiteral("内科");
    return s;
}

} // namespace

class TstPrintLayout : public QObject {
    Q_OBJECT

private slots:
    void printingFaceIsARealMingFace()
    {
        installPrintFontSubstitution();
        QFont f(QString::fromUtf16(PrintFontFamily));
        f.setPointSize(10);
        QCOMPARE(QFontInfo(f).family(), QStringLiteral("AR PL UMing CN"));
        // A full-width character of a 10 pt face is 10 pt wide: 3.53 mm.
        QVERIFY(qAbs(printTextWidthMm(QStringLiteral("药"), 10) - 10 * 25.4 / 72) < 0.01);
    }

    void longHistoryPrintsItsFirstSixLines()
    {
        const QString text = QStringLiteral("患者三日前受凉后出现头痛发热恶寒无汗周身酸痛鼻塞流清涕咳嗽痰白稀").repeated(8);
        const QStringList six = wrap(text, 6);
        const QStringList all = wrap(text);
        QVERIFY(all.size() > 6);
        QCOMPARE(six.size(), 6);
        QCOMPARE(six, all.mid(0, 6));
        QCOMPARE(all.join(QString()), text); // nothing lost or doubled when every line is kept
        for (const QString &line : six) {
            QVERIFY(width10(line) <= MaxCaseWidth);
            // A line is as full as the width allows: its next character would not have fitted.
        }
        QVERIFY(width10(six.at(0) + all.at(1).front()) > MaxCaseWidth);
    }

    void wrapInsideADoseMovesInFrontOfItsDigits()
    {
        // Find how many "药" put the plain cut inside "150".
        bool tested = false;
        for (int n = 20; n <= cjkPerLine(); ++n) {
            const QString head = repeatChar(QStringLiteral("药"), n);
            const QString text = head + QStringLiteral("150克") + repeatChar(QStringLiteral("草"), 40);
            const bool cutInside = width10(head + QStringLiteral("1")) <= MaxCaseWidth &&
                                   width10(head + QStringLiteral("150")) > MaxCaseWidth;
            if (!cutInside)
                continue;
            const QStringList lines = wrap(text);
            QCOMPARE(lines.at(0), head);
            QVERIFY(lines.at(1).startsWith(QStringLiteral("150克")));
            QCOMPARE(lines.join(QString()), text);
            tested = true;
        }
        QVERIFY(tested);

        // A dose right at the end of a full line is never split, wherever the line starts.
        const QString items = QStringLiteral("麻黄10克，桂枝6克，杏仁9克，甘草3克，生姜15克，大枣12枚，白芍12克，");
        for (int k = 0; k < 30; ++k) {
            const QString text = repeatChar(QStringLiteral("药"), k) + items.repeated(3);
            const QStringList lines = wrap(text);
            QCOMPARE(lines.join(QString()), text);
            for (int i = 1; i < lines.size(); ++i)
                QVERIFY2(!(lines.at(i - 1).back().isDigit() && lines.at(i).front().isDigit()),
                         qPrintable(lines.at(i - 1) + QStringLiteral(" | ") + lines.at(i)));
        }
    }

    void fullWidthMarkAtTheWrapStaysOnTheLine()
    {
        const int n = cjkPerLine();
        for (const QString &mark : {QStringLiteral("，"), QStringLiteral("、"), QStringLiteral("。"), QStringLiteral("；")}) {
            const QString head = repeatChar(QStringLiteral("药"), n);
            const QString text = head + mark + QStringLiteral("桂枝六克桂枝六克");
            const QStringList lines = wrap(text);
            QCOMPARE(lines.at(0), head + mark);
            QCOMPARE(lines.at(1), QStringLiteral("桂枝六克桂枝六克"));
        }
        // No printed line starts with a mark, wherever the text is cut.
        const QString items = QStringLiteral("麻黄十克，桂枝六克、杏仁九克。甘草三克；");
        for (int k = 0; k < 40; ++k) {
            const QString text = repeatChar(QStringLiteral("药"), k) + items.repeated(4);
            const QStringList lines = wrap(text);
            QCOMPARE(lines.join(QString()), text);
            for (const QString &line : lines)
                QVERIFY2(!startsWithMark(line), qPrintable(line));
        }
    }

    void typedLineBreaksGiveOneLineEach()
    {
        QCOMPARE(wrap(QStringLiteral("第一行\r\n第二行\n第三行\r第四行")),
                 QStringList({QStringLiteral("第一行"), QStringLiteral("第二行"), QStringLiteral("第三行"),
                              QStringLiteral("第四行")}));
        // A blank typed line takes its line; blanks around each line and the text are trimmed.
        QCOMPARE(wrap(QStringLiteral("  甲 \r\n\r\n  乙  ")),
                 QStringList({QStringLiteral("甲"), QString(), QStringLiteral("乙")}));
        QCOMPARE(wrap(QStringLiteral("   ")), QStringList());
        // A typed line too long for the width still wraps.
        const QString longLine = repeatChar(QStringLiteral("药"), cjkPerLine() + 10);
        QCOMPARE(wrap(longLine + QStringLiteral("\r\n短")).size(), 3);
        // The line limit counts typed lines too.
        QCOMPARE(wrap(QStringLiteral("1\r\n2\r\n3\r\n4"), 3), QStringList({"1", "2", "3"}));
    }

    void lastThreeCharactersStay()
    {
        const QString head = repeatChar(QStringLiteral("药"), cjkPerLine());
        QCOMPARE(wrap(head + QStringLiteral("三天后")), QStringList({head + QStringLiteral("三天后")}));
        QCOMPARE(wrap(head + QStringLiteral("三天")), QStringList({head + QStringLiteral("三天")}));
        QCOMPARE(wrap(head + QStringLiteral("三天后服")), QStringList({head, QStringLiteral("三天后服")}));
    }

    void slipParagraphIsWiderAndStartsFurtherLeft()
    {
        QCOMPARE(paragraphGeometry(ParagraphVariant::CaseRecord).left, 40.0);
        QCOMPARE(paragraphGeometry(ParagraphVariant::CaseRecord).maxWidth, 124.0);
        QCOMPARE(paragraphGeometry(ParagraphVariant::Slip).left, 30.0);
        QCOMPARE(paragraphGeometry(ParagraphVariant::Slip).maxWidth, 132.0);
        // 35 fit the case record, 37 the slip: 39 need two lines there, and one here, where
        // the two left over are among the last three that stay.
        const QString text = repeatChar(QStringLiteral("药"), 39);
        QCOMPARE(paragraphLines(text, 10, 124, width10).size(), 2);
        QCOMPARE(paragraphLines(text, 10, 132, width10).size(), 1);
    }

    void caseRecordPdfPutsEveryTextWhereTheLayoutSays()
    {
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("case.pdf"));
        const CaseRecordText t = sampleCaseRecord();
        QCOMPARE(writeCaseRecordPdf(t, pdf), QString());

        const QSizeF page = pdfPageSizeMm(pdf);
        QVERIFY(qAbs(page.width() - 182) < 0.2 && qAbs(page.height() - 260) < 0.2);

        const QList<Word> w = pdfWords(pdf);
        QVERIFY2(!w.isEmpty(), "pdftotext gave no words");
        expectWord(w, QStringLiteral("青禾中医诊断系统专业版7.0"), Anchor::Right, 172, 8);
        expectWord(w, QStringLiteral("青禾诊所门诊病案"), Anchor::Centre, 91 + 5, 25);
        expectWord(w, QStringLiteral("病案号码：A0001"), Anchor::Left, 26, 34);
        expectWord(w, QStringLiteral("诊断时间：2026-12-07"), Anchor::Right, 170, 34);
        expectWord(w, QStringLiteral("姓名"), Anchor::Centre, 31.5, 43);
        expectWord(w, QStringLiteral("张三丰"), Anchor::Centre, 46, 43);
        expectWord(w, QStringLiteral("性别"), Anchor::Centre, 65, 43);
        expectWord(w, QStringLiteral("男"), Anchor::Centre, 79.5, 43);
        expectWord(w, QStringLiteral("年龄"), Anchor::Centre, 94, 43);
        expectWord(w, QStringLiteral("45"), Anchor::Centre, 106, 43);
        expectWord(w, QStringLiteral("诊断科室"), Anchor::Centre, 124, 43);
        expectWord(w, QStringLiteral("内科"), Anchor::Centre, 153.5, 43);
        expectWord(w, QStringLiteral("血压：15/20，脉搏：70，呼吸：40"), Anchor::Left, 40, 53);
        expectWord(w, QStringLiteral("诊断医师：李时珍"), Anchor::Right, 170, 233);

        // Left-column labels in order of their rows.
        const std::pair<QString, double> labels[] = {
            {"病", 58}, {"状", 88}, {"诊", 108}, {"断", 119}, {"治", 129}, {"疗", 140},
            {"处", 168}, {"方", 182}, {"注", 206}, {"意", 212}, {"事", 218}, {"项", 224},
        };
        for (const auto &[label, y] : labels)
            expectWord(w, label, Anchor::Centre, 31.5, y);
        int symptoms = 0;
        for (const Word &word : w)
            if (word.text == QStringLiteral("症")) {
                QVERIFY(qAbs(word.yMin - 68) <= 0.5 || qAbs(word.yMin - 78) <= 0.5);
                ++symptoms;
            }
        QCOMPARE(symptoms, 2);

        for (int i = 0; i < 6; ++i)
            expectWord(w, QStringLiteral("第%1行头痛发热恶寒无汗。").arg(i + 1), Anchor::Left, 40, 59 + 6 * i);
        QVERIFY(!findWord(w, QStringLiteral("第7行头痛发热恶寒无汗。")));
        expectWord(w, t.plan, Anchor::Left, 40, 100);
        expectWord(w, t.prescription, Anchor::Left, 40, 152);
        expectWord(w, t.directions, Anchor::Left, 40, 202);

        // Nothing else on the page: 14 fixed items and labels, 14 column letters, 6 + 3 paragraph lines.
        QCOMPARE(w.size(), 14 + 14 + 9);
    }

    void prescriptionPdfUsesTheSlipsVerticalUnit()
    {
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("slip.pdf"));
        QCOMPARE(writePrescriptionPdf(sampleSlip(), pdf), QString());

        const QSizeF page = pdfPageSizeMm(pdf);
        QVERIFY(qAbs(page.width() - 182) < 0.2 && qAbs(page.height() - 130) < 0.2);

        const double v = 130.0 / 140.0; // one vertical unit in millimetres
        const QList<Word> w = pdfWords(pdf);
        QVERIFY2(!w.isEmpty(), "pdftotext gave no words");
        expectWord(w, QStringLiteral("青禾诊所处方笺"), Anchor::Centre, 96, 12 * v);
        expectWord(w, QStringLiteral("姓名：张三丰"), Anchor::Left, 26, 25 * v);
        expectWord(w, QStringLiteral("性别：男"), Anchor::Left, 26 + printTextWidthMm(QStringLiteral("姓名：张三丰  "), 11), 25 * v);
        expectWord(w, QStringLiteral("年龄：45"), Anchor::Left, 26 + printTextWidthMm(QStringLiteral("姓名：张三丰  性别：男  "), 11), 25 * v);
        expectWord(w, QStringLiteral("病案号码：A0001"), Anchor::Right, 170, 25 * v);
        expectWord(w, QStringLiteral("处方内容:"), Anchor::Left, 25, 33 * v);
        expectWord(w, QStringLiteral("使用方法:"), Anchor::Left, 25, 84 * v);
        expectWord(w, QStringLiteral("诊断科室：内科"), Anchor::Left, 25, 122 * v);
        expectWord(w, QStringLiteral("诊断医师：李时珍"), Anchor::Left, 25 + printTextWidthMm(QStringLiteral("诊断科室：内科   "), 11), 122 * v);
        expectWord(w, QStringLiteral("诊断时间：2026-12-07"), Anchor::Right, 170, 122 * v);
        expectWord(w, QStringLiteral("药费："), Anchor::Left, 25, 129 * v);
        expectWord(w, QStringLiteral("核对："), Anchor::Left, 25 + printTextWidthMm(QStringLiteral("药费：          药剂：          "), 11), 129 * v);
        expectWord(w, QStringLiteral("麻黄10克，桂枝6克，"), Anchor::Left, 30, 40 * v);
        expectWord(w, QStringLiteral("杏仁9克，甘草3克。"), Anchor::Left, 30, 46 * v);
        expectWord(w, QStringLiteral("水煎服，日一剂。"), Anchor::Left, 30, 91 * v);
        QCOMPARE(w.size(), 16);
    }

    void slipPrintsWithAnEmptyPrescription()
    {
        QTemporaryDir dir;
        PrescriptionText s = sampleSlip();
        s.prescription.clear();
        const QString pdf = dir.filePath(QStringLiteral("empty.pdf"));
        QCOMPARE(writePrescriptionPdf(s, pdf), QString());
        const QList<Word> w = pdfWords(pdf);
        QVERIFY(findWord(w, QStringLiteral("处方内容:")));
        QCOMPARE(w.size(), 14);
    }

    void caseRecordRulesFramesAndFonts()
    {
        RecordingDevice d(QSizeF(182, 260));
        {
            QPainter p(&d);
            drawCaseRecord(p, sampleCaseRecord());
        }
        const RecordingEngine &e = d.engine();
        QVERIFY(hasLine(d, e.lines, 25, 14, 172, 14));
        for (double x : {38.0})
            QVERIFY(hasLine(d, e.lines, x, 40, x, 230));
        for (double x : {54.0, 72.0, 87.0, 101.0, 111.0, 137.0})
            QVERIFY2(hasLine(d, e.lines, x, 40, x, 50), qPrintable(QString::number(x)));
        for (double y : {50.0, 98.0, 150.0, 200.0, 230.0})
            QVERIFY2(hasLine(d, e.lines, 25, y, 170, y), qPrintable(QString::number(y)));
        QCOMPARE(e.rects.size(), 1);
        const QRectF frame = e.rects.first();
        QVERIFY(qAbs(frame.left() - d.px(25)) < 1 && qAbs(frame.top() - d.px(40)) < 1);
        QVERIFY(qAbs(frame.right() - d.px(170)) < 1 && qAbs(frame.bottom() - d.px(230)) < 1);
        QCOMPARE(e.lines.size(), 1 + 1 + 6 + 5);

        auto font = [&](const QString &t) {
            const DrawnText *x = findText(e.texts, t);
            return x ? std::pair(x->font.pointSizeF(), x->font.bold()) : std::pair(-1.0, false);
        };
        QCOMPARE(font(QStringLiteral("青禾中医诊断系统专业版7.0")), std::pair(10.0, false));
        QCOMPARE(font(QStringLiteral("青禾诊所门诊病案")), std::pair(18.0, true));
        QCOMPARE(font(QStringLiteral("病案号码：A0001")), std::pair(10.0, false));
        QCOMPARE(font(QStringLiteral("姓名")), std::pair(11.0, false));
        QCOMPARE(font(QStringLiteral("张三丰")), std::pair(10.0, false));
        QCOMPARE(font(QStringLiteral("诊断科室")), std::pair(11.0, false));
        QCOMPARE(font(QStringLiteral("内科")), std::pair(10.0, false));
        QCOMPARE(font(QStringLiteral("项")), std::pair(11.0, false));
        QCOMPARE(font(QStringLiteral("诊断医师：李时珍")), std::pair(11.0, false));
        QCOMPARE(font(QStringLiteral("血压：15/20，脉搏：70，呼吸：40")), std::pair(11.0, false));
        QCOMPARE(font(QStringLiteral("风寒感冒，辛温解表。")), std::pair(10.0, false));
        const DrawnText *title = findText(e.texts, QStringLiteral("青禾诊所门诊病案"));
        QCOMPARE(QFontInfo(title->font).family(), QStringLiteral("AR PL UMing CN"));
    }

    void slipRulesAndFonts()
    {
        RecordingDevice d(QSizeF(182, 130));
        {
            QPainter p(&d);
            drawPrescription(p, sampleSlip());
        }
        const RecordingEngine &e = d.engine();
        const double v = 130.0 / 140.0;
        for (double y : {31.0, 82.0, 118.0})
            QVERIFY2(hasLine(d, e.lines, 25, y * v, 170, y * v), qPrintable(QString::number(y)));
        QCOMPARE(e.lines.size(), 3);
        QVERIFY(e.rects.isEmpty());
        const DrawnText *title = findText(e.texts, QStringLiteral("青禾诊所处方笺"));
        QVERIFY(title);
        QCOMPARE(title->font.pointSizeF(), 16.0);
        QVERIFY(title->font.bold());
        auto isParagraph = [&](const DrawnText &t) {
            for (double top : {40.0, 46.0, 91.0})
                if (t.baseline.y() > d.px(top * v) && t.baseline.y() < d.px(top * v + 4))
                    return true;
            return false;
        };
        for (const DrawnText &t : e.texts) {
            if (&t == title)
                continue;
            const bool paragraph = isParagraph(t);
            QCOMPARE(t.font.pointSizeF(), paragraph ? 10.0 : 11.0);
            QVERIFY(!t.font.bold());
        }
    }
};

QTEST_MAIN(TstPrintLayout)
#include "tst_printlayout.moc"
