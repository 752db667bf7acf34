#pragma once
// Reads a written .xlsx back for the tests: the cells of the first sheet, their number formats
// and fonts, and the column widths. The parts are taken out with "unzip -p".
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QVector>
#include <QXmlStreamReader>
#include <optional>

namespace qh::test {

struct XlsxCell {
    QString type;  // "s" shared string, "inlineStr", "n" or "" number
    QString value; // the text, or the number as written
    int style = 0;
};

struct XlsxSheet {
    bool ok = false;
    QMap<QString, XlsxCell> cells; // by address "A2"
    QStringList strings;
    QMap<int, QString> numFmts;       // id -> code
    QVector<int> xfNumFmt, xfFont;    // per cell style
    QVector<QPair<QString, double>> fonts;
    struct Col {
        int min, max;
        double width;
    };
    QVector<Col> cols;

    bool has(const QString &ref) const { return cells.contains(ref); }
    QString text(const QString &ref) const { return cells.value(ref).value; }
    bool isNumber(const QString &ref) const
    {
        const auto c = cells.value(ref);
        return cells.contains(ref) && (c.type.isEmpty() || c.type == QLatin1String("n")) && !c.value.isEmpty();
    }
    double number(const QString &ref) const { return cells.value(ref).value.toDouble(); }
    QString numberFormat(const QString &ref) const
    {
        const int s = cells.value(ref).style;
        const int id = s < xfNumFmt.size() ? xfNumFmt[s] : 0;
        if (numFmts.contains(id))
            return numFmts.value(id);
        return id == 0 ? QStringLiteral("General") : QStringLiteral("builtin:%1").arg(id);
    }
    QPair<QString, double> font(const QString &ref) const
    {
        const int s = cells.value(ref).style;
        const int f = s < xfFont.size() ? xfFont[s] : 0;
        return f < fonts.size() ? fonts[f] : QPair<QString, double>{};
    }
    std::optional<double> width(int col) const
    {
        for (const Col &c : cols)
            if (col >= c.min && col <= c.max)
                return c.width;
        return std::nullopt;
    }
    int lastRow() const
    {
        int r = 0;
        for (auto it = cells.cbegin(); it != cells.cend(); ++it) {
            QString digits = it.key();
            digits.remove(QRegularExpression(QStringLiteral("[A-Z]")));
            r = qMax(r, digits.toInt());
        }
        return r;
    }
};

inline QByteArray unzipPart(const QString &file, const QString &part)
{
    QProcess p;
    p.start(QStringLiteral("unzip"), {QStringLiteral("-p"), file, part});
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return {};
    return p.readAllStandardOutput();
}

inline XlsxSheet readXlsx(const QString &file)
{
    XlsxSheet sheet;
    const QByteArray sheetXml = unzipPart(file, QStringLiteral("xl/worksheets/sheet1.xml"));
    const QByteArray stylesXml = unzipPart(file, QStringLiteral("xl/styles.xml"));
    const QByteArray stringsXml = unzipPart(file, QStringLiteral("xl/sharedStrings.xml"));
    if (sheetXml.isEmpty() || stylesXml.isEmpty())
        return sheet;

    {
        QXmlStreamReader x(stringsXml);
        QString current;
        bool inSi = false;
        while (!x.atEnd()) {
            x.readNext();
            if (x.isStartElement() && x.name() == QLatin1String("si")) {
                inSi = true;
                current.clear();
            } else if (x.isStartElement() && x.name() == QLatin1String("t") && inSi) {
                current += x.readElementText();
            } else if (x.isEndElement() && x.name() == QLatin1String("si")) {
                sheet.strings << current;
                inSi = false;
            }
        }
    }
    {
        QXmlStreamReader x(stylesXml);
        enum { None, Fonts, CellXfs } section = None;
        QString fontName;
        double fontSize = 0;
        while (!x.atEnd()) {
            x.readNext();
            const auto n = x.name();
            if (x.isStartElement()) {
                if (n == QLatin1String("numFmt"))
                    sheet.numFmts.insert(x.attributes().value(QLatin1String("numFmtId")).toInt(),
                                         x.attributes().value(QLatin1String("formatCode")).toString());
                else if (n == QLatin1String("fonts"))
                    section = Fonts;
                else if (n == QLatin1String("cellXfs"))
                    section = CellXfs;
                else if (section == Fonts && n == QLatin1String("font")) {
                    fontName.clear();
                    fontSize = 0;
                } else if (section == Fonts && n == QLatin1String("sz"))
                    fontSize = x.attributes().value(QLatin1String("val")).toDouble();
                else if (section == Fonts && n == QLatin1String("name"))
                    fontName = x.attributes().value(QLatin1String("val")).toString();
                else if (section == CellXfs && n == QLatin1String("xf")) {
                    sheet.xfNumFmt << x.attributes().value(QLatin1String("numFmtId")).toInt();
                    sheet.xfFont << x.attributes().value(QLatin1String("fontId")).toInt();
                }
            } else if (x.isEndElement()) {
                if (section == Fonts && n == QLatin1String("font"))
                    sheet.fonts << qMakePair(fontName, fontSize);
                else if (n == QLatin1String("fonts") || n == QLatin1String("cellXfs"))
                    section = None;
            }
        }
    }
    {
        QXmlStreamReader x(sheetXml);
        QString ref;
        XlsxCell cell;
        while (!x.atEnd()) {
            x.readNext();
            if (x.isStartElement() && x.name() == QLatin1String("col")) {
                const auto a = x.attributes();
                sheet.cols.push_back({a.value(QLatin1String("min")).toInt(), a.value(QLatin1String("max")).toInt(),
                                      a.value(QLatin1String("width")).toDouble()});
            } else if (x.isStartElement() && x.name() == QLatin1String("c")) {
                const auto a = x.attributes();
                ref = a.value(QLatin1String("r")).toString();
                cell = XlsxCell{a.value(QLatin1String("t")).toString(), QString(), a.value(QLatin1String("s")).toInt()};
            } else if (x.isStartElement() && (x.name() == QLatin1String("v") || x.name() == QLatin1String("t"))) {
                cell.value += x.readElementText();
            } else if (x.isEndElement() && x.name() == QLatin1String("c")) {
                if (cell.type == QLatin1String("s"))
                    cell.value = sheet.strings.value(cell.value.toInt());
                sheet.cells.insert(ref, cell);
            }
        }
    }
    sheet.ok = true;
    return sheet;
}

} // namespace qh::test
