#include "clinic/printing.h"

#include "core/modutarnxt.h"
#include "core/docfile.h"
#include "base/owneronly.h"
#include "base/textutil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>

namespace qh::clinic {

QString fileNamePart(const QString &text)
{
    QString out;
    for (QChar c : trimSpaces(text)) {
        if (c.unicode() < 0x20 || c.isSpace() || QStringLiteral("/\\:*?\"<>|").contains(c))
            out += u'_';
        else
            out += c;
    }
    return out;
}

// ---------------------------------------------------------------------------------------------
// Font and pages

void installPrintFontSubstitution()
{
    const QString family = QString::fromUtf16(PrintFontFamily);
    if (QFont::substitutes(family).isEmpty())
        QFont::insertSubstitutions(family, {QStringLiteral("AR PL UMing CN"), QStringLiteral("AR PL UMing TW"),
                                            QStringLiteral("Noto Serif CJK SC")});
}

QPageSize caseRecordPageSize()
{
    return QPageSize(QSizeF(182, 260), QPageSize::Millimeter, QStringLiteral("门诊病案 182×260mm"), QPageSize::ExactMatch);
}

QPageSize prescriptionPageSize()
{
    return QPageSize(QSizeF(182, 130), QPageSize::Millimeter, QStringLiteral("处方笺 182×130mm"), QPageSize::ExactMatch);
}

// ---------------------------------------------------------------------------------------------
// Paragraph wrapping

namespace {
constexpr int PrintResolution = 1200; // dots per inch of every printed page
} // namespace

double printTextWidthMm(const QString &text, double pointSize, bool bold)
{
    installPrintFontSubstitution();
    static QImage device = [] {
        QImage image(1, 1, QImage::Format_Mono);
        const int dotsPerMetre = qRound(PrintResolution / 0.0254);
        image.setDotsPerMeterX(dotsPerMetre);
        image.setDotsPerMeterY(dotsPerMetre);
        return image;
    }();
    QFont f(QString::fromUtf16(PrintFontFamily));
    f.setPointSizeF(pointSize);
    f.setBold(bold);
    f.setKerning(false);
    const QFontMetricsF fm(f, &device);
    return fm.horizontalAdvance(text) * 25.4 / device.logicalDpiX();
}

ParagraphGeometry paragraphGeometry(ParagraphVariant v)
{
    return v == ParagraphVariant::CaseRecord ? ParagraphGeometry{40.0, 124.0} : ParagraphGeometry{30.0, 132.0};
}

namespace {

bool isStayingMark(QChar c)
{
    return c == u'，' || c == u'、' || c == u'。' || c == u'；';
}

bool isDigitChar(QChar c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'０' && c <= u'９');
}

} // namespace

QStringList paragraphLines(const QString &text, int maxLines, double maxWidth, const TextWidth &width)
{
    QStringList lines;
    const QString s = trimSpaces(text);
    if (s.isEmpty() || maxLines <= 0)
        return lines;

    QString line;
    auto finish = [&] {
        lines << trimSpaces(line);
        line.clear();
        return lines.size() >= maxLines;
    };

    const qsizetype n = s.size();
    qsizetype i = 0;
    bool restStays = false; // the last characters of the text stay on their line
    while (i < n) {
        const QChar c = s.at(i);
        if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < n && s.at(i + 1) == u'\n')
                ++i;
            ++i;
            if (finish())
                return lines;
            continue;
        }
        if (!restStays && !trimSpaces(line).isEmpty() && width(trimSpaces(line + c)) > maxWidth) {
            if (n - i <= 3) {
                restStays = true;
            } else if (isStayingMark(c)) {
                // The mark (and any marks right after it) ends this line.
                while (i < n && isStayingMark(s.at(i)))
                    line += s.at(i++);
                if (finish())
                    return lines;
                continue;
            } else {
                qsizetype digits = 0;
                while (digits < 3 && digits < line.size() && isDigitChar(line.at(line.size() - 1 - digits)))
                    ++digits;
                QString carried;
                if (digits > 0 && !trimSpaces(line.left(line.size() - digits)).isEmpty()) {
                    carried = line.right(digits);
                    line.chop(digits);
                }
                if (finish())
                    return lines;
                line = carried;
                continue; // the current character starts (or follows the digits on) the next line
            }
        }
        line += c;
        ++i;
    }
    if (!trimSpaces(line).isEmpty())
        lines << trimSpaces(line);
    return lines;
}

// ---------------------------------------------------------------------------------------------
// Drawing

PrintPage::PrintPage(QPainter &painter, QSizeF pageMm, double scaleWidth, double scaleHeight)
    : m_p(painter)
{
    const QPaintDevice *device = painter.device();
    const double dpiX = device ? device->logicalDpiX() : 72.0;
    const double dpiY = device ? device->logicalDpiY() : 72.0;
    m_sx = pageMm.width() / scaleWidth * dpiX / 25.4;
    m_sy = pageMm.height() / scaleHeight * dpiY / 25.4;
    QPen pen(Qt::black);
    pen.setWidthF(0.2 * dpiX / 25.4); // 0.2 mm rules
    pen.setCapStyle(Qt::SquareCap);
    pen.setJoinStyle(Qt::MiterJoin);
    m_p.setPen(pen);
    m_p.setBrush(Qt::NoBrush);
    setFont(ParagraphFontSize, false);
}

void PrintPage::setFont(double pointSize, bool bold)
{
    installPrintFontSubstitution();
    QFont f(QString::fromUtf16(PrintFontFamily));
    f.setPointSizeF(pointSize);
    f.setBold(bold);
    f.setKerning(false);
    m_p.setFont(f);
}

double PrintPage::textWidth(const QString &text) const
{
    const QFontMetricsF fm(m_p.font(), m_p.device());
    return fm.horizontalAdvance(text) / m_sx;
}

void PrintPage::text(double x, double y, const QString &text)
{
    const QFontMetricsF fm(m_p.font(), m_p.device());
    m_p.drawText(QPointF(toDeviceX(x), toDeviceY(y) + fm.ascent()), text);
}

void PrintPage::textRight(double right, double y, const QString &t) { text(right - textWidth(t), y, t); }

void PrintPage::textCentred(double a, double b, double y, const QString &t)
{
    text(a + ((b - a) - textWidth(t)) / 2.0, y, t);
}

void PrintPage::line(double x1, double y1, double x2, double y2)
{
    m_p.drawLine(QPointF(toDeviceX(x1), toDeviceY(y1)), QPointF(toDeviceX(x2), toDeviceY(y2)));
}

void PrintPage::rect(double x1, double y1, double x2, double y2)
{
    m_p.drawRect(QRectF(QPointF(toDeviceX(x1), toDeviceY(y1)), QPointF(toDeviceX(x2), toDeviceY(y2))));
}

void PrintParagraph(PrintPage &page, const QString &text, double top, int maxLines, ParagraphVariant variant)
{
    const ParagraphGeometry g = paragraphGeometry(variant);
    page.setFont(ParagraphFontSize, false);
    const QStringList lines =
        paragraphLines(text, maxLines, g.maxWidth, [&page](const QString &t) { return page.textWidth(t); });
    for (qsizetype k = 0; k < lines.size(); ++k)
        page.text(g.left, top + ParagraphPitch * double(k), lines.at(k));
}

void drawCaseRecord(QPainter &painter, const CaseRecordText &t)
{
    PrintPage p(painter, QSizeF(182, 260), 182, 260);

    p.setFont(10, false);
    p.textRight(172, 8, QStringLiteral("青禾中医诊断系统专业版7.0"));
    p.line(25, 14, 172, 14);

    p.setFont(18, true);
    const QString title = t.unit + QStringLiteral("门诊病案");
    p.text((182 - p.textWidth(title)) / 2 + 5, 25, title);

    p.setFont(10, false);
    p.text(26, 34, QStringLiteral("病案号码：") + t.caseNumber);
    p.textRight(170, 34, QStringLiteral("诊断时间：") + t.date);

    p.rect(25, 40, 170, 230);
    p.line(38, 40, 38, 230);
    for (double y : {50.0, 98.0, 150.0, 200.0, 230.0})
        p.line(25, y, 170, y);

    // Header row.
    const double hy = 43;
    p.setFont(11, false);
    p.textCentred(25, 38, hy, QStringLiteral("姓名"));
    p.setFont(10, false);
    p.textCentred(38, 54, hy, t.name);
    p.line(54, 40, 54, 50);
    p.setFont(11, false);
    p.textCentred(58, 72, hy, QStringLiteral("性别"));
    p.line(72, 40, 72, 50);
    p.setFont(10, false);
    p.textCentred(72, 87, hy, t.sex);
    p.line(87, 40, 87, 50);
    p.setFont(11, false);
    p.textCentred(87, 101, hy, QStringLiteral("年龄"));
    p.line(101, 40, 101, 50);
    p.setFont(10, false);
    p.textCentred(101, 111, hy, t.age);
    p.line(111, 40, 111, 50);
    p.setFont(11, false);
    p.textCentred(111, 137, hy, QStringLiteral("诊断科室"));
    p.line(137, 40, 137, 50);
    p.setFont(10, false);
    p.textCentred(137, 170, hy, t.department);

    // Left-column labels, one character per line.
    p.setFont(11, false);
    const std::pair<const char16_t *, double> labels[] = {
        {u"病", 58},  {u"症", 68},  {u"症", 78},  {u"状", 88},  {u"诊", 108}, {u"断", 119}, {u"治", 129},
        {u"疗", 140}, {u"处", 168}, {u"方", 182}, {u"注", 206}, {u"意", 212}, {u"事", 218}, {u"项", 224},
    };
    for (const auto &[ch, y] : labels)
        p.textCentred(25, 38, y, QString::fromUtf16(ch));

    p.textRight(170, 233, QStringLiteral("诊断医师：") + t.doctor);
    p.text(40, 53, t.vitalSigns);

    PrintParagraph(p, t.history, 59, 6, ParagraphVariant::CaseRecord);
    PrintParagraph(p, t.plan, 100, 8, ParagraphVariant::CaseRecord);
    PrintParagraph(p, t.prescription, 152, 8, ParagraphVariant::CaseRecord);
    PrintParagraph(p, t.directions, 202, 5, ParagraphVariant::CaseRecord);
}

void drawPrescription(QPainter &painter, const PrescriptionText &t)
{
    PrintPage p(painter, QSizeF(182, 130), 182, 140);

    p.setFont(16, true);
    const QString title = t.unit + QStringLiteral("处方笺");
    p.text((182 - p.textWidth(title)) / 2 + 5, 12, title);

    p.setFont(11, false);
    p.text(26, 25, QStringLiteral("姓名：") + t.name + QStringLiteral("  性别：") + t.sex + QStringLiteral("  年龄：") + t.age);
    p.textRight(170, 25, QStringLiteral("病案号码：") + t.caseNumber);
    for (double y : {31.0, 82.0, 118.0})
        p.line(25, y, 170, y);
    p.text(25, 33, QStringLiteral("处方内容:"));
    p.text(25, 84, QStringLiteral("使用方法:"));
    p.text(25, 122, QStringLiteral("诊断科室：") + t.department + QStringLiteral("   ") + QStringLiteral("诊断医师：") + t.doctor +
                        QStringLiteral("   "));
    p.textRight(170, 122, QStringLiteral("诊断时间：") + t.date);
    const QString blank(10, u' ');
    p.text(25, 129, QStringLiteral("药费：") + blank + QStringLiteral("药剂：") + blank + QStringLiteral("核对：") + blank);

    PrintParagraph(p, t.prescription, 40, 6, ParagraphVariant::Slip);
    PrintParagraph(p, t.directions, 91, 3, ParagraphVariant::Slip);
}

// ---------------------------------------------------------------------------------------------
// Destinations

namespace {

// Writes a document to a PDF: first into a new file under a random name beside it (see
// DocumentFile), then in its place, so a failed write never leaves half a file under the
// document's name and a link planted in the folder is never written through.
QString writePdf(const QString &path, const QPageSize &size, const QString &title,
                 const std::function<void(QPainter &)> &draw)
{
    const QFileInfo info(path);
    if (!makeMissingFolders(info.absolutePath()))
        return QStringLiteral("文件夹不能建立：") + QDir::toNativeSeparators(info.absolutePath());
    const QString cannotWrite = QStringLiteral("文件不能写入：") + QDir::toNativeSeparators(path);
    DocumentFile file(path); // documents of patients: 0600
    if (!file.isOpen())
        return cannotWrite;
    {
        QPdfWriter writer(&file.device());
        writer.setResolution(PrintResolution);
        writer.setPageSize(size);
        writer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
        writer.setTitle(title);
        writer.setCreator(QStringLiteral("青禾中医诊断系统"));
        QPainter painter;
        if (!painter.begin(&writer))
            return cannotWrite;
        draw(painter);
        painter.end();
    }
    if (!file.device().flush() || file.size() <= 0)
        return cannotWrite;
    if (info.isDir())
        return QStringLiteral("文件正在使用，不能替换：") + QDir::toNativeSeparators(path);
    if (!file.commit())
        return cannotWrite;
    return {};
}

} // namespace

PrintResult printDocument(const QString &what, const QPageSize &size, const QString &pdfPath, PagePrinter *printer,
                          const std::function<void(QPainter &)> &draw)
{
    installPrintFontSubstitution();
    PrintResult result;
    if (printer) {
        result.failure = printer->printPage(size, what, draw);
        if (!result.failure.isEmpty()) {
            result.errorNumber = printerr::Printer;
            return result;
        }
        result.ok = result.printed = true;
        return result;
    }
    result.failure = writePdf(pdfPath, size, what, draw);
    if (!result.failure.isEmpty()) {
        result.errorNumber = printerr::FileIo;
        return result;
    }
    result.ok = true;
    result.pdfPath = pdfPath;
    return result;
}

QString writeCaseRecordPdf(const CaseRecordText &t, const QString &path)
{
    installPrintFontSubstitution();
    return writePdf(path, caseRecordPageSize(), QStringLiteral("门诊病案"), [&t](QPainter &p) { drawCaseRecord(p, t); });
}

QString writePrescriptionPdf(const PrescriptionText &t, const QString &path)
{
    installPrintFontSubstitution();
    return writePdf(path, prescriptionPageSize(), QStringLiteral("处方笺"), [&t](QPainter &p) { drawPrescription(p, t); });
}

QString caseRecordPdfPath(const CaseRecordText &t)
{
    return QDir(Modutarnxt::documentsPath())
        .filePath(QStringLiteral("门诊病案-") + fileNamePart(t.caseNumber) + u'-' + fileNamePart(t.date) +
                  QStringLiteral(".pdf"));
}

QString prescriptionPdfPath(const PrescriptionText &t)
{
    return QDir(Modutarnxt::documentsPath())
        .filePath(QStringLiteral("处方笺-") + fileNamePart(t.caseNumber) + u'-' + fileNamePart(t.date) +
                  QStringLiteral(".pdf"));
}

QString pdfNotice(const QString &what, const QString &pdfPath, bool opened)
{
    QString notice = QStringLiteral("未找到打印机，") + what + QStringLiteral("已保存为PDF文件：\r\n") +
                     QDir::toNativeSeparators(pdfPath);
    if (!opened)
        notice += QStringLiteral("\r\n没有可以打开PDF文件的程序，请用PDF阅读器打开它。");
    return notice;
}

PrintResult printCaseRecordPage(const CaseRecordText &t, PagePrinter *printer)
{
    return printDocument(QStringLiteral("门诊病案"), caseRecordPageSize(), caseRecordPdfPath(t), printer,
                         [&t](QPainter &p) { drawCaseRecord(p, t); });
}

PrintResult printPrescriptionPage(const PrescriptionText &t, PagePrinter *printer)
{
    return printDocument(QStringLiteral("处方笺"), prescriptionPageSize(), prescriptionPdfPath(t), printer,
                         [&t](QPainter &p) { drawPrescription(p, t); });
}

} // namespace qh::clinic
