#pragma once
// Charging a saved prescription and dispensing its herbs: find the visit's diagnosis, take
// the herbs line by line (checked against the drug list, the stock and the prescription
// text), price them, and post all lines as issues from stock in one transaction.
#include "db/session.h"
#include "base/money.h"
#include "core/refusal.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>
#include <variant>

namespace qh::stock {

// The controls of the charging window the checks name. A refusal that clears others empties
// the code and name boxes.
enum class ChargeField { TxtBlhm, CboZdks, MasZdsj, Txtycbm, Txtycmc, TxtYcjl };
using ChargeRefusal = Refusal<ChargeField>;
using ChargeVerdict = Verdict<ChargeField>;

// The visit found by the lookup: its key as found, and what the window uses of it. Lines are
// posted against this key, not against what the boxes hold later.
struct ChargeDiagnosis {
    QString blbm;         // case number (trimmed)
    QString blkb;         // department (trimmed)
    QDate day;            // diagnosis day
    QString prescription; // blcf
    QString doctor;       // zdys
};

struct ChargeDrug {
    QString code;
    QString name;
    Money price;
};

struct ChargeLine {
    QString code;
    QString name;
    Money dose;
    Money price;
    Money amount;
};

class Charging {
public:
    // The departments of all diagnoses, each once; empty when no diagnosis exists.
    static QStringList departments(db::Session &s);

    // Enter in the case number box: passes when it is not empty (nothing is shown otherwise).
    static ChargeVerdict caseNoEntered(const QString &caseNo);
    // Enter in the department list: passes when a department and a case number are given.
    static ChargeVerdict departmentChosen(const QString &caseNo, const QString &department);

    // The diagnosis of a visit, or the refusal of the first check that fails.
    static std::variant<ChargeRefusal, ChargeDiagnosis> findDiagnosis(db::Session &s, const QString &dateText,
                                                                      const QString &caseNo, const QString &department);

    static std::optional<ChargeDrug> drugByCode(db::Session &s, const QString &code);
    static std::optional<ChargeDrug> drugByName(db::Session &s, const QString &name);

    // A dose line for the herb, or the refusal of the first check that fails.
    static std::variant<ChargeRefusal, ChargeLine> addLine(db::Session &s, const QString &code, const QString &name,
                                                           const QString &doseText, const QString &prescription,
                                                           const QList<ChargeLine> &lines);

    // Unit price × dose, rounded to hundredths, ties to even.
    static Money lineAmount(Money price, Money dose);
    static Money total(const QList<ChargeLine> &lines);

    // Posts every line as an issue marked with the case and department of the visit found, its
    // doctor as handler, all or nothing. Each line's balance is checked again inside the
    // transaction; when one no longer suffices nothing is posted and InsufficientStock names
    // the herb. Throws DbError otherwise.
    static void post(db::Session &s, const QList<ChargeLine> &lines, const ChargeDiagnosis &visit, const QString &user,
                     const QDate &today);
};

class InsufficientStock : public DbError {
public:
    explicit InsufficientStock(const QString &herb);
    QString herb;
};

} // namespace qh::stock
