#include "stock/ui/drugcompleter.h"

#include "core/modutarnxt.h"
#include "core/ui/uikit.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QTableWidget>

namespace qh::stock::ui {

namespace {

constexpr int ShownRows = 8;   // rows visible at once; more scroll
constexpr int FoundRows = 50;  // rows the list holds at most

// A price as the list shows it: two decimals, more only when the price has them.
QString priceShown(Money p) { return p.roundedEven(2) == p ? p.toDisplay(2) : p.toPlain(); }

} // namespace

DrugCompleter::DrugCompleter(QLineEdit *box, QWidget *window) : QObject(box), m_box(box), m_window(window)
{
    m_list = new QTableWidget(0, 4, window);
    m_list->setObjectName(QStringLiteral("LstYcbm"));
    m_list->setHorizontalHeaderLabels(
        {QStringLiteral("药材名称"), QStringLiteral("编码"), QStringLiteral("单位"), QStringLiteral("单价(元)")});
    m_list->horizontalHeaderItem(3)->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_list->horizontalHeader()->setSectionsClickable(false);
    m_list->horizontalHeader()->setHighlightSections(false);
    m_list->verticalHeader()->hide();
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setWordWrap(false);
    m_list->verticalHeader()->setMinimumSectionSize(1);
    m_list->verticalHeader()->setDefaultSectionSize(m_list->fontMetrics().height() + 8);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // A click on the list leaves the focus in the box: the list's focus is the box's.
    m_list->setFocusPolicy(Qt::ClickFocus);
    m_list->setFocusProxy(box);
    m_list->setToolTip(QStringLiteral("回车或单击选用；Esc 关闭"));
    m_list->hide();

    connect(box, &QLineEdit::textEdited, this, &DrugCompleter::offer);
    // Any other change of the text (cleared, filled by the window) closes the list.
    connect(box, &QLineEdit::textChanged, this, [this](const QString &text) {
        if (text != m_shownFor)
            hide();
    });
    connect(m_list, &QTableWidget::cellClicked, this, [this](int row, int) { choose(row); });
    box->installEventFilter(this);
    window->installEventFilter(this);
}

DrugCompleter::~DrugCompleter()
{
    // The list may belong to the main window (see offer); it goes with the box.
    delete m_list.data();
}

void DrugCompleter::setPrescription(const QString &prescription) { m_lookup.preferPrescription(prescription); }

bool DrugCompleter::isShown() const { return m_list->isVisible(); }

const LookupDrug &DrugCompleter::drugAt(int row) const { return m_lookup.drug(m_rows.at(row)); }

bool DrugCompleter::ensureRead()
{
    if (!m_stale && m_version == drugListVersion())
        return true;
    const quint64 version = drugListVersion();
    try {
        auto s = Modutarnxt::clinicStore().open();
        m_lookup.setDrugs(DrugLookup::read(s));
    } catch (const DbError &) {
        return false; // no list; the box's own Enter reports what is wrong with the store
    }
    m_plainWidths.assign(size_t(m_lookup.size()), {-1, -1, -1, -1});
    m_boldWidths = m_plainWidths;
    m_version = version;
    m_stale = false;
    return true;
}

void DrugCompleter::offer(const QString &typed)
{
    if (!ensureRead() || !m_lookup.offers(typed)) {
        hide();
        return;
    }
    m_rows.clear();
    // Only drugs whose code fits the box: a longer one could not be typed there either.
    for (int index : m_lookup.find(typed, -1)) {
        if (m_lookup.drug(index).code.size() > m_box->maxLength())
            continue;
        m_rows << index;
        if (m_rows.size() == FoundRows)
            break;
    }
    if (m_rows.isEmpty()) {
        hide();
        return;
    }
    // The list lies over the top-level window (the main window around the main area), so it
    // is not cut off by a low task window; it follows the box when a window around it moves.
    QWidget *host = m_box->window();
    if (m_list->parentWidget() != host) {
        m_list->setParent(host);
        for (QWidget *w = m_box->parentWidget(); w; w = w->parentWidget()) {
            w->installEventFilter(this);
            if (w == host)
                break;
        }
    }
    m_list->setUpdatesEnabled(false);
    m_list->clearContents();
    m_list->setRowCount(int(m_rows.size()));
    QFont bold = m_list->font();
    bold.setBold(true);
    const QFontMetrics plainMetrics(m_list->font()), boldMetrics(bold);
    int widths[4] = {};
    for (int c = 0; c < 4; ++c)
        widths[c] = m_list->horizontalHeader()->sectionSizeHint(c);
    for (int r = 0; r < m_rows.size(); ++r) {
        const LookupDrug &d = m_lookup.drug(m_rows[r]);
        const QString cells[4] = {d.name, d.code, d.unit, priceShown(d.price)};
        const bool preferred = m_lookup.preferred(m_rows[r]);
        // A text's width is worked out once per drug and font: the widths are most of a keystroke.
        std::array<int, 4> &known = (preferred ? m_boldWidths : m_plainWidths)[size_t(m_rows[r])];
        for (int c = 0; c < 4; ++c) {
            if (known[size_t(c)] < 0)
                known[size_t(c)] = (preferred ? boldMetrics : plainMetrics).horizontalAdvance(cells[c]);
            widths[c] = qMax(widths[c], known[size_t(c)]);
            auto *item = new QTableWidgetItem(cells[c]);
            item->setTextAlignment((c == 3 ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
            if (m_lookup.preferred(m_rows[r])) {
                item->setFont(bold); // a herb of the visit's prescription
                item->setToolTip(QStringLiteral("处方中的药材"));
            }
            m_list->setItem(r, c, item);
        }
    }
    // Each column as wide as its widest text, with room on both sides.
    const int gap = plainMetrics.horizontalAdvance(QChar(0x4E2D));
    for (int c = 0; c < 4; ++c)
        m_list->setColumnWidth(c, widths[c] + gap);
    m_list->setCurrentCell(0, 0);
    m_list->setUpdatesEnabled(true);
    m_shownFor = typed;
    place();
    m_list->show();
    m_list->raise();
}

void DrugCompleter::hide()
{
    m_shownFor.clear();
    if (m_list->isVisible())
        m_list->hide();
}

void DrugCompleter::place()
{
    int width = 2 * m_list->frameWidth();
    for (int c = 0; c < m_list->columnCount(); ++c)
        width += m_list->columnWidth(c);
    const int rowHeight = m_list->verticalHeader()->defaultSectionSize();
    const int header = m_list->horizontalHeader()->sizeHint().height();
    const int frame = 2 * m_list->frameWidth();
    int rows = qMin(int(m_rows.size()), ShownRows);
    QWidget *host = m_list->parentWidget();
    const QRect box(m_box->mapTo(host, QPoint(0, 0)), m_box->size());
    const int below = host->height() - box.bottom() - 1;
    const int above = box.top();
    const auto heightOf = [&](int n) { return header + n * rowHeight + frame; };
    bool down = heightOf(rows) <= below || below >= above;
    const int room = down ? below : above;
    while (rows > 1 && heightOf(rows) > room)
        --rows;
    if (rows < m_rows.size())
        width += m_list->verticalScrollBar()->sizeHint().width();
    width = qMin(width, host->width());
    const int height = qMin(heightOf(rows), qMax(room, heightOf(1)));
    const int x = qBound(0, box.left(), qMax(0, host->width() - width));
    const int y = down ? box.bottom() + 1 : box.top() - height;
    m_list->setGeometry(x, y, width, height);
}

void DrugCompleter::moveCurrent(int by)
{
    const int row = qBound(0, m_list->currentRow() + by, m_list->rowCount() - 1);
    m_list->setCurrentCell(row, 0);
    m_list->scrollToItem(m_list->item(row, 0));
}

bool DrugCompleter::enterOnList()
{
    const int row = m_list->currentRow();
    if (row < 0) {
        hide();
        return false;
    }
    // A code the store knows goes the box's own way, also when the list was read before it
    // was added at another workstation.
    try {
        auto s = Modutarnxt::clinicStore().open();
        if (DrugLookup::storeHasCode(s, m_box->text())) {
            hide();
            markStale();
            return false;
        }
    } catch (const DbError &) {
        hide();
        return false; // the box's own Enter reports the failure
    }
    choose(row);
    return true;
}

void DrugCompleter::choose(int row)
{
    if (row < 0 || row >= m_rows.size())
        return;
    const QString code = drugAt(row).code;
    hide();
    m_box->setText(code);
    // Enter in the box, as the user presses it after typing the code.
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    QCoreApplication::sendEvent(m_box, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    QCoreApplication::sendEvent(m_box, &release);
}

bool DrugCompleter::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window) {
        switch (event->type()) {
        case QEvent::Show:
        case QEvent::WindowActivate:
            markStale();
            break;
        case QEvent::Hide:
        case QEvent::WindowDeactivate:
            hide();
            break;
        default:
            break;
        }
    }
    if (watched != m_box) {
        // A window around the box moved or changed its size: the list goes with the box.
        if ((event->type() == QEvent::Move || event->type() == QEvent::Resize) && isShown())
            place();
        return false;
    }
    if (event->type() == QEvent::FocusOut) {
        hide();
        return false;
    }
    if (event->type() != QEvent::KeyPress || !isShown())
        return false;
    auto *k = static_cast<QKeyEvent *>(event);
    switch (k->key()) {
    case Qt::Key_Down: moveCurrent(1); return true;
    case Qt::Key_Up: moveCurrent(-1); return true;
    case Qt::Key_PageDown: moveCurrent(ShownRows); return true;
    case Qt::Key_PageUp: moveCurrent(-ShownRows); return true;
    case Qt::Key_Escape: hide(); return true;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: hide(); return false;
    default: break;
    }
    if (qh::ui::isEnterKey(k))
        return enterOnList();
    return false;
}

} // namespace qh::stock::ui
