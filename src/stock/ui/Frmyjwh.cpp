#include "stock/ui/Frmyjwh.h"
#include "core/modutarnxt.h"

#include "core/messages.h"
#include "base/textutil.h"
#include "core/ui/FrmHelp.h"
#include "core/ui/refuse.h"
#include "core/ui/taskwindows.h"
#include "core/ui/uikit.h"

#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QVBoxLayout>

namespace qh::stock::ui {

namespace {

// Twips of the grid's layout in pixels (15 twips a pixel at 96 dpi).
constexpr int px(int twips) { return (twips + 7) / 15; }
constexpr int RowHeight = px(400);

QLineEdit *box(QWidget *parent, const char *name, int maxLength)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(QLatin1String(name));
    e->setMaxLength(maxLength);
    return e;
}

} // namespace

Frmyjwh::Frmyjwh(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Frmyjwh"));
    setWindowTitle(QStringLiteral("药品价格维护"));
    setAttribute(Qt::WA_DeleteOnClose);

    CboYplb = new QComboBox(this);
    CboYplb->setObjectName(QStringLiteral("CboYplb"));
    CboYplb->setEditable(true);
    CboYplb->setInsertPolicy(QComboBox::NoInsert);
    CboYplb->setMaxVisibleItems(20);
    CboYplb->lineEdit()->setMaxLength(druglist::CategoryMax);
    Txtycbm = box(this, "Txtycbm", druglist::CodeMax);
    Txtycmc = box(this, "Txtycmc", druglist::NameMax);
    TxtJldw = box(this, "TxtJldw", druglist::UnitMax);
    Txtycdj = box(this, "Txtycdj", 32);
    Txtycdj->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Txtycdj->setText(QStringLiteral("0.00"));

    MSFGridBmmc = new QTableWidget(this);
    MSFGridBmmc->setObjectName(QStringLiteral("MSFGridBmmc"));
    MSFGridBmmc->setColumnCount(5);
    const QStringList heads{QStringLiteral("药品编码"), QStringLiteral("药 材 名 称"), QStringLiteral("药品销价"),
                            QStringLiteral("计量单位"), QStringLiteral("药材类别")};
    const bool rightAligned[5] = {false, false, true, true, false};
    const int widths[5] = {1900, 2400, 1900, 1900, 2600};
    for (int c = 0; c < 5; ++c) {
        auto *h = new QTableWidgetItem(heads[c]);
        h->setTextAlignment((rightAligned[c] ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
        MSFGridBmmc->setHorizontalHeaderItem(c, h);
        MSFGridBmmc->setColumnWidth(c, px(widths[c]));
    }
    MSFGridBmmc->verticalHeader()->setVisible(false);
    MSFGridBmmc->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    MSFGridBmmc->verticalHeader()->setDefaultSectionSize(RowHeight);
    MSFGridBmmc->horizontalHeader()->setFixedHeight(RowHeight);
    MSFGridBmmc->horizontalHeader()->setSectionsClickable(false);
    MSFGridBmmc->setEditTriggers(QAbstractItemView::NoEditTriggers);
    MSFGridBmmc->setSelectionBehavior(QAbstractItemView::SelectRows);
    MSFGridBmmc->setSelectionMode(QAbstractItemView::SingleSelection);
    MSFGridBmmc->setWordWrap(false);
    MSFGridBmmc->setMinimumWidth(px(1900 * 3 + 2400 + 2600) + 24);

    CmdSave = qh::ui::enterButton(this, "CmdSave", QStringLiteral("保存&S"));
    Cmdedit = qh::ui::enterButton(this, "Cmdedit", QStringLiteral("修改其它"));
    CmdMcxg = qh::ui::enterButton(this, "CmdMcxg", QStringLiteral("修改药名"));
    CmdBmxg = qh::ui::enterButton(this, "CmdBmxg", QStringLiteral("修改编码"));
    Cmddele = qh::ui::enterButton(this, "Cmddele", QStringLiteral("删除&D"));
    CmdQcls = qh::ui::enterButton(this, "CmdQcls", QStringLiteral("清屏&Q"));
    CmdExit = qh::ui::enterButton(this, "CmdExit", QStringLiteral("打印&T"));
    Command1 = qh::ui::enterButton(this, "Command1", QStringLiteral("操作说明&H"));

    auto *entries = new QGridLayout;
    auto label = [this](const QString &text, QWidget *buddy) {
        auto *l = new QLabel(text, this);
        l->setBuddy(buddy);
        return l;
    };
    entries->addWidget(label(QStringLiteral("药品类别"), CboYplb), 0, 0);
    entries->addWidget(CboYplb, 0, 1);
    entries->addWidget(label(QStringLiteral("药材编码"), Txtycbm), 0, 2);
    entries->addWidget(Txtycbm, 0, 3);
    entries->addWidget(label(QStringLiteral("药材名称"), Txtycmc), 1, 0);
    entries->addWidget(Txtycmc, 1, 1);
    entries->addWidget(label(QStringLiteral("计量单位"), TxtJldw), 1, 2);
    entries->addWidget(TxtJldw, 1, 3);
    entries->addWidget(label(QStringLiteral("药材销价"), Txtycdj), 2, 0);
    entries->addWidget(Txtycdj, 2, 1);
    entries->setColumnStretch(1, 1);
    entries->setColumnStretch(3, 1);

    TxtYpsx = box(this, "TxtYpsx", druglist::NameMax);
    TxtYpsx->setFocusPolicy(Qt::ClickFocus); // not in the Tab chain of the entries
    TxtYpsx->setClearButtonEnabled(true);
    TxtYpsx->setToolTip(QStringLiteral("输入药名的拼音首字母、汉字或编码，表格只显示找到的药品"));
    LabYpsx = new QLabel(this);
    LabYpsx->setObjectName(QStringLiteral("LabYpsx"));
    auto *filter = new QHBoxLayout;
    filter->addWidget(label(QStringLiteral("筛选&F"), TxtYpsx));
    filter->addWidget(TxtYpsx, 1);
    filter->addWidget(LabYpsx, 1);
    Txtycbm->setToolTip(QStringLiteral("编码为空时，按 → 键采用按药名拼音首字母建议的编码"));

    auto *buttons = new QHBoxLayout;
    for (QPushButton *b : {CmdSave, Cmdedit, CmdMcxg, CmdBmxg, Cmddele, CmdQcls, CmdExit, Command1})
        buttons->addWidget(b);

    auto *main = new QVBoxLayout(this);
    main->addLayout(entries);
    main->addLayout(filter);
    main->addWidget(MSFGridBmmc, 1);
    main->addLayout(buttons);
    resize(MSFGridBmmc->minimumWidth() + 24, 560);

    setTabOrder(CboYplb, Txtycbm);
    setTabOrder(Txtycbm, Txtycmc);
    setTabOrder(Txtycmc, TxtJldw);
    setTabOrder(TxtJldw, Txtycdj);
    setTabOrder(Txtycdj, CmdSave);

    for (QObject *o : {static_cast<QObject *>(CboYplb), static_cast<QObject *>(CboYplb->lineEdit()),
                       static_cast<QObject *>(Txtycbm), static_cast<QObject *>(Txtycmc),
                       static_cast<QObject *>(TxtJldw), static_cast<QObject *>(Txtycdj)})
        o->installEventFilter(this);

    // Enter: the box, the check (in the logic), where the focus goes when it passes.
    m_enter = {
        {CboYplb, Txtycbm, [this] { return druglist::categoryOnEnter(CboYplb->currentText()); }, Select::all()},
        {Txtycbm, Txtycmc, [this] { return druglist::filledOnEnter(DrugField::Txtycbm, Txtycbm->text()); },
         Select::end()},
        {Txtycmc, TxtJldw, [this] { return druglist::filledOnEnter(DrugField::Txtycmc, Txtycmc->text()); },
         Select::all()},
        {TxtJldw, Txtycdj, [this] { return druglist::filledOnEnter(DrugField::TxtJldw, TxtJldw->text()); },
         Select::all()},
        {Txtycdj, CmdSave,
         [this] {
             QString price = Txtycdj->text();
             DrugVerdict r = druglist::formatPriceOnEnter(price);
             if (!r)
                 Txtycdj->setText(price);
             return r;
         },
         Select::none()},
    };

    TxtYpsx->installEventFilter(this);
    connect(TxtYpsx, &QLineEdit::textChanged, this, &Frmyjwh::filterGrid);
    connect(Txtycmc, &QLineEdit::textChanged, this, &Frmyjwh::suggestCode);
    connect(Txtycbm, &QLineEdit::textChanged, this, &Frmyjwh::suggestCode);

    connect(MSFGridBmmc, &QTableWidget::cellClicked, this, [this](int row, int) { pickRow(row); });
    connect(CmdSave, &QPushButton::clicked, this, &Frmyjwh::CmdSave_Click);
    connect(Cmdedit, &QPushButton::clicked, this, &Frmyjwh::Cmdedit_Click);
    connect(CmdMcxg, &QPushButton::clicked, this, &Frmyjwh::CmdMcxg_Click);
    connect(CmdBmxg, &QPushButton::clicked, this, &Frmyjwh::CmdBmxg_Click);
    connect(Cmddele, &QPushButton::clicked, this, &Frmyjwh::Cmddele_Click);
    connect(CmdQcls, &QPushButton::clicked, this, &Frmyjwh::CmdQcls_Click);
    connect(CmdExit, &QPushButton::clicked, this, &Frmyjwh::CmdExit_Click);
    connect(Command1, &QPushButton::clicked, this, &Frmyjwh::Command1_Click);
}

// ---- clearing and loading -------------------------------------------------------------

void Frmyjwh::Qpcls()
{
    TxtYpsx->clear();
    Txtycbm->clear();
    Txtycmc->clear();
    TxtJldw->clear();
    Txtycdj->setText(QStringLiteral("0.00"));
    CboYplb->clear();
    CboYplb->setEditText(QString());
    MSFGridBmmc->horizontalHeader()->setFixedHeight(RowHeight);
    MSFGridBmmc->setRowCount(0);
    m_lookup.setDrugs({});
    try {
        YplbAdd();
        GridBmmcAdd();
    } catch (const DbError &e) {
        qh::ui::setMousePointer(qh::ui::PointerArrow);
        msg::info(shortReport(e));
    }
    filterGrid();
    suggestCode();
    qh::ui::setMousePointer(qh::ui::PointerArrow);
}

void Frmyjwh::YplbAdd()
{
    const QStringList list = [] {
        auto s = Modutarnxt::clinicStore().open();
        return druglist::YplbAdd(s);
    }();
    if (!list.isEmpty()) {
        CboYplb->addItems(list);
        CboYplb->setCurrentIndex(-1);
        CboYplb->setEditText(QString());
    }
}

void Frmyjwh::GridBmmcAdd()
{
    const std::vector<DrugListRow> rows = [] {
        auto s = Modutarnxt::clinicStore().open();
        return druglist::GridBmmcAdd(s);
    }();
    std::vector<LookupDrug> drugs;
    drugs.reserve(rows.size());
    for (const DrugListRow &d : rows)
        drugs.push_back({d.code, d.name, d.unit, d.price});
    m_lookup.setDrugs(std::move(drugs));
    if (rows.empty())
        return;
    // One read, then the items in one pass without repainting in between: a long list fills at once.
    MSFGridBmmc->setUpdatesEnabled(false);
    MSFGridBmmc->setSortingEnabled(false);
    MSFGridBmmc->setRowCount(int(rows.size()));
    const QBrush fixedColumn = palette().button();
    const auto left = Qt::AlignLeft | Qt::AlignVCenter;
    const auto right = Qt::AlignRight | Qt::AlignVCenter;
    for (int r = 0; r < int(rows.size()); ++r) {
        const DrugListRow &d = rows[size_t(r)];
        const QString cells[5] = {d.code, d.name, druglist::priceText(d.price), d.unit, d.category};
        for (int c = 0; c < 5; ++c) {
            auto *item = new QTableWidgetItem(cells[c]);
            item->setTextAlignment(c == 2 || c == 3 ? right : left);
            if (c == 0)
                item->setBackground(fixedColumn);
            MSFGridBmmc->setItem(r, c, item);
        }
    }
    MSFGridBmmc->setUpdatesEnabled(true);
}

void Frmyjwh::pickRow(int row)
{
    if (row < 0 || row >= MSFGridBmmc->rowCount())
        return;
    auto cell = [&](int c) {
        const QTableWidgetItem *item = MSFGridBmmc->item(row, c);
        return item ? trimSpaces(item->text()) : QString();
    };
    Txtycbm->setText(cell(0));
    Txtycmc->setText(cell(1));
    Txtycdj->setText(cell(2));
    TxtJldw->setText(cell(3));
    CboYplb->setEditText(cell(4));
    CboYplb->lineEdit()->selectAll();
    CboYplb->setFocus();
}

void Frmyjwh::filterGrid()
{
    const QString typed = TxtYpsx->text();
    const int rows = MSFGridBmmc->rowCount();
    const bool all = pinyin::normalize(typed).isEmpty();
    std::vector<bool> shown(size_t(rows), all);
    if (!all) {
        // The grid's rows are the lookup's drugs, in the same order.
        for (int index : m_lookup.find(typed, -1))
            if (index < rows)
                shown[size_t(index)] = true;
    }
    int count = 0;
    for (int r = 0; r < rows; ++r) {
        MSFGridBmmc->setRowHidden(r, !shown[size_t(r)]);
        count += shown[size_t(r)] ? 1 : 0;
    }
    LabYpsx->setText(count == rows ? QStringLiteral("共 %1 种药品").arg(rows)
                                   : QStringLiteral("找到 %1 种，共 %2 种药品").arg(count).arg(rows));
}

void Frmyjwh::suggestCode()
{
    m_suggestion = m_lookup.suggestCode(Txtycmc->text(), druglist::CodeMax);
    const QString placeholder = m_suggestion.isEmpty() ? QString() : m_suggestion + QStringLiteral("（按 → 采用）");
    if (Txtycbm->placeholderText() != placeholder)
        Txtycbm->setPlaceholderText(placeholder);
}

// ---- entries ----------------------------------------------------------------------------

DrugEntry Frmyjwh::entry() const
{
    return {CboYplb->currentText(), Txtycbm->text(), Txtycmc->text(), TxtJldw->text(), Txtycdj->text()};
}

void Frmyjwh::showEntry(const DrugEntry &e)
{
    if (CboYplb->currentText() != e.category)
        CboYplb->setEditText(e.category);
    Txtycbm->setText(e.code);
    Txtycmc->setText(e.name);
    TxtJldw->setText(e.unit);
    Txtycdj->setText(e.price);
}

QWidget *Frmyjwh::widgetOf(DrugField field) const
{
    switch (field) {
    case DrugField::CboYplb: return CboYplb;
    case DrugField::Txtycbm: return Txtycbm;
    case DrugField::Txtycmc: return Txtycmc;
    case DrugField::TxtJldw: return TxtJldw;
    case DrugField::Txtycdj: return Txtycdj;
    case DrugField::CmdSave: return CmdSave;
    }
    qh::ui::unmappedControl("Frmyjwh", int(field));
}

void Frmyjwh::refuse(const DrugVerdict &r)
{
    if (r)
        qh::ui::refuse(*r, widgetOf(r->field));
}

void Frmyjwh::srnrJy()
{
    jybl = 1;
    DrugEntry e = entry();
    const DrugVerdict r = druglist::srnrJy(e);
    showEntry(e);
    refuse(r);
    if (!r)
        jybl = 0;
}

void Frmyjwh::runCommand(DrugAnswer (*command)(const db::Store &, DrugEntry &))
{
    srnrJy();
    if (jybl != 0)
        return;
    DrugEntry e = entry();
    const DrugAnswer a = command(Modutarnxt::clinicStore(), e);
    if (!a.failure.isEmpty()) {
        msg::info(a.failure);
        return;
    }
    if (a.refusal) {
        refuse(a.refusal);
        return;
    }
    Qpcls();
    qh::ui::focusAndSelect(widgetOf(a.next), Select::none());
}

bool Frmyjwh::enterPressed(QObject *box)
{
    if (box == CboYplb->lineEdit())
        box = CboYplb;
    for (const EnterStep &step : m_enter) {
        if (step.box != box)
            continue;
        if (const DrugVerdict r = step.check())
            refuse(r);
        else
            qh::ui::focusAndSelect(step.next, step.select);
        break;
    }
    return true;
}

bool Frmyjwh::eventFilter(QObject *watched, QEvent *e)
{
    if (e->type() == QEvent::KeyPress && watched == TxtYpsx) {
        auto *k = static_cast<QKeyEvent *>(e);
        if (!qh::ui::isEnterKey(k))
            return false;
        // Enter in the filter: the first drug shown, as a click on it.
        for (int r = 0; r < MSFGridBmmc->rowCount(); ++r)
            if (!MSFGridBmmc->isRowHidden(r)) {
                pickRow(r);
                break;
            }
        return true;
    }
    if (e->type() == QEvent::KeyPress) {
        auto *k = static_cast<QKeyEvent *>(e);
        // The Right arrow in the empty code box takes the suggested code.
        if (watched == Txtycbm && k->key() == Qt::Key_Right && !(k->modifiers() & ~Qt::KeypadModifier)
            && Txtycbm->text().isEmpty() && !m_suggestion.isEmpty()) {
            Txtycbm->setText(m_suggestion);
            return true;
        }
        if (k->key() == Qt::Key_Space || k->text() == QStringLiteral(" ") || k->text() == QStringLiteral("\u3000"))
            return true; // no blanks are typed into these boxes
        if (qh::ui::isEnterKey(k)
            && !(k->modifiers() & (Qt::ControlModifier | Qt::AltModifier)))
            return enterPressed(watched);
    }
    return QWidget::eventFilter(watched, e);
}

// ---- window life ------------------------------------------------------------------------

bool Frmyjwh::event(QEvent *e)
{
    switch (e->type()) {
    case QEvent::WindowDeactivate:
        // Going to a message box, a dialog or another program and back is no new visit; the
        // answer holds until the window is left again.
        m_skipActivation = QApplication::activeModalWidget() || QApplication::activePopupWidget()
                           || !QApplication::activeWindow();
        break;
    case QEvent::WindowActivate:
        if (!m_skipActivation && isVisible())
            Qpcls();
        break;
    default:
        break;
    }
    return QWidget::event(e);
}

void Frmyjwh::showEvent(QShowEvent *e)
{
    QWidget::showEvent(e);
    if (!m_placed) {
        m_placed = true;
        // A quarter of the free width from the left, a fifth of the free height from the top.
        QWidget *frame = this;
        QRect area;
        if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget())) {
            frame = sub;
            if (QMdiArea *mdi = sub->mdiArea())
                area = mdi->viewport()->rect();
        } else if (isWindow()) {
            if (QScreen *s = screen() ? screen() : QGuiApplication::primaryScreen())
                area = s->availableGeometry();
        }
        if (area.isValid())
            frame->move(area.left() + qMax(0, (area.width() - width()) / 4),
                        area.top() + qMax(0, (area.height() - height()) / 5));
    }
    if (!e->spontaneous())
        Qpcls();
}

void Frmyjwh::closeEvent(QCloseEvent *e)
{
    // The main window's menus come back through the MenusOff it attached to this window.
    QWidget::closeEvent(e);
}

// ---- commands ---------------------------------------------------------------------------

void Frmyjwh::CmdSave_Click() { runCommand(&druglist::add); }
void Frmyjwh::Cmdedit_Click() { runCommand(&druglist::changeOthers); }
void Frmyjwh::CmdMcxg_Click() { runCommand(&druglist::changeName); }
void Frmyjwh::CmdBmxg_Click() { runCommand(&druglist::changeCode); }

void Frmyjwh::Cmddele_Click()
{
    if (!msg::ask(QStringLiteral("确实要删除此条信息吗？")))
        return;
    runCommand(&druglist::remove);
}

void Frmyjwh::CmdQcls_Click()
{
    Qpcls();
    CboYplb->lineEdit()->selectAll();
    CboYplb->setFocus();
}

void Frmyjwh::CmdExit_Click()
{
    if (MSFGridBmmc->rowCount() < 1) {
        msg::info(QStringLiteral("没有要打印的内容"));
        return;
    }
    QPointer<QPushButton> exportButton(CmdExit);
    CmdExit->setEnabled(false);
    {
        qh::ui::BusyPointer busy;
        try {
            const QString path = druglist::exportFilePath();
            std::vector<QStringList> rows;
            rows.reserve(size_t(MSFGridBmmc->rowCount()));
            for (int r = 0; r < MSFGridBmmc->rowCount(); ++r) {
                QStringList cells;
                for (int c = 0; c < 4; ++c) {
                    const QTableWidgetItem *item = MSFGridBmmc->item(r, c);
                    cells << (item ? item->text() : QString());
                }
                rows.push_back(cells);
            }
            int written = 0;
            const Spreadsheet sheet = druglist::buildExport(rows, [&written] {
                if (++written % 25 == 0)
                    qh::ui::doEvents();
            });
            qh::ui::PauseWithButton(exportButton);
            sheet.save(path);
            msg::info(QStringLiteral("生成图表已经存放在我的文档中，请查收"));
        } catch (const DbError &e) {
            busy.reset();
            msg::info(shortReport(e));
        }
    }
    if (exportButton)
        exportButton->setEnabled(true);
}

void Frmyjwh::Command1_Click() { qh::ui::showHelp(this, QStringLiteral("BM")); }

void registerDrugListWindow()
{
    qh::ui::registerTaskWindow(QStringLiteral("YcqkWh"), [] { return qh::ui::singleWindow<Frmyjwh>(); });
}

} // namespace qh::stock::ui
