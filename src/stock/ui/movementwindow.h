#pragma once
// What the stock-in window (Frmycrk) and the other stock-out window (FrmYcck) share: the
// three command buttons and the layout of the labelled boxes, the keys (Space is discarded, a
// key typed into the code empties the name, Enter runs the box's step), the clearing when the
// window is shown or activated from another window of the program, and the save, clear and
// exit commands. EntryWindow adds what depends on the entry: the steps of its logic.
#include "core/messages.h"
#include "core/ui/uikit.h"
#include "stock/movemententry.h"

#include <QDate>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

#include <initializer_list>
#include <utility>

class QKeyEvent;

namespace qh::stock::ui {

// Whether a task window should clear itself when it becomes active again after losing the
// activation to newActive: yes for another window of the program, no for its own message
// boxes and dialogs or another program.
bool clearsAfterLosingTo(const QWidget *window, const QWidget *newActive);
// Whether key only moves the focus to the next or previous control (Tab, Shift+Tab): boxes
// that take digits alone still let the user leave them this way.
bool movesFocus(const QKeyEvent *key);

class MovementWindow : public QWidget {
    Q_OBJECT

public:
    QPushButton *CmdSave = nullptr;
    QPushButton *CmdQcls = nullptr;
    QPushButton *CmdExit = nullptr;

    // A fresh entry: the logic's defaults in the boxes, the arrow pointer.
    virtual void Qpcls() = 0;

protected:
    explicit MovementWindow(QWidget *parent) : QWidget(parent) {}

    // A text box named name: at most limit characters (0: no limit), right-aligned if asked.
    static QLineEdit *box(QWidget *parent, const char *name, int limit = 0, bool right = false);
    // A masked date box "____-__-__".
    static QLineEdit *dateBox(QWidget *parent, const char *name);

    // Creates the buttons after the boxes (so the tab order runs through the boxes first),
    // lays the labelled boxes out four to a row with the buttons beside them, and takes the
    // keys of every box. A changed code (typed or pasted) empties the name.
    void buildForm(std::initializer_list<std::pair<const char *, QLineEdit *>> boxes, QLineEdit *code, QLineEdit *name);

    // Whether the box takes the space key (none does unless a window says so).
    virtual bool takesSpace(const QLineEdit *box) const;
    // Whether a key other than Enter is discarded in the box (none unless a window says so).
    virtual bool refusesKey(const QLineEdit *box, const QKeyEvent *key) const;
    // Enter in a box, and the save command.
    virtual void onEnter(QLineEdit *box) = 0;
    virtual void CmdSave_Click() = 0;

    // Shows the step's message (if any) with its icon and an OK button.
    static void showStep(const StepResult &r);
    // Puts the focus on the named child and selects its text as asked.
    void focusBox(const QString &name, Selection select);

    bool eventFilter(QObject *watched, QEvent *event) override;
    bool event(QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void CmdQcls_Click();
    void CmdExit_Click();

    QLineEdit *m_code = nullptr;
    QLineEdit *m_name = nullptr;
    bool m_clearOnActivate = true;
    bool m_placed = false;
};

// A movement window over its logic (StockIn, StockOut) and the texts of its boxes (Entry).
template <class Logic, class Entry>
class EntryWindow : public MovementWindow {
public:
    Logic &logic() { return m_logic; }

    // The texts of the boxes (date boxes as shown), and putting texts back into them.
    virtual Entry entry() const = 0;
    virtual void setEntry(const Entry &e) = 0;

    void Qpcls() override
    {
        setEntry(Logic::Qpcls(QDate::currentDate()));
        qh::ui::setMousePointer(qh::ui::PointerArrow);
    }

protected:
    using MovementWindow::MovementWindow;

    // Whether pending events run once the checked texts are back in the boxes.
    bool m_settleAfterCheck = false;

    void onEnter(QLineEdit *box) override
    {
        Entry e = entry();
        const StepResult r = m_logic.onEnter(box->objectName(), e, QDate::currentDate());
        setEntry(e);
        showStep(r);
        if (r.ok)
            focusBox(r.focus, r.select);
        else
            focusBox(box->objectName(), r.select);
    }

    void CmdSave_Click() override
    {
        Entry e = entry();
        const StepResult price = m_logic.jyYpjg(e);
        showStep(price);
        if (!price.focus.isEmpty())
            focusBox(price.focus, price.select);
        if (!price.ok && !msg::ask(QStringLiteral("药品购进价格大于销售价格，继续吗？"))) {
            focusBox(QStringLiteral("TxtYcsl"), Selection::All);
            return;
        }
        if (!msg::ask(QStringLiteral("保存后，输入资料不能修改,保存吗？")))
            return;
        e = entry();
        const StepResult valid = m_logic.srnrJy(e, QDate::currentDate());
        setEntry(e);
        if (m_settleAfterCheck)
            qh::ui::doEvents();
        if (!valid.ok) {
            showStep(valid);
            focusBox(valid.focus, valid.select);
            return;
        }
        qh::ui::setMousePointer(qh::ui::PointerBusy);
        const StepResult saved = m_logic.post(e);
        qh::ui::setMousePointer(qh::ui::PointerArrow);
        if (!saved.ok) {
            showStep(saved);
            return;
        }
        Qpcls();
        focusBox(QStringLiteral("Txtycbm"), Selection::None);
    }

    // Puts text into the box unless it already shows it, so an unchanged box keeps its caret
    // and selection.
    static void put(QLineEdit *box, const QString &text)
    {
        if (box->displayText() != text)
            box->setText(text);
    }

private:
    Logic m_logic;
};

} // namespace qh::stock::ui
