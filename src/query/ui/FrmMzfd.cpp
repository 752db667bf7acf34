#include "query/ui/FrmMzfd.h"

#include "db/error.h"
#include "core/messages.h"
#include "core/modutarnxt.h"
#include "base/textutil.h"
#include "core/ui/FrmHelp.h"
#include "core/ui/Frmjdys.h"
#include "core/ui/refuse.h"
#include "core/ui/taskwindows.h"
#include "core/ui/uikit.h"
#include "query/ui/printhandover.h"
#include "query/ui/visitmodel.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

namespace qh::query::ui {

namespace {

std::function<void(const qh::ui::Frmjdys &)> g_indexProgressWatcher;

constexpr int RowHeight = 24;
const QList<int> ShortColumns = {0, 1, 2, 3, 4, 5, 9};
int px(int twips) { return twips / 15; }

QLineEdit *lineEdit(QWidget *parent, const char *name, int maxLength, int minWidthChars = 0)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setMaxLength(maxLength);
    if (minWidthChars > 0)
        e->setMinimumWidth(e->fontMetrics().horizontalAdvance(QString(minWidthChars, QChar(0x4E2D))) + 12);
    return e;
}

// A masked date box "____-__-__".
QLineEdit *dateBox(QWidget *parent, const char *name)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setInputMask(QStringLiteral("9999-99-99;_"));
    e->setMinimumWidth(e->fontMetrics().horizontalAdvance(QStringLiteral("8888-88-88")) + 16);
    return e;
}

// A box of the detail tabs: shows what was found (at most the field's size), edits nothing.
QLineEdit *shownBox(QWidget *parent, const char *name, int fieldSize)
{
    auto *e = lineEdit(parent, name, fieldSize, qMin(fieldSize, 10));
    e->setReadOnly(true);
    return e;
}

// A date of the detail tabs, "yyyy-mm-dd" or empty.
QLineEdit *shownDate(QWidget *parent, const char *name) { return shownBox(parent, name, 10); }

QPlainTextEdit *shownText(QWidget *parent, const char *name)
{
    auto *e = new QPlainTextEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setReadOnly(true);
    e->setTabChangesFocus(true);
    return e;
}

QLabel *vitalLabel(QWidget *parent, const char *name)
{
    auto *l = new QLabel(parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setFrameShape(QFrame::Panel);
    l->setFrameShadow(QFrame::Sunken);
    l->setMinimumWidth(l->fontMetrics().horizontalAdvance(QStringLiteral("888/888")) + 12);
    return l;
}

QPushButton *button(QWidget *parent, const char *name, const QString &caption)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    return b;
}

QString plain(const QPlainTextEdit *e) { return e->toPlainText(); }

} // namespace

FrmMzfd::FrmMzfd(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("FrmMzfd"));
    setWindowTitle(QStringLiteral("门诊资料查询"));
    setAttribute(Qt::WA_DeleteOnClose);

    SSTab1 = new QTabWidget(this);
    SSTab1->setObjectName(QStringLiteral("SSTab1"));
    auto *tab0 = new QWidget(SSTab1);
    auto *tab1 = new QWidget(SSTab1);
    auto *tab2 = new QWidget(SSTab1);
    SSTab1->addTab(tab0, QStringLiteral("查询条件输入"));
    SSTab1->addTab(tab1, QStringLiteral("查询内容显示"));
    SSTab1->addTab(tab2, QStringLiteral("基本情况"));

    // ---- tab 0: the search fields
    OptBlqk = new QRadioButton(QStringLiteral("病历"), tab0);
    OptBlqk->setObjectName(QStringLiteral("OptBlqk"));
    OptFzqk = new QRadioButton(QStringLiteral("复诊"), tab0);
    OptFzqk->setObjectName(QStringLiteral("OptFzqk"));
    OptBlqk->setChecked(true);
    MasQssj = dateBox(tab0, "MasQssj");
    MasJssj = dateBox(tab0, "MasJssj");
    TxtBlhm = lineEdit(tab0, "TxtBlhm", RecordQuery::searchTextLimit(QueryField::TxtBlhm), 10);
    TxtZlcs = lineEdit(tab0, "TxtZlcs", RecordQuery::searchTextLimit(QueryField::TxtZlcs), 10);
    TxtZlys = lineEdit(tab0, "TxtZlys", RecordQuery::searchTextLimit(QueryField::TxtZlys), 10);
    TxtBzmc = lineEdit(tab0, "TxtBzmc", RecordQuery::searchTextLimit(QueryField::TxtBzmc), 10);
    TxtHzxm = lineEdit(tab0, "TxtHzxm", RecordQuery::searchTextLimit(QueryField::TxtHzxm), 10);
    TxtHznl = lineEdit(tab0, "TxtHznl", 3);
    TxtHzln = lineEdit(tab0, "TxtHzln", 3);
    for (QLineEdit *age : {TxtHznl, TxtHzln}) {
        // Only typed digits reach an age: no input method, no pasting or dropping.
        age->setAttribute(Qt::WA_InputMethodEnabled, false);
        age->setInputMethodHints(Qt::ImhDigitsOnly);
        age->setContextMenuPolicy(Qt::NoContextMenu);
        age->setAcceptDrops(false);
        age->setMinimumWidth(age->fontMetrics().horizontalAdvance(QStringLiteral("8888")) + 12);
        age->setMaximumWidth(age->minimumWidth() * 2);
    }
    TxtZlfa = lineEdit(tab0, "TxtZlfa", RecordQuery::searchTextLimit(QueryField::TxtZlfa), 10);
    TxtZlaf = lineEdit(tab0, "TxtZlaf", RecordQuery::searchTextLimit(QueryField::TxtZlaf), 10);
    TxtZlcf = lineEdit(tab0, "TxtZlcf", RecordQuery::searchTextLimit(QueryField::TxtZlcf), 10);
    TxtZlfc = lineEdit(tab0, "TxtZlfc", RecordQuery::searchTextLimit(QueryField::TxtZlfc), 10);
    CboHyqk = new QComboBox(tab0);
    CboHyqk->setObjectName(QStringLiteral("CboHyqk"));
    CboHzxb = new QComboBox(tab0);
    CboHzxb->setObjectName(QStringLiteral("CboHzxb"));
    for (QComboBox *c : {CboHyqk, CboHzxb}) {
        c->setEditable(true);
        c->setInsertPolicy(QComboBox::NoInsert);
        c->lineEdit()->setMaxLength(RecordQuery::searchTextLimit(QueryField::CboHyqk));
        c->setMinimumWidth(c->fontMetrics().horizontalAdvance(QStringLiteral("已婚已婚")) + 40);
    }

    m_model = new VisitTableModel(this);
    MSFGridMzjl = new QTableView(tab0);
    MSFGridMzjl->setObjectName(QStringLiteral("MSFGridMzjl"));
    MSFGridMzjl->setModel(m_model);
    MSFGridMzjl->verticalHeader()->hide();
    MSFGridMzjl->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    MSFGridMzjl->verticalHeader()->setDefaultSectionSize(RowHeight);
    MSFGridMzjl->horizontalHeader()->setFixedHeight(RowHeight);
    MSFGridMzjl->horizontalHeader()->setSectionsClickable(false);
    MSFGridMzjl->setEditTriggers(QAbstractItemView::NoEditTriggers);
    MSFGridMzjl->setSelectionBehavior(QAbstractItemView::SelectRows);
    MSFGridMzjl->setSelectionMode(QAbstractItemView::SingleSelection);
    MSFGridMzjl->setWordWrap(false);
    const int widths[GridColumns] = {1000, 1000, 1200, 1300, 1000, 1000, 2500, 2500, 2500, 1200};
    int gridWidth = 0;
    for (int c = 0; c < GridColumns; ++c) {
        MSFGridMzjl->setColumnWidth(c, px(widths[c]));
        gridWidth += px(widths[c]);
    }
    MSFGridMzjl->setMinimumWidth(gridWidth / 2);
    qh::ui::widenColumnsToContent(MSFGridMzjl, ShortColumns);
    LabJlsl = new QLabel(tab0);
    LabJlsl->setObjectName(QStringLiteral("LabJlsl"));
    CmdSeek = button(tab0, "CmdSeek", QStringLiteral("查询(&S)"));
    CmdQcls = button(tab0, "CmdQcls", QStringLiteral("清屏(&Q)"));
    CmdHelp = button(tab0, "CmdHelp", QStringLiteral("帮助(&H)"));
    CmdExit = button(tab0, "CmdExit", QStringLiteral("退出(&T)"));

    auto *g0 = new QGridLayout;
    auto label = [](QWidget *parent, const QString &text) { return new QLabel(text, parent); };
    auto *mode = new QHBoxLayout;
    mode->addWidget(OptBlqk);
    mode->addWidget(OptFzqk);
    mode->addSpacing(12);
    mode->addWidget(label(tab0, QStringLiteral("起始时间")));
    mode->addWidget(MasQssj);
    mode->addWidget(label(tab0, QStringLiteral("截止时间")));
    mode->addWidget(MasJssj);
    mode->addStretch(1);
    g0->addLayout(mode, 0, 0, 1, 6);
    g0->addWidget(label(tab0, QStringLiteral("病历编号")), 1, 0);
    g0->addWidget(TxtBlhm, 1, 1);
    g0->addWidget(label(tab0, QStringLiteral("诊断科室")), 1, 2);
    g0->addWidget(TxtZlcs, 1, 3);
    g0->addWidget(label(tab0, QStringLiteral("诊断医师")), 1, 4);
    g0->addWidget(TxtZlys, 1, 5);
    g0->addWidget(label(tab0, QStringLiteral("病症情况")), 2, 0);
    g0->addWidget(TxtBzmc, 2, 1);
    g0->addWidget(label(tab0, QStringLiteral("患者姓名")), 2, 2);
    g0->addWidget(TxtHzxm, 2, 3);
    g0->addWidget(label(tab0, QStringLiteral("患者年龄")), 2, 4);
    auto *ages = new QHBoxLayout;
    ages->addWidget(TxtHznl);
    ages->addWidget(label(tab0, QStringLiteral("至")));
    ages->addWidget(TxtHzln);
    ages->addStretch(1);
    g0->addLayout(ages, 2, 5);
    g0->addWidget(label(tab0, QStringLiteral("治疗方案")), 3, 0);
    g0->addWidget(TxtZlfa, 3, 1);
    g0->addWidget(label(tab0, QStringLiteral("治疗方案")), 3, 2);
    g0->addWidget(TxtZlaf, 3, 3);
    g0->addWidget(label(tab0, QStringLiteral("婚姻状况")), 3, 4);
    g0->addWidget(CboHyqk, 3, 5, Qt::AlignLeft);
    g0->addWidget(label(tab0, QStringLiteral("治疗处方")), 4, 0);
    g0->addWidget(TxtZlcf, 4, 1);
    g0->addWidget(label(tab0, QStringLiteral("治疗处方")), 4, 2);
    g0->addWidget(TxtZlfc, 4, 3);
    g0->addWidget(label(tab0, QStringLiteral("患者性别")), 4, 4);
    g0->addWidget(CboHzxb, 4, 5, Qt::AlignLeft);
    auto *buttons0 = new QHBoxLayout;
    buttons0->addWidget(LabJlsl, 1);
    for (QPushButton *b : {CmdSeek, CmdQcls, CmdHelp, CmdExit})
        buttons0->addWidget(b);
    auto *v0 = new QVBoxLayout(tab0);
    v0->addLayout(g0);
    v0->addLayout(buttons0);
    v0->addWidget(MSFGridMzjl, 1);

    // ---- tab 1: the visit
    TxtBlbh = shownBox(tab1, "TxtBlbh", 20);
    TxtZdks = shownBox(tab1, "TxtZdks", 50);
    MasZdsj = shownDate(tab1, "MasZdsj");
    LabXy = vitalLabel(tab1, "LabXy");
    LabMb = vitalLabel(tab1, "LabMb");
    LabHx = vitalLabel(tab1, "LabHx");
    TxtBscs = shownText(tab1, "TxtBscs");
    TxtZdfa = shownText(tab1, "TxtZdfa");
    TxtZdcf = shownText(tab1, "TxtZdcf");
    TxtZysx = shownText(tab1, "TxtZysx");
    MasFzsj = shownDate(tab1, "MasFzsj");
    TxtZdys = shownBox(tab1, "TxtZdys", 50);
    CmdBack = button(tab1, "CmdBack", QStringLiteral("返回首页"));
    CmdPrin = button(tab1, "CmdPrin", QStringLiteral("打印"));
    auto *g1 = new QGridLayout(tab1);
    g1->addWidget(label(tab1, QStringLiteral("病历编号")), 0, 0);
    g1->addWidget(TxtBlbh, 0, 1);
    g1->addWidget(label(tab1, QStringLiteral("诊断科室")), 0, 2);
    g1->addWidget(TxtZdks, 0, 3);
    g1->addWidget(label(tab1, QStringLiteral("诊断时间")), 0, 4);
    g1->addWidget(MasZdsj, 0, 5);
    auto *vital = new QHBoxLayout;
    vital->addWidget(label(tab1, QStringLiteral("血压")));
    vital->addWidget(LabXy);
    vital->addWidget(label(tab1, QStringLiteral("脉搏")));
    vital->addWidget(LabMb);
    vital->addWidget(label(tab1, QStringLiteral("呼吸")));
    vital->addWidget(LabHx);
    vital->addStretch(1);
    g1->addLayout(vital, 1, 0, 1, 6);
    g1->addWidget(label(tab1, QStringLiteral("病症情况")), 2, 0);
    g1->addWidget(TxtBscs, 2, 1, 1, 5);
    g1->addWidget(label(tab1, QStringLiteral("治疗方案")), 3, 0);
    g1->addWidget(TxtZdfa, 3, 1, 1, 5);
    g1->addWidget(label(tab1, QStringLiteral("治疗处方")), 4, 0);
    g1->addWidget(TxtZdcf, 4, 1, 1, 5);
    g1->addWidget(label(tab1, QStringLiteral("使用方法")), 5, 0);
    g1->addWidget(TxtZysx, 5, 1, 1, 5);
    g1->addWidget(label(tab1, QStringLiteral("复诊时间")), 6, 0);
    g1->addWidget(MasFzsj, 6, 1);
    g1->addWidget(label(tab1, QStringLiteral("诊断医师")), 6, 2);
    g1->addWidget(TxtZdys, 6, 3);
    auto *buttons1 = new QHBoxLayout;
    buttons1->addStretch(1);
    buttons1->addWidget(CmdPrin);
    buttons1->addWidget(CmdBack);
    g1->addLayout(buttons1, 7, 0, 1, 6);

    // ---- tab 2: the patient
    TxtBlxm = shownBox(tab2, "TxtBlxm", 20);
    TxtHzmx = shownBox(tab2, "TxtHzmx", 20);
    TxtHzbx = shownBox(tab2, "TxtHzbx", 2);
    TxtHzag = shownBox(tab2, "TxtHzag", 6);
    TxtHzzy = shownBox(tab2, "TxtHzzy", 50);
    TxtHzdw = shownBox(tab2, "TxtHzdw", 200);
    TxtHyqk = shownBox(tab2, "TxtHyqk", 10);
    TxtHzdz = shownBox(tab2, "TxtHzdz", 200);
    TxtTele = shownBox(tab2, "TxtTele", 100);
    TxtMail = shownBox(tab2, "TxtMail", 200);
    MasCzsj = shownDate(tab2, "MasCzsj");
    MasJzsj = shownDate(tab2, "MasJzsj");
    TxtZlxd = shownText(tab2, "TxtZlxd");
    CmdForw = button(tab2, "CmdForw", QStringLiteral("返回首页"));
    auto *g2 = new QGridLayout(tab2);
    const std::pair<const char *, QWidget *> items2[] = {
        {"病历编号", TxtBlxm}, {"患者姓名", TxtHzmx}, {"患者性别", TxtHzbx}, {"患者年龄", TxtHzag},
        {"职业", TxtHzzy},     {"工作单位", TxtHzdw}, {"婚姻状况", TxtHyqk}, {"家庭住址", TxtHzdz},
        {"联系电话", TxtTele}, {"电子邮箱", TxtMail}, {"初诊时间", MasCzsj}, {"末诊时间", MasJzsj}};
    int i = 0;
    for (const auto &[text, box] : items2) {
        g2->addWidget(label(tab2, QString::fromUtf8(text)), i / 3, (i % 3) * 2);
        g2->addWidget(box, i / 3, (i % 3) * 2 + 1);
        ++i;
    }
    g2->addWidget(label(tab2, QStringLiteral("诊断心得")), 4, 0);
    g2->addWidget(TxtZlxd, 4, 1, 1, 5);
    auto *buttons2 = new QHBoxLayout;
    buttons2->addStretch(1);
    buttons2->addWidget(CmdForw);
    g2->addLayout(buttons2, 5, 0, 1, 6);

    auto *main = new QVBoxLayout(this);
    main->addWidget(SSTab1);

    // ---- the print menu
    prin = new QMenu(this);
    prin->setObjectName(QStringLiteral("prin"));
    auto action = [this](const char *name, const QString &caption) {
        QAction *a = prin->addAction(caption);
        a->setObjectName(QString::fromLatin1(name));
        return a;
    };
    PhzQk = action("PhzQk", QStringLiteral("打印患者基本情况"));
    PhzBl = action("PhzBl", QStringLiteral("打印患者当前病历"));
    PhzCf = action("PhzCf", QStringLiteral("打印门诊处方"));
    PbzXd = action("PbzXd", QStringLiteral("打印病症治疗心得"));

    // ---- the Enter chain of tab 0
    m_enter = {
        {TxtBlhm, TxtZlcs, {}},
        {TxtZlcs, TxtZlys, {}},
        {TxtZlys, TxtBzmc, {}},
        {TxtBzmc, TxtHzxm, {}},
        {TxtHzxm, TxtHznl, {}},
        {TxtHznl, TxtHzln, [this]() -> Verdict<QueryField> {
             if (TxtHznl->text().isEmpty())
                 TxtHznl->setText(QStringLiteral("0"));
             return {};
         }},
        {TxtHzln, TxtZlfa, [this] { return RecordQuery::checkAgeToEnter(TxtHznl->text(), TxtHzln->text()); }},
        {TxtZlfa, TxtZlaf, {}},
        {TxtZlaf, TxtZlcf, {}},
        {TxtZlcf, TxtZlfc, {}},
        {TxtZlfc, CboHyqk, {}},
        {CboHyqk, CmdSeek, {}},
        {CboHzxb, TxtHznl, {}},
        {MasQssj, MasJssj, [this] { return RecordQuery::checkStartEnter(MasQssj->text(), QDate::currentDate()); }},
        {MasJssj, TxtBlhm, [this] { return RecordQuery::checkEndEnter(MasJssj->text()); }},
    };
    for (const EnterStep &s : m_enter)
        s.box->installEventFilter(this);
    SSTab1->tabBar()->installEventFilter(this);

    connect(CmdSeek, &QPushButton::clicked, this, &FrmMzfd::CmdSeek_Click);
    connect(CmdQcls, &QPushButton::clicked, this, &FrmMzfd::CmdQcls_Click);
    connect(CmdHelp, &QPushButton::clicked, this, &FrmMzfd::CmdHelp_Click);
    connect(CmdExit, &QPushButton::clicked, this, &FrmMzfd::CmdExit_Click);
    connect(CmdBack, &QPushButton::clicked, this, [this] { SSTab1->setCurrentIndex(0); });
    connect(CmdForw, &QPushButton::clicked, this, [this] { SSTab1->setCurrentIndex(0); });
    connect(CmdPrin, &QPushButton::clicked, this, &FrmMzfd::CmdPrin_Click);
    connect(PhzQk, &QAction::triggered, this, &FrmMzfd::PhzQk_Click);
    connect(PhzBl, &QAction::triggered, this, &FrmMzfd::PhzBl_Click);
    connect(PhzCf, &QAction::triggered, this, &FrmMzfd::PhzCf_Click);
    connect(PbzXd, &QAction::triggered, this, &FrmMzfd::PbzXd_Click);
    connect(MSFGridMzjl, &QTableView::clicked, this, [this](const QModelIndex &ix) { MSFGridMzjl_Click(ix.row()); });

    resize(qMax(gridWidth + 48, 960), 640);
    // Placement: left = (W - w) / 5, top = (H - h) / 9 over the screen.
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.left() + (area.width() - width()) / 5, area.top() + (area.height() - height()) / 9);
    }
    Qpcls();
    qh::ui::setMousePointer(qh::ui::PointerArrow);
}

QWidget *FrmMzfd::widgetOf(QueryField f) const
{
    switch (f) {
    case QueryField::MasQssj: return MasQssj;
    case QueryField::MasJssj: return MasJssj;
    case QueryField::TxtHznl: return TxtHznl;
    case QueryField::TxtHzln: return TxtHzln;
    case QueryField::CmdQcls: return CmdQcls;
    case QueryField::TxtBlhm: return TxtBlhm;
    case QueryField::TxtZlcs: return TxtZlcs;
    case QueryField::TxtZlys: return TxtZlys;
    case QueryField::TxtBzmc: return TxtBzmc;
    case QueryField::TxtHzxm: return TxtHzxm;
    case QueryField::TxtZlfa: return TxtZlfa;
    case QueryField::TxtZlaf: return TxtZlaf;
    case QueryField::TxtZlcf: return TxtZlcf;
    case QueryField::TxtZlfc: return TxtZlfc;
    case QueryField::CboHyqk: return CboHyqk;
    case QueryField::CboHzxb: return CboHzxb;
    }
    qh::ui::unmappedControl("FrmMzfd", int(f));
}

void FrmMzfd::refuse(const Refusal<QueryField> &r) { qh::ui::refuse(r, widgetOf(r.field)); }

void FrmMzfd::clearDetails()
{
    for (QLineEdit *e : {TxtBlbh, TxtZdks, TxtZdys, TxtBlxm, TxtHzmx, TxtHzbx, TxtHzag, TxtHzzy, TxtHzdw, TxtHyqk,
                         TxtHzdz, TxtTele, TxtMail})
        e->clear();
    for (QLineEdit *e : {MasZdsj, MasFzsj, MasCzsj, MasJzsj})
        e->setText(QString());
    for (QLabel *l : {LabXy, LabMb, LabHx})
        l->clear();
    for (QPlainTextEdit *e : {TxtBscs, TxtZdfa, TxtZdcf, TxtZysx, TxtZlxd})
        e->clear();
}

void FrmMzfd::Qpcls()
{
    LabJlsl->clear();
    for (QLineEdit *e : {TxtBlhm, TxtZlcs, TxtZlys, TxtBzmc, TxtHzxm, TxtZlfa, TxtZlaf, TxtZlcf, TxtZlfc})
        e->clear();
    TxtHznl->setText(QStringLiteral("0"));
    TxtHzln->setText(QStringLiteral("99"));
    clearDetails();
    const QDate today = QDate::currentDate();
    MasQssj->setText(dateText(today.addDays(-130)));
    MasJssj->setText(dateText(today.addDays(60)));
    MasFzsj->setEnabled(true);
    CboHyqk->clear();
    CboHyqk->addItems({QStringLiteral("已婚"), QStringLiteral("未婚")});
    CboHyqk->setCurrentIndex(-1);
    CboHzxb->clear();
    CboHzxb->addItems({QStringLiteral("男"), QStringLiteral("女")});
    CboHzxb->setCurrentIndex(-1);
    m_model->clear();
    SSTab1->setCurrentIndex(0);
    qh::ui::setMousePointer(qh::ui::PointerArrow);
}

void FrmMzfd::moveTo(QWidget *next) { qh::ui::focusAndSelect(next, Select::all()); }

bool FrmMzfd::enterPressed(QObject *box)
{
    for (const EnterStep &s : m_enter) {
        if (s.box != box)
            continue;
        // The date boxes act only when all ten places are typed.
        if ((box == MasQssj || box == MasJssj) && static_cast<QLineEdit *>(box)->text().size() < 10)
            return true;
        if (s.check)
            if (auto r = s.check()) {
                refuse(*r);
                return true;
            }
        moveTo(s.next);
        return true;
    }
    return false;
}

bool FrmMzfd::eventFilter(QObject *watched, QEvent *e)
{
    // Clipboard rule: pressing a mouse button on the tabs empties the clipboard.
    if (watched == SSTab1->tabBar()) {
        if (e->type() == QEvent::MouseButtonPress)
            if (QClipboard *cb = QGuiApplication::clipboard())
                cb->clear();
        return false;
    }
    if (e->type() == QEvent::FocusIn && (watched == MasQssj || watched == MasJssj)) {
        auto *box = static_cast<QLineEdit *>(watched);
        QMetaObject::invokeMethod(box, [box] { box->setSelection(0, 10); }, Qt::QueuedConnection);
        return false;
    }
    if (e->type() != QEvent::KeyPress)
        return false;
    auto *k = static_cast<QKeyEvent *>(e);
    if (qh::ui::isEnterKey(k))
        return enterPressed(watched);
    if (watched == TxtHznl || watched == TxtHzln) {
        // Digits only; every other key, Backspace included, is discarded (Tab still moves on).
        if (k->key() == Qt::Key_Tab || k->key() == Qt::Key_Backtab)
            return false;
        const QString t = k->text();
        return !(t.size() == 1 && t[0] >= u'0' && t[0] <= u'9' && !(k->modifiers() & (Qt::ControlModifier | Qt::AltModifier)));
    }
    return false;
}

SearchInput FrmMzfd::searchInput() const
{
    SearchInput in;
    in.followUps = OptFzqk->isChecked();
    in.blbm = TxtBlhm->text();
    in.blkb = TxtZlcs->text();
    in.zdys = TxtZlys->text();
    in.bzqk = TxtBzmc->text();
    in.blxm = TxtHzxm->text();
    in.ageFrom = TxtHznl->text();
    in.ageTo = TxtHzln->text();
    in.planA = TxtZlfa->text();
    in.planB = TxtZlaf->text();
    in.rxA = TxtZlcf->text();
    in.rxB = TxtZlfc->text();
    in.marital = trimSpaces(CboHyqk->currentText());
    in.sex = trimSpaces(CboHzxb->currentText());
    in.start = MasQssj->text();
    in.end = MasJssj->text();
    return in;
}

void FrmMzfd::makeSearchIndex(db::Session &s)
{
    // The first search on a file without the search index makes it (minutes on a large
    // practice): the progress window shows how far it is; the window takes no input meanwhile.
    const QPointer<QWidget> had = QApplication::focusWidget();
    qh::ui::Frmjdys progress(this);
    progress.setWindowModality(Qt::ApplicationModal);
    progress.Form_Load();
    progress.setStepText(RecordQuery::indexProgressText());
    qh::ui::doEvents(); // the progress window is modal: nothing else takes input
    RecordQuery::ensureSearchIndex(s, [&progress](qint64 done, qint64 total) {
        progress.setProgress(total > 0 ? int(done * 100 / total) : 100);
        if (g_indexProgressWatcher)
            g_indexProgressWatcher(progress);
        qh::ui::doEvents();
    });
    progress.close();
    // Back to this window, the focus where it was.
    QApplication::setActiveWindow(this);
    activateWindow();
    if (had)
        had->setFocus();
}

void setIndexProgressWatcher(std::function<void(const qh::ui::Frmjdys &)> watcher)
{
    g_indexProgressWatcher = std::move(watcher);
}

void FrmMzfd::CmdSeek_Click()
{
    for (QLineEdit *e : {TxtBlhm, TxtZlcs, TxtBzmc, TxtZlys, TxtHzxm, TxtHznl, TxtHzln, TxtZlfa, TxtZlaf, TxtZlcf, TxtZlfc})
        e->setText(trimSpaces(e->text()));
    const SearchInput in = searchInput();
    if (auto r = RecordQuery::validateSearch(in))
        return refuse(*r);

    m_model->clear();
    LabJlsl->clear();
    qh::ui::BusyPointer busy;
    SearchResult found;
    try {
        auto s = Modutarnxt::clinicStore().open();
        if (!in.followUps && !RecordQuery::hasSearchIndex(s))
            makeSearchIndex(s);
        found = RecordQuery::runSearch(s, in);
    } catch (const DbError &e) {
        busy.reset();
        msg::info(shortReport(e));
        return;
    }
    if (found.count() == 0) {
        busy.reset();
        msg::info(RecordQuery::noResultMessage());
        return;
    }
    const qsizetype count = found.count();
    m_model->setRows(std::move(found.rows));
    // Case numbers, departments, dates, vital signs and doctors are shown whole; the three long
    // texts keep their width (the whole text is the cell's tool tip and is shown on the visit tab).
    qh::ui::widenColumnsToContent(MSFGridMzjl, ShortColumns);
    LabJlsl->setText(RecordQuery::countText(count));
}

void FrmMzfd::showVisit(const VisitDetail &v)
{
    TxtBlbh->setText(v.blbm);
    TxtZdks->setText(v.blkb);
    MasZdsj->setText(v.blsj);
    LabXy->setText(v.bzxy);
    LabMb->setText(v.bzmb);
    LabHx->setText(v.bzhx);
    TxtBscs->setPlainText(v.bzqk);
    TxtZdfa->setPlainText(v.blfa);
    TxtZdcf->setPlainText(v.blcf);
    TxtZysx->setPlainText(v.blsx);
    MasFzsj->setText(v.fzsj);
    TxtZdys->setText(v.zdys);
}

void FrmMzfd::showPatient(const PatientDetail &p)
{
    TxtBlxm->setText(p.blbm);
    TxtHzmx->setText(p.blxm);
    TxtHzbx->setText(p.blxb);
    TxtHzag->setText(p.blnl);
    TxtHzzy->setText(p.blzy);
    TxtHzdw->setText(p.bldw);
    TxtHyqk->setText(p.blhf);
    TxtHzdz->setText(p.bldz);
    TxtTele->setText(p.blte);
    TxtMail->setText(p.mail);
    MasCzsj->setText(p.blsj);
    MasJzsj->setText(p.bljz);
    TxtZlxd->setPlainText(p.blxd);
}

void FrmMzfd::MSFGridMzjl_Click(int row)
{
    const GridRow *g = m_model->line(row);
    if (!g)
        return;
    // The row's own key, time of day included: the grid shows only the day.
    const QString blbm = g->blbm, blkb = g->blkb;
    const QDateTime blsj = g->blsj;
    qh::ui::BusyPointer busy;
    try {
        auto s = Modutarnxt::clinicStore().open();
        const auto visit = RecordQuery::loadVisit(s, blbm, blkb, blsj);
        if (!visit)
            return;
        clearDetails(); // nothing of the previously shown patient stays
        showVisit(*visit);
        SSTab1->setCurrentIndex(1);
        if (const auto patient = RecordQuery::loadPatient(s, visit->blbm))
            showPatient(*patient);
    } catch (const DbError &e) {
        busy.reset();
        msg::info(shortReport(e));
    }
}

void FrmMzfd::CmdQcls_Click()
{
    Qpcls();
    MasQssj->setFocus();
}

void FrmMzfd::CmdHelp_Click() { qh::ui::showHelp(this, QStringLiteral("F-D")); }

void FrmMzfd::CmdExit_Click() { qh::ui::closeTaskWindow(this); }

void FrmMzfd::CmdPrin_Click() { prin->popup(CmdPrin->mapToGlobal(QPoint(0, CmdPrin->height()))); }

ParticularsBoxes FrmMzfd::particulars() const
{
    ParticularsBoxes b;
    b.visitCaseNumber = TxtBlbh->text();
    b.caseNumber = TxtBlxm->text();
    b.name = TxtHzmx->text();
    b.sex = TxtHzbx->text();
    b.age = TxtHzag->text();
    b.occupation = TxtHzzy->text();
    b.workUnit = TxtHzdw->text();
    b.marital = TxtHyqk->text();
    b.address = TxtHzdz->text();
    b.telephone = TxtTele->text();
    b.mail = TxtMail->text();
    b.firstVisit = MasCzsj->text();
    b.lastVisit = MasJzsj->text();
    b.notes = plain(TxtZlxd);
    return b;
}

void FrmMzfd::PhzQk_Click()
{
    const ParticularsBoxes b = particulars();
    if (auto r = RecordQuery::checkParticulars(b))
        return refuse(*r);
    printhandover::text(RecordQuery::particularsText(b, QDate::currentDate()),
                        QStringLiteral("患者基本情况-") + trimSpaces(b.caseNumber));
}

void FrmMzfd::PbzXd_Click()
{
    const ParticularsBoxes b = particulars();
    if (auto r = RecordQuery::checkParticulars(b))
        return refuse(r->withIcon(MsgIcon::None));
    printhandover::text(RecordQuery::notesText(b, QDate::currentDate()),
                        QStringLiteral("病症治疗心得-") + trimSpaces(b.caseNumber));
}

std::optional<QString> FrmMzfd::unitForPrint()
{
    try {
        auto s = Modutarnxt::clinicStore().open();
        if (auto unit = RecordQuery::clinicName(s))
            return unit;
        msg::show(MsgIcon::Question, MsgButtons::Ok, RecordQuery::noSystemRecordMessage());
    } catch (const DbError &e) {
        msg::info(shortReport(e));
    }
    return std::nullopt;
}

void FrmMzfd::PhzBl_Click()
{
    const auto unit = unitForPrint();
    if (!unit)
        return;
    if (trimSpaces(plain(TxtZdcf)).isEmpty() || trimSpaces(plain(TxtZdfa)).isEmpty()) {
        msg::info(RecordQuery::caseRecordMissingMessage());
        return;
    }
    const QString vital = QStringLiteral("血压：") + LabXy->text() + QStringLiteral("，脉搏：") + LabMb->text() +
                          QStringLiteral("，呼吸：") + LabHx->text();
    if (!msg::ask(QStringLiteral("打印吗？"), QStringLiteral("打印患者诊断病历")))
        return;
    printhandover::caseRecord({*unit, trimSpaces(TxtBlbh->text()), trimSpaces(TxtHzmx->text()),
                               trimSpaces(TxtHzbx->text()), trimSpaces(TxtHzag->text()), trimSpaces(MasZdsj->text()),
                               trimSpaces(TxtZdys->text()), trimSpaces(plain(TxtBscs)), trimSpaces(plain(TxtZdfa)),
                               trimSpaces(plain(TxtZdcf)), trimSpaces(plain(TxtZysx)), trimSpaces(TxtZdks->text()),
                               vital});
    qh::ui::PauseWithButton(CmdPrin);
}

void FrmMzfd::PhzCf_Click()
{
    const auto unit = unitForPrint();
    if (!unit)
        return;
    if (trimSpaces(plain(TxtZdcf)).isEmpty()) {
        msg::info(RecordQuery::prescriptionMissingMessage());
        return;
    }
    if (!msg::ask(QStringLiteral("打印吗？"), QStringLiteral("打印门诊处方")))
        return;
    printhandover::prescription({*unit, trimSpaces(TxtBlbh->text()), trimSpaces(TxtHzmx->text()),
                                 trimSpaces(TxtHzbx->text()), trimSpaces(TxtHzag->text()), trimSpaces(MasZdsj->text()),
                                 trimSpaces(TxtZdys->text()), trimSpaces(plain(TxtZdcf)), trimSpaces(plain(TxtZysx)),
                                 trimSpaces(TxtZdks->text())});
    qh::ui::PauseWithButton(CmdPrin);
}

void registerRecordQueryWindow()
{
    qh::ui::registerTaskWindow(QStringLiteral("ZdblCx"), [] { return qh::ui::singleWindow<FrmMzfd>(); });
}

} // namespace qh::query::ui
