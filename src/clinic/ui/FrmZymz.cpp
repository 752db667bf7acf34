#include "clinic/ui/FrmZymz.h"
#include "core/modutarnxt.h"
#include "clinic/ui/entryboxes.h"
#include "clinic/ui/formulabox.h"
#include "clinic/ui/printbuttons.h"
#include "clinic/ui/tabkit.h"
#include "db/error.h"
#include "core/messages.h"
#include "core/ui/FrmHelp.h"
#include "core/ui/refuse.h"
#include "core/ui/taskwindows.h"
#include "core/ui/uikit.h"

#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTableWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace qh::clinic::ui {

void registerOutpatientWindow()
{
    qh::ui::registerTaskWindow(QStringLiteral("sad"), [] { return static_cast<QWidget *>(qh::ui::singleWindow<FrmZymz>()); });
}

FrmZymz::FrmZymz(QWidget *parent)
    : QWidget(parent), SSTab1(new QTabWidget(this)), notes(new NotesTab), reg(new RegisterTab(notes->TxtZlxd)),
      diag(new DiagnosisTab(reg->TxtBlbh)), MasZdsj(diag->MasZdsj), Lab1(diag->Lab1), srjybl(reg->srjybl),
      jybl(diag->jybl)
{
    setObjectName(QStringLiteral("FrmZymz"));
    setWindowTitle(QStringLiteral("门诊疾病诊断"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFont(QFont(QStringLiteral("宋体"), 10));
    resize(px(12000), px(8700));

    auto *outer = new QVBoxLayout(this);
    SSTab1->setObjectName(QStringLiteral("SSTab1"));
    outer->addWidget(SSTab1);
    SSTab1->addTab(reg, QStringLiteral("门诊病案"));
    SSTab1->addTab(diag, QStringLiteral("门诊诊断"));
    SSTab1->addTab(notes, QStringLiteral("门诊病案诊断心得"));

    TxtBlbh = reg->TxtBlbh;
    TxtHzxm = reg->TxtHzxm;
    CboHzxb = reg->CboHzxb;
    CboHzag = reg->CboHzag;
    CboHyqk = reg->CboHyqk;
    MaskCzsj = reg->MaskCzsj;
    MaskJzsj = reg->MaskJzsj;
    CboHzzy = reg->CboHzzy;
    TxtHzdz = reg->TxtHzdz;
    TxtHzdw = reg->TxtHzdw;
    TxtMail = reg->TxtMail;
    TxtTele = reg->TxtTele;
    TreeView1 = reg->TreeView1;
    MSFGrid = reg->MSFGrid;
    CmdHzbc = reg->CmdHzbc;
    CmdMzzd = reg->CmdMzzd;
    CmdZdxd = reg->CmdZdxd;
    CmdQcls = reg->CmdQcls;
    CmdMztc = reg->CmdMztc;
    CmdHelp = reg->CmdHelp;
    TxtStb1_0 = diag->TxtStb1_0;
    TxtStb1_1 = diag->TxtStb1_1;
    TxtStb1_2 = diag->memo[0];
    TxtStb1_3 = diag->memo[1];
    TxtStb1_4 = diag->memo[2];
    TxtStb1_5 = diag->memo[3];
    CboZdks = diag->CboZdks;
    CboYpfl = diag->CboYpfl;
    LisYpfl = diag->LisYpfl;
    LisYpsl = diag->LisYpsl;
    CheFzbz = diag->CheFzbz;
    LabYckc = diag->LabYckc;
    CmdZdzl = diag->CmdZdzl;
    CmdZdde = diag->CmdZdde;
    CmdPrbl = diag->CmdPrbl;
    CmdCkba = diag->CmdCkba;
    TxtZlxd = notes->TxtZlxd;
    CmdXdbc = notes->CmdXdbc;
    CmdPrxd = notes->CmdPrxd;
    CmdBack = notes->CmdBack;

    connect(MSFGrid, &QTableWidget::cellClicked, this, [this](int r, int) { MSFGrid_Click(r); });
    connect(CmdMzzd, &QPushButton::clicked, this, &FrmZymz::CmdMzzd_Click);
    connect(reg->CmdYycf, &QPushButton::clicked, this, &FrmZymz::CmdYycf_Click);
    connect(CmdZdxd, &QPushButton::clicked, this, &FrmZymz::CmdZdxd_Click);
    connect(CmdQcls, &QPushButton::clicked, this, &FrmZymz::CmdQcls_Click);
    connect(CmdMztc, &QPushButton::clicked, this, &FrmZymz::CmdMztc_Click);
    connect(CmdHelp, &QPushButton::clicked, this, &FrmZymz::CmdHelp_Click);
    connect(CmdCkba, &QPushButton::clicked, this, &FrmZymz::CmdCkba_Click);
    connect(CmdZdde, &QPushButton::clicked, this, &FrmZymz::printPrescription);
    connect(CmdPrbl, &QPushButton::clicked, this, &FrmZymz::printCaseRecord);
    connect(CmdXdbc, &QPushButton::clicked, this, &FrmZymz::CmdXdbc_Click);
    connect(CmdPrxd, &QPushButton::clicked, this, &FrmZymz::printNotesSummary);
    connect(CmdBack, &QPushButton::clicked, this, &FrmZymz::CmdBack_Click);
    connect(diag, &DiagnosisTab::saved, this, [this] { TxtBlbh->setFocus(Qt::OtherFocusReason); });
    Form_Load();
}

FrmZymz::~FrmZymz() = default;

// ---------------------------------------------------------------------------------------------
// Loading, placing, exit and help

void FrmZymz::Form_Load()
{
    qh::ui::BusyPointer busy;
    reg->clearGrid();
    QpHzzl();
    QpZdzl();
    QpZdxd();
    busy.reset();
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

// The menus come back through the guard the main window attached when it opened this window.
void FrmZymz::CmdMztc_Click() { qh::ui::closeTaskWindow(this); }

void FrmZymz::CmdHelp_Click() { qh::ui::showHelp(this, QStringLiteral("MZ")); }

// ---------------------------------------------------------------------------------------------
// Clearing

void FrmZymz::QpHzzl()
{
    reg->QpHzzl();
    SSTab1->setCurrentIndex(0);
}

void FrmZymz::QpZdzl()
{
    diag->QpZdzl();
    reg->clearGrid();
}

void FrmZymz::CmdQcls_Click()
{
    QpHzzl();
    QpZdzl();
    QpZdxd();
    TxtBlbh->setFocus(Qt::OtherFocusReason);
}

// ---------------------------------------------------------------------------------------------
// From the register to the diagnosis and back

void FrmZymz::CmdMzzd_Click()
{
    if (const CaseVerdict refused = needCaseNumber(TxtBlbh->text()))
        return qh::ui::refuse(*refused, reg->widgetOf(refused->field));
    diag->openNew(TxtBlbh->text());
    SSTab1->setCurrentIndex(1);
    CboZdks->setFocus(Qt::OtherFocusReason);
}

// "引用此方": the new visit of CmdMzzd, with its checks, its prescription box starting from the
// selected visit's prescription, or the latest visit's when no row is selected.
void FrmZymz::CmdYycf_Click()
{
    if (const CaseVerdict refused = needCaseNumber(TxtBlbh->text()))
        return qh::ui::refuse(*refused, reg->widgetOf(refused->field));
    const QModelIndexList selected = MSFGrid->selectionModel()->selectedRows();
    std::optional<QString> prescription;
    try {
        if (!selected.isEmpty()) {
            if (const auto v = visitOfRow(selected.first().row()))
                prescription = v->blcf;
        } else {
            auto s = Modutarnxt::clinicStore().open();
            prescription = lastPrescription(s, TxtBlbh->text());
        }
    } catch (const DbError &e) {
        msg::show(MsgIcon::Question, MsgButtons::Ok, shortReport(e));
        return;
    }
    if (!prescription) {
        msg::info(QStringLiteral("没有 ") + trimSpaces(TxtBlbh->text()) + QStringLiteral(" 诊断资料"));
        return;
    }
    CmdMzzd_Click();
    if (SSTab1->currentIndex() == 1)
        diag->formulas->startFrom(*prescription);
}

std::optional<VisitRecord> FrmZymz::visitOfRow(int row) const
{
    const auto day = parseDateText(MSFGrid->item(row, 0) ? MSFGrid->item(row, 0)->text() : QString());
    const QString dept = trimSpaces(MSFGrid->item(row, 1) ? MSFGrid->item(row, 1)->text() : QString());
    if (!day)
        return std::nullopt;
    auto s = Modutarnxt::clinicStore().open();
    return findVisit(s, TxtBlbh->text(), dept, *day);
}

void FrmZymz::MSFGrid_Click(int row)
{
    if (row < 0 || row >= MSFGrid->rowCount() || !MSFGrid->item(row, 0))
        return;
    MSFGrid->setCurrentCell(row, 0);
    std::optional<VisitRecord> v;
    try {
        v = visitOfRow(row);
    } catch (const DbError &e) {
        msg::show(MsgIcon::Question, MsgButtons::Ok, shortReport(e));
        return;
    }
    if (!v)
        return;
    diag->openStored(*v);
    SSTab1->setCurrentIndex(1);
}

void FrmZymz::openCase(const QString &caseNumber)
{
    if (SSTab1->currentIndex() == 1)
        CmdCkba_Click();
    else if (SSTab1->currentIndex() == 2)
        CmdBack_Click();
    SSTab1->setCurrentIndex(0);
    reg->openCase(caseNumber);
}

void FrmZymz::CmdCkba_Click()
{
    QpZdzl();
    SSTab1->setCurrentIndex(0);
}

// ---------------------------------------------------------------------------------------------
// From the register to the notes and back

void FrmZymz::CmdZdxd_Click()
{
    if (const CaseVerdict refused = needCaseNumber(TxtBlbh->text()))
        return qh::ui::refuse(*refused, reg->widgetOf(refused->field));
    try {
        notes->openFor(trimSpaces(TxtBlbh->text()));
    } catch (const DbError &e) {
        msg::show(MsgIcon::Question, MsgButtons::Ok, shortReport(e));
        return;
    }
    SSTab1->setCurrentIndex(2);
    qh::ui::focusAndSelect(TxtZlxd, Select::all());
}

void FrmZymz::CmdXdbc_Click()
{
    try {
        if (notes->saveFor(TxtBlbh->text())) {
            SSTab1->setCurrentIndex(0);
            TreeView1->setFocus(Qt::OtherFocusReason);
        }
    } catch (const DbError &e) {
        qh::ui::setMousePointer(qh::ui::PointerArrow);
        msg::show(MsgIcon::Question, MsgButtons::Ok, numberedReport(e));
    }
}

void FrmZymz::CmdBack_Click()
{
    notes->closeNotes();
    SSTab1->setCurrentIndex(0);
}

// ---------------------------------------------------------------------------------------------
// Printing: the case record, the prescription slip and the notes summary.

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
    clickPrintSummary(CmdPrxd, SummaryFields{c.blbm, c.blxm, c.blnl, c.blhf, c.blxb, c.blzy, c.bldw, c.blte, c.mail,
                                             c.blsj, c.bljz, c.blxd},
                      CmdQcls);
}

} // namespace qh::clinic::ui
