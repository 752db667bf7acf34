#pragma once
// The quick herb box: letters typed in TxtKsyp list the matching herbs in LisKsyp (best first,
// numbered 1 to 9); Enter takes the selected one (the arrows choose another), a digit takes the
// one of that number; the dose is typed into TxtKsjl and Enter hands herb and dose on (chosen),
// after which the box is empty with the focus back in TxtKsyp for the next herb. Escape or an
// empty box does nothing. The host appends what a chosen herb and dose add to its text box. Used
// beside the diagnosis tab's pick lists (the pick lists work as before) and above the formula
// window's composition box.
#include "clinic/herbquick.h"

#include <QWidget>
#include <functional>

class QLabel;
class QLineEdit;
class QListWidget;

namespace qh::clinic::ui {

class HerbQuickBox : public QWidget {
    Q_OBJECT
public:
    // Column: herb box, dose box and the candidate list under one another (beside the pick
    // lists). Row: herb and dose box side by side, the candidates numbered along one line under
    // them, whose room is kept while there are none (above a text box, which then never moves).
    enum class Shape { Column, Row };
    explicit HerbQuickBox(QWidget *parent = nullptr, Shape shape = Shape::Column);

    QLabel *LabKsyp;
    QLineEdit *TxtKsyp;   // what is typed: initials, syllables or characters
    QListWidget *LisKsyp; // the candidates
    QLabel *LabKsjl;
    QLineEdit *TxtKsjl;   // the dose of the herb taken

    // Where the candidates come from (owned by the caller, outliving the box).
    void setLogic(const HerbQuick *logic) { m_logic = logic; }
    // What is shown after a candidate's name and unit ("缺货", "反 甘草" ...); empty for nothing.
    void setMarker(std::function<QString(const QString &herb)> marker) { m_marker = std::move(marker); }
    // The herb taken and waiting for its dose ("" when none).
    const QString &herb() const { return m_herb; }
    // Empties both boxes and the list.
    void clear();

signals:
    void chosen(const QString &herb, const QString &dose);
    // The candidate under the cursor changed ("" when there is none).
    void current(const QString &herb);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void refresh();
    void take(int row);
    bool herbKey(int key, const QString &text);
    bool doseKey(int key);

    const HerbQuick *m_logic = nullptr;
    std::function<QString(const QString &)> m_marker;
    QList<QuickHerb> m_shown;
    QString m_herb;
};

} // namespace qh::clinic::ui
