#pragma once
// The keys of a lookup box over its candidate list (the quick herb box, the formula box): the
// arrows move the list's current row, Enter takes it, a digit 1 to 9 takes that line, Escape
// empties the box. The keys stay in the box; the list never takes the focus.
#include <QListWidget>
#include <QString>

namespace qh::clinic::ui {

// What a key in the box asks of its list; None: not a key of the list.
struct CandidateKey {
    enum Kind { None, Moved, Take, Clear } kind = None;
    int row = -1; // for Take
};

inline CandidateKey candidateKey(QListWidget *list, int key, const QString &text)
{
    switch (key) {
    case Qt::Key_Down: list->setCurrentRow(qMin(list->currentRow() + 1, list->count() - 1)); return {CandidateKey::Moved};
    case Qt::Key_Up: list->setCurrentRow(qMax(list->currentRow() - 1, 0)); return {CandidateKey::Moved};
    case Qt::Key_Return:
    case Qt::Key_Enter: return {CandidateKey::Take, list->currentRow()};
    case Qt::Key_Escape: return {CandidateKey::Clear};
    default: break;
    }
    if (text.size() == 1 && text[0] >= u'1' && text[0] <= u'9')
        return {CandidateKey::Take, text[0].unicode() - u'1'};
    return {};
}

} // namespace qh::clinic::ui
