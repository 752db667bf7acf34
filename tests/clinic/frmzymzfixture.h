#pragma once
// The outpatient window "门诊疾病诊断" (FrmZymz) as its tests drive it: opened and active, typed
// into as a user does, its patient tree clicked, its register filled through the keyboard.
// Shared by tst_frmzymz*.cpp (register tab, diagnosis tab, the window as a whole).
#include "clinic/ui/FrmZymz.h"
#include "base/textutil.h"
#include "testsupport.h"
#include "windowdriving.h"

#include <QApplication>
#include <QComboBox>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QTreeWidget>
#include <QtTest>

namespace qh::clinic::zymztest {

using qh::clinic::ui::FrmZymz;

inline QString today() { return dateText(QDate::currentDate()); }

inline QWidget *focused() { return QApplication::focusWidget(); }

// The control that has the focus, with an editable combo box's line edit counted as the box.
inline QString focusName()
{
    QWidget *f = focused();
    if (!f)
        return {};
    if (auto *combo = qobject_cast<QComboBox *>(f->parentWidget()); combo && combo->lineEdit() == f)
        return combo->objectName();
    return f->objectName();
}

inline void enter(QWidget *w) { QTest::keyClick(w, Qt::Key_Return); }

// Types as a user does: ASCII characters as key presses, Chinese text committed by the input
// method (which sends no key presses).
inline void type(QWidget *w, const QString &text)
{
    QWidget *target = w;
    if (auto *combo = qobject_cast<QComboBox *>(w); combo && combo->lineEdit())
        target = combo->lineEdit();
    for (QChar c : text) {
        if (c.unicode() < 128) {
            QTest::keyClicks(w, QString(c));
        } else {
            QInputMethodEvent commit;
            commit.setCommitString(QString(c));
            QApplication::sendEvent(target, &commit);
        }
    }
}

inline QTreeWidgetItem *node(FrmZymz *w, const QString &number)
{
    QTreeWidgetItem *root = w->TreeView1->topLevelItem(0);
    for (int i = 0; i < root->childCount(); ++i)
        if (root->child(i)->text(0) == number)
            return root->child(i);
    return nullptr;
}

inline void clickNode(FrmZymz *w, QTreeWidgetItem *item)
{
    w->TreeView1->scrollToItem(item);
    QTest::mouseClick(w->TreeView1->viewport(), Qt::LeftButton, {}, w->TreeView1->visualItemRect(item).center());
}

inline void doubleClickItem(QListWidget *list, QListWidgetItem *item)
{
    list->scrollToItem(item);
    const QPoint at = list->visualItemRect(item).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
}

inline void chooseByKeys(QComboBox *box, const QString &text)
{
    box->setFocus();
    const int target = box->findText(text);
    QVERIFY(target >= 0);
    while (box->currentIndex() != target)
        QTest::keyClick(box, box->currentIndex() < target ? Qt::Key_Down : Qt::Key_Up);
}

// A new window, shown and active.
inline FrmZymz *open()
{
    auto *w = new FrmZymz;
    test::showActive(w);
    return w;
}

// Fills the register of a new patient through the keyboard, as a clerk does.
inline void typeRegister(FrmZymz *w, const QString &number, test::RecordingMessages &rec)
{
    w->TxtBlbh->setFocus();
    type(w->TxtBlbh, number);
    enter(w->TxtBlbh);
    type(w->TxtHzxm, QStringLiteral("张三"));
    enter(w->TxtHzxm);
    chooseByKeys(w->CboHzxb, QStringLiteral("女"));
    enter(w->CboHzxb);
    chooseByKeys(w->CboHzag, QStringLiteral("3"));
    enter(w->CboHzag);
    chooseByKeys(w->CboHyqk, QStringLiteral("未婚"));
    enter(w->CboHyqk);
    QCOMPARE(focusName(), QStringLiteral("MaskCzsj"));
    type(w->MaskCzsj, QStringLiteral("20240301"));
    enter(w->MaskCzsj);
    QCOMPARE(focusName(), QStringLiteral("CboHzzy"));
    type(w->CboHzzy, QStringLiteral("教师"));
    enter(w->CboHzzy);
    type(w->TxtHzdz, QStringLiteral("青禾路1号"));
    enter(w->TxtHzdz);
    type(w->TxtHzdw, QStringLiteral("第一中学"));
    enter(w->TxtHzdw);
    type(w->TxtMail, QStringLiteral("zs@example.com"));
    enter(w->TxtMail);
    type(w->TxtTele, QStringLiteral("12345678"));
    enter(w->TxtTele);
    QCOMPARE(focusName(), QStringLiteral("CmdHzbc"));
    QVERIFY2(rec.shown.empty(), qPrintable(rec.texts().join(u'|')));
}

} // namespace qh::clinic::zymztest
