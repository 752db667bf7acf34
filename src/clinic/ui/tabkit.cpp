#include "clinic/ui/tabkit.h"

#include "clinic/ui/entryboxes.h"

#include <QFontMetrics>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyleOptionFrame>

namespace qh::clinic::ui {

namespace {
const QColor LightBlue(0xE6, 0xF2, 0xFF);
} // namespace

void tint(QWidget *w)
{
    QPalette p = w->palette();
    p.setColor(QPalette::Base, LightBlue);
    w->setPalette(p);
}

QString todayText() { return dateText(QDate::currentDate()); }

void setComboText(QComboBox *box, const QString &text)
{
    if (box->isEditable()) {
        box->setCurrentIndex(-1);
        box->setEditText(text);
        return;
    }
    box->setCurrentIndex(box->findText(trimSpaces(text)));
}

void fillCombo(QComboBox *box, const QStringList &items)
{
    QSignalBlocker b(box);
    box->clear();
    box->addItems(items);
    box->setCurrentIndex(-1);
    if (box->isEditable())
        box->setEditText(QString());
    fitItems(box, items);
}

QString textOf(const QWidget *box)
{
    if (auto *line = qobject_cast<const QLineEdit *>(box))
        return line->displayText();
    if (auto *combo = qobject_cast<const QComboBox *>(box))
        return combo->currentText();
    if (auto *memo = qobject_cast<const MemoBox *>(box))
        return memo->text();
    return {};
}

void fitChars(QLineEdit *box, int chars, QChar sample)
{
    const QFontMetrics fm(box->font());
    QStyleOptionFrame opt;
    opt.initFrom(box);
    const int frame = 2 * box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, box) + 4;
    const QMargins m = box->textMargins();
    // Masked boxes show digits, "-" and the blank "_": the widest of them counts for each place.
    const int text = box->inputMask().isEmpty()
                         ? fm.horizontalAdvance(QString(chars, sample))
                         : qMax(fm.horizontalAdvance(QString(chars, u'8')), fm.horizontalAdvance(QString(chars, u'_')));
    box->setMinimumWidth(text + frame + m.left() + m.right() + 2);
}

void fitItems(QComboBox *box, const QStringList &items)
{
    const QFontMetrics fm(box->font());
    int widest = 0;
    for (const QString &item : items)
        widest = qMax(widest, fm.horizontalAdvance(item));
    const int need = widest + 2 * box->style()->pixelMetric(QStyle::PM_ComboBoxFrameWidth) +
                     box->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 10;
    box->setMinimumWidth(qMax(box->minimumWidth(), need));
}

} // namespace qh::clinic::ui
