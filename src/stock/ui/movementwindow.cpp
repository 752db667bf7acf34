#include "stock/ui/movementwindow.h"

#include "core/messages.h"
#include "core/ui/refuse.h"
#include "core/ui/taskwindows.h"
#include "core/ui/uikit.h"
#include "stock/ui/drugcompleter.h"

#include <QApplication>
#include <utility>
#include <QDialog>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QShowEvent>
#include <QVBoxLayout>

namespace qh::stock::ui {

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

bool ClearOnReturn::onEvent(const QWidget *window, const QEvent *event)
{
    if (event->type() == QEvent::WindowActivate)
        return std::exchange(m_armed, false);
    if (event->type() == QEvent::WindowDeactivate)
        m_armed = clearsAfterLosingTo(window, QApplication::activeWindow());
    return false;
}

bool movesFocus(const QKeyEvent *key)
{
    return (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab)
        && !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
}


MovementWindow::MovementWindow(QWidget *parent, std::unique_ptr<EntryLogic> logic)
    : QWidget(parent), m_logic(std::move(logic))
{
}

MovementWindow::~MovementWindow() = default;

QLineEdit *MovementWindow::box(QWidget *parent, const char *name, int limit, bool right)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(QLatin1String(name));
    if (limit > 0)
        e->setMaxLength(limit);
    if (right)
        e->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return e;
}

QLineEdit *MovementWindow::dateBox(QWidget *parent, const char *name)
{
    auto *e = box(parent, name);
    e->setInputMask(QStringLiteral("9999-99-99;_"));
    return e;
}

void MovementWindow::buildForm(std::initializer_list<std::pair<const char *, QLineEdit *>> boxes, QLineEdit *code,
                               QLineEdit *name)
{
    CmdSave = qh::ui::enterButton(this, "CmdSave", QStringLiteral("登录"));
    CmdQcls = qh::ui::enterButton(this, "CmdQcls", QStringLiteral("清屏"));
    CmdExit = qh::ui::enterButton(this, "CmdExit", QStringLiteral("退出"));

    auto *grid = new QGridLayout;
    int i = 0;
    for (const auto &[caption, edit] : boxes) {
        auto *label = new QLabel(QString::fromUtf8(caption), this);
        label->setBuddy(edit);
        grid->addWidget(label, i / 4, i % 4 * 2);
        grid->addWidget(edit, i / 4, i % 4 * 2 + 1);
        ++i;
    }
    auto *buttons = new QVBoxLayout;
    buttons->addWidget(CmdSave);
    buttons->addWidget(CmdQcls);
    buttons->addWidget(CmdExit);
    buttons->addStretch();
    auto *outer = new QHBoxLayout(this);
    outer->addLayout(grid, 1);
    outer->addLayout(buttons);

    for (const auto &entry : boxes) {
        entry.second->installEventFilter(this);
        qh::ui::fitWidth(entry.second);
    }
    m_code = code;
    m_name = name;
    // A changed code always needs a new lookup, also when it was pasted.
    connect(code, &QLineEdit::textEdited, this, [name] { name->clear(); });

    for (const EnterMove &move : m_logic->enterChain()) {
        auto *edit = qobject_cast<QLineEdit *>(widgetOf(move.box));
        Q_ASSERT(edit);
        m_enter.push_back({edit, move.box, widgetOf(move.next), move.select});
    }
    // After the keys above: the list sees the code box's keys first.
    m_completer = new DrugCompleter(code, this);

    connect(CmdSave, &QPushButton::clicked, this, &MovementWindow::CmdSave_Click);
    connect(CmdQcls, &QPushButton::clicked, this, &MovementWindow::CmdQcls_Click);
    connect(CmdExit, &QPushButton::clicked, this, &MovementWindow::CmdExit_Click);
}

bool MovementWindow::takesSpace(const QLineEdit *) const { return false; }

bool MovementWindow::refusesKey(const QLineEdit *, const QKeyEvent *) const { return false; }

void MovementWindow::readBoxes()
{
    for (StockField f : AllStockFields)
        if (QString *text = m_logic->text(f)) {
            const auto *edit = static_cast<const QLineEdit *>(widgetOf(f));
            *text = edit->inputMask().isEmpty() ? edit->text() : edit->displayText();
        }
}

void MovementWindow::showEntry()
{
    // An unchanged box keeps its caret and selection.
    for (StockField f : AllStockFields)
        if (const QString *text = m_logic->text(f)) {
            auto *edit = static_cast<QLineEdit *>(widgetOf(f));
            if (edit->displayText() != *text)
                edit->setText(*text);
        }
}

void MovementWindow::refuse(const StockRefusal &r) { qh::ui::refuse(r, widgetOf(r.field)); }

void MovementWindow::Qpcls()
{
    m_logic->clear(QDate::currentDate());
    showEntry();
    qh::ui::setMousePointer(qh::ui::PointerArrow);
}

void MovementWindow::onEnter(const EnterStep &step)
{
    readBoxes();
    const StockVerdict r = m_logic->onEnter(step.field, QDate::currentDate());
    showEntry();
    if (r)
        refuse(*r);
    else
        qh::ui::focusAndSelect(step.next, step.select);
}

void MovementWindow::CmdSave_Click()
{
    readBoxes();
    if (const StockVerdict price = m_logic->jyYpjg()) {
        refuse(*price);
        if (!msg::ask(QStringLiteral("药品购进价格大于销售价格，继续吗？"))) {
            qh::ui::focusAndSelect(widgetOf(StockField::TxtYcsl), Select::all());
            return;
        }
    }
    if (!msg::ask(QStringLiteral("保存后，输入资料不能修改,保存吗？")))
        return;
    readBoxes();
    const StockVerdict valid = m_logic->srnrJy(QDate::currentDate());
    showEntry();
    if (m_logic->settlesAfterCheck())
        qh::ui::doEvents();
    if (valid) {
        refuse(*valid);
        return;
    }
    StockVerdict saved;
    {
        qh::ui::BusyPointer busy;
        saved = m_logic->post();
    }
    if (saved) {
        refuse(*saved);
        return;
    }
    Qpcls();
    qh::ui::focusAndSelect(widgetOf(StockField::Txtycbm), Select::none());
}

bool MovementWindow::eventFilter(QObject *watched, QEvent *event)
{
    auto *edit = qobject_cast<QLineEdit *>(watched);
    if (edit && event->type() == QEvent::KeyPress) {
        auto *k = static_cast<QKeyEvent *>(event);
        const bool enter = qh::ui::isEnterKey(k);
        if (k->key() == Qt::Key_Space && !takesSpace(edit))
            return true;
        if (!enter && refusesKey(edit, k))
            return true;
        if (edit == m_code && !k->text().isEmpty())
            m_name->clear();
        if (enter) {
            for (const EnterStep &step : m_enter)
                if (step.box == edit) {
                    onEnter(step);
                    break;
                }
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool MovementWindow::event(QEvent *event)
{
    if (m_clearOnActivate.onEvent(this, event))
        Qpcls();
    return QWidget::event(event);
}

void MovementWindow::showEvent(QShowEvent *event)
{
    if (!m_placed) {
        m_placed = true;
        if (isWindow())
            qh::ui::placeWindow(this, 5);
    }
    // Shown again from the menu: a fresh entry, as on every activation.
    if (!event->spontaneous())
        Qpcls();
    m_clearOnActivate.set(true);
    QWidget::showEvent(event);
}

void MovementWindow::CmdQcls_Click()
{
    Qpcls();
    qh::ui::focusAndSelect(widgetOf(StockField::Txtycbm), Select::none());
}

// The main window's menus come back through the MenusOff it attached to this window.
void MovementWindow::CmdExit_Click() { qh::ui::closeTaskWindow(this); }

} // namespace qh::stock::ui
