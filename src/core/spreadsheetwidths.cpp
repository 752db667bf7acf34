// Column widths of qh::Spreadsheet: set, or fitted to the widest content, measured in character
// places of the standard font (East Asian and full-width characters take two) when the file is
// written; the rows a streamed sheet handed over count by the widest places kept for them.
#include "core/spreadsheet.h"

#include <cmath>

namespace qh {

namespace {

// Characters of East Asian scripts and full-width forms take two character places.
int characterPlaces(const QString &text)
{
    int n = 0;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        const bool wide = (u >= 0x1100 && u <= 0x115F) || (u >= 0x2E80 && u <= 0xA4CF) || (u >= 0xAC00 && u <= 0xD7A3)
                          || (u >= 0xF900 && u <= 0xFAFF) || (u >= 0xFE30 && u <= 0xFE4F) || (u >= 0xFF00 && u <= 0xFF60)
                          || (u >= 0xFFE0 && u <= 0xFFE6) || c.isSurrogate();
        n += wide ? 2 : 1;
    }
    return n;
}

// Roughly the text a number shows under a format, for measuring a column.
QString shownNumber(double v, const QString &format)
{
    if (format.contains(u'y', Qt::CaseInsensitive) || format.contains(u'd', Qt::CaseInsensitive))
        return QString(format.size(), u'0');
    if (format.isEmpty())
        return QString::number(v, 'g', 11);
    int decimals = 0;
    const int dot = format.indexOf(u'.');
    if (dot >= 0)
        for (int i = dot + 1; i < format.size() && (format[i] == u'0' || format[i] == u'#'); ++i)
            ++decimals;
    QString s = QString::number(v, 'f', decimals);
    if (format.contains(u',')) {
        const int end = s.indexOf(u'.') >= 0 ? s.indexOf(u'.') : s.size();
        const int start = s.startsWith(u'-') ? 1 : 0;
        for (int i = end - 3; i > start; i -= 3)
            s.insert(i, u',');
    }
    if (format.endsWith(QStringLiteral("_ ")))
        s += u' ';
    return s;
}

// Character places of a number under a format with the given decimals, grouping and padding,
// without building the text.
int numberPlaces(double v, const Spreadsheet::FormatInfo &f)
{
    if (f.date)
        return int(f.code.size());
    if (f.general || !std::isfinite(v) || std::fabs(v) >= 1e15)
        return characterPlaces(shownNumber(v, f.code));
    double scale = 1;
    for (int i = 0; i < f.decimals; ++i)
        scale *= 10;
    const qint64 scaled = qint64(std::llround(std::fabs(v) * scale));
    const bool negative = v < 0 && scaled != 0;
    qint64 whole = scaled / qint64(scale);
    int digits = 1;
    while (whole >= 10) {
        whole /= 10;
        ++digits;
    }
    int places = digits + (negative ? 1 : 0);
    if (f.grouped)
        places += (digits - 1) / 3;
    if (f.decimals > 0)
        places += f.decimals + 1;
    if (f.padded)
        ++places;
    return places;
}

} // namespace

Spreadsheet::Column &Spreadsheet::column(int col)
{
    if (col > int(m_columns.size()))
        m_columns.resize(size_t(col));
    Column &c = m_columns[size_t(col - 1)];
    c.used = true;
    return c;
}

void Spreadsheet::setColumnWidth(int col, double width)
{
    checkCell(1, col);
    if (width < 0 || width > 255)
        throw DbError(err::Misuse, QStringLiteral("列宽 %1 无效。").arg(width));
    Column &c = column(col);
    c.width = width;
    c.autoFit = false;
}

void Spreadsheet::autoFitColumn(int col)
{
    checkCell(1, col);
    Column &c = column(col);
    c.autoFit = true;
    c.width.reset();
}

int Spreadsheet::cellPlaces(const Cell &c) const
{
    if (const auto *t = std::get_if<QString>(&c.value))
        return characterPlaces(*t);
    if (const auto *d = std::get_if<double>(&c.value))
        return numberPlaces(*d, m_formats[size_t(c.format)]);
    return 0;
}

double Spreadsheet::measuredWidth(int col) const
{
    int places = m_flushedPlaces.value(col, 0);
    for (const Row &r : m_rows)
        for (const Cell &c : r.cells)
            if (c.col == col)
                places = qMax(places, cellPlaces(c));
    if (places == 0)
        return -1;
    return qMin(255.0, places * (m_fontSize / 11.0) + 0.75);
}

std::optional<double> Spreadsheet::columnWidth(int col) const
{
    if (col < 1 || col > int(m_columns.size()) || !m_columns[size_t(col - 1)].used)
        return std::nullopt;
    const Column *it = &m_columns[size_t(col - 1)];
    if (it->autoFit) {
        const double w = measuredWidth(col);
        return w < 0 ? std::nullopt : std::optional<double>(w);
    }
    return it->width;
}

} // namespace qh
