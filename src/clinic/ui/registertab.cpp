#include "clinic/ui/registertab.h"

#include "clinic/ui/entryboxes.h"
#include "clinic/ui/mailbox.h"
#include "clinic/ui/tabkit.h"
#include "clinic/visitentry.h"
#include "base/textutil.h"
#include "db/error.h"
#include "core/messages.h"
#include "core/modutarnxt.h"
#include "core/ui/uikit.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace qh::clinic::ui {

namespace {

// A case number in the tree. It holds its number and ordinal itself and answers the tree's
// questions from them: a plain item keeps a list of role values per column, several
// allocations per node, which made filling the tree of a large register the slowest part of
// opening the window.
class CaseNode : public QTreeWidgetItem {
public:
    CaseNode(const QString &number, int ordinal) : QTreeWidgetItem(UserType), m_number(number), m_ordinal(ordinal) {}

    QVariant data(int column, int role) const override
    {
        if (column == 0 && (role == Qt::DisplayRole || role == Qt::EditRole))
            return m_number;
        if (column == 0 && role == Qt::UserRole) // the node's key: ordinal + "c"
            return QStringLiteral("%1c").arg(m_ordinal);
        return QTreeWidgetItem::data(column, role);
    }

private:
    QString m_number;
    int m_ordinal;
};

template <class W>
W *named(W *w, const char *name)
{
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

void reportDbError(const DbError &e, bool numbered)
{
    qh::ui::setMousePointer(qh::ui::PointerArrow);
    msg::show(MsgIcon::Question, MsgButtons::Ok, numbered ? numberedReport(e) : shortReport(e));
}

} // namespace

RegisterTab::RegisterTab(MemoBox *notes, QWidget *parent) : QWidget(parent), m_notes(notes)
{
    setObjectName(QStringLiteral("RegisterTab"));
    TxtBlbh = named(new QLineEdit, "TxtBlbh");
    TxtBlbh->setMaxLength(20);
    TxtBlbh->setToolTip(QStringLiteral("15位字符"));
    TxtHzxm = named(new QLineEdit, "TxtHzxm");
    TxtHzxm->setMaxLength(5);
    TxtHzxm->setToolTip(QStringLiteral("最多可输入5位汉字"));
    CboHzxb = named(new QComboBox, "CboHzxb");
    CboHzag = named(new QComboBox, "CboHzag");
    CboHyqk = named(new QComboBox, "CboHyqk");
    MaskCzsj = named(new MaskBox(QStringLiteral("9999-99-99")), "MaskCzsj");
    MaskJzsj = named(new MaskBox(QStringLiteral("9999-99-99")), "MaskJzsj");
    CboHzzy = named(new QComboBox, "CboHzzy");
    CboHzzy->setEditable(true);
    CboHzzy->setInsertPolicy(QComboBox::NoInsert);
    CboHzzy->lineEdit()->setMaxLength(50);
    TxtHzdz = named(new QLineEdit, "TxtHzdz");
    TxtHzdw = named(new QLineEdit, "TxtHzdw");
    TxtMail = named(new MailBox, "TxtMail");
    TxtTele = named(new QLineEdit, "TxtTele");
    for (QLineEdit *e : {TxtHzdz, TxtHzdw, static_cast<QLineEdit *>(TxtMail), TxtTele})
        e->setMaxLength(50);
    for (QWidget *w : std::initializer_list<QWidget *>{TxtBlbh, TxtHzxm, CboHzxb, CboHzag, CboHyqk, MaskCzsj, MaskJzsj,
                                                       CboHzzy, TxtHzdz, TxtHzdw, TxtMail, TxtTele})
        tint(w);

    TxtHzcz = named(new QLineEdit, "TxtHzcz");
    TxtHzcz->setPlaceholderText(QStringLiteral("姓名拼音/病历号/电话"));
    TxtHzcz->setMaxLength(20);
    TxtHzcz->installEventFilter(this);
    TreeView1 = named(new QTreeWidget, "TreeView1");
    TreeView1->setHeaderLabel(QStringLiteral("患者病历号码"));
    TreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TreeView1->setRootIsDecorated(true);
    TreeView1->setFrameShape(QFrame::Box);
    TreeView1->setUniformRowHeights(true);
    auto *root = new QTreeWidgetItem(TreeView1, {QStringLiteral("患者病历号码")});
    root->setData(0, Qt::UserRole, QStringLiteral("患者病历"));
    root->setExpanded(true);

    MSFGrid = named(new QTableWidget, "MSFGrid");
    MSFGrid->setColumnCount(4);
    MSFGrid->setHorizontalHeaderLabels({QStringLiteral("诊断时间"), QStringLiteral("诊断科室"), QStringLiteral("诊断医师"),
                                        QStringLiteral("病症情况")});
    MSFGrid->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    MSFGrid->horizontalHeader()->setFixedHeight(px(400));
    MSFGrid->verticalHeader()->setVisible(false);
    MSFGrid->verticalHeader()->setDefaultSectionSize(px(370));
    MSFGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    MSFGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    MSFGrid->setSelectionMode(QAbstractItemView::SingleSelection);

    CmdHzbc = named(new QPushButton(QStringLiteral("资料保存/修改")), "CmdHzbc");
    CmdMzzd = named(new QPushButton(QStringLiteral("门诊诊断")), "CmdMzzd");
    CmdZdxd = named(new QPushButton(QStringLiteral("编辑诊断心得")), "CmdZdxd");
    CmdQcls = named(new QPushButton(QStringLiteral("清空登录窗口")), "CmdQcls");
    CmdMztc = named(new QPushButton(QStringLiteral("退出门诊诊断")), "CmdMztc");
    CmdHelp = named(new QPushButton(QStringLiteral("操作使用帮助")), "CmdHelp");
    CmdYycf = named(new QPushButton(QStringLiteral("引用此方(&Y)")), "CmdYycf");
    CmdYycf->setToolTip(QStringLiteral("开始一次新的诊断，处方从所选（未选时为最近一次）诊断的处方开始"));
    layOut();

    // Enter moves through the register; the logic names the box a refusal focuses.
    const auto checked = [this](CaseField f, QWidget *box) {
        return [f, box] { return registerEnterCheck(f, textOf(box), QDate::currentDate()); };
    };
    const Select all = Select::all(), none = Select::none();
    m_enter = std::make_unique<EnterChain<CaseField>>(
        [this](CaseField f) { return widgetOf(f); },
        std::vector<EnterStep<CaseField>>{
            {TxtBlbh, TxtHzxm, all, checked(CaseField::TxtBlbh, TxtBlbh)},
            {TxtHzxm, CboHzxb, none, checked(CaseField::TxtHzxm, TxtHzxm)},
            {CboHzxb, CboHzag, none, checked(CaseField::CboHzxb, CboHzxb)},
            {CboHzag, CboHyqk, none, checked(CaseField::CboHzag, CboHzag)},
            {CboHyqk, MaskCzsj, all, checked(CaseField::CboHyqk, CboHyqk)},
            {MaskCzsj, CboHzzy, all, checked(CaseField::MaskCzsj, MaskCzsj)},
            {MaskJzsj, CboHzzy, all, {}},
            {CboHzzy, TxtHzdz, all, {}},
            {TxtHzdz, TxtHzdw, all, checked(CaseField::TxtHzdz, TxtHzdz)},
            {TxtHzdw, TxtMail, all, {}},
            {TxtMail, TxtTele, all, checked(CaseField::TxtMail, TxtMail)},
            {TxtTele, CmdHzbc, none, checked(CaseField::TxtTele, TxtTele)},
        });
    for (QObject *o : m_enter->watched())
        o->installEventFilter(this);
    // Space is refused in these boxes (input methods commit their text without a space key).
    m_noSpace = {TxtBlbh, TxtHzxm, CboHzzy, CboHzzy->lineEdit(), TxtHzdz, TxtHzdw, TxtMail, TxtTele, MaskCzsj};

    connect(TreeView1, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem *item) { TreeView1_Click(item); });
    connect(TxtHzcz, &QLineEdit::textChanged, this, &RegisterTab::filterTree);
    connect(CmdHzbc, &QPushButton::clicked, this, &RegisterTab::CmdHzbc_Click);
}

RegisterTab::~RegisterTab() = default;

void RegisterTab::layOut()
{
    // Wide enough for what each box holds: the case number's 20 characters are shown 10 wide
    // like every long text; names, dates and the grid's dates whole.
    fitChars(TxtBlbh, 10);
    fitChars(TxtHzxm, 5);
    fitChars(MaskCzsj, 10);
    fitChars(MaskJzsj, 10);
    for (QLineEdit *e : {TxtHzdz, TxtHzdw, static_cast<QLineEdit *>(TxtMail), TxtTele})
        fitChars(e, 10);
    fitItems(CboHyqk, {QStringLiteral("已婚")});
    fitItems(CboHzxb, {QStringLiteral("男")});
    fitItems(CboHzag, {QStringLiteral("100")});

    const QFontMetrics fm(MSFGrid->font());
    const int widths[] = {qMax(px(1200), fm.horizontalAdvance(QStringLiteral("2026-12-07")) + 16),
                          qMax(px(1200), fm.horizontalAdvance(QStringLiteral("中医妇科")) + 16),
                          qMax(px(1500), fm.horizontalAdvance(QStringLiteral("王医生")) + 16)};
    for (int c = 0; c < 3; ++c)
        MSFGrid->setColumnWidth(c, widths[c]);
    // The history column takes the rest of the grid, so the grid never scrolls sideways.
    MSFGrid->horizontalHeader()->setStretchLastSection(true);
    MSFGrid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    MSFGrid->horizontalHeader()->setMinimumSectionSize(px(1200));

    auto *form = new QGridLayout;
    auto label = [](const char *text) { return new QLabel(QString::fromUtf8(text)); };
    form->addWidget(label("病历编号"), 0, 0);
    form->addWidget(TxtBlbh, 0, 1);
    form->addWidget(label("患者姓名"), 0, 2);
    form->addWidget(TxtHzxm, 0, 3);
    form->addWidget(label("性别"), 1, 0);
    form->addWidget(CboHzxb, 1, 1);
    form->addWidget(label("年龄"), 1, 2);
    form->addWidget(CboHzag, 1, 3);
    form->addWidget(label("婚姻"), 2, 0);
    form->addWidget(CboHyqk, 2, 1);
    form->addWidget(label("职业"), 2, 2);
    form->addWidget(CboHzzy, 2, 3);
    form->addWidget(label("初诊时间"), 3, 0);
    form->addWidget(MaskCzsj, 3, 1);
    form->addWidget(label("末诊时间"), 3, 2);
    form->addWidget(MaskJzsj, 3, 3);
    form->addWidget(label("家庭住址"), 4, 0);
    form->addWidget(TxtHzdz, 4, 1, 1, 3);
    form->addWidget(label("工作单位"), 5, 0);
    form->addWidget(TxtHzdw, 5, 1, 1, 3);
    form->addWidget(label("电子信箱"), 6, 0);
    form->addWidget(TxtMail, 6, 1);
    form->addWidget(label("电话"), 6, 2);
    form->addWidget(TxtTele, 6, 3);

    auto *buttons = new QGridLayout;
    buttons->addWidget(CmdHzbc, 0, 0);
    buttons->addWidget(CmdMzzd, 0, 1);
    buttons->addWidget(CmdZdxd, 0, 2);
    buttons->addWidget(CmdQcls, 1, 0);
    buttons->addWidget(CmdHelp, 1, 1);
    buttons->addWidget(CmdMztc, 1, 2);

    auto *right = new QVBoxLayout;
    right->addLayout(form);
    right->addLayout(buttons);
    auto *gridHead = new QHBoxLayout;
    gridHead->addWidget(new QLabel(QStringLiteral("患者病历内容")));
    gridHead->addStretch(1);
    gridHead->addWidget(CmdYycf);
    right->addLayout(gridHead);
    right->addWidget(MSFGrid, 1);

    auto *row = new QHBoxLayout(this);
    auto *tree = new QVBoxLayout;
    tree->addWidget(TxtHzcz);
    tree->addWidget(TreeView1, 1);
    row->addLayout(tree, 1);
    row->addLayout(right, 3);

    QWidget::setTabOrder(TxtBlbh, TxtHzxm);
    QWidget::setTabOrder(TxtHzxm, CboHzxb);
    QWidget::setTabOrder(CboHzxb, CboHzag);
    QWidget::setTabOrder(CboHzag, CboHyqk);
    QWidget::setTabOrder(CboHyqk, MaskCzsj);
    QWidget::setTabOrder(MaskCzsj, MaskJzsj);
    QWidget::setTabOrder(MaskJzsj, CboHzzy);
    QWidget::setTabOrder(CboHzzy, TxtHzdz);
    QWidget::setTabOrder(TxtHzdz, TxtHzdw);
    QWidget::setTabOrder(TxtHzdw, TxtMail);
    QWidget::setTabOrder(TxtMail, TxtTele);
    QWidget::setTabOrder(TxtTele, CmdHzbc);
}

QWidget *RegisterTab::widgetOf(CaseField f) const
{
    switch (f) {
    case CaseField::TxtBlbh: return TxtBlbh;
    case CaseField::TxtHzxm: return TxtHzxm;
    case CaseField::CboHzxb: return CboHzxb;
    case CaseField::CboHzag: return CboHzag;
    case CaseField::CboHyqk: return CboHyqk;
    case CaseField::MaskCzsj: return MaskCzsj;
    case CaseField::MaskJzsj: return MaskJzsj;
    case CaseField::CboHzzy: return CboHzzy;
    case CaseField::TxtHzdz: return TxtHzdz;
    case CaseField::TxtHzdw: return TxtHzdw;
    case CaseField::TxtMail: return TxtMail;
    case CaseField::TxtTele: return TxtTele;
    case CaseField::CmdHzbc: return CmdHzbc;
    case CaseField::CmdQcls: return CmdQcls;
    case CaseField::TreeView1: return TreeView1;
    }
    qh::ui::unmappedControl("RegisterTab", int(f));
}

bool RegisterTab::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (watched == TxtHzcz && qh::ui::isEnterKey(key)) {
            showFiltered();
            return true;
        }
        if (qh::ui::isEnterKey(key))
            return m_enter->enter(watched);
        if (key->key() == Qt::Key_Space && m_noSpace.contains(watched))
            return true;
    }
    return QWidget::eventFilter(watched, event);
}

void RegisterTab::clearGrid()
{
    MSFGrid->clearContents();
    MSFGrid->setRowCount(0);
}

CaseRecord RegisterTab::caseFromBoxes() const
{
    CaseRecord r;
    r.blbm = TxtBlbh->text();
    r.blxm = TxtHzxm->text();
    r.blxb = CboHzxb->currentText();
    r.blnl = CboHzag->currentText();
    r.blhf = CboHyqk->currentText();
    r.blsj = MaskCzsj->maskText();
    r.bljz = MaskJzsj->maskText();
    r.blzy = CboHzzy->currentText();
    r.bldz = TxtHzdz->text();
    r.bldw = TxtHzdw->text();
    r.mail = TxtMail->text();
    r.blte = TxtTele->text();
    r.blxd = m_notes->text();
    return r;
}

void RegisterTab::caseToBoxes(const CaseRecord &r)
{
    TxtBlbh->setText(r.blbm);
    TxtHzxm->setText(r.blxm);
    setComboText(CboHzxb, r.blxb);
    setComboText(CboHzag, r.blnl);
    setComboText(CboHyqk, r.blhf);
    MaskCzsj->setText(r.blsj);
    MaskJzsj->setText(r.bljz);
    setComboText(CboHzzy, r.blzy);
    TxtHzdz->setText(r.bldz);
    TxtHzdw->setText(r.bldw);
    TxtMail->setText(r.mail);
    TxtTele->setText(r.blte);
    m_notes->setText(r.blxd);
}

void RegisterTab::QpHzzl()
{
    qh::ui::BusyPointer busy;
    clearGrid();
    TxtBlbh->clear();
    MaskCzsj->setText(todayText());
    MaskJzsj->setText(todayText());
    fillCombo(CboHyqk, {QStringLiteral("已婚"), QStringLiteral("未婚")});
    fillCombo(CboHzxb, {QStringLiteral("男"), QStringLiteral("女")});
    fillCombo(CboHzag, doseItems(1, 100));
    fillCombo(CboHzzy, {});
    TxtBlbh->setEnabled(true);
    for (QLineEdit *e : {TxtHzxm, TxtTele, static_cast<QLineEdit *>(TxtMail), TxtHzdw, TxtHzdz})
        e->clear();
    TxtMail->showPlain();
    m_notes->hide();
    m_notes->setText(QString());

    RegisterLists lists;
    try {
        auto s = Modutarnxt::clinicStore().open();
        lists = registerLists(s);
    } catch (const DbError &) {
        // The lists stay as they are; the next action reports a database that cannot be used.
    }
    QTreeWidgetItem *root = TreeView1->topLevelItem(0);
    if (!lists.caseNumbers.isEmpty()) {
        fillCombo(CboHzzy, lists.occupations);
        qDeleteAll(root->takeChildren());
        QList<QTreeWidgetItem *> nodes;
        nodes.reserve(lists.caseNumbers.size());
        int ordinal = 0;
        for (const QString &number : std::as_const(lists.caseNumbers))
            nodes << new CaseNode(number, ++ordinal);
        root->addChildren(nodes);
        root->setExpanded(true);
        m_filter.forget();
        filterTree();
    }
}

void RegisterTab::filterTree()
{
    QTreeWidgetItem *root = TreeView1->topLevelItem(0);
    const QString typed = TxtHzcz->text().trimmed();
    QSet<QString> shown;
    if (!typed.isEmpty()) {
        try {
            if (!m_filter.loaded()) {
                auto s = Modutarnxt::clinicStore().open();
                m_filter.load(s);
            }
        } catch (const DbError &) {
            return; // the tree stays whole; the next action reports a database that cannot be used
        }
        const QStringList found = m_filter.matches(typed);
        shown = QSet<QString>(found.begin(), found.end());
    }
    TreeView1->setUpdatesEnabled(false);
    for (int i = 0; i < root->childCount(); ++i) {
        QTreeWidgetItem *node = root->child(i);
        const bool hide = !typed.isEmpty() && !shown.contains(node->text(0));
        if (node->isHidden() != hide)
            node->setHidden(hide);
    }
    TreeView1->setUpdatesEnabled(true);
}

// Enter in the filter: the selected case when it is shown, else the only one shown.
void RegisterTab::showFiltered()
{
    QTreeWidgetItem *root = TreeView1->topLevelItem(0);
    QTreeWidgetItem *pick = TreeView1->currentItem();
    if (!pick || pick->parent() != root || pick->isHidden()) {
        pick = nullptr;
        for (int i = 0; i < root->childCount(); ++i) {
            if (root->child(i)->isHidden())
                continue;
            if (pick)
                return; // more than one: the user chooses in the tree
            pick = root->child(i);
        }
    }
    if (!pick || TxtHzcz->text().trimmed().isEmpty())
        return;
    TreeView1->setCurrentItem(pick);
    TreeView1->scrollToItem(pick);
    TreeView1_Click(pick);
}

void RegisterTab::TreeView1_Click(QTreeWidgetItem *item)
{
    clearGrid();
    if (!item || !item->parent())
        return;
    showCase(item->text(0));
}

void RegisterTab::openCase(const QString &caseNumber)
{
    const QString number = trimSpaces(caseNumber);
    TxtHzcz->clear(); // the whole tree, so the case's node is shown
    QTreeWidgetItem *root = TreeView1->topLevelItem(0);
    for (int i = 0; root && i < root->childCount(); ++i) {
        QTreeWidgetItem *node = root->child(i);
        if (node->text(0).compare(number, Qt::CaseInsensitive) == 0) { // case numbers compare as the database does
            TreeView1->setCurrentItem(node);
            TreeView1->scrollToItem(node);
            break;
        }
    }
    TreeView1->setFocus(Qt::OtherFocusReason);
    clearGrid();
    showCase(number);
}

void RegisterTab::showCase(const QString &number)
{
    try {
        const auto record = [&] {
            auto s = Modutarnxt::clinicStore().open();
            return findCase(s, number);
        }();
        if (!record) {
            msg::info(QStringLiteral("病历号 ") + number + QStringLiteral(" 属于新的患者资料"));
            return;
        }
        caseToBoxes(*record);
        TxtMail->showPlain();
        const auto visits = [&] {
            auto s = Modutarnxt::clinicStore().open();
            return visitsOf(s, number);
        }();
        if (visits.empty()) {
            msg::info(QStringLiteral("没有 ") + number + QStringLiteral(" 诊断资料"));
            return;
        }
        MSFGrid->setRowCount(int(visits.size()));
        for (int r = 0; r < int(visits.size()); ++r) {
            const VisitRow &v = visits[size_t(r)];
            const QString cells[4] = {v.date, v.dept, v.doctor, v.history};
            for (int c = 0; c < 4; ++c)
                MSFGrid->setItem(r, c, new QTableWidgetItem(cells[c]));
        }
    } catch (const DbError &e) {
        reportDbError(e, false);
    }
}

void RegisterTab::srnrJyhz()
{
    srjybl = 1;
    CaseRecord r = caseFromBoxes();
    const CaseVerdict refused = clinic::srnrJyhz(r);
    // The boxes show what was checked: trimmed texts, and " " in the optional ones.
    TxtBlbh->setText(r.blbm);
    MaskCzsj->setText(r.blsj);
    TxtHzxm->setText(r.blxm);
    CboHzzy->setEditText(r.blzy);
    TxtHzdw->setText(r.bldw);
    TxtHzdz->setText(r.bldz);
    TxtTele->setText(r.blte);
    TxtMail->setText(r.mail);
    if (m_notes->text() != r.blxd)
        m_notes->setText(r.blxd);
    MaskCzsj->setEnabled(true);
    TxtBlbh->setEnabled(true);
    if (refused) {
        qh::ui::refuse(*refused, widgetOf(refused->field));
        return;
    }
    srjybl = 0;
}

void RegisterTab::CmdHzbc_Click()
{
    if (!msg::ask(QStringLiteral("保存后病历编号和患者姓名不能进行修改或删除，继续吗？")))
        return;
    srnrJyhz();
    if (srjybl == 1)
        return;
    try {
        qh::ui::BusyPointer busy;
        auto s = Modutarnxt::clinicStore().open();
        saveCase(s, caseFromBoxes(), Modutarnxt::CurrentUser);
    } catch (const DbError &e) {
        reportDbError(e, true);
        return;
    }
    QpHzzl();
    TxtBlbh->setFocus(Qt::OtherFocusReason);
}

} // namespace qh::clinic::ui
