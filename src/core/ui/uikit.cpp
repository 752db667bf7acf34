#include "core/ui/uikit.h"
#include "base/clock.h"
#include "core/ui/taskwindows.h"

#include <QRadioButton>
#include <QPushButton>
#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QProxyStyle>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTableView>
#include <QHeaderView>
#include <QInputDialog>
#include <QTranslator>

namespace qh::ui {

namespace {

class BoxPresenter : public MessagePresenter {
public:
    bool present(const Message &m) override
    {
        const std::unique_ptr<QDialog> box = messageBox(m);
        const int pointer = mousePointer();
        setMousePointer(PointerArrow);
        const int r = box->exec();
        setMousePointer(pointer);
        return r != QMessageBox::No;
    }
    std::optional<QString> askText(const TextQuestion &q) override
    {
        const std::unique_ptr<QDialog> box = textBox(q);
        const int pointer = mousePointer();
        setMousePointer(PointerArrow);
        const int r = box->exec();
        setMousePointer(pointer);
        if (r != QDialog::Accepted)
            return std::nullopt;
        return textOfBox(*box);
    }
};

class DialogPresenter : public FileDialogPresenter {
public:
    QString openFileName(QWidget *parent, const QString &caption, const QString &folder, const QString &filter) override
    {
        return QFileDialog::getOpenFileName(parent, caption, folder, filter);
    }
    QString saveFileName(QWidget *parent, const QString &caption, const QString &folder, const QString &filter) override
    {
        return QFileDialog::getSaveFileName(parent, caption, folder, filter);
    }
};

class StarEchoStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *returnData) const override
    {
        if (hint == SH_LineEdit_PasswordCharacter)
            return u'*';
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

// What the window kit keeps for the running program: the pointer it shows and whether the
// program has ended. One state per application object (a fresh application starts with the
// arrow and a running program); without an application, one state for the process.
class KitState : public QObject {
public:
    int pointer = PointerArrow;
    bool ended = false;

    static KitState &of()
    {
        static KitState detached;
        QCoreApplication *app = QCoreApplication::instance();
        if (!app)
            return detached;
        static QPointer<KitState> current;
        if (!current || current->parent() != app) {
            current = new KitState;
            current->setParent(app);
        }
        return *current;
    }
};

} // namespace

std::unique_ptr<QDialog> messageBox(const Message &message)
{
    const Message m = fittedForBox(message);
    auto box = std::make_unique<QMessageBox>();
    box->setWindowTitle(m.title); // an empty title stays empty (on X11 see app/identity.cpp)
    box->setText(m.text);
    if (!m.details.isEmpty())
        box->setDetailedText(m.details);
    switch (m.icon) {
    case MsgIcon::None: box->setIcon(QMessageBox::NoIcon); break;
    case MsgIcon::Information: box->setIcon(QMessageBox::Information); break;
    case MsgIcon::Question: box->setIcon(QMessageBox::Question); break;
    case MsgIcon::Warning: box->setIcon(QMessageBox::Warning); break;
    case MsgIcon::Critical: box->setIcon(QMessageBox::Critical); break;
    }
    if (m.buttons == MsgButtons::YesNo) {
        box->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box->setDefaultButton(QMessageBox::Yes);
    } else {
        box->setStandardButtons(QMessageBox::Ok);
    }
    return box;
}

std::unique_ptr<QDialog> textBox(const TextQuestion &question)
{
    auto box = std::make_unique<QInputDialog>();
    box->setWindowTitle(question.title);
    box->setInputMode(QInputDialog::TextInput);
    Message prompt;
    prompt.text = question.text;
    box->setLabelText(fittedForBox(prompt).text);
    box->setTextValue(question.initial);
    if (auto *line = box->findChild<QLineEdit *>()) {
        if (question.maxLength > 0)
            line->setMaxLength(question.maxLength);
        fitWidth(line, 20);
    }
    return box;
}

QString textOfBox(const QDialog &box)
{
    const auto *input = qobject_cast<const QInputDialog *>(&box);
    return input ? input->textValue() : QString();
}

QString programTitle() { return QStringLiteral("青禾中医门诊系统"); }

void widenColumnsToContent(QTableView *grid, const QList<int> &columns, int rows)
{
    const QAbstractItemModel *model = grid->model();
    if (!model)
        return;
    const QFontMetrics fm(grid->font());
    const QFontMetrics hfm(grid->horizontalHeader()->font());
    // The item's text margin on each side, one pixel for the grid line, and a little room.
    const int margin = 2 * (grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, grid) + 1) + 8;
    const int shown = qMin(model->rowCount(), rows);
    for (int c : columns) {
        int need = hfm.horizontalAdvance(model->headerData(c, Qt::Horizontal).toString()) + margin + 4;
        for (int r = 0; r < shown; ++r)
            need = qMax(need, fm.horizontalAdvance(model->index(r, c).data().toString()) + margin);
        if (grid->columnWidth(c) < need)
            grid->setColumnWidth(c, need);
    }
}

void installDialogPresenters()
{
    static BoxPresenter boxes;
    static DialogPresenter files;
    setMessagePresenter(&boxes);
    setFileDialogPresenter(&files);
}

void installChineseTranslations(QApplication &app)
{
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    const QString dir = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    for (const char *name : {"qtbase_zh_CN", "qt_zh_CN"}) {
        auto *t = new QTranslator(&app);
        if (t->load(QString::fromLatin1(name), dir))
            app.installTranslator(t);
        else
            delete t;
    }
}

void setMousePointer(int pointer)
{
    KitState &state = KitState::of();
    state.pointer = pointer;
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return;
    while (QGuiApplication::overrideCursor())
        QGuiApplication::restoreOverrideCursor();
    if (pointer == PointerBusy)
        QGuiApplication::setOverrideCursor(QCursor(Qt::BusyCursor));
}

int mousePointer() { return KitState::of().pointer; }

BusyPointer::BusyPointer() : m_saved(mousePointer()) { setMousePointer(PointerBusy); }

BusyPointer::~BusyPointer() { reset(); }

void BusyPointer::reset()
{
    if (!m_active)
        return;
    m_active = false;
    setMousePointer(m_saved);
}

namespace {
// Watches a task window and gives the main menus back once when it closes. A close that the
// window refuses is followed by no hide, so only a close followed by the window's hiding (or
// its destruction) counts.
class MenusBack : public QObject {
public:
    explicit MenusBack(QWidget *window) : QObject(window) { window->installEventFilter(this); }
    ~MenusBack() override { giveBack(); }

    void keepOff() { m_done = true; }

    bool eventFilter(QObject *, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::Close:
            // The hide of an accepted close follows at once; a refused close leaves no mark.
            m_closing = true;
            QMetaObject::invokeMethod(this, [this] { m_closing = false; }, Qt::QueuedConnection);
            break;
        case QEvent::Show: m_closing = false; break;
        case QEvent::Hide:
            if (m_closing)
                giveBack();
            break;
        default: break;
        }
        return false;
    }

private:
    void giveBack()
    {
        if (m_done)
            return;
        m_done = true;
        EnableMainMenus();
        deleteLater();
    }
    bool m_closing = false;
    bool m_done = false;
};

// MenusBack has no meta-object of its own, so qobject_cast (and findChild) would take any
// child for it; the C++ type decides.
MenusBack *menusBackOf(QWidget *window)
{
    // MenusBack has no meta-object of its own, so findChild<MenusBack *> would take any child.
    if (window)
        for (QObject *child : window->children())
            if (auto *back = dynamic_cast<MenusBack *>(child))
                return back;
    return nullptr;
}
} // namespace

MenusOff::MenusOff() { DisableMainMenus(); }

MenusOff::~MenusOff()
{
    if (m_owned)
        EnableMainMenus();
}

void MenusOff::attachTo(QWidget *window)
{
    if (!m_owned || !window)
        return;
    m_owned = false;
    if (!menusBackOf(window))
        new MenusBack(window);
}

void MenusOff::keepOff() { m_owned = false; }

void keepMenusOffAfter(QWidget *window)
{
    if (MenusBack *back = menusBackOf(window))
        back->keepOff();
}

DisabledWhile::DisabledWhile(QWidget *w) : m_widget(w)
{
    if (m_widget)
        m_widget->setEnabled(false);
}

DisabledWhile::~DisabledWhile()
{
    if (m_widget)
        m_widget->setEnabled(true);
}

void PauseWithButton(QAbstractButton *button, int milliseconds)
{
    setMousePointer(PointerBusy);
    QPointer<QAbstractButton> guard(button);
    if (guard)
        guard->setEnabled(false);
    clock::pause(milliseconds);
    setMousePointer(PointerArrow);
    if (guard)
        guard->setEnabled(true);
}

void showAsStars(QLineEdit *box)
{
    auto *style = new StarEchoStyle;
    style->setParent(box); // the box refers to it through a guarded pointer
    box->setStyle(style);
    box->setEchoMode(QLineEdit::Password);
}

void fitWidth(QLineEdit *box, int longTextChars)
{
    const QString mask = box->inputMask().section(u';', 0, 0);
    const QString widest = mask.isEmpty() ? QString(qMin(box->maxLength(), longTextChars), QChar(0x4E2D))
                                          : QString(mask.size(), u'8');
    QStyleOptionFrame opt;
    opt.initFrom(box);
    const int frame = box->hasFrame() ? box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, box) : 0;
    const QMargins m = box->textMargins();
    // Frame, the box's own 2 px a side, the text margins and room for the caret.
    const int need = box->fontMetrics().horizontalAdvance(widest) + 2 * frame + 4 + m.left() + m.right() + 2;
    box->setMinimumWidth(qMax(box->minimumWidth(), need));
}

bool isEnterKey(const QKeyEvent *key) { return key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter; }

bool isSpaceKey(const QKeyEvent *key)
{
    return key->text() == QLatin1String(" ") || key->text() == QString(QChar(0x3000));
}

void doEvents() { QCoreApplication::processEvents(); }

void placeWindow(QWidget *window, int topDivisor, const QWidget *over)
{
    QRect area;
    if (over)
        area = over->geometry();
    else if (QScreen *s = QGuiApplication::primaryScreen())
        area = s->availableGeometry();
    const QSize own = window->size();
    window->move(area.left() + (area.width() - own.width()) / 2,
                 area.top() + (area.height() - own.height()) / qMax(1, topDivisor));
}

void endProgram()
{
    KitState::of().ended = true;
    QCoreApplication::quit();
}

bool programEnded() { return KitState::of().ended; }
void resetProgramEnded() { KitState::of().ended = false; }

QPushButton *enterButton(QWidget *parent, const char *name, const QString &caption)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(true);
    return b;
}

QRadioButton *optionButton(QWidget *parent, const char *name, const QString &caption)
{
    auto *o = new QRadioButton(caption, parent);
    o->setObjectName(QLatin1String(name));
    return o;
}

} // namespace qh::ui
