#include "stock/ui/Frmycjj.h"
#include "core/herbs.h"
#include "core/messages.h"
#include "core/modutarnxt.h"
#include "base/textutil.h"
#include "core/ui/refuse.h"
#include "core/ui/taskwindows.h"
#include "core/ui/uikit.h"
#include "stock/ui/drugcompleter.h"
#include "stock/ui/movementwindow.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>

namespace qh::stock::ui {

namespace {
constexpr int RowHeight = 28; // 420 twips

QLineEdit *lineEdit(QWidget *parent, const char *name, int maxLength = 32767)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setMaxLength(maxLength);
    return e;
}

} // namespace

Frmycjj::Frmycjj(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Frmycjj"));
    setWindowTitle(QStringLiteral("病志处方药材计价"));
    setAttribute(Qt::WA_DeleteOnClose);

    TxtBlhm = lineEdit(this, "TxtBlhm", 15);
    CboZdks = new QComboBox(this);
    CboZdks->setObjectName(QStringLiteral("CboZdks"));
    CboZdks->setEditable(false);
    MasZdsj = lineEdit(this, "MasZdsj");
    MasZdsj->setInputMask(QStringLiteral("9999-99-99;_"));

    SSTab1 = new QTabWidget(this);
    SSTab1->setObjectName(QStringLiteral("SSTab1"));
    MSFGridyfjg = new QTableWidget(0, 5, this);
    MSFGridyfjg->setObjectName(QStringLiteral("MSFGridyfjg"));
    MSFGridyfjg->setHorizontalHeaderLabels({QStringLiteral("编码"), QStringLiteral("名称"), QStringLiteral("用量(克)"),
                                            QStringLiteral("药价(元/克)"), QStringLiteral("药材金额(元)")});
    const int widths[] = {67, 108, 106, 106, 106}; // 1000, 1625, 1590, 1590, 1590 twips
    for (int c = 0; c < 5; ++c) {
        MSFGridyfjg->setColumnWidth(c, widths[c]);
        MSFGridyfjg->horizontalHeaderItem(c)->setTextAlignment(c < 2 ? Qt::AlignLeft | Qt::AlignVCenter
                                                                     : Qt::AlignRight | Qt::AlignVCenter);
    }
    MSFGridyfjg->horizontalHeader()->setFixedHeight(RowHeight);
    MSFGridyfjg->verticalHeader()->setDefaultSectionSize(RowHeight);
    MSFGridyfjg->verticalHeader()->hide();
    MSFGridyfjg->setEditTriggers(QAbstractItemView::NoEditTriggers);
    MSFGridyfjg->setSelectionBehavior(QAbstractItemView::SelectRows);
    MSFGridyfjg->setSelectionMode(QAbstractItemView::SingleSelection);
    TxtCfnr = new QPlainTextEdit(this);
    TxtCfnr->setObjectName(QStringLiteral("TxtCfnr"));
    TxtCfnr->setReadOnly(true);
    TxtCfnr->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    SSTab1->addTab(MSFGridyfjg, QStringLiteral("处方药品剂量"));
    SSTab1->addTab(TxtCfnr, QStringLiteral("处方药品内容明细"));

    Txtycbm = lineEdit(this, "Txtycbm", 15);
    Txtycmc = lineEdit(this, "Txtycmc");
    Txtycmc->setReadOnly(true);
    TxtYcjl = lineEdit(this, "TxtYcjl");
    TxtYcjl->setAlignment(Qt::AlignRight);
    // Only typed digits reach the dose: no pasting or dropping other text into it.
    TxtYcjl->setContextMenuPolicy(Qt::NoContextMenu);
    TxtYcjl->setAcceptDrops(false);
    TxtYchj = lineEdit(this, "TxtYchj");
    TxtYchj->setAlignment(Qt::AlignRight);
    TxtYchj->setReadOnly(true);
    TxtYchj->setFocusPolicy(Qt::NoFocus);
    Cmdcksf = new QPushButton(QStringLiteral("出库收费&M"), this);
    Cmdcksf->setObjectName(QStringLiteral("Cmdcksf"));
    CmdQcls = new QPushButton(QStringLiteral("清屏&C"), this);
    CmdQcls->setObjectName(QStringLiteral("CmdQcls"));
    CmdQcls->setToolTip(QStringLiteral("按此键进行重新输入计算"));
    CmdExit = new QPushButton(QStringLiteral("返回&T"), this);
    CmdExit->setObjectName(QStringLiteral("CmdExit"));

    LabPwjj = new QLabel(this);
    LabPwjj->setObjectName(QStringLiteral("LabPwjj"));
    LabPwjj->setWordWrap(true);
    LabPwjj->setStyleSheet(QStringLiteral("color: #c00000;"));
    LabPwjj->hide();

    auto *g = new QGridLayout(this);
    g->addWidget(new QLabel(QStringLiteral("病历号码"), this), 0, 0);
    g->addWidget(TxtBlhm, 0, 1);
    g->addWidget(new QLabel(QStringLiteral("诊断科室"), this), 0, 2);
    g->addWidget(CboZdks, 0, 3);
    g->addWidget(new QLabel(QStringLiteral("诊断时间"), this), 0, 4);
    g->addWidget(MasZdsj, 0, 5);
    g->addWidget(SSTab1, 1, 0, 1, 6);
    g->addWidget(new QLabel(QStringLiteral("药材编码"), this), 2, 0);
    g->addWidget(Txtycbm, 2, 1);
    g->addWidget(new QLabel(QStringLiteral("药材名称"), this), 2, 2);
    g->addWidget(Txtycmc, 2, 3);
    g->addWidget(new QLabel(QStringLiteral("药品剂量"), this), 2, 4);
    g->addWidget(TxtYcjl, 2, 5);
    g->addWidget(LabPwjj, 3, 0, 1, 4);
    g->addWidget(new QLabel(QStringLiteral("药费合计"), this), 3, 4);
    g->addWidget(TxtYchj, 3, 5);
    g->addWidget(Cmdcksf, 4, 1);
    g->addWidget(CmdQcls, 4, 3);
    g->addWidget(CmdExit, 4, 5);

    setTabOrder(TxtBlhm, CboZdks);
    setTabOrder(CboZdks, MasZdsj);
    setTabOrder(MasZdsj, Txtycbm);
    setTabOrder(Txtycbm, Txtycmc);
    setTabOrder(Txtycmc, TxtYcjl);

    for (QWidget *w : {static_cast<QWidget *>(TxtBlhm), static_cast<QWidget *>(CboZdks), static_cast<QWidget *>(MasZdsj),
                       static_cast<QWidget *>(Txtycbm), static_cast<QWidget *>(Txtycmc), static_cast<QWidget *>(TxtYcjl)})
        w->installEventFilter(this);
    SSTab1->tabBar()->installEventFilter(this);
    // After the keys above: the list sees the code box's keys first.
    m_completer = new DrugCompleter(Txtycbm, this);

    // Enter: the box, the check (its texts in the logic), where the focus goes when it passes.
    m_enter = {
        {TxtBlhm, CboZdks, [this] { return Charging::caseNoEntered(TxtBlhm->text()); }, Select::none()},
        {CboZdks, MasZdsj, [this] { return Charging::departmentChosen(TxtBlhm->text(), CboZdks->currentText()); },
         Select::all()},
        {MasZdsj, Txtycbm, [this] { return onDateEnter(); }, Select::all()},
        {Txtycbm, TxtYcjl, [this] { return onCodeEnter(); }, Select::all()},
        {Txtycmc, TxtYcjl, [this] { return onNameEnter(); }, Select::all()},
        {TxtYcjl, Txtycbm, [this] { return onDoseEnter(); }, Select::all()},
    };
    // A key edited after the lookup needs a new lookup.
    connect(TxtBlhm, &QLineEdit::textEdited, this, &Frmycjj::forgetVisit);
    connect(MasZdsj, &QLineEdit::textEdited, this, &Frmycjj::forgetVisit);
    connect(CboZdks, &QComboBox::activated, this, &Frmycjj::forgetVisit);

    connect(MSFGridyfjg, &QTableWidget::cellClicked, this, [this](int row, int) { onGridClicked(row); });
    connect(Cmdcksf, &QPushButton::clicked, this, &Frmycjj::onCharge);
    connect(CmdQcls, &QPushButton::clicked, this, [this] {
        if (Qpcls())
            TxtBlhm->setFocus();
    });
    connect(CmdExit, &QPushButton::clicked, this, &Frmycjj::onExit);

    resize(640, 480);
    qh::ui::placeWindow(this, 5);
}

void Frmycjj::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Each opening of the window starts clean; a window without any diagnosis closes again.
    if (!event->spontaneous()) {
        if (Qpcls())
            TxtBlhm->setFocus();
        m_clearOnActivate.set(false);
    }
}

bool Frmycjj::event(QEvent *event)
{
    // Coming back from another window of the program starts clean too; coming back from this
    // window's own message boxes or from another program keeps the lines entered so far.
    if (m_clearOnActivate.onEvent(this, event) && isVisible() && Qpcls())
        TxtBlhm->setFocus();
    return QWidget::event(event);
}

bool Frmycjj::Qpcls()
{
    QStringList depts;
    try {
        auto s = Modutarnxt::clinicStore().open();
        depts = Charging::departments(s);
    } catch (const DbError &e) {
        msg::info(shortReport(e));
    }
    if (depts.isEmpty()) {
        if (m_closing)
            return false;
        m_closing = true;
        msg::show(MsgIcon::Question, MsgButtons::Ok, QStringLiteral("没有诊断处方，该功能不能使用"));
        // The menus come back when the window closes (the MenusOff the main window attached).
        qh::ui::setMousePointer(qh::ui::PointerArrow);
        // Closed once the current event is done: the window may be in the middle of being shown.
        QMetaObject::invokeMethod(this, [this] { qh::ui::closeTaskWindow(this); }, Qt::QueuedConnection);
        return false;
    }
    m_closing = false;
    CboZdks->clear();
    CboZdks->addItems(depts);
    CboZdks->setCurrentIndex(-1);
    m_diagnosis.reset();
    m_completer->setPrescription({});
    LabPwjj->clear();
    LabPwjj->hide();
    TxtBlhm->clear();
    Txtycmc->clear();
    Txtycbm->clear();
    TxtCfnr->clear();
    TxtYcjl->setText(QStringLiteral("0.00"));
    TxtYchj->setText(QStringLiteral("0.00"));
    MasZdsj->setText(dateText(QDate::currentDate()));
    ycjlhs = 0;
    m_lines.clear();
    MSFGridyfjg->setRowCount(0);
    qh::ui::setMousePointer(qh::ui::PointerArrow);
    SSTab1->setCurrentIndex(0);
    return true;
}

QWidget *Frmycjj::widgetOf(ChargeField field) const
{
    switch (field) {
    case ChargeField::TxtBlhm: return TxtBlhm;
    case ChargeField::CboZdks: return CboZdks;
    case ChargeField::MasZdsj: return MasZdsj;
    case ChargeField::Txtycbm: return Txtycbm;
    case ChargeField::Txtycmc: return Txtycmc;
    case ChargeField::TxtYcjl: return TxtYcjl;
    }
    qh::ui::unmappedControl("Frmycjj", int(field));
}

void Frmycjj::refuse(const ChargeRefusal &r)
{
    if (r.clearOthers) {
        Txtycbm->clear();
        Txtycmc->clear();
    }
    qh::ui::refuse(r, widgetOf(r.field));
}

void Frmycjj::showIncompatibilities(db::Session &s)
{
    const herbs::RuleBook *book = herbs::programRules();
    QStringList findings;
    if (book && m_diagnosis) {
        QStringList names;
        auto q = s.query(QStringLiteral("select ycmc from ycjg"));
        while (q.next())
            names << q.text(0);
        findings = herbs::incompatibilities(*book, m_diagnosis->prescription, names);
    }
    LabPwjj->setText(findings.isEmpty() ? QString() : QStringLiteral("配伍禁忌：") + findings.join(QStringLiteral("；")));
    LabPwjj->setVisible(!findings.isEmpty());
}

void Frmycjj::forgetVisit()
{
    if (!m_diagnosis)
        return;
    // The prescription and the lines checked against it go with the visit.
    m_diagnosis.reset();
    m_completer->setPrescription({});
    LabPwjj->clear();
    LabPwjj->hide();
    TxtCfnr->clear();
    m_lines.clear();
    MSFGridyfjg->setRowCount(0);
    ycjlhs = 0;
    TxtYchj->setText(QStringLiteral("0.00"));
}

bool Frmycjj::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == SSTab1->tabBar() && event->type() == QEvent::MouseButtonPress) {
        if (QClipboard *cb = QGuiApplication::clipboard())
            cb->clear();
        return false;
    }
    if (event->type() == QEvent::FocusIn) {
        if (watched == Txtycbm) {
            SSTab1->setCurrentIndex(1);
            QMetaObject::invokeMethod(Txtycbm, &QLineEdit::selectAll, Qt::QueuedConnection);
        } else if (watched == TxtYcjl) {
            SSTab1->setCurrentIndex(0);
            QMetaObject::invokeMethod(TxtYcjl, &QLineEdit::selectAll, Qt::QueuedConnection);
        }
        return false;
    }
    if (event->type() != QEvent::KeyPress)
        return false;
    auto *k = static_cast<QKeyEvent *>(event);
    if (watched == TxtYcjl) {
        // Only digits and Enter: a dose is a whole number of grams.
        if (qh::ui::isEnterKey(k)) {
            runEnter(TxtYcjl);
            return true;
        }
        if (movesFocus(k))
            return false;
        const QString t = k->text();
        return !(t.size() == 1 && t[0] >= u'0' && t[0] <= u'9');
    }
    if (k->key() == Qt::Key_Space && watched != CboZdks)
        return true;
    if (!qh::ui::isEnterKey(k))
        return false;
    runEnter(watched);
    return true;
}

void Frmycjj::runEnter(QObject *box)
{
    for (const EnterStep &step : m_enter) {
        if (step.box != box)
            continue;
        if (const ChargeVerdict r = step.check())
            refuse(*r);
        else
            qh::ui::focusAndSelect(step.next, step.select);
        return;
    }
}

// A database failure of a lookup is reported; the focus stays in the box.
static ChargeRefusal failure(const QString &report, ChargeField box, MsgIcon icon = MsgIcon::Information)
{
    return refusal(report, box, Select::none()).withIcon(icon);
}

ChargeVerdict Frmycjj::onDateEnter()
{
    try {
        auto s = Modutarnxt::clinicStore().open();
        auto r = Charging::findDiagnosis(s, MasZdsj->displayText(), TxtBlhm->text(), CboZdks->currentText());
        if (auto *refused = std::get_if<ChargeRefusal>(&r))
            return *refused;
        m_diagnosis = std::get<ChargeDiagnosis>(r);
        TxtCfnr->setPlainText(m_diagnosis->prescription);
        m_completer->setPrescription(m_diagnosis->prescription);
        showIncompatibilities(s);
        SSTab1->setCurrentIndex(1);
    } catch (const DbError &e) {
        return failure(shortReport(e), ChargeField::MasZdsj);
    }
    return std::nullopt;
}

ChargeVerdict Frmycjj::onCodeEnter()
{
    try {
        auto s = Modutarnxt::clinicStore().open();
        const auto d = Charging::drugByCode(s, Txtycbm->text());
        if (!d)
            return refusal(QStringLiteral("药材编码输入错误，重来！"), ChargeField::Txtycbm);
        Txtycmc->setText(d->name);
        SSTab1->setCurrentIndex(0);
    } catch (const DbError &e) {
        return failure(shortReport(e), ChargeField::Txtycbm);
    }
    return std::nullopt;
}

ChargeVerdict Frmycjj::onNameEnter()
{
    try {
        auto s = Modutarnxt::clinicStore().open();
        const auto d = Charging::drugByName(s, Txtycmc->text());
        if (!d)
            return refusal(QStringLiteral("药材名称输入错误，重来！"), ChargeField::Txtycmc);
        Txtycbm->setText(d->code);
    } catch (const DbError &e) {
        return failure(shortReport(e), ChargeField::Txtycmc);
    }
    return std::nullopt;
}

void Frmycjj::appendRow(const ChargeLine &l)
{
    const int row = MSFGridyfjg->rowCount();
    MSFGridyfjg->insertRow(row);
    const QString cells[] = {l.code, l.name, l.dose.toDisplay(), l.price.toDisplay(), l.amount.toDisplay()};
    for (int c = 0; c < 5; ++c) {
        auto *item = new QTableWidgetItem(cells[c]);
        item->setTextAlignment(c < 2 ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignRight | Qt::AlignVCenter);
        MSFGridyfjg->setItem(row, c, item);
    }
}

void Frmycjj::showTotal() { TxtYchj->setText(Charging::total(m_lines).toDisplay()); }

ChargeVerdict Frmycjj::onDoseEnter()
{
    try {
        auto s = Modutarnxt::clinicStore().open();
        auto r = Charging::addLine(s, Txtycbm->text(), Txtycmc->text(), TxtYcjl->text(), TxtCfnr->toPlainText(), m_lines);
        if (auto *refused = std::get_if<ChargeRefusal>(&r))
            return *refused;
        const ChargeLine line = std::get<ChargeLine>(r);
        m_lines.append(line);
        appendRow(line);
        showTotal();
        Txtycbm->clear();
        Txtycmc->clear();
        TxtYcjl->clear();
        SSTab1->setCurrentIndex(1);
    } catch (const DbError &e) {
        return failure(plainReport(e), ChargeField::TxtYcjl, MsgIcon::None);
    } catch (const MoneyOverflow &) {
        return failure(plainReport(DbError(err::Overflow, QStringLiteral("溢出"))), ChargeField::TxtYcjl, MsgIcon::None);
    }
    return std::nullopt;
}

void Frmycjj::onGridClicked(int row)
{
    if (row < 0 || row >= m_lines.size())
        return;
    const bool last = row == m_lines.size() - 1;
    const ChargeLine line = m_lines.takeAt(row);
    ycjlhs = row + 1;
    Txtycbm->setText(line.code);
    Txtycmc->setText(line.name);
    TxtYcjl->setText(line.dose.toPlain());
    MSFGridyfjg->removeRow(row);
    TxtYchj->setText(Charging::total(m_lines).toPlain());
    if (!last)
        qh::ui::focusAndSelect(Txtycbm, Select::all());
}

void Frmycjj::onCharge()
{
    if (m_lines.isEmpty() || !m_diagnosis)
        return;
    try {
        auto s = Modutarnxt::clinicStore().open();
        Charging::post(s, m_lines, *m_diagnosis, Modutarnxt::CurrentUser, QDate::currentDate());
    } catch (const DbError &e) {
        msg::info(shortReport(e));
        return;
    }
    if (Qpcls())
        Txtycbm->setFocus();
}

// The main window's menus come back through the MenusOff it attached to this window.
void Frmycjj::onExit() { qh::ui::closeTaskWindow(this); }

void registerChargingWindow()
{
    qh::ui::registerTaskWindow(QStringLiteral("YcqkXs"), [] { return qh::ui::singleWindow<Frmycjj>(); });
}

} // namespace qh::stock::ui
