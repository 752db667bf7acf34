#pragma once
// What the stock-in window (Frmycrk) and the other stock-out window (FrmYcck) share: the
// three command buttons and the layout of the labelled boxes, the keys (Space is discarded, a
// key typed into the code empties the name, Enter runs the box's row of the Enter chain), the
// clearing when the window is shown or activated from another window of the program, and the
// save, clear and exit commands. The entry's own steps come from its logic through
// EntryLogic (stock/movemententry.h); each window maps the logic's controls to its widgets in
// one switch (widgetOf).
#include "stock/movemententry.h"

#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

#include <initializer_list>
#include <memory>
#include <tuple>
#include <vector>

class QKeyEvent;

namespace qh::stock::ui {

class DrugCompleter;

// Whether a task window should clear itself when it becomes active again after losing the
// activation to newActive: yes for another window of the program, no for its own message
// boxes and dialogs or another program.
bool clearsAfterLosingTo(const QWidget *window, const QWidget *newActive);

// The rule above as the state a task window keeps: fed every event of the window, it says
// when the window's activation is a return from another window of the program.
class ClearOnReturn {
public:
    explicit ClearOnReturn(bool armed) : m_armed(armed) {}
    // True on an activation that should start a fresh entry; remembers each deactivation.
    bool onEvent(const QWidget *window, const QEvent *event);
    void set(bool armed) { m_armed = armed; }

private:
    bool m_armed;
};
// Whether key only moves the focus to the next or previous control (Tab, Shift+Tab): boxes
// that take digits alone still let the user leave them this way.
bool movesFocus(const QKeyEvent *key);

class MovementWindow : public QWidget {
    Q_OBJECT

public:
    ~MovementWindow() override;

    QPushButton *CmdSave = nullptr;
    QPushButton *CmdQcls = nullptr;
    QPushButton *CmdExit = nullptr;

    // A fresh entry: the logic's defaults in the boxes, the arrow pointer.
    void Qpcls();
    // The widget of a control the logic names.
    virtual QWidget *widgetOf(StockField field) const = 0;
    // The completion list of the code box (drugs found by their names' pinyin).
    DrugCompleter *codeCompleter() const { return m_completer; }

protected:
    MovementWindow(QWidget *parent, std::unique_ptr<EntryLogic> logic);
    EntryLogic &entryLogic() const { return *m_logic; }

    // A text box named name: at most limit characters (0: no limit), right-aligned if asked.
    static QLineEdit *box(QWidget *parent, const char *name, int limit = 0, bool right = false);
    // A masked date box "____-__-__".
    static QLineEdit *dateBox(QWidget *parent, const char *name);

    // Creates the buttons after the boxes (so the tab order runs through the boxes first),
    // lays the labelled boxes out four to a row with the buttons beside them, takes the keys
    // of every box and builds the Enter table from the logic's chain. A changed code (typed or
    // pasted) empties the name. The code box gets the completion list (drugcompleter.h).
    void buildForm(std::initializer_list<std::pair<const char *, QLineEdit *>> boxes, QLineEdit *code, QLineEdit *name);

    // Whether the box takes the space key (none does unless a window says so).
    virtual bool takesSpace(const QLineEdit *box) const;
    // Whether a key other than Enter is discarded in the box (none unless a window says so).
    virtual bool refusesKey(const QLineEdit *box, const QKeyEvent *key) const;

    bool eventFilter(QObject *watched, QEvent *event) override;
    bool event(QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    // One row of the Enter table: Enter in box runs the logic's check of field; when it
    // passes the focus moves to next, its text selected as given.
    struct EnterStep {
        QLineEdit *box;
        StockField field;
        QWidget *next;
        Select select;
    };

    // Moves the texts of the boxes into the logic's entry, and the entry's texts back.
    void readBoxes();
    void showEntry();
    void refuse(const StockRefusal &r);
    void onEnter(const EnterStep &step);
    void CmdSave_Click();
    void CmdQcls_Click();
    void CmdExit_Click();

    std::unique_ptr<EntryLogic> m_logic;
    std::vector<EnterStep> m_enter;
    QLineEdit *m_code = nullptr;
    QLineEdit *m_name = nullptr;
    DrugCompleter *m_completer = nullptr;
    ClearOnReturn m_clearOnActivate{true};
    bool m_placed = false;
};

} // namespace qh::stock::ui
