#pragma once
// The one way a window shows a refusal of its logic and moves the focus: the message through
// the message seam, then the control's tab page brought forward, the control focused and its
// text selected as the logic asked. A window maps its enum of controls to pointers in one
// switch (widgetOf), so a field nobody mapped fails to compile under -Wswitch, and a null
// pointer fails loudly in a test instead of doing nothing.
#include "core/refusal.h"

class QWidget;

namespace qh::ui {

// Focuses w (its tab page first) and selects its text as asked. The selection is applied again
// when the focus really arrives, for example after a message box hands the activation back, so
// typed text replaces a preset value.
void focusAndSelect(QWidget *w, Select select);

// Shows message (when not empty) with icon and title through qh::msg, then focusAndSelect.
void refuse(const QString &message, MsgIcon icon, const QString &title, QWidget *w, Select select);

template <class Field>
void refuse(const Refusal<Field> &r, QWidget *w)
{
    refuse(r.message, r.icon, r.title, w, r.select);
}

// Ends the program with a diagnostic: a window was asked for a control it does not map.
[[noreturn]] void unmappedControl(const char *window, int field);

} // namespace qh::ui
