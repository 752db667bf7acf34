#pragma once
// The result of an entry check: passed, or the message to show and the control to focus.
#include <QString>

namespace qh::clinic {

// What the window selects in the focused control after a failed check.
enum class Selection {
    None,
    All,       // the whole text
    FirstChar, // the first character
    FirstTwo,  // the first two characters
};

struct Check {
    bool ok = true;
    QString message;   // shown with the information icon and an empty title
    QString focus;     // object name of the control that receives the focus
    Selection select = Selection::None;

    static Check pass() { return {}; }
    static Check fail(const QString &message, const QString &focus, Selection select = Selection::None)
    {
        return {false, message, focus, select};
    }
};

} // namespace qh::clinic
