#include "stock/reportlayout.h"
#include "db/session.h"
#include "core/spreadsheet.h"
#include "base/textutil.h"

namespace qh::stock::reportlayout {

QString amountFormat() { return QStringLiteral("##,###,##0.00_ "); }
QString dayFormat() { return QStringLiteral("yyyy-mm-dd"); }

namespace {

Step widths(std::vector<int> cols, double w) { return Step{Step::Width, std::move(cols), w, QString()}; }
Step formats(std::vector<int> cols, const QString &f) { return Step{Step::Format, std::move(cols), 0, f}; }

constexpr Kind T = Kind::Text;
constexpr Kind D = Kind::Date;
constexpr Kind A = Kind::Amount;

// Two digits or four at text[at]; -1 when they are not digits.
int digits(const QString &text, int at, int n)
{
    int v = 0;
    for (int i = at; i < at + n; ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return -1;
        v = v * 10 + (c - u'0');
    }
    return v;
}

// A stored date and time "yyyy-MM-dd HH:mm:ss" as a day and milliseconds of the day, read
// without building a date-time for every row of a long report.
bool storedDate(const QString &text, QDate &day, int &msecs)
{
    if (text.size() == 19 && text[4] == u'-' && text[7] == u'-' && text[10] == u' ' && text[13] == u':'
        && text[16] == u':') {
        const int y = digits(text, 0, 4), mo = digits(text, 5, 2), d = digits(text, 8, 2);
        const int h = digits(text, 11, 2), mi = digits(text, 14, 2), s = digits(text, 17, 2);
        day = QDate(y, mo, d);
        if (day.isValid() && h >= 0 && h < 24 && mi >= 0 && mi < 60 && s >= 0 && s < 60) {
            msecs = ((h * 60 + mi) * 60 + s) * 1000;
            return true;
        }
    }
    const auto dt = fromDbDateTime(text);
    if (!dt)
        return false;
    day = dt->date();
    msecs = dt->time().msecsSinceStartOfDay();
    return true;
}

} // namespace

const Layout &of(StockQueryType type)
{
    static const Layout ycrk{
        QStringLiteral("商品入库统计表.xls"),
        10,
        QStringLiteral("b2:k3000"),
        {QStringLiteral("药品名称"), QStringLiteral("进货时间"), QStringLiteral("货物产地"), QStringLiteral("货物来源"),
         QStringLiteral("药品批号 "), QStringLiteral("有效期限"), QStringLiteral("进货数量"), QStringLiteral("进货金额"),
         QStringLiteral("进货经办"), QStringLiteral("进货验收")},
        {T, D, T, T, T, D, A, A, T, T},
        true,
        {formats({2}, dayFormat()), widths({1, 2, 3, 4, 5, 6, 7, 8}, 10), formats({7, 8}, amountFormat()),
         widths({9, 10}, 10)}};
    static const Layout ycck{
        QStringLiteral("商品出库统计表.xls"),
        11,
        QStringLiteral("a2:j3000"),
        {QStringLiteral("病案号码"), QStringLiteral("病案序号"), QStringLiteral("出库时间"), QStringLiteral("药品名称"),
         QStringLiteral("摘要"), QStringLiteral("出库数量"), QStringLiteral("出库成本"), QStringLiteral("收款金额")},
        {T, T, D, T, T, A, A, A},
        true,
        {widths({1, 2, 3}, 10), formats({3}, dayFormat()), widths({4}, 10), widths({5}, 14), widths({6}, 10),
         formats({6, 7, 8}, amountFormat())}};
    static const Layout ckrk{
        QStringLiteral("商品入库出库统计表.xls"),
        11,
        QStringLiteral("a2:j3000"),
        {QStringLiteral("时间"), QStringLiteral("药品名称"), QStringLiteral("摘要"), QStringLiteral("入库数量"),
         QStringLiteral("入库金额"), QStringLiteral("出库数量"), QStringLiteral("出库成本"), QStringLiteral("收款金额")},
        {D, T, T, A, A, A, A, A},
        true,
        {widths({1}, 10), formats({1}, dayFormat()), widths({2, 3, 4}, 10), widths({5, 6, 7, 8}, 14),
         formats({4, 5, 6, 7, 8}, amountFormat())}};
    static const Layout ycjy{
        QStringLiteral("商品结余统计表.xls"),
        0,
        QStringLiteral("a2:d3000"),
        {QStringLiteral("药品名称"), QStringLiteral("结余数量"), QStringLiteral("结余金额")},
        {T, A, A},
        false,
        {widths({1, 2, 3}, 10), formats({2, 3}, amountFormat())}};
    switch (type) {
    case StockQueryType::Ycrk: return ycrk;
    case StockQueryType::Ycck: return ycck;
    case StockQueryType::Ckrk: return ckrk;
    case StockQueryType::Ycjy: return ycjy;
    }
    return ycrk;
}

const Layout &countSheet()
{
    static const Layout sheet{
        QStringLiteral("药品盘点表.xls"),
        0,
        QString(),
        {QStringLiteral("药品名称"), QStringLiteral("结余数量"), QStringLiteral("实余数量"), QStringLiteral("差异数量")},
        {T, A},
        false,
        {widths({1, 2, 3}, 10), formats({2, 3}, amountFormat())}};
    return sheet;
}

int write(Spreadsheet &sheet, const Layout &layout, db::Statement &rows, const std::function<void()> &afterRow)
{
    if (layout.openingFontSize > 0)
        sheet.setFont(FontName, layout.openingFontSize);
    if (!layout.clearedRange.isEmpty())
        sheet.clear(layout.clearedRange);
    for (int i = 0; i < layout.headers.size(); ++i)
        sheet.setText(2, i + 1, layout.headers[i]);
    sheet.setFont(FontName, FontSize);

    const int n = int(layout.columns.size());
    int row = FirstDataRow;
    int written = 0;
    for (; rows.next(); ++row, ++written) {
        for (int i = 0; i < n; ++i) {
            const int col = i + 1;
            if (!rows.isNull(i)) {
                switch (layout.columns[size_t(i)]) {
                case Kind::Text: sheet.setText(row, col, rows.text(i)); break;
                case Kind::Amount: sheet.setMoney(row, col, rows.money(i)); break;
                case Kind::Date: {
                    QDate day;
                    int msecs = 0;
                    if (storedDate(rows.text(i), day, msecs))
                        sheet.setDate(row, col, day, msecs);
                    else
                        sheet.setText(row, col, rows.text(i));
                    break;
                }
                }
            }
            if (layout.autoFit)
                sheet.autoFitColumn(col);
        }
        for (const Step &s : layout.perRow) {
            for (int col : s.cols) {
                if (s.what == Step::Width)
                    sheet.setColumnWidth(col, s.width);
                else
                    sheet.setNumberFormat(row, col, s.format);
            }
        }
        if (afterRow)
            afterRow();
    }
    return written;
}

} // namespace qh::stock::reportlayout
