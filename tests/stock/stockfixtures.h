#pragma once
// Setup shared by the stock-in and stock-out tests (logic and windows).
#include "base/money.h"
#include "stock/movemententry.h"
#include "testsupport.h"

#include <QApplication>
#include <QDate>
#include <QInputMethodEvent>
#include <QtTest>

namespace stockfixtures {

// The fixed "today" of the logic tests.
inline const QDate Today(2024, 6, 15);

// The control name of a stock entry field ("TxtYcsl").
inline QString fieldName(qh::stock::StockField f)
{
    using F = qh::stock::StockField;
    switch (f) {
    case F::Txtycbm: return QStringLiteral("Txtycbm");
    case F::Txtycmc: return QStringLiteral("Txtycmc");
    case F::TxtYcph: return QStringLiteral("TxtYcph");
    case F::TxtYsqx: return QStringLiteral("TxtYsqx");
    case F::Txthwcd: return QStringLiteral("Txthwcd");
    case F::TxtPjhm: return QStringLiteral("TxtPjhm");
    case F::TxtYcsl: return QStringLiteral("TxtYcsl");
    case F::TxtYcje: return QStringLiteral("TxtYcje");
    case F::Txthwll: return QStringLiteral("Txthwll");
    case F::TxtGjsj: return QStringLiteral("TxtGjsj");
    case F::Txtjbxm: return QStringLiteral("Txtjbxm");
    case F::CmdSave: return QStringLiteral("CmdSave");
    }
    return {};
}

inline qh::Money m(const char *text) { return *qh::Money::parse(QString::fromUtf8(text)); }

// A clinic with 甘草 (GC, 5.00) and onHand in stock.
inline void stockUp(qh::test::TempClinic &clinic, const char *onHand = "2000")
{
    clinic.addDrug(QStringLiteral("GC"), QStringLiteral("甘草"), QStringLiteral("5.00"));
    clinic.open().exec(QStringLiteral("insert into ycyltb(ycbm, rksl, rkje, ycyl) values('甘草', ?, ?, ?)"), m(onHand),
                       m("300"), m(onHand));
}

inline void enter(QWidget *w) { QTest::keyClick(w, Qt::Key_Return); }

// Chinese text arrives from the input method as a committed string.
inline void typeChinese(QWidget *w, const QString &text)
{
    QInputMethodEvent ev;
    ev.setCommitString(text);
    QApplication::sendEvent(w, &ev);
}

// Shows the window and waits until it is the active one.
inline void activate(QWidget *w)
{
    w->show();
    QApplication::setActiveWindow(w);
    QVERIFY(QTest::qWaitForWindowActive(w));
}

} // namespace stockfixtures
