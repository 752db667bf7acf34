#pragma once
// Pieces every window shares: real dialogs behind the message seam, the busy pointer, the
// button pause, one instance per window class, window placement and ending the program.
#include "core/messages.h"

#include <QPointer>
#include <QWidget>
#include <functional>

class QAbstractButton;
class QApplication;
class QKeyEvent;
class QLineEdit;

namespace qh::ui {

// Installs the presenters that show real message boxes and file dialogs.
void installDialogPresenters();
// Loads Qt's own Simplified Chinese texts ("是", "否", "确定"...) whatever the locale.
void installChineseTranslations(QApplication &app);

// Mouse pointer: 13 busy (arrow with hourglass), 1 arrow.
inline constexpr int PointerBusy = 13;
inline constexpr int PointerArrow = 1;
void setMousePointer(int pointer);
int mousePointer();

// Busy pointer, disabled button, 4 seconds of elapsed time with events running, arrow, enabled.
void PauseWithButton(QAbstractButton *button, int milliseconds = 4000);

// A password box: every character is shown as "*", whatever the style draws by default.
void showAsStars(QLineEdit *box);

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
