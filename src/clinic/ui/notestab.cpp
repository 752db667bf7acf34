#include "clinic/ui/notestab.h"
#include "core/modutarnxt.h"

#include "clinic/caseregister.h"
#include "clinic/ui/entryboxes.h"
#include "clinic/ui/tabkit.h"
#include "db/error.h"
#include "core/messages.h"
#include "core/ui/uikit.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QVBoxLayout>

namespace qh::clinic::ui {

NotesTab::NotesTab(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("NotesTab"));
    TxtZlxd = new MemoBox;
    TxtZlxd->setObjectName(QStringLiteral("TxtZlxd"));
    tint(TxtZlxd);
    TxtZlxd->installEventFilter(this);
    CmdXdbc = new QPushButton(QStringLiteral("保存/修改诊断心得"));
    CmdXdbc->setObjectName(QStringLiteral("CmdXdbc"));
    CmdPrxd = new QPushButton(QStringLiteral("打印诊断心得"));
    CmdPrxd->setObjectName(QStringLiteral("CmdPrxd"));
    CmdBack = new QPushButton(QStringLiteral("返回首页"));
    CmdBack->setObjectName(QStringLiteral("CmdBack"));
    auto *v = new QVBoxLayout(this);
    v->addWidget(TxtZlxd, 1);
    auto *h = new QHBoxLayout;
    h->addStretch(1);
    h->addWidget(CmdXdbc);
    h->addWidget(CmdPrxd);
    h->addWidget(CmdBack);
    v->addLayout(h);
}

bool NotesTab::eventFilter(QObject *watched, QEvent *event)
{
    // Enter in empty notes goes to CmdBack; otherwise it types a line break.
    if (watched == TxtZlxd && event->type() == QEvent::KeyPress &&
        qh::ui::isEnterKey(static_cast<QKeyEvent *>(event)) && trimSpaces(TxtZlxd->text()).isEmpty()) {
        qh::ui::focusAndSelect(CmdBack, Select::none());
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void NotesTab::QpZdxd()
{
    for (QWidget *w : std::initializer_list<QWidget *>{TxtZlxd, CmdXdbc, CmdPrxd, CmdBack})
        w->hide();
}

void NotesTab::openFor(const QString &caseNumber)
{
    auto s = Modutarnxt::clinicStore().open();
    if (const auto notes = notesOf(s, caseNumber))
        TxtZlxd->setText(*notes);
    for (QWidget *w : std::initializer_list<QWidget *>{TxtZlxd, CmdXdbc, CmdPrxd, CmdBack})
        w->show();
}

bool NotesTab::saveFor(const QString &caseNumber)
{
    qh::ui::BusyPointer busy;
    {
        auto s = Modutarnxt::clinicStore().open();
        if (!saveNotes(s, caseNumber, TxtZlxd->text()))
            return false;
    }
    QpZdxd();
    return true;
}

void NotesTab::closeNotes()
{
    TxtZlxd->hide();
    TxtZlxd->setText(QString());
    for (QWidget *w : std::initializer_list<QWidget *>{CmdPrxd, CmdXdbc, CmdBack})
        w->hide();
}

} // namespace qh::clinic::ui
