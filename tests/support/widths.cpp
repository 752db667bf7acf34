#include "widths.h"

#include <QAbstractItemModel>
#include <functional>
#include <QComboBox>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTableView>
#include <QTreeView>

namespace qh::test {

namespace {

bool takesDigitsOnly(const QLineEdit *box)
{
    return !box->inputMask().isEmpty() || box->validator() != nullptr;
}

// Width the box needs to show text inside its frame and margins.
int neededFor(const QLineEdit *box, const QString &text)
{
    const QFontMetrics fm(box->font());
    const QMargins m = box->textMargins();
    QStyleOptionFrame opt;
    opt.initFrom(box);
    opt.lineWidth = box->hasFrame() ? box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, box) : 0;
    const int frame = 2 * opt.lineWidth + 4; // frame plus the line edit's own horizontal margin (2 px each side)
    return fm.horizontalAdvance(text) + m.left() + m.right() + frame;
}

} // namespace

QStringList narrowControls(const QWidget *window, int longTextChars)
{
    QStringList out;
    for (const QLineEdit *box : window->findChildren<QLineEdit *>()) {
        if (!box->isVisibleTo(window) || qobject_cast<const QComboBox *>(box->parentWidget()))
            continue;
        QString widest;
        if (!box->inputMask().isEmpty()) {
            widest = box->displayText().isEmpty() ? box->inputMask().section(u';', 0, 0) : box->displayText();
        } else {
            const int n = qMin(box->maxLength(), longTextChars);
            widest = QString(n, takesDigitsOnly(box) ? QChar(u'8') : QChar(0x4E2D));
        }
        const int need = neededFor(box, widest);
        if (box->width() < need)
            out << QStringLiteral("%1: %2 px for %3 px").arg(box->objectName()).arg(box->width()).arg(need);
    }
    for (const QComboBox *combo : window->findChildren<QComboBox *>()) {
        if (!combo->isVisibleTo(window))
            continue;
        const QFontMetrics fm(combo->font());
        int widest = 0;
        for (int i = 0; i < combo->count(); ++i)
            widest = qMax(widest, fm.horizontalAdvance(combo->itemText(i)));
        const int need = widest + 2 * combo->style()->pixelMetric(QStyle::PM_ComboBoxFrameWidth) +
                         combo->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 8;
        if (combo->count() > 0 && combo->width() < need)
            out << QStringLiteral("%1: %2 px for %3 px").arg(combo->objectName()).arg(combo->width()).arg(need);
    }
    for (const QTableView *grid : window->findChildren<QTableView *>()) {
        const QAbstractItemModel *model = grid->model();
        if (!model || !grid->isVisibleTo(window))
            continue;
        const QFontMetrics fm(grid->font());
        const QFontMetrics hfm(grid->horizontalHeader()->font());
        for (int c = 0; c < model->columnCount(); ++c) {
            if (grid->isColumnHidden(c) || grid->columnWidth(c) == 0)
                continue;
            int need = hfm.horizontalAdvance(model->headerData(c, Qt::Horizontal).toString()) + 12;
            for (int r = 0; r < qMin(model->rowCount(), 50); ++r)
                need = qMax(need, fm.horizontalAdvance(model->index(r, c).data().toString()) + 10);
            if (grid->columnWidth(c) < need)
                out << QStringLiteral("%1 column %2 (%3): %4 px for %5 px")
                           .arg(grid->objectName())
                           .arg(c)
                           .arg(model->headerData(c, Qt::Horizontal).toString())
                           .arg(grid->columnWidth(c))
                           .arg(need);
        }
    }
    for (const QTreeView *tree : window->findChildren<QTreeView *>()) {
        const QAbstractItemModel *model = tree->model();
        if (!model || !tree->isVisibleTo(window))
            continue;
        const QFontMetrics fm(tree->font());
        const QFontMetrics hfm(tree->header()->font());
        for (int c = 0; c < model->columnCount(); ++c) {
            if (tree->isColumnHidden(c) || tree->columnWidth(c) == 0)
                continue;
            int need = tree->header()->isHidden()
                           ? 0
                           : hfm.horizontalAdvance(model->headerData(c, Qt::Horizontal).toString()) + 12;
            // The first 50 shown rows, each indented by its depth (column 0 only).
            int seen = 0;
            std::function<void(const QModelIndex &, int)> walk = [&](const QModelIndex &parent, int depth) {
                for (int r = 0; r < model->rowCount(parent) && seen < 50; ++r, ++seen) {
                    const QModelIndex i = model->index(r, c, parent);
                    const int indent = c == 0 ? tree->indentation() * (depth + (tree->rootIsDecorated() ? 1 : 0)) : 0;
                    need = qMax(need, fm.horizontalAdvance(i.data().toString()) + indent + 10);
                    const QModelIndex first = model->index(r, 0, parent);
                    if (tree->isExpanded(first))
                        walk(first, depth + 1);
                }
            };
            walk(QModelIndex(), 0);
            if (tree->columnWidth(c) < need)
                out << QStringLiteral("%1 column %2 (%3): %4 px for %5 px")
                           .arg(tree->objectName())
                           .arg(c)
                           .arg(model->headerData(c, Qt::Horizontal).toString())
                           .arg(tree->columnWidth(c))
                           .arg(need);
        }
    }
    return out;
}

} // namespace qh::test
