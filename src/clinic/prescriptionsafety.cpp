#include "clinic/prescriptionsafety.h"
#include "base/textutil.h"
#include "stock/stockoutlook.h"


namespace qh::clinic {


void PrescriptionSafety::load(db::Session &s, const QDate &today)
{
    m_names.clear();
    m_units.clear();
    auto q = s.query(QStringLiteral("select ycmc, jldw from ycjg"));
    while (q.next()) {
        m_names << q.text(0);
        m_units.insert(q.text(0), trimSpaces(q.text(1)));
    }
    m_stock = stock::stockOutlook(s, today);
    m_today = today;
    m_loaded = true;
}

StockMark PrescriptionSafety::mark(const QString &herb) const
{
    if (!m_loaded)
        return StockMark::None;
    const herbs::StockState st = m_stock.value(trimSpaces(herb));
    if (!st.known || st.onHand <= Money())
        return StockMark::OutOfStock;
    return st.expired ? StockMark::Expired : StockMark::None;
}

QString PrescriptionSafety::stockLine(const QString &herb) const
{
    const QString name = trimSpaces(herb);
    if (!m_loaded || name.isEmpty())
        return {};
    const herbs::StockState st = m_stock.value(name);
    if (!st.known || st.onHand <= Money())
        return QStringLiteral("%1：无库存").arg(name);
    QString line = QStringLiteral("%1：库存 %2 %3").arg(name, st.onHand.toPlain(), m_units.value(name));
    if (st.expiry)
        line += QStringLiteral("\n最早有效期 %1").arg(dateText(*st.expiry));
    if (st.expired)
        line += QStringLiteral("（已过期）");
    return line;
}

QStringList PrescriptionSafety::findings(db::Session &s, const QString &caseNumber, const QString &prescription) const
{
    const herbs::RuleBook *book = herbs::programRules();
    if (!book)
        return {};
    herbs::CheckInput in;
    in.prescription = prescription;
    in.today = m_today.isValid() ? m_today : QDate::currentDate();
    in.drugNames = m_names;
    in.stock = m_stock;
    // A clinic that keeps no stock in the program (no balance row at all) hears nothing of stock.
    in.checkStock = m_loaded && !m_stock.isEmpty();
    auto q = s.query(QStringLiteral("select blxb from hzblzl where blbm = ?"), trimSpaces(caseNumber));
    in.female = q.next() && trimSpaces(q.text(0)) == QStringLiteral("女");
    return herbs::check(*book, in);
}

QStringList PrescriptionSafety::incompatiblePairs(const QString &prescription) const
{
    const herbs::RuleBook *book = herbs::programRules();
    if (!book || trimSpaces(prescription).isEmpty())
        return {};
    return herbs::incompatibilities(*book, prescription, m_names);
}

QString PrescriptionSafety::question(const QStringList &findings)
{
    return QStringLiteral("处方检查发现：\r\n") + findings.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n\r\n仍然保存吗？");
}

} // namespace qh::clinic
