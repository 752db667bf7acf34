#pragma once
// The completion list under a drug code box (the charging window, stock-in and the other
// stock-out): letters typed into the box show the drugs they find (stock/druglookup.h), with
// name, code, unit and price; choosing one (Enter, or a click on its row) puts the drug's code
// into the box and then presses Enter in the box, so the window goes on exactly as after a
// typed code.
//
// The box keeps the focus all the time; the list takes no key unless it is shown. It is not
// shown for a text that is a code of the list or only digits, and Enter on a text the store
// knows as a code goes the box's own way even while the list is shown (a code added elsewhere
// since the list was read). Up and Down move in the list, Escape closes it (Enter then goes
// the box's own way), Tab closes it and moves on as before.
//
// The drugs are read when the list is first needed after the window was shown or activated,
// or after the drug list window changed the list.
#include "stock/druglookup.h"

#include <QObject>
#include <QTableWidget>
#include <QPointer>
#include <QString>

#include <array>
#include <vector>

class QLineEdit;
class QWidget;

namespace qh::stock::ui {

class DrugCompleter : public QObject {
    Q_OBJECT
public:
    // The list is placed under box, or above it when there is no room below, over the
    // top-level window that holds box (the main window when the task window is in the main
    // area). window is the task window: its showing and activation read the list again. Create it after the window's own key handling of the
    // box is in place: it sees the box's keys first.
    DrugCompleter(QLineEdit *box, QWidget *window);
    ~DrugCompleter() override;

    // The herbs the prescription text names come first (the charging window's visit);
    // an empty text: no preference.
    void setPrescription(const QString &prescription);

    QTableWidget *list() const { return m_list.data(); }
    bool isShown() const;
    // The drug of a row of the list.
    const LookupDrug &drugAt(int row) const;
    // The list is read again before its next use.
    void markStale() { m_stale = true; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool ensureRead();
    void offer(const QString &typed);
    void hide();
    void place();
    void moveCurrent(int by);
    // Puts the drug of row into the box and presses Enter there.
    void choose(int row);
    // Enter while the list is shown: true when it was taken (a drug chosen).
    bool enterOnList();

    QLineEdit *m_box;
    QWidget *m_window;
    QPointer<QTableWidget> m_list;
    DrugLookup m_lookup;
    QList<int> m_rows; // drug indexes of the rows shown
    QString m_shownFor; // the box's text the rows were found for
    // The widths of each drug's four texts, plain and bold (-1: not worked out yet).
    std::vector<std::array<int, 4>> m_plainWidths, m_boldWidths;
    quint64 m_version = 0;
    bool m_stale = true;
};

} // namespace qh::stock::ui
