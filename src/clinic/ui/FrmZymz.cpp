#include "clinic/ui/FrmZymz.h"
#include "clinic/ui/entryboxes.h"
#include "clinic/ui/printbuttons.h"
#include "core/dberror.h"
#include "core/messages.h"
#include "core/modutarnxt.h"
#include "core/textutil.h"
#include "core/ui/FrmHelp.h"
#include "core/ui/taskwindows.h"
#include "core/ui/uikit.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QTableWidget>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

namespace qh::clinic::ui {

namespace {

MailOpener &mailOpener()
{
    static MailOpener opener;
    return opener;
}

bool openMailAddress(const QUrl &url)
{
    if (mailOpener())
        return mailOpener()(url);
    return QDesktopServices::openUrl(url);
}

// Twips of the grid and window sizes as pixels (15 twips a pixel at 96 dpi).
constexpr int px(int twips) { return twips / 15; }

const QColor LightBlue(0xE6, 0xF2, 0xFF);

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
}

} // namespace

void setMailOpener(MailOpener opener) { mailOpener() = std::move(opener); }

void registerOutpatientWindow()
{
    qh::ui::registerTaskWindow(QStringLiteral("sad"), [] { return static_cast<QWidget *>(qh::ui::singleWindow<FrmZymz>()); });
}

FrmZymz::FrmZymz(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("FrmZymz"));
    setWindowTitle(QStringLiteral("门诊疾病诊断"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFont(QFont(QStringLiteral("宋体"), 10));
    resize(px(12000), px(8700));

    auto *outer = new QVBoxLayout(this);
    SSTab1 = new QTabWidget(this);
    SSTab1->setObjectName(QStringLiteral("SSTab1"));
    outer->addWidget(SSTab1);
    auto *page0 = new QWidget;
    auto *page1 = new QWidget;
    auto *page2 = new QWidget;
    SSTab1->addTab(page0, QStringLiteral("门诊病案"));
    SSTab1->addTab(page1, QStringLiteral("门诊诊断"));
    SSTab1->addTab(page2, QStringLiteral("门诊病案诊断心得"));
    buildRegisterTab(page0);
    buildDiagnosisTab(page1);
    buildNotesTab(page2);
    Form_Load();
}

FrmZymz::~FrmZymz() = default;

// ---------------------------------------------------------------------------------------------
// Building the tabs

void FrmZymz::buildRegisterTab(QWidget *page)
{
    auto named = [this](auto *w, const char *name) {
        w->setObjectName(QString::fromLatin1(name));
        return w;
    };
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
    TxtMail = named(new QLineEdit, "TxtMail");
    TxtTele = named(new QLineEdit, "TxtTele");
    for (QLineEdit *e : {TxtHzdz, TxtHzdw, TxtMail, TxtTele})
        e->setMaxLength(50);
    TxtMail->setMouseTracking(true);
    for (QWidget *w : std::initializer_list<QWidget *>{TxtBlbh, TxtHzxm, CboHzxb, CboHzag, CboHyqk, MaskCzsj, MaskJzsj,
                                                       CboHzzy, TxtHzdz, TxtHzdw, TxtMail, TxtTele})
        tint(w);

    TreeView1 = named(new QTreeWidget, "TreeView1");
    TreeView1->setHeaderLabel(QStringLiteral("患者病历号码"));
    TreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TreeView1->setRootIsDecorated(true);
    TreeView1->setFrameShape(QFrame::Box);
    TreeView1->setUniformRowHeights(true);

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
    const int widths[] = {1200, 1200, 1500, 4400};
    for (int c = 0; c < 4; ++c)
        MSFGrid->setColumnWidth(c, px(widths[c]));

    CmdHzbc = named(new QPushButton(QStringLiteral("资料保存/修改")), "CmdHzbc");
    CmdMzzd = named(new QPushButton(QStringLiteral("门诊诊断")), "CmdMzzd");
    CmdZdxd = named(new QPushButton(QStringLiteral("编辑诊断心得")), "CmdZdxd");
    CmdQcls = named(new QPushButton(QStringLiteral("清空登录窗口")), "CmdQcls");
    CmdMztc = named(new QPushButton(QStringLiteral("退出门诊诊断")), "CmdMztc");
    CmdHelp = named(new QPushButton(QStringLiteral("操作使用帮助")), "CmdHelp");

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
    right->addWidget(new QLabel(QStringLiteral("患者病历内容")));
    right->addWidget(MSFGrid, 1);

    auto *row = new QHBoxLayout(page);
    row->addWidget(TreeView1, 1);
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

    for (QObject *o : std::initializer_list<QObject *>{TxtBlbh, TxtHzxm, CboHzxb, CboHzag, CboHyqk, MaskCzsj, MaskJzsj,
                                                       CboHzzy, CboHzzy->lineEdit(), TxtHzdz, TxtHzdw, TxtMail, TxtTele})
        o->installEventFilter(this);

    connect(TreeView1, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem *item) { TreeView1_Click(item); });
    connect(MSFGrid, &QTableWidget::cellClicked, this, [this](int r, int) { MSFGrid_Click(r); });
    connect(CmdHzbc, &QPushButton::clicked, this, &FrmZymz::CmdHzbc_Click);
    connect(CmdMzzd, &QPushButton::clicked, this, &FrmZymz::CmdMzzd_Click);
    connect(CmdZdxd, &QPushButton::clicked, this, &FrmZymz::CmdZdxd_Click);
    connect(CmdQcls, &QPushButton::clicked, this, &FrmZymz::CmdQcls_Click);
    connect(CmdMztc, &QPushButton::clicked, this, &FrmZymz::CmdMztc_Click);
    connect(CmdHelp, &QPushButton::clicked, this, &FrmZymz::CmdHelp_Click);
}

void FrmZymz::buildDiagnosisTab(QWidget *page)
{
    const char *captions[12] = {"病历号码", "诊断科室", "诊断时间", "诊断医师", "血压",     "脉搏",
                                "呼吸",     "病史陈述", "诊断治疗", "处方",     "使用方法", "使用剂量"};
    for (int i = 0; i < 12; ++i) {
        Lab1[i] = new QLabel(QString::fromUtf8(captions[i]));
        Lab1[i]->setObjectName(QStringLiteral("Lab1(%1)").arg(i));
    }
    TxtStb1_0 = new QLineEdit;
    TxtStb1_1 = new QLineEdit;
    // Shows the case number of the register, which may be longer than the 15 typed characters.
    TxtStb1_0->setMaxLength(20);
    TxtStb1_1->setMaxLength(15);
    TxtStb1_2 = new MemoBox;
    TxtStb1_3 = new MemoBox;
    TxtStb1_4 = new MemoBox;
    TxtStb1_5 = new MemoBox;
    TxtStb1_2->setMaxLength(210);
    TxtStb1_3->setMaxLength(210);
    TxtStb1_4->setMaxLength(240);
    TxtStb1_5->setMaxLength(150);
    QWidget *stb[6] = {TxtStb1_0, TxtStb1_1, TxtStb1_2, TxtStb1_3, TxtStb1_4, TxtStb1_5};
    for (int i = 0; i < 6; ++i) {
        stb[i]->setObjectName(QStringLiteral("TxtStb1(%1)").arg(i));
        tint(stb[i]);
        stb[i]->installEventFilter(this);
    }
    MasZdsj[0] = new MaskBox(QStringLiteral("9999-99-99"));
    MasZdsj[1] = new MaskBox;
    MasZdsj[1]->setMaxLength(11);
    MasZdsj[2] = new MaskBox(QStringLiteral("99"));
    MasZdsj[3] = new MaskBox(QStringLiteral("99"));
    MasZdsj[4] = new MaskBox(QStringLiteral("9999-99-99"));
    for (int i = 0; i < 5; ++i) {
        MasZdsj[i]->setObjectName(QStringLiteral("MasZdsj(%1)").arg(i));
        tint(MasZdsj[i]);
        MasZdsj[i]->installEventFilter(this);
    }
    CboZdks = new QComboBox;
    CboZdks->setObjectName(QStringLiteral("CboZdks"));
    CboZdks->setEditable(true);
    CboZdks->setInsertPolicy(QComboBox::NoInsert);
    CboZdks->lineEdit()->setMaxLength(50);
    tint(CboZdks);
    CboZdks->installEventFilter(this);
    CboZdks->lineEdit()->installEventFilter(this);
    CboYpfl = new QComboBox;
    CboYpfl->setObjectName(QStringLiteral("CboYpfl"));
    LisYpfl = new QListWidget;
    LisYpfl->setObjectName(QStringLiteral("LisYpfl"));
    LisYpsl = new QListWidget;
    LisYpsl->setObjectName(QStringLiteral("LisYpsl"));
    CheFzbz = new QCheckBox(QStringLiteral("复诊"));
    CheFzbz->setObjectName(QStringLiteral("CheFzbz"));
    CmdZdzl = new QPushButton(QStringLiteral("保存"));
    CmdZdzl->setObjectName(QStringLiteral("CmdZdzl"));
    CmdZdde = new QPushButton(QStringLiteral("打印处方"));
    CmdZdde->setObjectName(QStringLiteral("CmdZdde"));
    CmdPrbl = new QPushButton(QStringLiteral("打印病历"));
    CmdPrbl->setObjectName(QStringLiteral("CmdPrbl"));
    CmdCkba = new QPushButton(QStringLiteral("返回首页"));
    CmdCkba->setObjectName(QStringLiteral("CmdCkba"));

    auto *g = new QGridLayout;
    g->addWidget(Lab1[0], 0, 0);
    g->addWidget(TxtStb1_0, 0, 1);
    g->addWidget(Lab1[1], 0, 2);
    g->addWidget(CboZdks, 0, 3);
    g->addWidget(Lab1[2], 0, 4);
    g->addWidget(MasZdsj[0], 0, 5);
    g->addWidget(Lab1[3], 1, 0);
    g->addWidget(TxtStb1_1, 1, 1);
    g->addWidget(Lab1[4], 1, 2);
    g->addWidget(MasZdsj[1], 1, 3);
    auto *vitals = new QHBoxLayout;
    vitals->addWidget(Lab1[5]);
    vitals->addWidget(MasZdsj[2]);
    vitals->addWidget(Lab1[6]);
    vitals->addWidget(MasZdsj[3]);
    g->addLayout(vitals, 1, 4, 1, 2);
    g->addWidget(Lab1[7], 2, 0);
    g->addWidget(TxtStb1_2, 2, 1, 1, 5);
    g->addWidget(Lab1[8], 3, 0);
    g->addWidget(TxtStb1_3, 3, 1, 1, 5);
    g->addWidget(Lab1[9], 4, 0);
    g->addWidget(TxtStb1_4, 4, 1, 1, 5);
    g->addWidget(Lab1[10], 5, 0);
    g->addWidget(TxtStb1_5, 5, 1, 1, 5);
    auto *follow = new QHBoxLayout;
    follow->addWidget(CheFzbz);
    follow->addWidget(MasZdsj[4]);
    follow->addStretch(1);
    g->addLayout(follow, 6, 1, 1, 5);

    auto *picks = new QVBoxLayout;
    picks->addWidget(CboYpfl);
    auto *lists = new QHBoxLayout;
    lists->addWidget(LisYpfl, 2);
    auto *doses = new QVBoxLayout;
    doses->addWidget(Lab1[11]);
    doses->addWidget(LisYpsl, 1);
    lists->addLayout(doses, 1);
    picks->addLayout(lists, 1);
    auto *cmds = new QGridLayout;
    cmds->addWidget(CmdZdzl, 0, 0);
    cmds->addWidget(CmdZdde, 0, 1);
    cmds->addWidget(CmdPrbl, 1, 0);
    cmds->addWidget(CmdCkba, 1, 1);
    picks->addLayout(cmds);

    auto *row = new QHBoxLayout(page);
    row->addLayout(g, 3);
    row->addLayout(picks, 1);

    QWidget::setTabOrder(TxtStb1_0, CboZdks);
    QWidget::setTabOrder(CboZdks, MasZdsj[0]);
    QWidget::setTabOrder(MasZdsj[0], TxtStb1_1);
    QWidget::setTabOrder(TxtStb1_1, MasZdsj[1]);
    QWidget::setTabOrder(MasZdsj[1], MasZdsj[2]);
    QWidget::setTabOrder(MasZdsj[2], MasZdsj[3]);
    QWidget::setTabOrder(MasZdsj[3], TxtStb1_2);
    QWidget::setTabOrder(TxtStb1_2, TxtStb1_3);
    QWidget::setTabOrder(TxtStb1_3, TxtStb1_4);
    QWidget::setTabOrder(TxtStb1_4, TxtStb1_5);
    QWidget::setTabOrder(TxtStb1_5, CheFzbz);
    QWidget::setTabOrder(CheFzbz, MasZdsj[4]);

    connect(CboYpfl, &QComboBox::activated, this, [this](int) { CboYpfl_Click(); });
    connect(LisYpfl, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem *) { LisYpfl_DblClick(); });
    connect(LisYpsl, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem *) { LisYpsl_DblClick(); });
    connect(CheFzbz, &QCheckBox::clicked, this, &FrmZymz::CheFzbz_Click);
    connect(CmdZdzl, &QPushButton::clicked, this, &FrmZymz::CmdZdzl_Click);
    connect(CmdCkba, &QPushButton::clicked, this, &FrmZymz::CmdCkba_Click);
    connect(CmdZdde, &QPushButton::clicked, this, &FrmZymz::CmdZdde_Click);
    connect(CmdPrbl, &QPushButton::clicked, this, &FrmZymz::CmdPrbl_Click);
}

void FrmZymz::buildNotesTab(QWidget *page)
{
    TxtZlxd = new MemoBox;
    TxtZlxd->setObjectName(QStringLiteral("TxtZlxd"));
    tint(TxtZlxd);
    TxtZlxd->installEventFilter(this);
    CmdXdbc = new QPushButton(QStringLiteral("保存/修改诊断心得"));
    CmdXdbc->setObjectName(QStringLiteral("CmdXdbc"));
    CmdPrxd = new QPushButton(QStringLiteral("打印诊断心得"));
    CmdPrxd->setObjectName(QStringLiteral("CmdPrxd"));
    CmdBack = new QPushButton(QStringLiteral("返回首页"));
    CmdBack->setObjectName(QStringLiteral("CmdBack"));
    auto *v = new QVBoxLayout(page);
    v->addWidget(TxtZlxd, 1);
    auto *h = new QHBoxLayout;
    h->addStretch(1);
    h->addWidget(CmdXdbc);
    h->addWidget(CmdPrxd);
    h->addWidget(CmdBack);
    v->addLayout(h);
    connect(CmdXdbc, &QPushButton::clicked, this, &FrmZymz::CmdXdbc_Click);
    connect(CmdPrxd, &QPushButton::clicked, this, &FrmZymz::CmdPrxd_Click);
    connect(CmdBack, &QPushButton::clicked, this, &FrmZymz::CmdBack_Click);
}

// ---------------------------------------------------------------------------------------------
// Loading, placing, closing

void FrmZymz::Form_Load()
{
    auto *root = new QTreeWidgetItem(TreeView1, {QStringLiteral("患者病历号码")});
    root->setData(0, Qt::UserRole, QStringLiteral("患者病历"));
    root->setExpanded(true);
    clearGrid();
    QpHzzl();
    QpZdzl();
    QpZdxd();
    qh::ui::setMousePointer(qh::ui::PointerArrow);
}

void FrmZymz::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_placed)
        return;
    m_placed = true;
    // Over a wide main area the window sits centred and high; otherwise at the left edge.
    QWidget *frame = parentWidget() ? parentWidget() : this;
    const QWidget *area = frame->parentWidget();
    const QRect room = area ? area->rect()
                            : (QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->availableGeometry()
                                                                : QRect(0, 0, 1024, 768));
    if (room.width() > px(13000))
        frame->move(room.x() + (room.width() - px(12000)) / 2, room.y() + (room.height() - px(8700)) / 5);
    else
        frame->move(room.x(), frame->y());
}

void FrmZymz::closeEvent(QCloseEvent *event)
{
    qh::ui::EnableMainMenus();
    QWidget::closeEvent(event);
}

void FrmZymz::CmdMztc_Click()
{
    qh::ui::EnableMainMenus();
    qh::ui::closeTaskWindow(this);
}

void FrmZymz::CmdHelp_Click() { qh::ui::showHelp(this, QStringLiteral("MZ")); }

// ---------------------------------------------------------------------------------------------
// Helpers

QWidget *FrmZymz::control(const QString &name) const
{
    if (name == objectName())
        return const_cast<FrmZymz *>(this);
    return findChild<QWidget *>(name);
}

void FrmZymz::focusControl(const QString &name, Selection select)
{
    QWidget *w = control(name);
    if (!w)
        return;
    for (int i = 0; i < SSTab1->count(); ++i)
        if (SSTab1->widget(i)->isAncestorOf(w) && SSTab1->currentIndex() != i)
            SSTab1->setCurrentIndex(i);
    w->setFocus(Qt::OtherFocusReason);
    QLineEdit *line = qobject_cast<QLineEdit *>(w);
    if (auto *combo = qobject_cast<QComboBox *>(w))
        line = combo->lineEdit();
    if (line) {
        switch (select) {
        case Selection::None: break;
        case Selection::All: line->selectAll(); break;
        case Selection::FirstChar: line->setSelection(0, 1); break;
        case Selection::FirstTwo: line->setSelection(0, 2); break;
        }
    } else if (auto *memo = qobject_cast<MemoBox *>(w)) {
        if (select != Selection::None)
            memo->selectAll();
    }
}

void FrmZymz::showCheck(const Check &c)
{
    msg::info(c.message);
    focusControl(c.focus, c.select);
}

void FrmZymz::reportDbError(const std::exception &e, bool numbered)
{
    qh::ui::setMousePointer(qh::ui::PointerArrow);
    if (auto *d = dynamic_cast<const DbError *>(&e))
        msg::show(MsgIcon::Question, MsgButtons::Ok, numbered ? numberedReport(*d) : shortReport(*d));
    else
        msg::show(MsgIcon::Question, MsgButtons::Ok, QString::fromUtf8(e.what()));
}

void FrmZymz::clearGrid()
{
    MSFGrid->clearContents();
    MSFGrid->setRowCount(0);
}

QString FrmZymz::stbText(int i) const
{
    switch (i) {
    case 0: return TxtStb1_0->text();
    case 1: return TxtStb1_1->text();
    case 2: return TxtStb1_2->text();
    case 3: return TxtStb1_3->text();
    case 4: return TxtStb1_4->text();
    case 5: return TxtStb1_5->text();
    default: return {};
    }
}

void FrmZymz::setStbText(int i, const QString &text)
{
    switch (i) {
    case 0: TxtStb1_0->setText(text); break;
    case 1: TxtStb1_1->setText(text); break;
    case 2: TxtStb1_2->setText(text); break;
    case 3: TxtStb1_3->setText(text); break;
    case 4: TxtStb1_4->setText(text); break;
    case 5: TxtStb1_5->setText(text); break;
    default: break;
    }
}

CaseRecord FrmZymz::caseFromBoxes() const
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
    r.blxd = TxtZlxd->text();
    return r;
}

void FrmZymz::caseToBoxes(const CaseRecord &r)
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
    TxtZlxd->setText(r.blxd);
}

VisitRecord FrmZymz::visitFromBoxes() const
{
    VisitRecord v;
    v.blbm = stbText(0);
    v.blkb = CboZdks->currentText();
    v.blsj = MasZdsj[0]->maskText();
    v.zdys = stbText(1);
    v.bzxy = MasZdsj[1]->maskText();
    v.bzmb = MasZdsj[2]->maskText();
    v.bzhx = MasZdsj[3]->maskText();
    v.bzqk = stbText(2);
    v.blfa = stbText(3);
    v.blcf = stbText(4);
    v.blsx = stbText(5);
    v.fzsj = MasZdsj[4]->maskText();
    v.followUp = CheFzbz->isChecked();
    return v;
}

void FrmZymz::visitToBoxes(const VisitRecord &v)
{
    setStbText(0, v.blbm);
    setComboText(CboZdks, v.blkb);
    MasZdsj[0]->setText(v.blsj);
    setStbText(1, v.zdys);
    MasZdsj[1]->setText(v.bzxy);
    MasZdsj[2]->setText(v.bzmb);
    MasZdsj[3]->setText(v.bzhx);
    for (int i = 2; i <= 5; ++i)
        setStbText(i, i == 2 ? v.bzqk : i == 3 ? v.blfa : i == 4 ? v.blcf : v.blsx);
    MasZdsj[4]->setText(v.fzsj);
    QSignalBlocker b(CheFzbz);
    CheFzbz->setChecked(v.followUp);
}

// ---------------------------------------------------------------------------------------------
// Tab 0: case register

void FrmZymz::QpHzzl()
{
    qh::ui::setMousePointer(qh::ui::PointerBusy);
    clearGrid();
    TxtBlbh->clear();
    MaskCzsj->setText(todayText());
    MaskJzsj->setText(todayText());
    fillCombo(CboHyqk, {QStringLiteral("已婚"), QStringLiteral("未婚")});
    fillCombo(CboHzxb, {QStringLiteral("男"), QStringLiteral("女")});
    fillCombo(CboHzag, doseItems(1, 100));
    fillCombo(CboHzzy, {});
    TxtBlbh->setEnabled(true);
    for (QLineEdit *e : {TxtHzxm, TxtTele, TxtMail, TxtHzdw, TxtHzdz})
        e->clear();
    mailPlainStyle();
    m_mailWarned.clear();
    TxtZlxd->hide();
    TxtZlxd->setText(QString());

    RegisterLists lists;
    try {
        lists = registerLists();
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
        for (const QString &number : std::as_const(lists.caseNumbers)) {
            auto *node = new QTreeWidgetItem({number});
            node->setData(0, Qt::UserRole, QStringLiteral("%1c").arg(++ordinal));
            nodes << node;
        }
        root->addChildren(nodes);
        root->setExpanded(true);
    }
    SSTab1->setCurrentIndex(0);
    qh::ui::setMousePointer(qh::ui::PointerArrow);
}

void FrmZymz::TreeView1_Click(QTreeWidgetItem *item)
{
    clearGrid();
    if (!item || !item->parent())
        return;
    const QString number = item->text(0);
    try {
        const auto record = findCase(number);
        if (!record) {
            msg::info(QStringLiteral("病历号 ") + number + QStringLiteral(" 属于新的患者资料"));
            return;
        }
        caseToBoxes(*record);
        mailPlainStyle();
        m_mailWarned.clear();
        const auto visits = visitsOf(number);
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

void FrmZymz::srnrJyhz()
{
    srjybl = 1;
    CaseRecord r = caseFromBoxes();
    const Check c = clinic::srnrJyhz(r);
    // The boxes show what was checked: trimmed texts, and " " in the optional ones.
    TxtBlbh->setText(r.blbm);
    MaskCzsj->setText(r.blsj);
    TxtHzxm->setText(r.blxm);
    CboHzzy->setEditText(r.blzy);
    TxtHzdw->setText(r.bldw);
    TxtHzdz->setText(r.bldz);
    TxtTele->setText(r.blte);
    TxtMail->setText(r.mail);
    if (TxtZlxd->text() != r.blxd)
        TxtZlxd->setText(r.blxd);
    MaskCzsj->setEnabled(true);
    TxtBlbh->setEnabled(true);
    if (!c.ok) {
        showCheck(c);
        return;
    }
    srjybl = 0;
}

void FrmZymz::CmdHzbc_Click()
{
    if (!msg::ask(QStringLiteral("保存后病历编号和患者姓名不能进行修改或删除，继续吗？")))
        return;
    srnrJyhz();
    if (srjybl == 1)
        return;
    try {
        saveCase(caseFromBoxes(), Modutarnxt::CurrentUser);
    } catch (const DbError &e) {
        reportDbError(e, true);
        return;
    }
    QpHzzl();
    TxtBlbh->setFocus(Qt::OtherFocusReason);
}

void FrmZymz::CmdQcls_Click()
{
    QpHzzl();
    QpZdzl();
    QpZdxd();
    TxtBlbh->setFocus(Qt::OtherFocusReason);
}

// E-mail box as a link.

void FrmZymz::mailPlainStyle()
{
    QFont f = TxtMail->font();
    f.setItalic(false);
    f.setUnderline(false);
    TxtMail->setFont(f);
    QPalette p = TxtMail->palette();
    p.setColor(QPalette::Text, QApplication::palette().color(QPalette::Text));
    TxtMail->setPalette(p);
}

void FrmZymz::mailMouseMove()
{
    const QString address = trimSpaces(TxtMail->text());
    if (address.isEmpty())
        return;
    if (!isMailAddress(address)) {
        // Pointed out once per address, not at every movement of the mouse.
        if (m_mailWarned != address) {
            m_mailWarned = address;
            msg::info(QStringLiteral("电子信箱输入错误"));
        }
        TxtMail->selectAll();
        return;
    }
    QFont f = TxtMail->font();
    f.setItalic(true);
    f.setUnderline(true);
    TxtMail->setFont(f);
    QPalette p = TxtMail->palette();
    p.setColor(QPalette::Text, QColor(255, 0, 0));
    TxtMail->setPalette(p);
}

void FrmZymz::mailMouseDown()
{
    const QString address = trimSpaces(TxtMail->text());
    if (address.isEmpty())
        return;
    if (!isMailAddress(address)) {
        msg::info(QStringLiteral("电子信箱输入错误"));
        TxtMail->selectAll();
        return;
    }
    const bool opened = openMailAddress(QUrl(QStringLiteral("mailto:") + address));
    qh::ui::setMousePointer(qh::ui::PointerArrow);
    if (!opened)
        msg::info(QStringLiteral("不能用默认的邮件程序打开 mailto:") + address);
}

// Enter and space keys.

bool FrmZymz::handleEnter(const QString &name)
{
    auto trimmed = [](const QString &t) { return trimSpaces(t); };
    auto stay = [this](const QString &message, QWidget *w, bool select) {
        msg::info(message);
        w->setFocus(Qt::OtherFocusReason);
        if (select)
            focusControl(w->objectName(), Selection::All);
    };
    // Tab 0
    if (name == u"TxtBlbh") {
        if (!trimmed(TxtBlbh->text()).isEmpty())
            focusControl(QStringLiteral("TxtHzxm"));
        else
            stay(QStringLiteral("请输入病历号码"), TxtBlbh, false);
    } else if (name == u"TxtHzxm") {
        if (trimmed(TxtHzxm->text()).size() >= 2)
            focusControl(QStringLiteral("CboHzxb"), Selection::None);
        else
            stay(QStringLiteral("请输入患者姓名，患者姓名至少应为2个汉字"), TxtHzxm, true);
    } else if (name == u"CboHzxb") {
        if (CboHzxb->currentText().isEmpty())
            stay(QStringLiteral("输入患者性别"), CboHzxb, false);
        else
            focusControl(QStringLiteral("CboHzag"), Selection::None);
    } else if (name == u"CboHzag") {
        if (CboHzag->currentText().isEmpty())
            stay(QStringLiteral("输入患者年龄"), CboHzag, false);
        else
            focusControl(QStringLiteral("CboHyqk"), Selection::None);
    } else if (name == u"CboHyqk") {
        if (CboHyqk->currentText().isEmpty())
            stay(QStringLiteral("输入患者婚姻情况"), CboHyqk, false);
        else
            focusControl(QStringLiteral("MaskCzsj"));
    } else if (name == u"MaskCzsj") {
        const Check c = checkFirstVisitOnEnter(MaskCzsj->maskText(), QDate::currentDate());
        if (c.ok)
            focusControl(QStringLiteral("CboHzzy"));
        else
            showCheck(c);
    } else if (name == u"MaskJzsj" || name == u"CboHzzy") {
        focusControl(name == u"MaskJzsj" ? QStringLiteral("CboHzzy") : QStringLiteral("TxtHzdz"));
    } else if (name == u"TxtHzdz") {
        if (trimmed(TxtHzdz->text()).size() >= 2)
            focusControl(QStringLiteral("TxtHzdw"));
        else
            stay(QStringLiteral("请输入患者住址，患者地址不能为空"), TxtHzdz, true);
    } else if (name == u"TxtHzdw") {
        focusControl(QStringLiteral("TxtMail"));
    } else if (name == u"TxtMail") {
        const QString address = trimmed(TxtMail->text());
        if (!address.isEmpty() && !isMailAddress(address))
            stay(QStringLiteral("电子信箱输入错误"), TxtMail, true);
        else
            focusControl(QStringLiteral("TxtTele"));
    } else if (name == u"TxtTele") {
        if (trimmed(TxtTele->text()).size() >= 2)
            focusControl(QStringLiteral("CmdHzbc"), Selection::None);
        else
            stay(QStringLiteral("请输入患者联系电话"), TxtTele, true);
    }
    // Tab 1
    else if (name == u"CboZdks") {
        if (!trimmed(CboZdks->currentText()).isEmpty())
            focusControl(QStringLiteral("TxtStb1(1)"));
        else
            msg::info(QStringLiteral("输入诊断科室"));
    } else if (name == u"TxtStb1(1)") {
        if (!trimmed(stbText(1)).isEmpty())
            focusControl(QStringLiteral("MasZdsj(1)"));
        else
            stay(QStringLiteral("输入诊断医师"), TxtStb1_1, true);
    } else if (name == u"MasZdsj(1)") {
        if (MasZdsj[1]->maskText().size() < 3)
            stay(QStringLiteral("请输入患者血压。"), MasZdsj[1], true);
        else
            focusControl(QStringLiteral("MasZdsj(2)"), Selection::None);
    } else if (name == u"MasZdsj(2)") {
        if (MasZdsj[2]->maskText().size() == 2)
            focusControl(QStringLiteral("MasZdsj(3)"), Selection::None);
        else
            stay(QStringLiteral("请输入患者脉搏。"), MasZdsj[2], false);
    } else if (name == u"MasZdsj(3)") {
        if (MasZdsj[3]->maskText().size() == 2)
            focusControl(QStringLiteral("TxtStb1(2)"));
        else
            focusControl(QStringLiteral("MasZdsj(3)"));
    } else if (name == u"TxtStb1(2)") {
        if (!trimmed(stbText(2)).isEmpty())
            return false; // a line break
        focusControl(QStringLiteral("TxtStb1(3)"), Selection::None);
    } else if (name == u"TxtStb1(3)" || name == u"TxtStb1(4)" || name == u"TxtStb1(5)") {
        const int i = name.at(8).digitValue();
        if (!trimmed(stbText(i)).isEmpty())
            return false;
        msg::info(i == 3 ? QStringLiteral("输入诊断治疗内容。")
                         : i == 4 ? QStringLiteral("输入处方内容。") : QStringLiteral("输入处方使用注意事项。"));
        focusControl(name, Selection::None);
    }
    // Tab 2
    else if (name == u"TxtZlxd") {
        if (!trimmed(TxtZlxd->text()).isEmpty())
            return false;
        focusControl(QStringLiteral("CmdBack"), Selection::None);
    }
    // MasZdsj(0), MasZdsj(4), TxtStb1(0): swallowed, nothing else.
    return true;
}

bool FrmZymz::eventFilter(QObject *watched, QEvent *event)
{
    QObject *owner = watched;
    if (watched == CboHzzy->lineEdit())
        owner = CboHzzy;
    else if (watched == CboZdks->lineEdit())
        owner = CboZdks;
    const QString name = owner->objectName();

    switch (event->type()) {
    case QEvent::KeyPress: {
        auto *key = static_cast<QKeyEvent *>(event);
        if (qh::ui::isEnterKey(key)) {
            return handleEnter(name);
        }
        if (key->key() == Qt::Key_Space) {
            // Refused in the named boxes. Input methods commit their text without a space key.
            static const QStringList refused = {QStringLiteral("TxtBlbh"), QStringLiteral("TxtHzxm"), QStringLiteral("CboHzzy"),
                                                QStringLiteral("TxtHzdz"), QStringLiteral("TxtHzdw"), QStringLiteral("TxtMail"),
                                                QStringLiteral("TxtTele"), QStringLiteral("MaskCzsj"), QStringLiteral("CboZdks")};
            if (refused.contains(name))
                return true;
        }
        break;
    }
    case QEvent::MouseMove:
        if (watched == TxtMail)
            mailMouseMove();
        break;
    case QEvent::MouseButtonPress:
        if (watched == TxtMail)
            mailMouseDown();
        break;
    case QEvent::Leave:
        if (watched == TxtMail)
            mailPlainStyle();
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------------------
// Tab 1: diagnosis

void FrmZymz::setDiagnosisVisible(bool visible)
{
    for (QWidget *w : std::initializer_list<QWidget *>{TxtStb1_0, TxtStb1_1, TxtStb1_2, TxtStb1_3, TxtStb1_4, TxtStb1_5})
        w->setVisible(visible);
    for (QWidget *w : MasZdsj)
        w->setVisible(visible);
    for (QWidget *w : Lab1)
        w->setVisible(visible);
    for (QWidget *w : std::initializer_list<QWidget *>{CmdCkba, CmdZdzl, CmdPrbl, CmdZdde, CboZdks, CboYpfl, LisYpfl,
                                                       LisYpsl, CheFzbz})
        w->setVisible(visible);
}

void FrmZymz::QpZdzl()
{
    qh::ui::setMousePointer(qh::ui::PointerBusy);
    MasZdsj[0]->setText(todayText());
    MasZdsj[4]->setText(todayText());
    setDiagnosisVisible(false);
    LisYpsl->clear();
    LisYpsl->addItems(doseItems(1, 200));
    clearGrid();
    qh::ui::setMousePointer(qh::ui::PointerArrow);
}

void FrmZymz::TclBnr()
{
    PickLists lists;
    try {
        lists = clinic::TclBnr();
    } catch (const DbError &e) {
        reportDbError(e, false);
        return;
    }
    if (lists.categories)
        fillCombo(CboYpfl, *lists.categories);
    if (lists.departments)
        fillCombo(CboZdks, *lists.departments);
    if (lists.resetDoses) {
        LisYpsl->clear();
        LisYpsl->addItems(doseItems(0, 100));
    }
}

void FrmZymz::CmdMzzd_Click()
{
    if (trimSpaces(TxtBlbh->text()).size() <= 2) {
        msg::info(QStringLiteral("请指明病历号码"));
        TreeView1->setFocus(Qt::OtherFocusReason);
        return;
    }
    VisitRecord v = newVisit(TxtBlbh->text(), QDate::currentDate());
    visitToBoxes(v);
    TxtStb1_0->setEnabled(false);
    MasZdsj[0]->setEnabled(false);
    MasZdsj[4]->setEnabled(false);
    CboZdks->setEditText(QString());
    TclBnr();
    CboZdks->setEditText(QString());
    setDiagnosisVisible(true);
    LisYpfl->clear();
    SSTab1->setCurrentIndex(1);
    CboZdks->setFocus(Qt::OtherFocusReason);
}

void FrmZymz::MSFGrid_Click(int row)
{
    if (row < 0 || row >= MSFGrid->rowCount() || !MSFGrid->item(row, 0))
        return;
    MSFGrid->setCurrentCell(row, 0);
    const auto day = parseDateText(MSFGrid->item(row, 0)->text());
    const QString dept = trimSpaces(MSFGrid->item(row, 1) ? MSFGrid->item(row, 1)->text() : QString());
    if (!day)
        return;
    std::optional<VisitRecord> v;
    try {
        v = findVisit(TxtBlbh->text(), dept, *day);
    } catch (const DbError &e) {
        reportDbError(e, false);
        return;
    }
    if (!v)
        return;
    for (int i = 0; i < 6; ++i)
        setStbText(i, QString());
    setDiagnosisVisible(true);
    visitToBoxes(*v);
    // A stored visit keeps its case number and date: they identify it.
    TxtStb1_0->setEnabled(false);
    MasZdsj[0]->setEnabled(false);
    MasZdsj[4]->setEnabled(v->followUp);
    TclBnr();
    CboZdks->setEditText(trimSpaces(v->blkb));
    SSTab1->setCurrentIndex(1);
}

void FrmZymz::CboYpfl_Click()
{
    const QString category = trimSpaces(CboYpfl->currentText());
    if (category.isEmpty())
        return;
    std::optional<QStringList> herbs;
    try {
        herbs = herbsOfCategory(category);
    } catch (const DbError &e) {
        reportDbError(e, false);
        return;
    }
    if (!herbs)
        return;
    LisYpfl->clear();
    LisYpfl->addItems(*herbs);
    LisYpfl->setFocus(Qt::OtherFocusReason);
    LisYpfl->setCurrentRow(0);
}

void FrmZymz::LisYpfl_DblClick()
{
    QListWidgetItem *herb = LisYpfl->currentItem();
    if (!herb || trimSpaces(herb->text()).isEmpty())
        return;
    const auto zero = LisYpsl->findItems(QStringLiteral("0"), Qt::MatchExactly);
    LisYpsl->setCurrentRow(zero.isEmpty() ? 0 : LisYpsl->row(zero.first()));
    LisYpsl->setFocus(Qt::OtherFocusReason);
}

void FrmZymz::LisYpsl_DblClick()
{
    QListWidgetItem *dose = LisYpsl->currentItem();
    if (!dose || trimSpaces(dose->text()).isEmpty())
        return;
    QListWidgetItem *herb = LisYpfl->currentItem();
    const QString name = herb ? trimSpaces(herb->text()) : QString();
    if (name.isEmpty())
        return;
    try {
        if (const auto pick = herbPickText(name, dose->text()))
            TxtStb1_4->setText(TxtStb1_4->text() + *pick);
    } catch (const DbError &e) {
        reportDbError(e, false);
    }
}

void FrmZymz::CheFzbz_Click()
{
    if (CheFzbz->isChecked()) {
        MasZdsj[4]->setEnabled(true);
        MasZdsj[4]->setText(dateText(QDate::currentDate().addDays(10)));
        focusControl(QStringLiteral("MasZdsj(4)"));
    } else {
        MasZdsj[4]->setEnabled(false);
        MasZdsj[4]->setText(todayText());
    }
}

void FrmZymz::SrnrJyzd()
{
    jybl = 1;
    VisitRecord v = visitFromBoxes();
    const Check c = clinic::SrnrJyzd(v);
    setStbText(0, v.blbm);
    CboZdks->setEditText(v.blkb);
    // The blood pressure box has no mask: it holds what was typed, blanks included.
    MasZdsj[1]->setText(v.bzxy);
    const QString *texts[] = {&v.zdys, &v.bzqk, &v.blfa, &v.blcf, &v.blsx}; // boxes 1 to 5
    for (int i = 1; i <= 5; ++i)
        if (stbText(i) != *texts[i - 1])
            setStbText(i, *texts[i - 1]);
    if (!c.ok) {
        showCheck(c);
        return;
    }
    jybl = 0;
}

void FrmZymz::CmdZdzl_Click()
{
    if (!msg::ask(QStringLiteral("保存后病历内容不能删除，继续吗？")))
        return;
    SrnrJyzd();
    if (jybl == 1)
        return;
    try {
        saveVisit(visitFromBoxes(), QDate::currentDate());
    } catch (const DbError &e) {
        reportDbError(e, true);
        return;
    }
    msg::info(visitSavedMessage());
    TxtBlbh->setFocus(Qt::OtherFocusReason);
}

void FrmZymz::CmdCkba_Click()
{
    QpZdzl();
    SSTab1->setCurrentIndex(0);
}

// Printing: the case record, the prescription slip and the notes summary.
void FrmZymz::CmdPrbl_Click() { printCaseRecord(); }
void FrmZymz::CmdZdde_Click() { printPrescription(); }
void FrmZymz::CmdPrxd_Click() { printNotesSummary(); }

static DiagnosisPrintBoxes printBoxesOf(const CaseRecord &c, const VisitRecord &v)
{
    return {c.blbm, c.blxm, c.blxb, c.blnl, v.blbm, v.blsj, v.bzxy, v.bzmb,
            v.bzhx, v.zdys, v.bzqk, v.blfa, v.blcf, v.blsx, v.blkb};
}

void FrmZymz::printCaseRecord() { clickPrintCaseRecord(CmdPrbl, printBoxesOf(caseFromBoxes(), visitFromBoxes())); }
void FrmZymz::printPrescription() { clickPrintPrescription(CmdZdde, printBoxesOf(caseFromBoxes(), visitFromBoxes())); }

void FrmZymz::printNotesSummary()
{
    const CaseRecord c = caseFromBoxes();
    if (!clickPrintSummary(CmdPrxd, SummaryFields{c.blbm, c.blxm, c.blnl, c.blhf, c.blxb, c.blzy, c.bldw, c.blte,
                                                  c.mail, c.blsj, c.bljz, c.blxd}))
        CmdQcls->setFocus(Qt::OtherFocusReason);
}

// ---------------------------------------------------------------------------------------------
// Tab 2: case notes

void FrmZymz::QpZdxd()
{
    for (QWidget *w : std::initializer_list<QWidget *>{TxtZlxd, CmdXdbc, CmdPrxd, CmdBack})
        w->hide();
}

void FrmZymz::CmdZdxd_Click()
{
    const QString number = trimSpaces(TxtBlbh->text());
    if (number.size() <= 2) {
        msg::info(QStringLiteral("请指明病历号码"));
        TreeView1->setFocus(Qt::OtherFocusReason);
        return;
    }
    try {
        if (const auto notes = notesOf(number))
            TxtZlxd->setText(*notes);
    } catch (const DbError &e) {
        reportDbError(e, false);
        return;
    }
    for (QWidget *w : std::initializer_list<QWidget *>{TxtZlxd, CmdXdbc, CmdPrxd, CmdBack})
        w->show();
    SSTab1->setCurrentIndex(2);
    TxtZlxd->setFocus(Qt::OtherFocusReason);
    TxtZlxd->selectAll();
}

void FrmZymz::CmdXdbc_Click()
{
    qh::ui::setMousePointer(qh::ui::PointerBusy);
    try {
        if (saveNotes(TxtBlbh->text(), TxtZlxd->text())) {
            QpZdxd();
            SSTab1->setCurrentIndex(0);
            TreeView1->setFocus(Qt::OtherFocusReason);
        }
    } catch (const DbError &e) {
        reportDbError(e, true);
        return;
    }
    qh::ui::setMousePointer(qh::ui::PointerArrow);
}

void FrmZymz::CmdBack_Click()
{
    TxtZlxd->hide();
    TxtZlxd->setText(QString());
    for (QWidget *w : std::initializer_list<QWidget *>{CmdPrxd, CmdXdbc, CmdBack})
        w->hide();
    SSTab1->setCurrentIndex(0);
}

} // namespace qh::clinic::ui
