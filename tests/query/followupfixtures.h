#pragma once
// Patients, visits and follow-ups of the worklist tests, written as the program stores them.
#include "db/session.h"

#include <QDateTime>
#include <QString>

namespace qh::query::followup {

inline void addPatient(db::Session &s, const QString &blbm, const QString &name, const QString &sex = QStringLiteral("女"),
                       int age = 40, const QString &phone = QStringLiteral("13900001111"))
{
    s.exec(QStringLiteral("insert into hzblzl(blbm, blxm, blxb, blnl, blhf, bldz, blte, blsj, bljz) "
                          "values(?, ?, ?, ?, '已婚', '人民路1号', ?, ?, ?)"),
           blbm, name, sex, age, phone, QDate(2020, 1, 1), QDate(2020, 1, 1));
}

// A visit of the case (no follow-up).
inline void addVisit(db::Session &s, const QString &blbm, const QString &dept, const QDateTime &when,
                     const QString &plan = QStringLiteral("辛温解表"), const QString &doctor = QStringLiteral("李明德"))
{
    s.exec(QStringLiteral("insert into hzzdzl(blbm, blkb, blsj, bzxy, bzmb, bzhx, bzqk, blfa, blcf, blsx, fzsj, zdys) "
                          "values(?, ?, ?, '120/80', 72, 18, '咳嗽', ?, '麻黄9克', '水煎服', ?, ?)"),
           blbm, dept, when, plan, when.date(), doctor);
}

// A visit that asked for a follow-up on the due day, and its follow-up row.
inline void addFollowUp(db::Session &s, const QString &blbm, const QString &dept, const QDateTime &when, const QDate &due,
                        const QString &plan = QStringLiteral("辛温解表"), const QString &doctor = QStringLiteral("李明德"))
{
    addVisit(s, blbm, dept, when, plan, doctor);
    s.exec(QStringLiteral("update hzzdzl set fzsj = ? where blbm = ? and blkb = ? and blsj = ?"), due, blbm, dept, when);
    s.exec(QStringLiteral("insert into fzzl(blbm, blkb, blsj, blfz, zdys) values(?, ?, ?, ?, ?)"), blbm, dept, when, due,
           doctor);
}

} // namespace qh::query::followup
