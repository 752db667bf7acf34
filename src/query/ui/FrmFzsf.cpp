#include "query/ui/FrmFzsf.h"

#include "base/clock.h"
#include "base/textutil.h"
#include "clinic/ui/FrmZymz.h"
#include "clinic/ui/printflow.h"
#include "core/messages.h"
#include "core/modutarnxt.h"
#include "core/ui/FrmHelp.h"
#include "core/ui/refuse.h"
#include "core/ui/taskwindows.h"
#include "core/ui/uikit.h"
#include "db/error.h"
#include "query/recordquery.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <iterator>

namespace qh::query::ui {

// The list's model: the rows of one read, shown as the logic gives their cells.
class FollowUpTableModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    void setRows(std::vector<FollowUpRow> rows, const QDate &today)
    {
        beginResetModel();
        m_rows = std::move(rows);
        m_today = today;
        endResetModel();
    }
    const std::vector<FollowUpRow> &rows() const { return m_rows; }
    const FollowUpRow *row(int r) const { return r >= 0 && size_t(r) < m_rows.size() ? &m_rows[size_t(r)] : nullptr; }

    int rowCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : int(m_rows.size()); }
    int columnCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : int(FollowUps::columnHeaders().size());
    }
    QVariant data(const QModelIndex &index, int role) const override
    {
        const FollowUpRow *r = row(index.row());
        if (!r)
            return {};
        if (role == Qt::TextAlignmentRole)
            return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
        if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
            return {};
        return FollowUps::cells(*r, m_today).value(index.column());
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
            return FollowUps::columnHeaders().value(section);
        if (orientation == Qt::Horizontal && role == Qt::TextAlignmentRole)
            return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
        return QAbstractTableModel::headerData(section, orientation, role);
    }

private:
    std::vector<FollowUpRow> m_rows;
    QDate m_today;
};

namespace {

constexpr int RowHeight = 24;
const QList<int> ShortColumns = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}; // all but the plan, which takes the rest

QLineEdit *dateBox(QWidget *parent, const char *name)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(QLatin1String(name));
    e->setInputMask(QStringLiteral("9999-99-99;_"));
    e->setMinimumWidth(e->fontMetrics().horizontalAdvance(QStringLiteral("8888-88-88")) + 16);
    return e;
}

} // namespace

FrmFzsf::FrmFzsf(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("FrmFzsf"));
    setWindowTitle(QStringLiteral("复诊随访"));
    setAttribute(Qt::WA_DeleteOnClose);

    LabTjsl = new QLabel(this);
    LabTjsl->setObjectName(QStringLiteral("LabTjsl"));
    QFont counts = LabTjsl->font();
    counts.setBold(true);
    LabTjsl->setFont(counts);
    OptJrfz = qh::ui::optionButton(this, "OptJrfz", QStringLiteral("今日(&J)"));
    OptBzfz = qh::ui::optionButton(this, "OptBzfz", QStringLiteral("本周(&Z)"));
    OptYqfz = qh::ui::optionButton(this, "OptYqfz", QStringLiteral("逾期(&Y)"));
    OptSjfz = qh::ui::optionButton(this, "OptSjfz", QStringLiteral("时间段(&D)"));
    MasQssj = dateBox(this, "MasQssj");
    MasJssj = dateBox(this, "MasJssj");
    CmdSeek = qh::ui::enterButton(this, "CmdSeek", QStringLiteral("查询(&S)"));

    m_model = new FollowUpTableModel(this);
    MSFGridFzsf = new QTableView(this);
    MSFGridFzsf->setObjectName(QStringLiteral("MSFGridFzsf"));
    MSFGridFzsf->setModel(m_model);
    MSFGridFzsf->verticalHeader()->hide();
    MSFGridFzsf->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    MSFGridFzsf->verticalHeader()->setDefaultSectionSize(RowHeight);
    MSFGridFzsf->horizontalHeader()->setFixedHeight(RowHeight);
    MSFGridFzsf->horizontalHeader()->setSectionsClickable(false);
    MSFGridFzsf->horizontalHeader()->setStretchLastSection(true);
    MSFGridFzsf->setEditTriggers(QAbstractItemView::NoEditTriggers);
    MSFGridFzsf->setSelectionBehavior(QAbstractItemView::SelectRows);
    MSFGridFzsf->setSelectionMode(QAbstractItemView::SingleSelection);
    MSFGridFzsf->setWordWrap(false);
    MSFGridFzsf->setTabKeyNavigation(false);
    // The short columns as wide as what they hold (widened further for longer texts and their
    // headers when a list is shown); the plan takes the rest, so the grid needs no sideways scroll.
    const QFontMetrics fm(MSFGridFzsf->font());
    const QString typical[] = {QStringLiteral("8888-88-88"), QStringLiteral("8888888888"), QStringLiteral("中中中"),
                               QStringLiteral("中"), QStringLiteral("88"), QStringLiteral("88888888888"),
                               QStringLiteral("中中中中"), QStringLiteral("中中中"), QStringLiteral("8888-88-88"),
                               QStringLiteral("中中中")};
    for (int c = 0; c < int(std::size(typical)); ++c)
        MSFGridFzsf->setColumnWidth(c, fm.horizontalAdvance(typical[c]) + 16);
    MSFGridFzsf->setMinimumHeight(RowHeight * 12);
    qh::ui::widenColumnsToContent(MSFGridFzsf, ShortColumns);

    LabJlsl = new QLabel(this);
    LabJlsl->setObjectName(QStringLiteral("LabJlsl"));
    CmdPrin = qh::ui::enterButton(this, "CmdPrin", QStringLiteral("打印(&P)"));
    CmdBgsc = qh::ui::enterButton(this, "CmdBgsc", QStringLiteral("生成表格(&B)"));
    CmdHelp = qh::ui::enterButton(this, "CmdHelp", QStringLiteral("帮助(&H)"));
    CmdExit = qh::ui::enterButton(this, "CmdExit", QStringLiteral("退出(&T)"));

    auto *choice = new QHBoxLayout;
    for (QRadioButton *o : {OptJrfz, OptBzfz, OptYqfz, OptSjfz})
        choice->addWidget(o);
    choice->addSpacing(12);
    auto *from = new QLabel(QStringLiteral("起始时间"), this);
    from->setBuddy(MasQssj);
    auto *to = new QLabel(QStringLiteral("截止时间"), this);
    to->setBuddy(MasJssj);
    choice->addWidget(from);
    choice->addWidget(MasQssj);
    choice->addWidget(to);
    choice->addWidget(MasJssj);
    choice->addWidget(CmdSeek);
    choice->addStretch(1);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(LabJlsl, 1);
    for (QPushButton *b : {CmdPrin, CmdBgsc, CmdHelp, CmdExit})
        buttons->addWidget(b);

    auto *outer = new QVBoxLayout(this);
    outer->addWidget(LabTjsl);
    outer->addLayout(choice);
    outer->addWidget(MSFGridFzsf, 1);
    outer->addLayout(buttons);

    setTabOrder(OptJrfz, MasQssj);
    setTabOrder(MasQssj, MasJssj);
    setTabOrder(MasJssj, CmdSeek);
    setTabOrder(CmdSeek, MSFGridFzsf);
    setTabOrder(MSFGridFzsf, CmdPrin);

    for (QWidget *w : std::initializer_list<QWidget *>{MasQssj, MasJssj, MSFGridFzsf})
        w->installEventFilter(this);
    for (QRadioButton *o : {OptJrfz, OptBzfz, OptYqfz, OptSjfz})
        connect(o, &QRadioButton::clicked, this, [this, o] { onOption(o); });
    connect(CmdSeek, &QPushButton::clicked, this, &FrmFzsf::CmdSeek_Click);
    connect(CmdPrin, &QPushButton::clicked, this, &FrmFzsf::CmdPrin_Click);
    connect(CmdBgsc, &QPushButton::clicked, this, &FrmFzsf::CmdBgsc_Click);
    connect(CmdHelp, &QPushButton::clicked, this, &FrmFzsf::CmdHelp_Click);
    connect(CmdExit, &QPushButton::clicked, this, &FrmFzsf::CmdExit_Click);
    connect(MSFGridFzsf, &QTableView::doubleClicked, this, [this](const QModelIndex &ix) { openRow(ix.row()); });

    resize(960, 560);
    OptJrfz->setChecked(true);
    m_today = qh::clock::today();
    const DaySpan month = monthOf(m_today);
    MasQssj->setText(dateText(month.first));
    MasJssj->setText(dateText(month.last));
    m_range = month;
}

FrmFzsf::~FrmFzsf() = default;

QSize FrmFzsf::sizeHint() const { return {960, 560}; } // inside a 1024 x 768 screen's main window

const std::vector<FollowUpRow> &FrmFzsf::rows() const { return m_model->rows(); }

QWidget *FrmFzsf::widgetOf(FollowUpField field) const
{
    switch (field) {
    case FollowUpField::MasQssj: return MasQssj;
    case FollowUpField::MasJssj: return MasJssj;
    }
    qh::ui::unmappedControl("FrmFzsf", int(field));
}

void FrmFzsf::refuse(const Refusal<FollowUpField> &r) { qh::ui::refuse(r, widgetOf(r.field)); }

void FrmFzsf::Qpcls()
{
    qh::ui::setMousePointer(qh::ui::PointerArrow);
    const DaySpan month = monthOf(qh::clock::today());
    MasQssj->setText(dateText(month.first));
    MasJssj->setText(dateText(month.last));
    OptJrfz->setChecked(true);
    load(FollowUpGroup::Today, month);
}

bool FrmFzsf::load(FollowUpGroup group, const DaySpan &range, bool withCounts)
{
    const QDate today = qh::clock::today();
    std::vector<FollowUpRow> rows;
    FollowUpCounts counts;
    try {
        qh::ui::BusyPointer busy;
        auto s = Modutarnxt::clinicStore().open();
        if (withCounts)
            counts = FollowUps::counts(s, today);
        rows = FollowUps::list(s, today, group, range);
    } catch (const DbError &e) {
        msg::info(shortReport(e));
        return false;
    }
    ++m_reads;
    m_left = false;
    m_group = group;
    m_range = range;
    m_today = today;
    const int current = MSFGridFzsf->currentIndex().row();
    const qsizetype count = qsizetype(rows.size());
    m_model->setRows(std::move(rows), today);
    qh::ui::widenColumnsToContent(MSFGridFzsf, ShortColumns);
    if (count > 0)
        MSFGridFzsf->setCurrentIndex(m_model->index(std::clamp(current, 0, int(count) - 1), 0));
    if (withCounts)
        LabTjsl->setText(FollowUps::countsText(counts));
    LabJlsl->setText(FollowUps::periodText(group, today, range) + QStringLiteral("：共 %1 条").arg(count));
    return true;
}

void FrmFzsf::seekRange()
{
    if (auto r = FollowUps::checkRange(MasQssj->text(), MasJssj->text()))
        return refuse(*r);
    OptSjfz->setChecked(true);
    // The counts do not depend on the range: they are read with the groups and on every return.
    if (!load(FollowUpGroup::Range, FollowUps::rangeOf(MasQssj->text(), MasJssj->text()), false))
        return;
    if (m_model->rowCount() == 0) {
        msg::info(FollowUps::noRowsMessage());
        qh::ui::focusAndSelect(MasQssj, Select::head(10));
        return;
    }
    MSFGridFzsf->setFocus(Qt::OtherFocusReason);
}

void FrmFzsf::reread() { load(m_group, m_range); }

void FrmFzsf::onOption(QRadioButton *option)
{
    if (option == OptJrfz)
        load(FollowUpGroup::Today, m_range);
    else if (option == OptBzfz)
        load(FollowUpGroup::Week, m_range);
    else if (option == OptYqfz)
        load(FollowUpGroup::Overdue, m_range);
    else
        seekRange();
}

void FrmFzsf::openRow(int row)
{
    const FollowUpRow *r = m_model->row(row);
    if (!r)
        return;
    const QString caseNumber = r->blbm;
    // The outpatient window the menu opens; while it is open this window keeps the menus off.
    auto *outpatient = qh::ui::singleWindow<clinic::ui::FrmZymz>();
    m_outpatient = outpatient;
    m_left = true;
    qh::ui::showTaskWindow(outpatient);
    outpatient->openCase(caseNumber);
}

void FrmFzsf::CmdSeek_Click() { seekRange(); }

void FrmFzsf::CmdPrin_Click()
{
    if (m_model->rowCount() == 0) {
        msg::info(FollowUps::nothingToPrintMessage());
        return;
    }
    WorklistPrint doc;
    doc.period = FollowUps::periodText(m_group, m_today, m_range);
    doc.printed = qh::clock::today();
    doc.rows = m_model->rows();
    try {
        auto s = Modutarnxt::clinicStore().open();
        doc.unit = RecordQuery::clinicName(s).value_or(QString());
    } catch (const DbError &e) {
        msg::info(shortReport(e));
        return;
    }
    qh::ui::DisabledWhile off(CmdPrin);
    qh::ui::BusyPointer busy;
    clinic::PrintDocument(FollowUps::printTitle(), FollowUps::printPageSize(), FollowUps::pdfPath(doc),
                          [&doc](QPainter &p) { FollowUps::drawList(p, doc); });
}

void FrmFzsf::CmdBgsc_Click()
{
    if (m_model->rowCount() == 0) {
        msg::info(FollowUps::nothingToPrintMessage());
        return;
    }
    try {
        qh::ui::DisabledWhile off(CmdBgsc);
        qh::ui::BusyPointer busy;
        FollowUps::writeWorkbook(m_model->rows(), FollowUps::periodText(m_group, m_today, m_range), m_today);
    } catch (const DbError &e) {
        msg::info(e.description());
        return;
    }
    msg::info(FollowUps::workbookWrittenMessage());
}

void FrmFzsf::CmdHelp_Click() { qh::ui::showHelp(this, QStringLiteral("FZSF")); }

// The menus come back through the guard the main window attached when it opened this window.
void FrmFzsf::CmdExit_Click() { qh::ui::closeTaskWindow(this); }

bool FrmFzsf::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusIn && (watched == MasQssj || watched == MasJssj)) {
        auto *box = static_cast<QLineEdit *>(watched);
        QMetaObject::invokeMethod(box, [box] { box->setSelection(0, 10); }, Qt::QueuedConnection);
        return false;
    }
    if (event->type() != QEvent::KeyPress || !qh::ui::isEnterKey(static_cast<QKeyEvent *>(event)))
        return QWidget::eventFilter(watched, event);
    if (watched == MSFGridFzsf) {
        openRow(MSFGridFzsf->currentIndex().row());
        return true;
    }
    auto *box = static_cast<QLineEdit *>(watched);
    if (box->text().size() < 10) // the date boxes act only when all ten places are typed
        return true;
    if (watched == MasQssj) {
        if (auto r = FollowUps::checkStartEnter(MasQssj->text()))
            refuse(*r);
        else
            qh::ui::focusAndSelect(MasJssj, Select::head(10));
        return true;
    }
    seekRange();
    return true;
}

bool FrmFzsf::event(QEvent *event)
{
    // Outside the main area: coming back from another window of the program (not from this
    // window's message boxes or dialogs) reads the list again.
    if (!m_watched) {
        if (event->type() == QEvent::WindowDeactivate) {
            QWidget *now = QApplication::activeWindow();
            m_left = m_left || (now && now != window() && !qobject_cast<QDialog *>(now));
        } else if (event->type() == QEvent::WindowActivate && m_left) {
            reread();
        }
    }
    return QWidget::event(event);
}

void FrmFzsf::watchArea()
{
    auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget());
    if (!sub || sub == m_watched || !sub->mdiArea())
        return;
    m_watched = sub;
    // Inside the main area the task windows are sub-windows: another one coming forward (the
    // outpatient window this one opened) and this one again afterwards is a return.
    connect(sub->mdiArea(), &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow *active) {
        if (!active || !m_watched)
            return;
        if (active != m_watched)
            m_left = true;
        else if (m_left)
            reread();
    });
}

void FrmFzsf::showEvent(QShowEvent *event)
{
    watchArea();
    if (!m_placed) {
        m_placed = true;
        if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget()); sub && sub->mdiArea()) {
            const QSize free = sub->mdiArea()->viewport()->size() - sub->size();
            sub->move(qMax(0, free.width() / 2), qMax(0, free.height() / 4));
        } else if (isWindow()) {
            qh::ui::placeWindow(this, 4);
        }
        Qpcls();
    } else if (!event->spontaneous()) {
        reread();
    }
    QWidget::showEvent(event);
}

void FrmFzsf::closeEvent(QCloseEvent *event)
{
    // Closed while the outpatient window it opened is still open: that one keeps the menus off
    // and gives them back when it closes.
    if (m_outpatient && m_outpatient->isVisible()) {
        qh::ui::keepMenusOffAfter(this);
        qh::ui::MenusOff menus;
        menus.attachTo(m_outpatient);
    }
    QWidget::closeEvent(event);
}

void registerFollowUpWindow()
{
    qh::ui::registerTaskWindow(QStringLiteral("Fzsf"), [] { return qh::ui::singleWindow<FrmFzsf>(); });
}

} // namespace qh::query::ui
