#include "stock/ui/FrmYcck.h"
#include "stock/ui/Frmycrk.h"

#include "core/ui/taskwindows.h"
#include "core/ui/uikit.h"

#include <QApplication>
#include <QGridLayout>
#include <QKeyEvent>
#include <QShowEvent>
#include <QLabel>
#include <QVBoxLayout>

namespace qh::stock::ui {

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

QPushButton *button(QWidget *parent, const char *name, const QString &caption)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(true);
    return b;
}

} // namespace

FrmYcck::FrmYcck(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("FrmYcck"));
    setWindowTitle(QStringLiteral("药材出库"));

    Txtycbm = box(this, "Txtycbm", 20);
    Txtycmc = box(this, "Txtycmc");
    Txtycmc->setReadOnly(true);
    TxtPjhm = box(this, "TxtPjhm", 15);
    TxtGjsj = box(this, "TxtGjsj");
    TxtGjsj->setInputMask(QStringLiteral("9999-99-99;_"));
    Txthwll = box(this, "Txthwll", 100);
    TxtYcsl = box(this, "TxtYcsl", 0, true);
    // Only typed digits reach the quantity: no pasting or dropping other text into it.
    TxtYcsl->setContextMenuPolicy(Qt::NoContextMenu);
    TxtYcsl->setAcceptDrops(false);
    TxtYcje = box(this, "TxtYcje", 0, true);
    Txtjbxm = box(this, "Txtjbxm", 15);
    CmdSave = button(this, "CmdSave", QStringLiteral("登录"));
    CmdQcls = button(this, "CmdQcls", QStringLiteral("清屏"));
    CmdExit = button(this, "CmdExit", QStringLiteral("退出"));

    auto *grid = new QGridLayout;
    const std::pair<const char *, QLineEdit *> rows[2][4] = {
        {{"药材编码", Txtycbm}, {"药材名称", Txtycmc}, {"票据号码", TxtPjhm}, {"出库时间", TxtGjsj}},
        {{"出库摘要", Txthwll}, {"出库数量", TxtYcsl}, {"销售收入", TxtYcje}, {"经办人名", Txtjbxm}},
    };
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 4; ++c) {
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

    for (QLineEdit *e : {Txtycbm, Txtycmc, TxtPjhm, TxtGjsj, Txthwll, TxtYcsl, TxtYcje, Txtjbxm})
        e->installEventFilter(this);
    connect(Txtycbm, &QLineEdit::textEdited, this, [this] { Txtycmc->clear(); });

    connect(CmdSave, &QPushButton::clicked, this, &FrmYcck::CmdSave_Click);
    connect(CmdQcls, &QPushButton::clicked, this, &FrmYcck::CmdQcls_Click);
    connect(CmdExit, &QPushButton::clicked, this, &FrmYcck::CmdExit_Click);
    setEntry(StockOut::Qpcls(QDate::currentDate()));
}

StockOutEntry FrmYcck::entry() const
{
    StockOutEntry e;
    e.Txtycbm = Txtycbm->text();
    e.Txtycmc = Txtycmc->text();
    e.TxtPjhm = TxtPjhm->text();
    e.TxtGjsj = TxtGjsj->displayText();
    e.Txthwll = Txthwll->text();
    e.TxtYcsl = TxtYcsl->text();
    e.TxtYcje = TxtYcje->text();
    e.Txtjbxm = Txtjbxm->text();
    return e;
}

void FrmYcck::setEntry(const StockOutEntry &e)
{
    auto put = [](QLineEdit *box, const QString &text) {
        if (box->displayText() != text)
            box->setText(text);
    };
    put(Txtycbm, e.Txtycbm);
    put(Txtycmc, e.Txtycmc);
    put(TxtPjhm, e.TxtPjhm);
    put(TxtGjsj, e.TxtGjsj);
    put(Txthwll, e.Txthwll);
    put(TxtYcsl, e.TxtYcsl);
    put(TxtYcje, e.TxtYcje);
    put(Txtjbxm, e.Txtjbxm);
}

void FrmYcck::Qpcls()
{
    setEntry(StockOut::Qpcls(QDate::currentDate()));
    qh::ui::setMousePointer(qh::ui::PointerArrow);
}

bool FrmYcck::eventFilter(QObject *watched, QEvent *event)
{
    auto *edit = qobject_cast<QLineEdit *>(watched);
    if (edit && event->type() == QEvent::KeyPress) {
        auto *k = static_cast<QKeyEvent *>(event);
        const bool enter = k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter;
        if (k->key() == Qt::Key_Space)
            return true;
        if (edit == TxtYcsl && !enter) {
            // Digits only; every other key that would change the text is discarded.
            if (StockOut::quantityKeyAccepted(k->text()))
                return QWidget::eventFilter(watched, event);
            if (!k->text().isEmpty() || k->key() == Qt::Key_Backspace || k->key() == Qt::Key_Delete
                || k->matches(QKeySequence::Paste) || k->matches(QKeySequence::Cut) || k->matches(QKeySequence::Undo)
                || k->matches(QKeySequence::Redo))
                return true;
        }
        if (edit == Txtycbm && !k->text().isEmpty())
            Txtycmc->clear();
        if (enter) {
            onEnter(edit);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool FrmYcck::event(QEvent *event)
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

void FrmYcck::showEvent(QShowEvent *event)
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

void FrmYcck::onEnter(QLineEdit *box)
{
    StockOutEntry e = entry();
    const StepResult r = m_logic.onEnter(box->objectName(), e, QDate::currentDate());
    setEntry(e);
    detail::showStep(r);
    if (r.ok)
        detail::focusBox(this, r.focus, r.select);
    else
        detail::focusBox(this, box->objectName(), r.select);
}

void FrmYcck::CmdSave_Click()
{
    StockOutEntry e = entry();
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

void FrmYcck::CmdQcls_Click()
{
    Qpcls();
    detail::focusBox(this, QStringLiteral("Txtycbm"), Selection::None);
}

void FrmYcck::CmdExit_Click()
{
    qh::ui::EnableMainMenus();
    qh::ui::closeTaskWindow(this);
}

} // namespace qh::stock::ui
