#pragma once
// The one result of a logic check that refuses: the message, the control that receives the
// focus (named by the window's own enum of controls, never by an object-name string), how its
// text is selected, and whether other boxes are cleared. Logic returns it; the window shows it
// with qh::ui::refuse (core/ui/refuse.h). No widgets here.
#include "core/messages.h"

#include <QString>
#include <optional>

namespace qh {

// How the box that receives the focus shows its text.
struct Select {
    enum Kind { None, All, Head, End };
    Kind kind = All;
    int count = 0; // characters selected from the start, for Head

    static constexpr Select none() { return {None, 0}; }
    static constexpr Select all() { return {All, 0}; }
    static constexpr Select head(int n) { return {Head, n}; }
    static constexpr Select end() { return {End, 0}; }
    friend constexpr bool operator==(const Select &, const Select &) = default;
};

// Field is the window's enum of controls (enum class CaseField { TxtBlbh, ... }).
template <class Field>
struct Refusal {
    QString message;                     // shown through the message seam; "" shows nothing
    Field field{};                       // the control that receives the focus
    Select select = Select::all();
    MsgIcon icon = MsgIcon::Information; // MsgIcon::None: OK only, no icon
    QString title;                       // empty title unless given
    bool clearOthers = false;            // the window empties the boxes its logic names for this

    Refusal &selecting(Select s) { select = s; return *this; }
    Refusal &withIcon(MsgIcon i) { icon = i; return *this; }
    Refusal &clearing() { clearOthers = true; return *this; }
};

// A check that passed (nullopt) or the refusal of the first rule that failed.
template <class Field>
using Verdict = std::optional<Refusal<Field>>;

template <class Field>
Refusal<Field> refusal(const QString &message, Field field, Select select = Select::all())
{
    Refusal<Field> r;
    r.message = message;
    r.field = field;
    r.select = select;
    return r;
}

} // namespace qh
