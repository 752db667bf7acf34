#include "query/ui/FrmJytj.h"

#include "base/textutil.h"
#include "clinic/printcommands.h"
#include "clinic/ui/printflow.h"
#include "core/messages.h"
#include "core/modutarnxt.h"
#include "core/ui/FrmHelp.h"
#include "core/ui/refuse.h"
#include "core/ui/taskwindows.h"
#include "core/ui/uikit.h"
#include "db/error.h"
#include "query/statisticsreport.h"
#include "query/ui/chartview.h"

#include <QFileInfo>
#include <QGridLayout>
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
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

namespace qh::query::ui {

namespace {

constexpr int MonthChars = 7;

QLineEdit *monthBox(QWidget *parent, const char *name)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(QLatin1String(name));
    e->setInputMask(QString::fromLatin1(statistics::MonthMask));
    e->setMinimumWidth(e->fontMetrics().horizontalAdvance(QStringLiteral("8888-88")) + 16);
    e->setMaximumWidth(e->minimumWidth() * 2);
    return e;
}

QTableWidget *grid(QWidget *parent, const char *name, const QStringList &headers)
{
    auto *g = new QTableWidget(0, int(headers.size()), parent);
    g->setObjectName(QLatin1String(name));
    g->setHorizontalHeaderLabels(headers);
    g->verticalHeader()->hide();
    g->setEditTriggers(QAbstractItemView::NoEditTriggers);
    g->setSelectionBehavior(QAbstractItemView::SelectRows);
    g->setWordWrap(false);
    g->horizontalHeader()->setSectionsClickable(false);
    return g;
}

// One row of texts; numbers (all but the first `texts` columns) right-aligned.
void addRow(QTableWidget *g, const QStringList &cells, int texts = 1)
{
    const int r = g->rowCount();
    g->insertRow(r);
    for (int c = 0; c < cells.size(); ++c) {
        auto *item = new QTableWidgetItem(cells[c]);
        if (c >= texts)
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        g->setItem(r, c, item);
    }
}

void fitColumns(QTableWidget *g)
{
    g->resizeColumnsToContents();
    for (int c = 0; c < g->columnCount(); ++c)
        g->setColumnWidth(c, g->columnWidth(c) + 12);
}

QString count(int v) { return charts::countText(v); }
QString share(int part, int whole) { return whole > 0 ? QString::number(100.0 * part / whole, 'f', 1) + u'%' : QString(); }

} // namespace

FrmJytj::FrmJytj(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("FrmJytj"));
    setWindowTitle(QStringLiteral("经营统计"));
    setAttribute(Qt::WA_DeleteOnClose);

    MasQsyf = monthBox(this, "MasQsyf");
    MasJsyf = monthBox(this, "MasJsyf");
    CmdSeek = qh::ui::enterButton(this, "CmdSeek", QStringLiteral("统计(&S)"));
    CmdExpo = qh::ui::enterButton(this, "CmdExpo", QStringLiteral("导出(&E)"));
    CmdPrin = qh::ui::enterButton(this, "CmdPrin", QStringLiteral("打印(&P)"));
    CmdQcls = qh::ui::enterButton(this, "CmdQcls", QStringLiteral("清屏(&Q)"));
    CmdHelp = qh::ui::enterButton(this, "CmdHelp", QStringLiteral("帮助(&H)"));
    CmdExit = qh::ui::enterButton(this, "CmdExit", QStringLiteral("退出(&T)"));
    LabTjjg = new QLabel(this);
    LabTjjg->setObjectName(QStringLiteral("LabTjjg"));
    LabTjjg->setWordWrap(true);

    auto *top = new QHBoxLayout;
    auto *from = new QLabel(QStringLiteral("起始月份"), this);
    from->setBuddy(MasQsyf);
    auto *to = new QLabel(QStringLiteral("截止月份"), this);
    to->setBuddy(MasJsyf);
    top->addWidget(from);
    top->addWidget(MasQsyf);
    top->addWidget(to);
    top->addWidget(MasJsyf);
    top->addStretch(1);
    for (QPushButton *b : {CmdSeek, CmdExpo, CmdPrin, CmdQcls, CmdHelp, CmdExit})
        top->addWidget(b);

    SSTab1 = new QTabWidget(this);
    SSTab1->setObjectName(QStringLiteral("SSTab1"));
    auto *tab0 = new QWidget(SSTab1);
    auto *tab1 = new QWidget(SSTab1);
    auto *tab2 = new QWidget(SSTab1);
    auto *tab3 = new QWidget(SSTab1);
    SSTab1->addTab(tab0, QStringLiteral("月度图表"));
    SSTab1->addTab(tab1, QStringLiteral("月度明细"));
    SSTab1->addTab(tab2, QStringLiteral("药材排行"));
    SSTab1->addTab(tab3, QStringLiteral("医师科室"));

    ChtJzrs = new ChartView("ChtJzrs", tab0);
    ChtCfsr = new ChartView("ChtCfsr", tab0);
    auto *v0 = new QVBoxLayout(tab0);
    v0->addWidget(ChtJzrs, 1);
    v0->addWidget(ChtCfsr, 1);

    MSFGridYdtj = grid(tab1, "MSFGridYdtj",
                       {QStringLiteral("月份"), QStringLiteral("就诊人次"), QStringLiteral("就诊人数"), QStringLiteral("初诊人数"),
                        QStringLiteral("复诊人数"), QStringLiteral("处方收入"), QStringLiteral("结帐"), QStringLiteral("出库成本"),
                        QStringLiteral("毛利")});
    auto *v1 = new QVBoxLayout(tab1);
    v1->addWidget(MSFGridYdtj);

    OptCfsr = qh::ui::optionButton(tab2, "OptCfsr", QStringLiteral("按处方收入"));
    OptCksl = qh::ui::optionButton(tab2, "OptCksl", QStringLiteral("按出库数量"));
    OptCkcb = qh::ui::optionButton(tab2, "OptCkcb", QStringLiteral("按出库成本"));
    OptCfsr->setChecked(true);
    ChtYcph = new ChartView("ChtYcph", tab2);
    ChtYcph->setMinimumHeight(21 * (fontMetrics().height() + 2) + 60);
    MSFGridYcph = grid(tab2, "MSFGridYcph",
                       {QStringLiteral("名次"), QStringLiteral("药材名称"), QStringLiteral("出库数量"), QStringLiteral("处方收入"),
                        QStringLiteral("出库成本")});
    auto *options = new QHBoxLayout;
    for (QRadioButton *o : {OptCfsr, OptCksl, OptCkcb})
        options->addWidget(o);
    options->addStretch(1);
    auto *body = new QHBoxLayout;
    body->addWidget(ChtYcph, 3);
    body->addWidget(MSFGridYcph, 2);
    auto *v2 = new QVBoxLayout(tab2);
    v2->addLayout(options);
    v2->addLayout(body, 1);

    MSFGridYstj = grid(tab3, "MSFGridYstj", {QStringLiteral("诊断医师"), QStringLiteral("就诊人次"), QStringLiteral("占比")});
    MSFGridKstj = grid(tab3, "MSFGridKstj", {QStringLiteral("诊断科室"), QStringLiteral("就诊人次"), QStringLiteral("占比")});
    auto *h3 = new QHBoxLayout(tab3);
    h3->addWidget(MSFGridYstj);
    h3->addWidget(MSFGridKstj);

    auto *outer = new QVBoxLayout(this);
    outer->addLayout(top);
    outer->addWidget(LabTjjg);
    outer->addWidget(SSTab1, 1);

    setTabOrder(MasQsyf, MasJsyf);
    setTabOrder(MasJsyf, CmdSeek);
    for (QLineEdit *e : {MasQsyf, MasJsyf})
        e->installEventFilter(this);
    connect(CmdSeek, &QPushButton::clicked, this, &FrmJytj::CmdSeek_Click);
    connect(CmdExpo, &QPushButton::clicked, this, &FrmJytj::CmdExpo_Click);
    connect(CmdPrin, &QPushButton::clicked, this, &FrmJytj::CmdPrin_Click);
    connect(CmdQcls, &QPushButton::clicked, this, &FrmJytj::CmdQcls_Click);
    connect(CmdHelp, &QPushButton::clicked, this, &FrmJytj::CmdHelp_Click);
    connect(CmdExit, &QPushButton::clicked, this, &FrmJytj::CmdExit_Click);
    for (QRadioButton *o : {OptCfsr, OptCksl, OptCkcb})
        connect(o, &QRadioButton::toggled, this, [this](bool on) {
            if (on)
                showHerbs();
        });

    resize(940, 600);
    Qpcls();
}

QWidget *FrmJytj::widgetOf(StatisticsField field) const
{
    switch (field) {
    case StatisticsField::MasQsyf: return MasQsyf;
    case StatisticsField::MasJsyf: return MasJsyf;
    }
    qh::ui::unmappedControl("FrmJytj", int(field));
}

void FrmJytj::refuse(const Refusal<StatisticsField> &r) { qh::ui::refuse(r, widgetOf(r.field)); }

void FrmJytj::Qpcls()
{
    qh::ui::setMousePointer(qh::ui::PointerArrow);
    const statistics::MonthInput in = statistics::Qpcls(QDate::currentDate());
    MasQsyf->setText(in.from);
    MasJsyf->setText(in.to);
    m_figures.reset();
    LabTjjg->clear();
    for (ChartView *c : {ChtJzrs, ChtCfsr, ChtYcph})
        c->clear();
    for (QTableWidget *g : {MSFGridYdtj, MSFGridYcph, MSFGridYstj, MSFGridKstj})
        g->setRowCount(0);
    CmdExpo->setEnabled(false);
    CmdPrin->setEnabled(false);
    SSTab1->setCurrentIndex(0);
}

HerbOrder FrmJytj::herbOrder() const
{
    if (OptCksl->isChecked())
        return HerbOrder::Quantity;
    if (OptCkcb->isChecked())
        return HerbOrder::Cost;
    return HerbOrder::Revenue;
}

void FrmJytj::CmdSeek_Click()
{
    const auto checked = statistics::checkRange(MasQsyf->displayText(), MasJsyf->displayText());
    if (const auto *r = std::get_if<Refusal<StatisticsField>>(&checked))
        return refuse(*r);
    const MonthRange range = std::get<MonthRange>(checked);
    Statistics st;
    try {
        qh::ui::BusyPointer busy;
        st = statistics::compute(Modutarnxt::clinicStore(), range);
    } catch (const DbError &e) {
        msg::info(shortReport(e));
        return;
    } catch (const MoneyOverflow &e) {
        msg::info(QString::fromUtf8(e.what()));
        return;
    }
    showFigures(st);
    if (st.isEmpty())
        msg::info(statistics::noDataMessage());
}

void FrmJytj::showFigures(const Statistics &st)
{
    m_figures = st;
    const Statistics &f = *m_figures;
    LabTjjg->setText(statisticsreport::rangeText(f.range) + QStringLiteral("：") + statisticsreport::summaryText(f));
    ChtJzrs->setDrawing([chart = statisticsreport::patientsChart(f)](QPainter &p, const QRectF &area, const charts::Face &face) {
        return charts::drawColumns(p, area, chart, face);
    });
    ChtCfsr->setDrawing([chart = statisticsreport::revenueChart(f)](QPainter &p, const QRectF &area, const charts::Face &face) {
        return charts::drawColumns(p, area, chart, face);
    });

    MSFGridYdtj->setRowCount(0);
    for (const MonthFigures &m : f.months)
        addRow(MSFGridYdtj, {statistics::monthText(m.month), count(m.visits), count(m.patients), count(m.newPatients),
                             count(m.returningPatients), m.revenue.toDisplay(), m.closed ? QStringLiteral("已结帐") : QStringLiteral("未结帐"),
                             m.closed ? m.cost.toDisplay() : QString(), m.closed ? m.margin().toDisplay() : QString()});
    addRow(MSFGridYdtj, {QStringLiteral("合计"), count(f.visits()), count(f.patients), count(f.newPatients),
                         count(f.returningPatients()), f.revenue().toDisplay(), QStringLiteral("已结帐%1个月").arg(f.closedMonths()),
                         f.cost().toDisplay(), (f.closedRevenue() - f.cost()).toDisplay()});
    fitColumns(MSFGridYdtj);

    const int visits = f.visits();
    for (auto [g, groups] : {std::pair{MSFGridYstj, &f.doctors}, std::pair{MSFGridKstj, &f.departments}}) {
        g->setRowCount(0);
        for (const GroupFigures &x : *groups)
            addRow(g, {x.name, count(x.visits), share(x.visits, visits)});
        fitColumns(g);
    }
    showHerbs();
    CmdExpo->setEnabled(true);
    CmdPrin->setEnabled(true);
}

void FrmJytj::showHerbs()
{
    MSFGridYcph->setRowCount(0);
    if (!m_figures) {
        ChtYcph->clear();
        return;
    }
    const HerbOrder order = herbOrder();
    ChtYcph->setDrawing([chart = statisticsreport::herbChart(*m_figures, order)](QPainter &p, const QRectF &area,
                                                                                  const charts::Face &face) {
        return charts::drawBars(p, area, chart, face);
    });
    int rank = 0;
    for (const HerbFigures &h : m_figures->ranking(order, statistics::TopHerbs))
        addRow(MSFGridYcph,
               {h.other ? QString() : QString::number(++rank), h.other ? QStringLiteral("%1（%2种）").arg(h.name).arg(h.herbs) : h.name,
                h.quantity.toDisplay(), h.revenue.toDisplay(), h.cost.toDisplay()},
               2);
    fitColumns(MSFGridYcph);
}

void FrmJytj::CmdExpo_Click()
{
    if (!m_figures)
        return;
    QString path;
    try {
        qh::ui::BusyPointer busy;
        qh::ui::DisabledWhile off(CmdExpo);
        path = statisticsreport::writeWorkbook(*m_figures, statisticsreport::workbookPath(m_figures->range));
    } catch (const DbError &e) {
        msg::info(e.description());
        return;
    }
    msg::info(QStringLiteral("经营统计表已经存放在我的文档中，请查收：\r\n") + QFileInfo(path).fileName());
}

void FrmJytj::CmdPrin_Click()
{
    if (!m_figures)
        return;
    std::optional<QString> unit;
    try {
        auto s = Modutarnxt::clinicStore().open();
        unit = clinic::printUnitName(s);
    } catch (const DbError &e) {
        msg::plain(numberedReport(e));
        return;
    }
    clinic::PrintDesktop *desktop = clinic::printDesktop();
    clinic::PrintResult r;
    {
        qh::ui::BusyPointer busy;
        r = statisticsreport::printPage(*m_figures, unit.value_or(QString()), QDate::currentDate(),
                                        desktop->hasPrinter() ? desktop->printer() : nullptr);
    }
    if (!r.ok) {
        msg::plain(numberedReport(DbError(r.errorNumber, r.failure)));
        return;
    }
    if (!r.printed)
        msg::info(clinic::pdfNotice(statisticsreport::DocumentName, r.pdfPath, desktop->openFile(r.pdfPath)));
}

void FrmJytj::CmdQcls_Click()
{
    Qpcls();
    qh::ui::focusAndSelect(MasQsyf, Select::head(MonthChars));
}

void FrmJytj::CmdHelp_Click() { qh::ui::showHelp(this, QStringLiteral("JYTJ")); }

void FrmJytj::CmdExit_Click() { qh::ui::closeTaskWindow(this); }

bool FrmJytj::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && qh::ui::isEnterKey(static_cast<QKeyEvent *>(event))) {
        if (watched == MasQsyf) {
            if (auto r = statistics::checkFromOnEnter(MasQsyf->displayText()))
                refuse(*r);
            else
                qh::ui::focusAndSelect(MasJsyf, Select::head(MonthChars));
            return true;
        }
        if (watched == MasJsyf) {
            if (auto r = statistics::checkToOnEnter(MasJsyf->displayText()))
                refuse(*r);
            else
                CmdSeek->setFocus(Qt::OtherFocusReason);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void FrmJytj::showEvent(QShowEvent *event)
{
    if (!m_placed) {
        m_placed = true;
        // Centred across, a quarter of the free height above it.
        if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget()); sub && sub->mdiArea()) {
            const QSize free = sub->mdiArea()->viewport()->size() - sub->size();
            sub->move(qMax(0, free.width() / 2), qMax(0, free.height() / 4));
        } else if (isWindow()) {
            qh::ui::placeWindow(this, 4);
        }
        qh::ui::focusAndSelect(MasQsyf, Select::head(MonthChars));
    }
    QWidget::showEvent(event);
}

void registerStatisticsWindow()
{
    qh::ui::registerTaskWindow(QStringLiteral("Jytj"), [] { return qh::ui::singleWindow<FrmJytj>(); });
}

} // namespace qh::query::ui
