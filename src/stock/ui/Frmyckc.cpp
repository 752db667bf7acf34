#include "stock/ui/Frmyckc.h"
#include "core/modutarnxt.h"
#include "base/clock.h"
#include "db/error.h"
#include "core/messages.h"
#include "base/textutil.h"
#include "core/ui/FrmHelp.h"
#include "core/ui/refuse.h"
#include "core/ui/taskwindows.h"
#include "core/ui/uikit.h"
#include "stock/druglist.h"
#include "stock/ui/countsheetcommand.h"
#include "stock/ui/movementwindow.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>

namespace qh::stock::ui {

namespace {

constexpr int LockMs = 5000; // the buttons after a report

QLineEdit *box(QWidget *parent, const char *name, int limit)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(QLatin1String(name));
    e->setMaxLength(limit);
    return e;
}

QLineEdit *dateBox(QWidget *parent, const char *name)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(QLatin1String(name));
    e->setInputMask(QStringLiteral("9999-99-99;_"));
    return e;
}

} // namespace

Frmyckc::Frmyckc(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Frmyckc"));
    setWindowTitle(QStringLiteral("药材库存查询"));
    setAttribute(Qt::WA_DeleteOnClose);

    OptYcrk = qh::ui::optionButton(this, "OptYcrk", QStringLiteral("药品入库"));
    OptYcck = qh::ui::optionButton(this, "OptYcck", QStringLiteral("药品出库"));
    OptCkrk = qh::ui::optionButton(this, "OptCkrk", QStringLiteral("库存明细表"));
    OptYcjy = qh::ui::optionButton(this, "OptYcjy", QStringLiteral("药品结余"));
    Txtycbm = box(this, "Txtycbm", druglist::CodeMax);
    Txtycmc = box(this, "Txtycmc", druglist::NameMax);
    Txtycmc->setReadOnly(true); // filled by the code lookup only
    TxtQssj = dateBox(this, "TxtQssj");
    TxtJssj = dateBox(this, "TxtJssj");
    CmdSeek = qh::ui::enterButton(this, "CmdSeek", QStringLiteral("查询&F"));
    CmdQcls = qh::ui::enterButton(this, "CmdQcls", QStringLiteral("清屏&Q"));
    CmdHelp = qh::ui::enterButton(this, "CmdHelp", QStringLiteral("帮助&H"));
    CmdExit = qh::ui::enterButton(this, "CmdExit", QStringLiteral("退出&T"));

    auto *options = new QHBoxLayout;
    for (QRadioButton *o : {OptYcrk, OptYcck, OptCkrk, OptYcjy})
        options->addWidget(o);
    options->addStretch();

    auto *grid = new QGridLayout;
    auto label = [this](const QString &text, QWidget *buddy) {
        auto *l = new QLabel(text, this);
        l->setBuddy(buddy);
        return l;
    };
    grid->addWidget(label(QStringLiteral("药材编码"), Txtycbm), 0, 0);
    grid->addWidget(Txtycbm, 0, 1);
    grid->addWidget(label(QStringLiteral("药材名称"), Txtycmc), 0, 2);
    grid->addWidget(Txtycmc, 0, 3);
    grid->addWidget(label(QStringLiteral("查询时间"), TxtQssj), 1, 0);
    grid->addWidget(TxtQssj, 1, 1);
    grid->addWidget(label(QStringLiteral("至"), TxtJssj), 1, 2, Qt::AlignRight);
    grid->addWidget(TxtJssj, 1, 3);
    grid->setColumnStretch(3, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton *b : {CmdSeek, CmdQcls, CmdHelp, CmdExit})
        buttons->addWidget(b);

    auto *outer = new QVBoxLayout(this);
    outer->addLayout(options);
    outer->addLayout(grid);
    outer->addLayout(buttons);

    // The boxes take a width that shows their whole content at the window's font.
    const QFontMetrics fm(font());
    const int cjk = fm.horizontalAdvance(QStringLiteral("药"));
    Txtycbm->setMinimumWidth(cjk * 10 + 12);
    Txtycmc->setMinimumWidth(cjk * 10 + 12);
    for (QLineEdit *d : {TxtQssj, TxtJssj})
        d->setMinimumWidth(fm.horizontalAdvance(QStringLiteral("0000-00-00")) + 16);

    setTabOrder(Txtycbm, Txtycmc);
    setTabOrder(Txtycmc, TxtQssj);
    setTabOrder(TxtQssj, TxtJssj);
    setTabOrder(TxtJssj, CmdSeek);

    for (QLineEdit *e : {Txtycbm, TxtQssj, TxtJssj})
        e->installEventFilter(this);
    // A changed code (typed or pasted) needs a new lookup.
    connect(Txtycbm, &QLineEdit::textEdited, Txtycmc, &QLineEdit::clear);
    for (QRadioButton *o : {OptYcrk, OptYcck, OptCkrk, OptYcjy})
        connect(o, &QRadioButton::clicked, this, [this, o] { onOption(o); });
    connect(CmdSeek, &QPushButton::clicked, this, &Frmyckc::CmdSeek_Click);
    connect(CmdQcls, &QPushButton::clicked, this, &Frmyckc::CmdQcls_Click);
    connect(CmdHelp, &QPushButton::clicked, this, &Frmyckc::CmdHelp_Click);
    connect(CmdExit, &QPushButton::clicked, this, &Frmyckc::CmdExit_Click);

    OptYcrk->setChecked(true);
    adjustSize();
}

QWidget *Frmyckc::widgetOf(StockQueryField field) const
{
    switch (field) {
    case StockQueryField::Txtycbm: return Txtycbm;
    case StockQueryField::TxtQssj: return TxtQssj;
    case StockQueryField::TxtJssj: return TxtJssj;
    }
    qh::ui::unmappedControl("Frmyckc", int(field));
}

void Frmyckc::refuse(const Refusal<StockQueryField> &r) { qh::ui::refuse(r, widgetOf(r.field)); }

StockQueryType Frmyckc::selectedType() const
{
    if (OptYcck->isChecked())
        return StockQueryType::Ycck;
    if (OptCkrk->isChecked())
        return StockQueryType::Ckrk;
    if (OptYcjy->isChecked())
        return StockQueryType::Ycjy;
    return StockQueryType::Ycrk;
}

StockQueryInput Frmyckc::input() const
{
    return {Txtycbm->text(), Txtycmc->text(), TxtQssj->displayText(), TxtJssj->displayText()};
}

void Frmyckc::Qpcls()
{
    qh::ui::setMousePointer(qh::ui::PointerArrow);
    const StockQueryInput in = stockquery::Qpcls(QDate::currentDate());
    Txtycmc->setText(in.name);
    Txtycbm->setText(in.code);
    TxtQssj->setText(in.start);
    TxtJssj->setText(in.end);
}

void Frmyckc::srnrJy()
{
    srjybl = 1;
    if (auto r = stockquery::srnrJy(TxtQssj->displayText(), TxtJssj->displayText()))
        return refuse(*r);
    srjybl = 0;
}

void Frmyckc::onCodeEnter()
{
    Txtycbm->setText(Txtycbm->text().toUpper());
    try {
        const auto found = [&] {
            auto s = Modutarnxt::clinicStore().open();
            return stockquery::ycbmOnEnter(s, Txtycbm->text());
        }();
        if (const auto *r = std::get_if<Refusal<StockQueryField>>(&found))
            return refuse(*r);
        Txtycmc->setText(std::get<QString>(found));
        qh::ui::focusAndSelect(TxtQssj, Select::all());
    } catch (const DbError &e) {
        msg::info(e.description());
    }
}

void Frmyckc::onOption(QRadioButton *option)
{
    Txtycbm->clear();
    Txtycmc->clear();
    Txtycbm->setEnabled(true);
    Txtycmc->setEnabled(true);
    if (option == OptYcck || option == OptYcjy)
        Txtycbm->setFocus(Qt::OtherFocusReason);
}

void Frmyckc::CmdSeek_Click()
{
    srnrJy();
    if (srjybl == 1)
        return;
    const StockQueryInput in = input();
    const StockQueryStatement query = stockquery::buildQuery(selectedType(), *parseDateText(in.start),
                                                             *parseDateText(in.end), stockquery::drugFilter(in));
    try {
        qh::ui::BusyPointer busy;
        const bool any = [&] {
            auto s = Modutarnxt::clinicStore().open();
            return stockquery::runQuery(s, query);
        }();
        if (!any) {
            busy.reset();
            msg::info(stockquery::noRowsMessage());
            qh::ui::focusAndSelect(Txtycbm, Select::all());
            return;
        }
    } catch (const DbError &e) {
        msg::info(e.description());
        return;
    }

    // The button stays off until the report is written or has failed.
    qh::ui::DisabledWhile seekOff(CmdSeek);
    try {
        qh::ui::BusyPointer busy;
        auto s = Modutarnxt::clinicStore().open();
        stockquery::writeReport(s, query, in.start, in.end);
    } catch (const DbError &e) {
        msg::info(e.description());
        return;
    }
    waitment();
    msg::info(stockquery::reportWrittenMessage());
}

void Frmyckc::waitment()
{
    qh::ui::DisabledWhile seek(CmdSeek), exit(CmdExit), help(CmdHelp), clear(CmdQcls);
    qh::clock::pause(LockMs);
}

void Frmyckc::CmdQcls_Click()
{
    Qpcls();
    Txtycbm->setFocus(Qt::OtherFocusReason);
}

void Frmyckc::CmdHelp_Click() { qh::ui::showHelp(this, QStringLiteral("YCKC")); }

void Frmyckc::CmdExit_Click()
{
    // The menus come back with the window's close (the main window attached them to it).
    qh::ui::closeTaskWindow(this);
    qh::ui::doEvents();
}

bool Frmyckc::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    auto *k = static_cast<QKeyEvent *>(event);
    const bool enter = qh::ui::isEnterKey(k);
    if (watched == Txtycbm) {
        if (qh::ui::isSpaceKey(k))
            return true;
        if ((!k->text().isEmpty() && !movesFocus(k)) || enter)
            Txtycmc->clear();
        if (enter) {
            if (!Txtycbm->text().isEmpty())
                onCodeEnter();
            return true;
        }
    } else if (enter && watched == TxtQssj) {
        if (auto r = stockquery::checkStartOnEnter(TxtQssj->displayText()))
            refuse(*r);
        else
            qh::ui::focusAndSelect(TxtJssj, Select::head(10));
        return true;
    } else if (enter && watched == TxtJssj) {
        if (auto r = stockquery::checkEndOnEnter(TxtJssj->displayText()))
            refuse(*r);
        else
            CmdSeek->setFocus(Qt::OtherFocusReason);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

bool Frmyckc::event(QEvent *event)
{
    // Coming back from another window of the program starts clean; coming back from this
    // window's own message boxes or from another program keeps the inputs.
    if (m_clearOnActivate.onEvent(this, event))
        Qpcls();
    return QWidget::event(event);
}

void Frmyckc::showEvent(QShowEvent *event)
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
    }
    if (!event->spontaneous())
        Qpcls();
    m_clearOnActivate.set(true);
    QWidget::showEvent(event);
}

void registerStockQueryWindow()
{
    qh::ui::registerTaskWindow(QStringLiteral("Yckc"), [] { return qh::ui::singleWindow<Frmyckc>(); });
    qh::ui::registerMenuCommand(QStringLiteral("YckcPd"), YckcPd_Click);
}

} // namespace qh::stock::ui
