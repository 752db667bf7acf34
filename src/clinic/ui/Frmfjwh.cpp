#include "clinic/ui/Frmfjwh.h"
#include "clinic/classicalformulas.h"
#include "clinic/ui/entryboxes.h"
#include "clinic/ui/herbquickbox.h"
#include "clinic/visitentry.h"
#include "base/textutil.h"
#include "core/messages.h"
#include "core/modutarnxt.h"
#include "core/ui/FrmHelp.h"
#include "core/ui/refuse.h"
#include "core/ui/taskwindows.h"
#include "core/ui/uikit.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QScrollBar>
#include <QShowEvent>
#include <QTableWidget>
#include <QVBoxLayout>

namespace qh::clinic::ui {

namespace {

constexpr int RowHeight = 24;

QLineEdit *box(QWidget *parent, const char *name, int maxLength)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(QLatin1String(name));
    e->setMaxLength(maxLength);
    return e;
}

MemoBox *memo(QWidget *parent, const char *name, int lines)
{
    auto *m = new MemoBox(parent);
    m->setObjectName(QLatin1String(name));
    m->setMinimumHeight(m->fontMetrics().lineSpacing() * lines + 12);
    return m;
}

} // namespace

Frmfjwh::Frmfjwh(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Frmfjwh"));
    setWindowTitle(QStringLiteral("方剂维护"));
    setAttribute(Qt::WA_DeleteOnClose);

    MSFGridFjmc = new QTableWidget(this);
    MSFGridFjmc->setObjectName(QStringLiteral("MSFGridFjmc"));
    MSFGridFjmc->setColumnCount(2);
    MSFGridFjmc->setHorizontalHeaderLabels({QStringLiteral("方剂名称"), QStringLiteral("出处")});
    MSFGridFjmc->verticalHeader()->setVisible(false);
    MSFGridFjmc->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    MSFGridFjmc->verticalHeader()->setDefaultSectionSize(RowHeight);
    MSFGridFjmc->horizontalHeader()->setFixedHeight(RowHeight);
    MSFGridFjmc->horizontalHeader()->setSectionsClickable(false);
    MSFGridFjmc->horizontalHeader()->setStretchLastSection(true);
    MSFGridFjmc->setEditTriggers(QAbstractItemView::NoEditTriggers);
    MSFGridFjmc->setSelectionBehavior(QAbstractItemView::SelectRows);
    MSFGridFjmc->setSelectionMode(QAbstractItemView::SingleSelection);
    MSFGridFjmc->setWordWrap(false);
    const int cjk = fontMetrics().horizontalAdvance(QChar(0x4E2D));
    MSFGridFjmc->setColumnWidth(0, cjk * 9 + 12);
    // The longest classical names (nine characters) and "金匮要略" whole, beside the scroll bar.
    MSFGridFjmc->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    MSFGridFjmc->setMinimumWidth(cjk * 15 + 24 + MSFGridFjmc->verticalScrollBar()->sizeHint().width());

    TxtFjmc = box(this, "TxtFjmc", Formulas::NameMax);
    TxtFjly = box(this, "TxtFjly", Formulas::SourceMax);
    quick = new HerbQuickBox(this, HerbQuickBox::Shape::Row);
    quick->setObjectName(QStringLiteral("HerbQuickBox"));
    quick->setLogic(&m_quick);
    TxtFjgc = memo(this, "TxtFjgc", 5);
    TxtFjgy = memo(this, "TxtFjgy", 2);
    TxtFjzz = memo(this, "TxtFjzz", 2);
    TxtFjyf = memo(this, "TxtFjyf", 2);
    TxtFjxd = memo(this, "TxtFjxd", 2);
    LabDlxm = new QLabel(this);
    LabDlxm->setObjectName(QStringLiteral("LabDlxm"));

    CmdNew = qh::ui::enterButton(this, "CmdNew", QStringLiteral("新增(&N)"));
    CmdSave = qh::ui::enterButton(this, "CmdSave", QStringLiteral("保存(&S)"));
    CmdDele = qh::ui::enterButton(this, "CmdDele", QStringLiteral("删除(&D)"));
    CmdImport = qh::ui::enterButton(this, "CmdImport", QStringLiteral("导入经方(&I)"));
    CmdHelp = qh::ui::enterButton(this, "CmdHelp", QStringLiteral("帮助(&H)"));
    CmdExit = qh::ui::enterButton(this, "CmdExit", QStringLiteral("退出(&T)"));

    auto *fields = new QGridLayout;
    auto label = [this](const QString &text, QWidget *buddy) {
        auto *l = new QLabel(text, this);
        l->setBuddy(buddy);
        return l;
    };
    const auto top = Qt::AlignLeft | Qt::AlignTop;
    fields->addWidget(label(QStringLiteral("方剂名称"), TxtFjmc), 0, 0);
    fields->addWidget(TxtFjmc, 0, 1);
    fields->addWidget(label(QStringLiteral("出处"), TxtFjly), 0, 2);
    fields->addWidget(TxtFjly, 0, 3);
    fields->addWidget(quick, 1, 1, 1, 3);
    fields->addWidget(label(QStringLiteral("组成"), TxtFjgc), 2, 0, top);
    fields->addWidget(TxtFjgc, 2, 1, 1, 3);
    fields->addWidget(label(QStringLiteral("功用"), TxtFjgy), 3, 0, top);
    fields->addWidget(TxtFjgy, 3, 1, 1, 3);
    fields->addWidget(label(QStringLiteral("主治"), TxtFjzz), 4, 0, top);
    fields->addWidget(TxtFjzz, 4, 1, 1, 3);
    fields->addWidget(label(QStringLiteral("用法"), TxtFjyf), 5, 0, top);
    fields->addWidget(TxtFjyf, 5, 1, 1, 3);
    fields->addWidget(label(QStringLiteral("备注"), TxtFjxd), 6, 0, top);
    fields->addWidget(TxtFjxd, 6, 1, 1, 3);
    fields->addWidget(LabDlxm, 7, 1, 1, 3);
    fields->setColumnStretch(1, 3);
    fields->setColumnStretch(3, 2);
    fields->setRowStretch(2, 3);
    for (int r = 3; r <= 6; ++r)
        fields->setRowStretch(r, 1);

    auto *body = new QHBoxLayout;
    body->addWidget(MSFGridFjmc, 2);
    body->addLayout(fields, 5);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton *b : {CmdNew, CmdSave, CmdDele, CmdImport, CmdHelp, CmdExit})
        buttons->addWidget(b);

    auto *outer = new QVBoxLayout(this);
    outer->addLayout(body, 1);
    outer->addLayout(buttons);
    resize(sizeHint());

    setTabOrder(TxtFjmc, TxtFjly);
    setTabOrder(TxtFjly, TxtFjgc);
    setTabOrder(TxtFjgc, TxtFjgy);
    setTabOrder(TxtFjgy, TxtFjzz);
    setTabOrder(TxtFjzz, TxtFjyf);
    setTabOrder(TxtFjyf, TxtFjxd);
    setTabOrder(TxtFjxd, CmdSave);
    // The quick box last, after the buttons: the order of the rest stays as it was without it.
    setTabOrder(CmdExit, quick->TxtKsyp);
    setTabOrder(quick->TxtKsyp, quick->TxtKsjl);

    m_enter = std::make_unique<EnterChain<FormulaField>>(
        [this](FormulaField f) { return widgetOf(f); },
        std::vector<EnterStep<FormulaField>>{
            {TxtFjmc, TxtFjly, Select::all(), {}},
            {TxtFjly, TxtFjgc, Select::end(), {}},
            {TxtFjgc, TxtFjgy, Select::end(), {}, true},
            {TxtFjgy, TxtFjzz, Select::end(), {}, true},
            {TxtFjzz, TxtFjyf, Select::end(), {}, true},
            {TxtFjyf, TxtFjxd, Select::end(), {}, true},
            {TxtFjxd, CmdSave, Select::none(), {}, true},
        });
    for (QObject *o : m_enter->watched())
        o->installEventFilter(this);

    connect(MSFGridFjmc, &QTableWidget::currentCellChanged, this, [this](int row, int, int, int) {
        if (!m_filling)
            pickRow(row);
    });
    connect(quick, &HerbQuickBox::chosen, this, &Frmfjwh::appendPick);
    connect(CmdNew, &QPushButton::clicked, this, &Frmfjwh::CmdNew_Click);
    connect(CmdSave, &QPushButton::clicked, this, &Frmfjwh::CmdSave_Click);
    connect(CmdDele, &QPushButton::clicked, this, &Frmfjwh::CmdDele_Click);
    connect(CmdImport, &QPushButton::clicked, this, &Frmfjwh::CmdImport_Click);
    connect(CmdHelp, &QPushButton::clicked, this, &Frmfjwh::CmdHelp_Click);
    connect(CmdExit, &QPushButton::clicked, this, &Frmfjwh::CmdExit_Click);
}

Frmfjwh::~Frmfjwh() = default;

QSize Frmfjwh::sizeHint() const
{
    const int cjk = fontMetrics().horizontalAdvance(QChar(0x4E2D));
    return QSize(cjk * 64, cjk * 40).expandedTo(minimumSizeHint());
}

QWidget *Frmfjwh::widgetOf(FormulaField field) const
{
    switch (field) {
    case FormulaField::TxtFjmc: return TxtFjmc;
    case FormulaField::TxtFjly: return TxtFjly;
    case FormulaField::TxtFjgc: return TxtFjgc;
    case FormulaField::MSFGridFjmc: return MSFGridFjmc;
    }
    qh::ui::unmappedControl("Frmfjwh", int(field));
}

void Frmfjwh::refuse(const FormulaVerdict &r)
{
    if (r)
        qh::ui::refuse(*r, widgetOf(r->field));
}

bool Frmfjwh::succeeded(const FormulaAnswer &a)
{
    if (!a.failure.isEmpty()) {
        msg::info(a.failure);
        return false;
    }
    refuse(a.refusal);
    return !a.refusal;
}

// ---- the list and the fields ---------------------------------------------------------

void Frmfjwh::Qpcls()
{
    clearFields();
    loadList(QString());
}

void Frmfjwh::loadList(const QString &select)
{
    std::vector<FormulaRow> rows;
    try {
        auto s = Modutarnxt::clinicStore().open();
        rows = Formulas(s).list();
    } catch (const DbError &e) {
        msg::info(shortReport(e));
    }
    m_filling = true;
    MSFGridFjmc->setUpdatesEnabled(false);
    MSFGridFjmc->clearContents();
    MSFGridFjmc->setRowCount(int(rows.size()));
    int selected = -1;
    for (int r = 0; r < int(rows.size()); ++r) {
        const FormulaRow &f = rows[size_t(r)];
        MSFGridFjmc->setItem(r, 0, new QTableWidgetItem(f.name));
        MSFGridFjmc->setItem(r, 1, new QTableWidgetItem(f.source));
        if (!select.isEmpty() && f.name == select)
            selected = r;
    }
    MSFGridFjmc->setCurrentCell(selected, 0);
    if (selected >= 0)
        MSFGridFjmc->scrollToItem(MSFGridFjmc->item(selected, 0));
    MSFGridFjmc->setUpdatesEnabled(true);
    m_filling = false;
}

void Frmfjwh::pickRow(int row)
{
    const QTableWidgetItem *item = row >= 0 ? MSFGridFjmc->item(row, 0) : nullptr;
    if (!item)
        return;
    std::optional<Formula> f;
    try {
        auto s = Modutarnxt::clinicStore().open();
        f = Formulas(s).find(item->text());
    } catch (const DbError &e) {
        msg::info(shortReport(e));
        return;
    }
    if (!f) {
        refuse(refusal(QStringLiteral("方剂“%1”已不在方剂表中（可能已被删除），请重新选择。").arg(item->text()),
                       FormulaField::MSFGridFjmc, Select::none()));
        loadList(QString());
        clearFields();
        return;
    }
    showFormula(*f);
}

void Frmfjwh::showFormula(const Formula &f)
{
    m_shown = f.name;
    TxtFjmc->setText(f.name);
    TxtFjly->setText(f.source);
    TxtFjgc->setText(f.composition);
    TxtFjgy->setText(f.actions);
    TxtFjzz->setText(f.indications);
    TxtFjyf->setText(f.usage);
    TxtFjxd->setText(f.notes);
    LabDlxm->setText(f.enteredBy.isEmpty() ? QString() : QStringLiteral("登录：%1").arg(f.enteredBy));
}

void Frmfjwh::clearFields()
{
    m_shown.clear();
    TxtFjmc->clear();
    TxtFjly->clear();
    for (MemoBox *m : {TxtFjgc, TxtFjgy, TxtFjzz, TxtFjyf, TxtFjxd})
        m->setText(QString());
    LabDlxm->clear();
}

Formula Frmfjwh::entry() const
{
    Formula f;
    f.name = TxtFjmc->text();
    f.source = TxtFjly->text();
    f.composition = TxtFjgc->text();
    f.actions = TxtFjgy->text();
    f.indications = TxtFjzz->text();
    f.usage = TxtFjyf->text();
    f.notes = TxtFjxd->text();
    return f;
}

void Frmfjwh::loadDrugList()
{
    try {
        auto s = Modutarnxt::clinicStore().open();
        m_quick.loadDrugList(s);
    } catch (const DbError &) {
        // The quick box only helps; a formula is typed and saved without it.
    }
}

void Frmfjwh::appendPick(const QString &herb, const QString &dose)
{
    try {
        auto s = Modutarnxt::clinicStore().open();
        if (const auto pick = herbPickText(s, herb, dose))
            TxtFjgc->setText(TxtFjgc->text() + *pick);
    } catch (const DbError &e) {
        msg::info(shortReport(e));
    }
}

// ---- commands ---------------------------------------------------------------------------

void Frmfjwh::CmdNew_Click()
{
    clearFields();
    MSFGridFjmc->setCurrentCell(-1, 0);
    qh::ui::focusAndSelect(TxtFjmc, Select::none());
}

void Frmfjwh::CmdSave_Click()
{
    const Formula f = entry();
    FormulaAnswer a;
    {
        qh::ui::BusyPointer busy;
        try {
            auto s = Modutarnxt::clinicStore().open();
            Formulas formulas(s);
            a = m_shown.isEmpty() ? formulas.add(f, Modutarnxt::CurrentUser)
                                  : formulas.change(m_shown, f, Modutarnxt::CurrentUser);
        } catch (const DbError &e) {
            a.failure = shortReport(e);
        }
    }
    if (!succeeded(a))
        return;
    loadList(trimSpaces(f.name));
    pickRow(MSFGridFjmc->currentRow());
    MSFGridFjmc->setFocus(Qt::OtherFocusReason);
}

void Frmfjwh::CmdDele_Click()
{
    if (!m_shown.isEmpty() && !msg::ask(QStringLiteral("确实要删除方剂“%1”吗？").arg(m_shown)))
        return;
    FormulaAnswer a;
    try {
        auto s = Modutarnxt::clinicStore().open();
        a = Formulas(s).remove(m_shown);
    } catch (const DbError &e) {
        a.failure = shortReport(e);
    }
    if (!succeeded(a))
        return;
    Qpcls();
    MSFGridFjmc->setFocus(Qt::OtherFocusReason);
}

void Frmfjwh::CmdImport_Click()
{
    QString error;
    const QList<ClassicalFormula> shipped = shippedClassicalFormulas(&error);
    if (!error.isEmpty()) {
        msg::info(error);
        return;
    }
    FormulaImport result;
    {
        qh::ui::BusyPointer busy;
        try {
            auto s = Modutarnxt::clinicStore().open();
            result = Formulas(s).importClassical(shipped, Modutarnxt::CurrentUser);
        } catch (const DbError &e) {
            result.failure = shortReport(e);
        }
    }
    msg::info(result.message());
    const QString shown = m_shown;
    loadList(shown);
    if (shown.isEmpty())
        clearFields();
}

void Frmfjwh::CmdHelp_Click() { qh::ui::showHelp(this, QStringLiteral("FJ")); }

void Frmfjwh::CmdExit_Click()
{
    // The menus come back with the window's close (the main window attached them to it).
    qh::ui::closeTaskWindow(this);
    qh::ui::doEvents();
}

// ---- keys and window life -----------------------------------------------------------------

bool Frmfjwh::eventFilter(QObject *watched, QEvent *e)
{
    if (e->type() == QEvent::KeyPress) {
        auto *k = static_cast<QKeyEvent *>(e);
        if (qh::ui::isEnterKey(k) && !(k->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier))
            && m_enter->enter(watched))
            return true;
    }
    return QWidget::eventFilter(watched, e);
}

void Frmfjwh::showEvent(QShowEvent *e)
{
    if (!m_placed) {
        m_placed = true;
        // Centred across, a sixth of the free height above it.
        if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget()); sub && sub->mdiArea()) {
            const QSize free = sub->mdiArea()->viewport()->size() - sub->size();
            sub->move(qMax(0, free.width() / 2), qMax(0, free.height() / 6));
        } else if (isWindow()) {
            qh::ui::placeWindow(this, 6);
        }
    }
    if (!e->spontaneous()) {
        Qpcls();
        loadDrugList();
        qh::ui::focusAndSelect(TxtFjmc, Select::none());
    }
    QWidget::showEvent(e);
}

void registerFormulaWindow()
{
    qh::ui::registerTaskWindow(QStringLiteral("FjWh"), [] { return qh::ui::singleWindow<Frmfjwh>(); });
}

} // namespace qh::clinic::ui
