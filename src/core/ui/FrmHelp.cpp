#include "core/ui/FrmHelp.h"
#include "core/helptopics.h"
#include "core/modutarnxt.h"
#include "core/ui/uikit.h"

#include <QCloseEvent>
#include <QMdiSubWindow>
#include <QTextEdit>
#include <QVBoxLayout>

namespace qh::ui {

FrmHelp::FrmHelp(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("FrmHelp"));
    setWindowTitle(QStringLiteral("帮助向导"));
    setAttribute(Qt::WA_DeleteOnClose);
    TxtHelp = new QTextEdit(this);
    TxtHelp->setObjectName(QStringLiteral("TxtHelp"));
    TxtHelp->setReadOnly(true);
    TxtHelp->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    auto *lay = new QVBoxLayout(this);
    lay->addWidget(TxtHelp);
    resize(560, 420);
    placeWindow(this, 2);
}

void FrmHelp::setRequester(QWidget *window)
{
    m_disabled.reset();
    m_disabled.emplace(window);
}

void FrmHelp::DisHelp()
{
    TxtHelp->clear();
    TxtHelp->setPlainText(helpTopicText(Modutarnxt::HelpTopic));
}

void FrmHelp::closeEvent(QCloseEvent *event)
{
    m_disabled.reset();
    Modutarnxt::HelpTopic.clear();
    event->accept();
}

void showHelp(QWidget *taskWindow, const QString &topic)
{
    // Inside the main area the frame around the task window is disabled too, so its close box
    // cannot end the task window while help is open.
    QWidget *disabled = taskWindow;
    if (taskWindow)
        if (auto *frame = qobject_cast<QMdiSubWindow *>(taskWindow->parentWidget()))
            disabled = frame;
    Modutarnxt::HelpTopic = topic;
    FrmHelp *help = singleWindow<FrmHelp>();
    help->setRequester(disabled);
    help->DisHelp();
    help->show();
    help->raise();
}

} // namespace qh::ui
