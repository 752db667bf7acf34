#include "core/ui/refuse.h"

#include <QAbstractSpinBox>
#include <QComboBox>
#include <QEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTextEdit>

namespace qh::ui {

namespace {

void applySelection(QWidget *w, Select select)
{
    QLineEdit *line = qobject_cast<QLineEdit *>(w);
    if (!line) {
        if (auto *combo = qobject_cast<QComboBox *>(w); combo && combo->isEditable())
            line = combo->lineEdit();
    }
    if (line) {
        switch (select.kind) {
        case Select::None: break;
        case Select::All: line->selectAll(); break;
        case Select::Head: line->setSelection(0, select.count); break;
        case Select::End: line->end(false); break;
        }
        return;
    }
    if (auto *plain = qobject_cast<QPlainTextEdit *>(w)) {
        if (select.kind == Select::All)
            plain->selectAll();
        else if (select.kind == Select::End)
            plain->moveCursor(QTextCursor::End);
        return;
    }
    if (auto *text = qobject_cast<QTextEdit *>(w)) {
        if (select.kind == Select::All)
            text->selectAll();
        else if (select.kind == Select::End)
            text->moveCursor(QTextCursor::End);
        return;
    }
    if (auto *spin = qobject_cast<QAbstractSpinBox *>(w); spin && select.kind == Select::All)
        spin->selectAll();
}

// Applies the selection once more when the focus arrives (a focus set while a message box
// is up is delivered only when the box closes), then removes itself.
class SelectOnFocus : public QObject {
public:
    SelectOnFocus(QWidget *w, Select select) : QObject(w), m_select(select) { w->installEventFilter(this); }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::FocusIn) {
            auto *w = static_cast<QWidget *>(watched);
            w->removeEventFilter(this);
            // After the box's own focus-in handling, which may move the caret.
            QMetaObject::invokeMethod(
                w, [w = QPointer<QWidget>(w), s = m_select] { if (w && w->hasFocus()) applySelection(w, s); },
                Qt::QueuedConnection);
            deleteLater();
        } else if (event->type() == QEvent::FocusOut || event->type() == QEvent::Hide) {
            watched->removeEventFilter(this);
            deleteLater();
        }
        return false;
    }

private:
    Select m_select;
};

void bringPageForward(QWidget *w)
{
    for (QWidget *child = w, *parent = w->parentWidget(); parent; child = parent, parent = parent->parentWidget()) {
        auto *stack = qobject_cast<QStackedWidget *>(parent);
        if (!stack)
            continue;
        if (auto *tabs = qobject_cast<QTabWidget *>(stack->parentWidget())) {
            const int index = tabs->indexOf(child);
            if (index >= 0 && tabs->currentIndex() != index)
                tabs->setCurrentIndex(index);
        }
    }
}

} // namespace

void focusAndSelect(QWidget *w, Select select)
{
    if (!w)
        return;
    bringPageForward(w);
    w->setFocus(Qt::OtherFocusReason);
    applySelection(w, select);
    if (!w->hasFocus() && select.kind != Select::None)
        new SelectOnFocus(w, select);
}

void refuse(const QString &message, MsgIcon icon, const QString &title, QWidget *w, Select select)
{
    if (!message.isEmpty())
        msg::show(icon, MsgButtons::Ok, message, title);
    focusAndSelect(w, select);
}

void unmappedControl(const char *window, int field)
{
    qFatal("%s: control %d is not mapped to a widget", window, field);
}

} // namespace qh::ui
