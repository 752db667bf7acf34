#include "stock/ui/Frmycrk.h"
#include "stock/ui/FrmYcck.h"

#include "core/ui/taskwindows.h"
#include "core/ui/uikit.h"

#include <QApplication>
#include <QDialog>
#include <QGridLayout>
#include <QKeyEvent>
#include <QShowEvent>
#include <QLabel>
#include <QVBoxLayout>

namespace qh::stock::ui {

void registerStockMovementWindows()
{
    qh::ui::registerTaskWindow(QStringLiteral("ycrc"), [] { return qh::ui::singleWindow<Frmycrk>(); });
    qh::ui::registerTaskWindow(QStringLiteral("YcqkCk"), [] { return qh::ui::singleWindow<FrmYcck>(); });
}

namespace detail {

void showStep(const StepResult &r)
{
    if (!r.message.isEmpty())
        msg::show(r.icon, MsgButtons::Ok, r.message);
}

void focusBox(QWidget *window, const QString &name, Selection select)
{
    auto *w = window->findChild<QWidget *>(name);
    if (!w)
        return;
    w->setFocus(Qt::OtherFocusReason);
    if (auto *box = qobject_cast<QLineEdit *>(w)) {
        switch (select) {
        case Selection::None: break;
        case Selection::All: box->selectAll(); break;
        case Selection::FirstTen: box->setSelection(0, 10); break;
        case Selection::End: box->end(false); break;
        }
    }
}

bool clearsAfterLosingTo(const QWidget *window, const QWidget *newActive)
{
    if (!newActive)
        return false; // another program took the activation
    if (newActive == window->window())
        return false;
    if (qobject_cast<const QDialog *>(newActive) || QApplication::activeModalWidget())
        return false; // a message box or dialog of this window
    return true;
}

} // namespace detail

namespace {

QLineEdit *box(QWidget *parent, const char *name, int limit = 0, bool right = false)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(QLatin1String(name));
    if (limit > 0)
        e->setMaxLength(limit);
    if (right)
        e->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return e;
}

QLineEdit *dateBox(QWidget *parent, const char *name)
{
    auto *e = box(parent, name);
    e->setInputMask(QStringLiteral("9999-99-99;_"));
    return e;
}

QPushButton *button(QWidget *parent, const char *name, const QString &caption)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(true); // Enter on a focused button presses it
    return b;
}

} // namespace

Frmycrk::Frmycrk(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Frmycrk"));
    setWindowTitle(QStringLiteral("中药材入库、退库"));

    Txtycbm = box(this, "Txtycbm", 20);
    Txtycmc = box(this, "Txtycmc");
    Txtycmc->setReadOnly(true);
    TxtYcph = box(this, "TxtYcph", 15);
    TxtYsqx = dateBox(this, "TxtYsqx");
    Txthwcd = box(this, "Txthwcd", 10);
    TxtPjhm = box(this, "TxtPjhm", 20);
    TxtYcsl = box(this, "TxtYcsl", 0, true);
    TxtYcje = box(this, "TxtYcje", 0, true);
    Txthwll = box(this, "Txthwll", 100);
    TxtGjsj = dateBox(this, "TxtGjsj");
    Txtjbxm = box(this, "Txtjbxm", 15);
    CmdSave = button(this, "CmdSave", QStringLiteral("登录"));
    CmdQcls = button(this, "CmdQcls", QStringLiteral("清屏"));
    CmdExit = button(this, "CmdExit", QStringLiteral("退出"));

    auto *grid = new QGridLayout;
    const std::pair<const char *, QLineEdit *> rows[3][4] = {
        {{"药材编码", Txtycbm}, {"药材名称", Txtycmc}, {"批号", TxtYcph}, {"有效期止", TxtYsqx}},
        {{"货物产地", Txthwcd}, {"票据号码", TxtPjhm}, {"进货数量", TxtYcsl}, {"进货金额", TxtYcje}},
        {{"货物来源", Txthwll}, {"购进时间", TxtGjsj}, {"经办人名", Txtjbxm}, {nullptr, nullptr}},
    };
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c) {
            if (!rows[r][c].second)
                continue;
            auto *label = new QLabel(QString::fromUtf8(rows[r][c].first), this);
            label->setBuddy(rows[r][c].second);
            grid->addWidget(label, r, c * 2);
            grid->addWidget(rows[r][c].second, r, c * 2 + 1);
        }
    auto *buttons = new QVBoxLayout;
    buttons->addWidget(CmdSave);
    buttons->addWidget(CmdQcls);
    buttons->addWidget(CmdExit);
    buttons->addStretch();
    auto *outer = new QHBoxLayout(this);
    outer->addLayout(grid, 1);
    outer->addLayout(buttons);

    for (QLineEdit *e : {Txtycbm, Txtycmc, TxtYcph, TxtYsqx, Txthwcd, TxtPjhm, TxtYcsl, TxtYcje, Txthwll, TxtGjsj, Txtjbxm})
        e->installEventFilter(this);
    // A changed code always needs a new lookup, also when it was pasted.
    connect(Txtycbm, &QLineEdit::textEdited, this, [this] { Txtycmc->clear(); });

    connect(CmdSave, &QPushButton::clicked, this, &Frmycrk::CmdSave_Click);
    connect(CmdQcls, &QPushButton::clicked, this, &Frmycrk::CmdQcls_Click);
    connect(CmdExit, &QPushButton::clicked, this, &Frmycrk::CmdExit_Click);
    setEntry(StockIn::Qpcls(QDate::currentDate()));
}

StockInEntry Frmycrk::entry() const
{
    StockInEntry e;
    e.Txtycbm = Txtycbm->text();
    e.Txtycmc = Txtycmc->text();
    e.TxtYcph = TxtYcph->text();
    e.TxtYsqx = TxtYsqx->displayText();
    e.Txthwcd = Txthwcd->text();
    e.TxtPjhm = TxtPjhm->text();
    e.TxtYcsl = TxtYcsl->text();
    e.TxtYcje = TxtYcje->text();
    e.Txthwll = Txthwll->text();
    e.TxtGjsj = TxtGjsj->displayText();
    e.Txtjbxm = Txtjbxm->text();
    return e;
}

void Frmycrk::setEntry(const StockInEntry &e)
{
    auto put = [](QLineEdit *box, const QString &text) {
        if (box->displayText() != text)
            box->setText(text);
    };
    put(Txtycbm, e.Txtycbm);
    put(Txtycmc, e.Txtycmc);
    put(TxtYcph, e.TxtYcph);
    put(TxtYsqx, e.TxtYsqx);
    put(Txthwcd, e.Txthwcd);
    put(TxtPjhm, e.TxtPjhm);
    put(TxtYcsl, e.TxtYcsl);
    put(TxtYcje, e.TxtYcje);
    put(Txthwll, e.Txthwll);
    put(TxtGjsj, e.TxtGjsj);
    put(Txtjbxm, e.Txtjbxm);
}

void Frmycrk::Qpcls()
{
    setEntry(StockIn::Qpcls(QDate::currentDate()));
    qh::ui::setMousePointer(qh::ui::PointerArrow);
}

bool Frmycrk::eventFilter(QObject *watched, QEvent *event)
{
    auto *edit = qobject_cast<QLineEdit *>(watched);
    if (edit && event->type() == QEvent::KeyPress) {
        auto *k = static_cast<QKeyEvent *>(event);
        if (k->key() == Qt::Key_Space && edit != TxtYsqx)
            return true;
        if (edit == Txtycbm && k->key() != Qt::Key_Space && !k->text().isEmpty())
            Txtycmc->clear();
        if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) {
            onEnter(edit);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool Frmycrk::event(QEvent *event)
{
    if (event->type() == QEvent::WindowActivate) {
        if (m_clearOnActivate)
            Qpcls();
        m_clearOnActivate = false;
    } else if (event->type() == QEvent::WindowDeactivate) {
        m_clearOnActivate = detail::clearsAfterLosingTo(this, QApplication::activeWindow());
    }
    return QWidget::event(event);
}

void Frmycrk::showEvent(QShowEvent *event)
{
    if (!m_placed) {
        m_placed = true;
        if (isWindow())
            qh::ui::placeWindow(this, 5);
    }
    // Shown again from the menu: a fresh entry, as on every activation.
    if (!event->spontaneous())
        Qpcls();
    m_clearOnActivate = true;
    QWidget::showEvent(event);
}

void Frmycrk::onEnter(QLineEdit *box)
{
    StockInEntry e = entry();
    const StepResult r = m_logic.onEnter(box->objectName(), e, QDate::currentDate());
    setEntry(e);
    detail::showStep(r);
    if (r.ok)
        detail::focusBox(this, r.focus, r.select);
    else
        detail::focusBox(this, box->objectName(), r.select);
}

void Frmycrk::CmdSave_Click()
{
    StockInEntry e = entry();
    const StepResult price = m_logic.jyYpjg(e);
    detail::showStep(price);
    if (!price.focus.isEmpty())
        detail::focusBox(this, price.focus, price.select);
    if (!price.ok && !msg::ask(QStringLiteral("药品购进价格大于销售价格，继续吗？"))) {
        detail::focusBox(this, QStringLiteral("TxtYcsl"), Selection::All);
        return;
    }
    if (!msg::ask(QStringLiteral("保存后，输入资料不能修改,保存吗？")))
        return;
    e = entry();
    const StepResult valid = m_logic.srnrJy(e, QDate::currentDate());
    setEntry(e);
    qh::ui::doEvents();
    if (!valid.ok) {
        detail::showStep(valid);
        detail::focusBox(this, valid.focus, valid.select);
        return;
    }
    qh::ui::setMousePointer(qh::ui::PointerBusy);
    const StepResult saved = m_logic.post(e);
    qh::ui::setMousePointer(qh::ui::PointerArrow);
    if (!saved.ok) {
        detail::showStep(saved);
        return;
    }
    Qpcls();
    detail::focusBox(this, QStringLiteral("Txtycbm"), Selection::None);
}

void Frmycrk::CmdQcls_Click()
{
    Qpcls();
    detail::focusBox(this, QStringLiteral("Txtycbm"), Selection::None);
}

void Frmycrk::CmdExit_Click()
{
    qh::ui::EnableMainMenus();
    qh::ui::closeTaskWindow(this);
}

} // namespace qh::stock::ui
