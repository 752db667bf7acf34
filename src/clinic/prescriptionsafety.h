#pragma once
// What a doctor is told while composing a prescription: the dispensary's stock and the expiry
// of what is left beside the herb pick list, and before a visit is saved the findings of the
// prescription check (incompatible herbs, herbs forbidden in pregnancy for a woman, herbs out
// of stock, short of the dose or expired). Warnings only: nothing here blocks or changes a save.
#include "db/session.h"
#include "core/herbs.h"

#include <QDate>
#include <QHash>
#include <QStringList>

namespace qh::clinic {

// The mark of a herb in the pick list.
enum class StockMark { None, OutOfStock, Expired };

class PrescriptionSafety {
public:
    // Reads the drug names and the stock outlook of every herb once. Throws DbError.
    void load(db::Session &s, const QDate &today);
    bool loaded() const { return m_loaded; }

    StockMark mark(const QString &herb) const;
    // The text beside the pick list for a herb: "库存 120 克" and on a second line "最早有效期 2026-10-31（已过期）".
    QString stockLine(const QString &herb) const;

    // The findings for a visit about to be saved, one line each; empty when there is nothing to
    // say or the rule table is off. The patient's sex is read from the register. Throws DbError.
    QStringList findings(db::Session &s, const QString &caseNumber, const QString &prescription) const;
    // The incompatible pairs (十八反, 十九畏) the prescription holds, one line each as the save
    // check words them; none when the rule table is off. Shown while the prescription is composed.
    QStringList incompatiblePairs(const QString &prescription) const;
    // The drug list as read by load(): names and units.
    const QStringList &drugNames() const { return m_names; }
    const QHash<QString, QString> &units() const { return m_units; }

    // The question that lists the findings.
    static QString question(const QStringList &findings);

private:
    bool m_loaded = false;
    QDate m_today;
    QStringList m_names;
    QHash<QString, QString> m_units;
    QHash<QString, herbs::StockState> m_stock;
};

} // namespace qh::clinic
