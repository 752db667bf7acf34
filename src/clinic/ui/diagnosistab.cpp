#include "clinic/ui/diagnosistab.h"
#include "core/modutarnxt.h"

#include "clinic/ui/entryboxes.h"
#include "clinic/ui/formulabox.h"
#include "clinic/ui/herbquickbox.h"
#include "clinic/ui/tabkit.h"
#include "db/error.h"
#include "core/messages.h"
#include "core/ui/uikit.h"

#include <QCheckBox>
#include <optional>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

namespace qh::clinic::ui {

namespace {

void reportDbError(const DbError &e, bool numbered)
{
    qh::ui::setMousePointer(qh::ui::PointerArrow);
    msg::show(MsgIcon::Question, MsgButtons::Ok, numbered ? numberedReport(e) : shortReport(e));
}

// Draws a herb of the pick list with its stock mark after the name, in red: the item's own
// text stays the herb name, which the pick and the charging read.
constexpr int MarkRole = Qt::UserRole + 1;
class MarkedHerbs : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        const QString mark = index.data(MarkRole).toString();
        if (!mark.isEmpty()) {
            option->text += mark;
            option->palette.setColor(QPalette::Text, QColor(0xc0, 0, 0));
            option->palette.setColor(QPalette::HighlightedText, QColor(0xff, 0xe0, 0xe0));
        }
    }
};

template <class W>
W *named(W *w, const QString &name)
{
    w->setObjectName(name);
    return w;
}

} // namespace

QString TextField::text() const { return m_line ? m_line->text() : m_memo ? m_memo->text() : QString(); }

void TextField::setText(const QString &text)
{
    if (m_line)
        m_line->setText(text);
    else if (m_memo)
        m_memo->setText(text);
}

QWidget *TextField::widget() const { return m_line ? static_cast<QWidget *>(m_line) : m_memo; }

DiagnosisTab::DiagnosisTab(QWidget *caseNumberBox, QWidget *parent) : QWidget(parent), m_caseNumberBox(caseNumberBox)
{
    setObjectName(QStringLiteral("DiagnosisTab"));
    const char *captions[12] = {"病历号码", "诊断科室", "诊断时间", "诊断医师", "血压",     "脉搏",
                                "呼吸",     "病史陈述", "诊断治疗", "处方",     "使用方法", "使用剂量"};
    for (int i = 0; i < 12; ++i)
        Lab1[i] = named(new QLabel(QString::fromUtf8(captions[i])), QStringLiteral("Lab1(%1)").arg(i));
    TxtStb1_0 = new QLineEdit;
    TxtStb1_1 = new QLineEdit;
    // Shows the case number of the register, which may be longer than the 15 typed characters.
    TxtStb1_0->setMaxLength(20);
    TxtStb1_1->setMaxLength(15);
    TxtStb1[0] = TextField(TxtStb1_0);
    TxtStb1[1] = TextField(TxtStb1_1);
    const int limits[4] = {210, 210, 240, 150};
    for (int i = 0; i < 4; ++i) {
        memo[i] = new MemoBox;
        memo[i]->setMaxLength(limits[i]);
        TxtStb1[i + 2] = TextField(memo[i]);
    }
    for (int i = 0; i < 6; ++i) {
        TxtStb1[i].widget()->setObjectName(QStringLiteral("TxtStb1(%1)").arg(i));
        tint(TxtStb1[i].widget());
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
    }
    CboZdks = named(new QComboBox, QStringLiteral("CboZdks"));
    CboZdks->setEditable(true);
    CboZdks->setInsertPolicy(QComboBox::NoInsert);
    CboZdks->lineEdit()->setMaxLength(50);
    tint(CboZdks);
    CboYpfl = named(new QComboBox, QStringLiteral("CboYpfl"));
    LisYpfl = named(new QListWidget, QStringLiteral("LisYpfl"));
    LisYpsl = named(new QListWidget, QStringLiteral("LisYpsl"));
    CheFzbz = named(new QCheckBox(QStringLiteral("复诊")), QStringLiteral("CheFzbz"));
    LisYpfl->setItemDelegate(new MarkedHerbs(LisYpfl));
    LabYckc = named(new QLabel, QStringLiteral("LabYckc"));
    LabYckc->setWordWrap(true);
    quick = named(new HerbQuickBox, QStringLiteral("HerbQuickBox"));
    quick->setLogic(&m_quick);
    quick->setMarker([this](const QString &herb) { return quickMark(herb); });
    LabCfjj = named(new QLabel, QStringLiteral("LabCfjj"));
    LabCfjj->setWordWrap(true);
    LabCfjj->setStyleSheet(QStringLiteral("color: #c00000"));
    LabCfjj->hide();
    formulas = new FormulaPanel(memo[2], this);
    CmdZdzl = named(new QPushButton(QStringLiteral("保存")), QStringLiteral("CmdZdzl"));
    CmdZdde = named(new QPushButton(QStringLiteral("打印处方")), QStringLiteral("CmdZdde"));
    CmdPrbl = named(new QPushButton(QStringLiteral("打印病历")), QStringLiteral("CmdPrbl"));
    CmdCkba = named(new QPushButton(QStringLiteral("返回首页")), QStringLiteral("CmdCkba"));
    layOut();

    // The Enter chain: the texts of the checks are the logic's; memo boxes that hold text take
    // the line break.
    const auto checked = [](VisitField f, QWidget *box) { return [f, box] { return visitEnterCheck(f, textOf(box)); }; };
    const Select all = Select::all(), none = Select::none();
    std::vector<EnterStep<VisitField>> steps{
        {CboZdks, TxtStb1_1, all, checked(VisitField::CboZdks, CboZdks)},
        {TxtStb1_1, MasZdsj[1], all, checked(VisitField::TxtStb1_1, TxtStb1_1)},
        {MasZdsj[1], MasZdsj[2], all, checked(VisitField::MasZdsj_1, MasZdsj[1])},
        {MasZdsj[2], MasZdsj[3], all, checked(VisitField::MasZdsj_2, MasZdsj[2])},
        {MasZdsj[3], memo[0], all, checked(VisitField::MasZdsj_3, MasZdsj[3])},
        {memo[0], memo[1], none, {}, true},
        {memo[1], nullptr, none, checked(VisitField::TxtStb1_3, memo[1]), true},
        {memo[2], nullptr, none, checked(VisitField::TxtStb1_4, memo[2]), true},
        {memo[3], nullptr, none, checked(VisitField::TxtStb1_5, memo[3]), true},
        {MasZdsj[0], nullptr, none, {}},
        {MasZdsj[4], nullptr, none, {}},
        {TxtStb1_0, nullptr, none, {}},
    };
    m_enter = std::make_unique<EnterChain<VisitField>>([this](VisitField f) { return widgetOf(f); }, std::move(steps));
    for (QObject *o : m_enter->watched())
        o->installEventFilter(this);

    connect(CboYpfl, &QComboBox::activated, this, [this](int) { CboYpfl_Click(); });
    connect(LisYpfl, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem *) { LisYpfl_DblClick(); });
    connect(LisYpsl, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem *) { LisYpsl_DblClick(); });
    connect(LisYpfl, &QListWidget::currentItemChanged, this, [this](QListWidgetItem *item) { showStockOf(item); });
    connect(quick, &HerbQuickBox::chosen, this, &DiagnosisTab::appendPick);
    connect(quick, &HerbQuickBox::current, this,
            [this](const QString &herb) { LabYckc->setText(herb.isEmpty() ? QString() : m_safety.stockLine(herb)); });
    connect(memo[2], &QPlainTextEdit::textChanged, this, &DiagnosisTab::showPairs);
    connect(CheFzbz, &QCheckBox::clicked, this, &DiagnosisTab::CheFzbz_Click);
    connect(CmdZdzl, &QPushButton::clicked, this, &DiagnosisTab::CmdZdzl_Click);
}

DiagnosisTab::~DiagnosisTab() = default;

void DiagnosisTab::layOut()
{
    // Wide enough for what each box holds: case number and doctor whole (the case number's 20
    // characters shown 10 wide like every long text), dates and vital signs whole.
    fitChars(TxtStb1_0, 10);
    fitChars(TxtStb1_1, 10);
    for (MaskBox *m : MasZdsj)
        fitChars(m, m->inputMask().isEmpty() ? 10 : m->maxLength());
    fitItems(CboZdks, {QStringLiteral("中医妇科")});

    auto *g = new QGridLayout;
    g->addWidget(Lab1[0], 0, 0);
    g->addWidget(TxtStb1_0, 0, 1);
    g->addWidget(Lab1[1], 0, 2);
    g->addWidget(CboZdks, 0, 3);
    g->addWidget(Lab1[2], 1, 0);
    g->addWidget(MasZdsj[0], 1, 1);
    g->addWidget(Lab1[3], 1, 2);
    g->addWidget(TxtStb1_1, 1, 3);
    g->addWidget(Lab1[4], 2, 0);
    g->addWidget(MasZdsj[1], 2, 1);
    auto *vitals = new QHBoxLayout;
    vitals->addWidget(Lab1[5]);
    vitals->addWidget(MasZdsj[2]);
    vitals->addWidget(Lab1[6]);
    vitals->addWidget(MasZdsj[3]);
    vitals->addStretch(1);
    g->addLayout(vitals, 2, 2, 1, 2);
    for (int i = 0; i < 4; ++i) {
        g->addWidget(Lab1[7 + i], 3 + i, 0);
        if (i != 2) {
            g->addWidget(memo[i], 3 + i, 1, 1, 3);
            continue;
        }
        auto *prescription = new QVBoxLayout;
        prescription->addWidget(memo[i], 1);
        prescription->addWidget(LabCfjj);
        auto *changes = new QHBoxLayout;
        changes->addWidget(formulas->LabFjjj, 1);
        changes->addWidget(formulas->CmdXrjj, 0, Qt::AlignTop | Qt::AlignRight);
        prescription->addLayout(changes);
        g->addLayout(prescription, 3 + i, 1, 1, 3);
    }
    auto *follow = new QHBoxLayout;
    follow->addWidget(CheFzbz);
    follow->addWidget(MasZdsj[4]);
    follow->addStretch(1);
    g->addLayout(follow, 7, 1, 1, 3);

    auto *picks = new QVBoxLayout;
    picks->addWidget(formulas->box);
    picks->addWidget(quick);
    picks->addWidget(CboYpfl);
    auto *lists = new QHBoxLayout;
    lists->addWidget(LisYpfl, 2);
    auto *doses = new QVBoxLayout;
    doses->addWidget(Lab1[11]);
    doses->addWidget(LisYpsl, 1);
    lists->addLayout(doses, 1);
    picks->addLayout(lists, 1);
    picks->addWidget(LabYckc);
    auto *cmds = new QGridLayout;
    cmds->addWidget(CmdZdzl, 0, 0);
    cmds->addWidget(CmdZdde, 0, 1);
    cmds->addWidget(CmdPrbl, 1, 0);
    cmds->addWidget(CmdCkba, 1, 1);
    cmds->addWidget(formulas->CmdCwfj, 2, 0, 1, 2);
    picks->addLayout(cmds);

    auto *row = new QHBoxLayout(this);
    row->addLayout(g, 3);
    row->addLayout(picks, 1);

    QWidget::setTabOrder(TxtStb1_0, CboZdks);
    QWidget::setTabOrder(CboZdks, MasZdsj[0]);
    QWidget::setTabOrder(MasZdsj[0], TxtStb1_1);
    QWidget::setTabOrder(TxtStb1_1, MasZdsj[1]);
    QWidget::setTabOrder(MasZdsj[1], MasZdsj[2]);
    QWidget::setTabOrder(MasZdsj[2], MasZdsj[3]);
    QWidget::setTabOrder(MasZdsj[3], memo[0]);
    QWidget::setTabOrder(memo[0], memo[1]);
    QWidget::setTabOrder(memo[1], memo[2]);
    QWidget::setTabOrder(memo[2], memo[3]);
    QWidget::setTabOrder(memo[3], CheFzbz);
    QWidget::setTabOrder(CheFzbz, MasZdsj[4]);
}

QWidget *DiagnosisTab::widgetOf(VisitField f) const
{
    switch (f) {
    case VisitField::TxtBlbh: return m_caseNumberBox;
    case VisitField::TxtStb1_0: return TxtStb1[0].widget();
    case VisitField::TxtStb1_1: return TxtStb1[1].widget();
    case VisitField::TxtStb1_2: return TxtStb1[2].widget();
    case VisitField::TxtStb1_3: return TxtStb1[3].widget();
    case VisitField::TxtStb1_4: return TxtStb1[4].widget();
    case VisitField::TxtStb1_5: return TxtStb1[5].widget();
    case VisitField::CboZdks: return CboZdks;
    case VisitField::MasZdsj_0: return MasZdsj[0];
    case VisitField::MasZdsj_1: return MasZdsj[1];
    case VisitField::MasZdsj_2: return MasZdsj[2];
    case VisitField::MasZdsj_3: return MasZdsj[3];
    case VisitField::MasZdsj_4: return MasZdsj[4];
    }
    qh::ui::unmappedControl("DiagnosisTab", int(f));
}

bool DiagnosisTab::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (qh::ui::isEnterKey(key))
            return m_enter->enter(watched);
        // No space enters the department.
        if (key->key() == Qt::Key_Space && (watched == CboZdks || watched == CboZdks->lineEdit()))
            return true;
    }
    return QWidget::eventFilter(watched, event);
}

void DiagnosisTab::setEntriesVisible(bool visible)
{
    for (const TextField &t : TxtStb1)
        t.widget()->setVisible(visible);
    for (QWidget *w : MasZdsj)
        w->setVisible(visible);
    for (QWidget *w : Lab1)
        w->setVisible(visible);
    for (QWidget *w : std::initializer_list<QWidget *>{CmdCkba, CmdZdzl, CmdPrbl, CmdZdde, CboZdks, CboYpfl, LisYpfl,
                                                       LisYpsl, CheFzbz, LabYckc, quick})
        w->setVisible(visible);
    LabCfjj->setVisible(visible && !LabCfjj->text().isEmpty());
    formulas->setEntriesVisible(visible);
}

void DiagnosisTab::QpZdzl()
{
    qh::ui::BusyPointer busy;
    MasZdsj[0]->setText(todayText());
    MasZdsj[4]->setText(todayText());
    formulas->clear();
    setEntriesVisible(false);
    LisYpsl->clear();
    LisYpsl->addItems(doseItems(1, 200));
}

void DiagnosisTab::TclBnr()
{
    PickLists lists;
    try {
        auto s = Modutarnxt::clinicStore().open();
        lists = clinic::TclBnr(s);
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

void DiagnosisTab::openNew(const QString &caseNumber)
{
    formulas->clear();
    visitToBoxes(newVisit(caseNumber, QDate::currentDate()));
    TxtStb1_0->setEnabled(false);
    MasZdsj[0]->setEnabled(false);
    MasZdsj[4]->setEnabled(false);
    CboZdks->setEditText(QString());
    TclBnr();
    CboZdks->setEditText(QString());
    setEntriesVisible(true);
    LisYpfl->clear();
    loadStockOutlook();
}

void DiagnosisTab::openStored(const VisitRecord &v)
{
    formulas->clear();
    for (TextField &t : TxtStb1)
        t.setText(QString());
    setEntriesVisible(true);
    visitToBoxes(v);
    // A stored visit keeps its case number and date: they identify it.
    TxtStb1_0->setEnabled(false);
    MasZdsj[0]->setEnabled(false);
    MasZdsj[4]->setEnabled(v.followUp);
    TclBnr();
    CboZdks->setEditText(trimSpaces(v.blkb));
    loadStockOutlook();
}

void DiagnosisTab::loadStockOutlook()
{
    QString error;
    herbs::programRules(&error);
    if (!error.isEmpty())
        msg::info(error);
    // One session for the outlook, the quick box's weights and the formula box's list.
    std::optional<db::Session> s;
    try {
        s.emplace(Modutarnxt::clinicStore().open());
        m_safety.load(*s, QDate::currentDate());
        m_quick.setDrugs(m_safety.drugNames(), m_safety.units(), HerbQuick::prescribedCounts(*s, m_safety.drugNames()));
    } catch (const DbError &) {
        // The outlook only informs; a visit is entered and saved without it.
    }
    formulas->reload(s ? &*s : nullptr, m_safety.drugNames());
    LabYckc->clear();
    markHerbs();
}

void DiagnosisTab::markHerbs()
{
    for (int i = 0; i < LisYpfl->count(); ++i) {
        QListWidgetItem *item = LisYpfl->item(i);
        switch (m_safety.mark(item->text())) {
        case StockMark::None: item->setData(MarkRole, QVariant()); break;
        case StockMark::OutOfStock: item->setData(MarkRole, QStringLiteral("（缺货）")); break;
        case StockMark::Expired: item->setData(MarkRole, QStringLiteral("（过期）")); break;
        }
    }
}

void DiagnosisTab::showStockOf(const QListWidgetItem *item)
{
    LabYckc->setText(item ? m_safety.stockLine(item->text()) : QString());
}

void DiagnosisTab::CboYpfl_Click()
{
    const QString category = trimSpaces(CboYpfl->currentText());
    if (category.isEmpty())
        return;
    std::optional<QStringList> herbs;
    try {
        auto s = Modutarnxt::clinicStore().open();
        herbs = herbsOfCategory(s, category);
    } catch (const DbError &e) {
        reportDbError(e, false);
        return;
    }
    if (!herbs)
        return;
    LisYpfl->clear();
    LisYpfl->addItems(*herbs);
    markHerbs();
    LisYpfl->setFocus(Qt::OtherFocusReason);
    LisYpfl->setCurrentRow(0);
}

void DiagnosisTab::LisYpfl_DblClick()
{
    QListWidgetItem *herb = LisYpfl->currentItem();
    if (!herb || trimSpaces(herb->text()).isEmpty())
        return;
    const auto zero = LisYpsl->findItems(QStringLiteral("0"), Qt::MatchExactly);
    LisYpsl->setCurrentRow(zero.isEmpty() ? 0 : LisYpsl->row(zero.first()));
    LisYpsl->setFocus(Qt::OtherFocusReason);
}

void DiagnosisTab::LisYpsl_DblClick()
{
    QListWidgetItem *dose = LisYpsl->currentItem();
    if (!dose || trimSpaces(dose->text()).isEmpty())
        return;
    QListWidgetItem *herb = LisYpfl->currentItem();
    const QString name = herb ? trimSpaces(herb->text()) : QString();
    if (name.isEmpty())
        return;
    appendPick(name, dose->text());
}

void DiagnosisTab::appendPick(const QString &herb, const QString &dose)
{
    try {
        auto s = Modutarnxt::clinicStore().open();
        if (const auto pick = herbPickText(s, herb, dose))
            TxtStb1[4].setText(TxtStb1[4].text() + *pick);
    } catch (const DbError &e) {
        reportDbError(e, false);
    }
}

void DiagnosisTab::showPairs()
{
    const QStringList pairs = m_safety.incompatiblePairs(TxtStb1[4].text());
    LabCfjj->setText(pairs.join(u'\n'));
    LabCfjj->setVisible(!pairs.isEmpty() && memo[2]->isVisible());
}

// After a candidate of the quick box: out of stock or expired, and the herbs of the prescription
// it is incompatible with.
QString DiagnosisTab::quickMark(const QString &herb) const
{
    QStringList marks;
    switch (m_safety.mark(herb)) {
    case StockMark::None: break;
    case StockMark::OutOfStock: marks << QStringLiteral("缺货"); break;
    case StockMark::Expired: marks << QStringLiteral("过期"); break;
    }
    const QString text = TxtStb1[4].text();
    const QStringList before = m_safety.incompatiblePairs(text);
    for (const QString &pair : m_safety.incompatiblePairs(text + herb + QStringLiteral("1，")))
        if (!before.contains(pair))
            marks << QStringLiteral("⚠ ") + pair;
    return marks.join(QStringLiteral("  "));
}

void DiagnosisTab::CheFzbz_Click()
{
    if (CheFzbz->isChecked()) {
        MasZdsj[4]->setEnabled(true);
        MasZdsj[4]->setText(dateText(QDate::currentDate().addDays(10)));
        qh::ui::focusAndSelect(MasZdsj[4], Select::all());
    } else {
        MasZdsj[4]->setEnabled(false);
        MasZdsj[4]->setText(todayText());
    }
}

void DiagnosisTab::SrnrJyzd()
{
    jybl = 1;
    VisitRecord v = visitFromBoxes();
    const VisitVerdict refused = clinic::SrnrJyzd(v);
    TxtStb1[0].setText(v.blbm);
    CboZdks->setEditText(v.blkb);
    // The blood pressure box has no mask: it holds what was typed, blanks included.
    MasZdsj[1]->setText(v.bzxy);
    const QString *texts[] = {&v.zdys, &v.bzqk, &v.blfa, &v.blcf, &v.blsx}; // boxes 1 to 5
    for (int i = 1; i <= 5; ++i)
        if (TxtStb1[size_t(i)].text() != *texts[i - 1])
            TxtStb1[size_t(i)].setText(*texts[i - 1]);
    if (refused) {
        qh::ui::refuse(*refused, widgetOf(refused->field));
        return;
    }
    jybl = 0;
}

void DiagnosisTab::CmdZdzl_Click()
{
    if (!msg::ask(QStringLiteral("保存后病历内容不能删除，继续吗？")))
        return;
    SrnrJyzd();
    if (jybl == 1)
        return;
    // The prescription check: findings are shown in one question, and No goes back to the
    // prescription with nothing saved. Without findings the save goes on with no extra box.
    QStringList findings;
    try {
        auto s = Modutarnxt::clinicStore().open();
        findings = m_safety.findings(s, TxtStb1[0].text(), TxtStb1[4].text());
    } catch (const DbError &) {
        findings.clear(); // the check informs only; the save reports its own failures
    }
    if (!findings.isEmpty() && !msg::ask(PrescriptionSafety::question(findings))) {
        qh::ui::focusAndSelect(TxtStb1[4].widget(), Select::end());
        return;
    }
    try {
        qh::ui::BusyPointer busy;
        auto s = Modutarnxt::clinicStore().open();
        saveVisit(s, visitFromBoxes(), QDate::currentDate());
    } catch (const DbError &e) {
        reportDbError(e, true);
        return;
    }
    msg::info(visitSavedMessage());
    emit saved();
}

VisitRecord DiagnosisTab::visitFromBoxes() const
{
    VisitRecord v;
    v.blbm = TxtStb1[0].text();
    v.blkb = CboZdks->currentText();
    v.blsj = MasZdsj[0]->maskText();
    v.zdys = TxtStb1[1].text();
    v.bzxy = MasZdsj[1]->maskText();
    v.bzmb = MasZdsj[2]->maskText();
    v.bzhx = MasZdsj[3]->maskText();
    v.bzqk = TxtStb1[2].text();
    v.blfa = TxtStb1[3].text();
    v.blcf = TxtStb1[4].text();
    v.blsx = TxtStb1[5].text();
    v.fzsj = MasZdsj[4]->maskText();
    v.followUp = CheFzbz->isChecked();
    return v;
}

void DiagnosisTab::visitToBoxes(const VisitRecord &v)
{
    TxtStb1[0].setText(v.blbm);
    setComboText(CboZdks, v.blkb);
    MasZdsj[0]->setText(v.blsj);
    TxtStb1[1].setText(v.zdys);
    MasZdsj[1]->setText(v.bzxy);
    MasZdsj[2]->setText(v.bzmb);
    MasZdsj[3]->setText(v.bzhx);
    TxtStb1[2].setText(v.bzqk);
    TxtStb1[3].setText(v.blfa);
    TxtStb1[4].setText(v.blcf);
    TxtStb1[5].setText(v.blsx);
    MasZdsj[4]->setText(v.fzsj);
    QSignalBlocker b(CheFzbz);
    CheFzbz->setChecked(v.followUp);
}

} // namespace qh::clinic::ui
