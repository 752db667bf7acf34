#pragma once
// Pieces every window shares: real dialogs behind the message seam, the busy pointer, the
// button pause, one instance per window class, window placement and ending the program.
#include "core/messages.h"

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>

class QAbstractButton;
class QApplication;
class QKeyEvent;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QDialog;
class QTableView;

namespace qh::ui {

// Installs the presenters that show real message boxes and file dialogs.
void installDialogPresenters();
// The box the presenter shows for a message (its text fitted by fittedForBox: no box outgrows
// a 1024 x 768 screen, the details included when they are opened).
std::unique_ptr<QDialog> messageBox(const Message &message); // the standard message dialog
// The box the presenter shows for a text question: the prompt (fitted as a message's text), one
// line box holding the initial text and taking at most maxLength characters, OK and Cancel.
std::unique_ptr<QDialog> textBox(const TextQuestion &question);
// The text a box made by textBox holds.
QString textOfBox(const QDialog &box);

// The program's name as the splash shows it, and the title of the boxes that carry "the program's
// own title" ("青禾中医门诊系统").
QString programTitle();
// Widens (never narrows) the given columns of a grid so that their header and the text of the
// first rows (the rows a search shows first) are drawn whole, with the cells' margins.
void widenColumnsToContent(QTableView *grid, const QList<int> &columns, int rows = 128);

// Loads Qt's own Simplified Chinese texts ("是", "否", "确定"...) whatever the locale.
void installChineseTranslations(QApplication &app);

// Mouse pointer: 13 busy (arrow with hourglass), 1 arrow.
inline constexpr int PointerBusy = 13;
inline constexpr int PointerArrow = 1;
void setMousePointer(int pointer);
int mousePointer();

// The busy pointer for one scope: set when built, the previous pointer restored when destroyed
// (an inner span gives back the outer one's busy pointer; an exception leaves no hourglass).
class BusyPointer {
public:
    BusyPointer();
    ~BusyPointer();
    BusyPointer(const BusyPointer &) = delete;
    BusyPointer &operator=(const BusyPointer &) = delete;
    // Restores the previous pointer now instead of at the end of the scope.
    void reset();

private:
    int m_saved;
    bool m_active = true;
};

// The main menus switched off while a task window is open. Built before the window is
// created: when the window cannot be made it goes out of scope and gives the menus back;
// attached to the window, it gives them back exactly once, whatever closes the window (its
// exit command, its frame's close box, Ctrl+W, the program's end).
class MenusOff {
public:
    MenusOff();
    ~MenusOff();
    MenusOff(const MenusOff &) = delete;
    MenusOff &operator=(const MenusOff &) = delete;
    // Hands the duty to the window: the menus come back when it closes.
    void attachTo(QWidget *window);
    // The menus stay off after this scope and after the window (the first-user flow).
    void keepOff();

private:
    bool m_owned = true;
};
// Tells a window that holds a MenusOff to leave the menus off when it closes.
void keepMenusOffAfter(QWidget *window);

// A widget disabled for one scope (or until reset), enabled again when it still exists.
class DisabledWhile {
public:
    explicit DisabledWhile(QWidget *w);
    ~DisabledWhile();
    DisabledWhile(const DisabledWhile &) = delete;
    DisabledWhile &operator=(const DisabledWhile &) = delete;

private:
    QPointer<QWidget> m_widget;
};

// Busy pointer, disabled button, 4 seconds of elapsed time with events running, arrow, enabled.
void PauseWithButton(QAbstractButton *button, int milliseconds = 4000);

// A password box: every character is shown as "*", whatever the style draws by default.
void showAsStars(QLineEdit *box);

// Makes box at least wide enough, at its font, for its longest allowed content: a masked box
// for its mask, any other for its maximum length in wide (CJK) characters, at most
// longTextChars of them for long free texts.
void fitWidth(QLineEdit *box, int longTextChars = 10);

// A command button of a task window with its object name; Enter on it when it has the focus presses it.
QPushButton *enterButton(QWidget *parent, const char *name, const QString &caption);
// An option button with its object name.
QRadioButton *optionButton(QWidget *parent, const char *name, const QString &caption);

// Enter on the main keyboard or the keypad.
bool isEnterKey(const QKeyEvent *key);
// A typed blank: the space bar, or the ideographic space of a Chinese input method.
bool isSpaceKey(const QKeyEvent *key);

// Lets pending window events run.
void doEvents();

// left = (W - w) / 2, top = (H - h) / divisor over the given area (the screen when null).
void placeWindow(QWidget *window, int topDivisor = 3, const QWidget *over = nullptr);

// The program's end: quits the event loop. Tests read programEnded() instead.
void endProgram();
bool programEnded();
void resetProgramEnded();

// Each window class exists at most once: the same instance comes back while it lives.
template <class T, class... A> T *singleWindow(A &&...args)
{
    static QPointer<T> instance;
    if (!instance)
        instance = new T(std::forward<A>(args)...);
    return instance;
}

} // namespace qh::ui
