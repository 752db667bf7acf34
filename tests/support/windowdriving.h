#pragma once
// Driving a window in a test as a user does: the window shown and active, text typed key by key.
#include <QApplication>
#include <QKeyEvent>
#include <QString>
#include <QWidget>
#include <QtTest>

namespace qh::test {

// Shows the window and waits until it is the active one; a platform that never says so gets a
// warning, and the test goes on.
inline void showActive(QWidget *w)
{
    w->show();
    QApplication::setActiveWindow(w);
    if (!QTest::qWaitForWindowActive(w))
        qWarning("window not active");
}

// Types text as key presses into target; characters beyond ASCII come as the text of a key
// event, as an input method delivers them.
inline void typeKeys(QWidget *target, const QString &text)
{
    for (QChar c : text) {
        if (c.unicode() < 0x80) {
            QTest::keyClick(target, char(c.unicode()));
        } else {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QApplication::sendEvent(target, &press);
            QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QApplication::sendEvent(target, &release);
        }
    }
}

} // namespace qh::test
