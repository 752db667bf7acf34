#pragma once
// Pieces the tabs of the outpatient window share: the light-blue boxes, list fills, box widths,
// and the Enter chain of a tab as a table of (box, next box, check).
#include "core/refusal.h"
#include "base/textutil.h"
#include "core/ui/refuse.h"

#include <QComboBox>
#include <QLineEdit>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <vector>

namespace qh::clinic::ui {

// Twips of the grid and window sizes as pixels (15 twips a pixel at 96 dpi).
constexpr int px(int twips) { return twips / 15; }

void tint(QWidget *w);
QString todayText();
void setComboText(QComboBox *box, const QString &text);
void fillCombo(QComboBox *box, const QStringList &items);
// What a line box, combo box or memo box shows.
QString textOf(const QWidget *box);
// Makes a line box wide enough for chars characters like sample (a CJK character, or a digit for
// boxes that take digits), or for its input mask.
void fitChars(QLineEdit *box, int chars, QChar sample = QChar(0x4E2D));
// Makes a combo box wide enough for its widest item, now and whenever its list is filled.
void fitItems(QComboBox *box, const QStringList &items);

// One row of a tab's Enter chain: Enter in box runs check; a refusal is shown through
// qh::ui::refuse, otherwise the focus moves to next (nullptr: the key is only swallowed) with
// its text shown as select asks.
template <class Field>
struct EnterStep {
    QWidget *box;
    QWidget *next = nullptr;
    Select select = Select::all();
    std::function<Verdict<Field>()> check; // empty: no check
    bool lineBreakWhenFilled = false;      // a memo box: Enter types a line break when it holds text
};

template <class Field>
class EnterChain {
public:
    using WidgetOf = std::function<QWidget *(Field)>;
    EnterChain() = default;
    EnterChain(WidgetOf widgetOf, std::vector<EnterStep<Field>> steps)
        : m_widgetOf(std::move(widgetOf)), m_steps(std::move(steps))
    {
    }

    // Every box of the chain, with an editable combo box's line edit, for the key filter.
    QList<QObject *> watched() const
    {
        QList<QObject *> out;
        for (const auto &s : m_steps) {
            out << s.box;
            if (auto *combo = qobject_cast<QComboBox *>(s.box); combo && combo->lineEdit())
                out << combo->lineEdit();
        }
        return out;
    }

    // Enter in watched: true when the key was swallowed (false: not a box of the chain, or a
    // memo box that takes the line break).
    bool enter(QObject *watched) const
    {
        for (const auto &s : m_steps) {
            auto *combo = qobject_cast<QComboBox *>(s.box);
            if (watched != s.box && !(combo && watched == combo->lineEdit()))
                continue;
            if (s.lineBreakWhenFilled && !trimSpaces(textOf(s.box)).isEmpty())
                return false;
            if (s.check) {
                if (const auto r = s.check()) {
                    qh::ui::refuse(*r, m_widgetOf(r->field));
                    return true;
                }
            }
            if (s.next)
                qh::ui::focusAndSelect(s.next, s.select);
            return true;
        }
        return false;
    }

private:
    WidgetOf m_widgetOf;
    std::vector<EnterStep<Field>> m_steps;
};

} // namespace qh::clinic::ui
