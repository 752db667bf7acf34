#include "core/ui/Frmjdys.h"
#include "core/ui/MDIFtarn.h"
#include "core/ui/uikit.h"

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

namespace qh::ui {

Frmjdys::Frmjdys(QWidget *over)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint),
      m_over(over)
{
    setObjectName(QStringLiteral("Frmjdys"));
    setWindowTitle(QStringLiteral("请稍候"));
    ProgBar = new QProgressBar(this);
    ProgBar->setObjectName(QStringLiteral("ProgBar"));
    ProgBar->setRange(0, 100);
    ProgBar->setTextVisible(false);
    Labpre = new QLabel(this);
    Labpre->setObjectName(QStringLiteral("Labpre"));
    Labprg = new QLabel(this);
    Labprg->setObjectName(QStringLiteral("Labprg"));
    auto *lay = new QVBoxLayout(this);
    lay->addWidget(ProgBar);
    lay->addWidget(Labpre);
    lay->addWidget(Labprg);
    setFixedSize(360, 110);
}

void Frmjdys::Form_Load()
{
    QWidget *over = m_over ? m_over : (MDIFtarn::exists() ? MDIFtarn::instance() : nullptr);
    placeWindow(this, 3, over);
    ProgBar->setValue(0);
    doEvents();
    show();
    raise();
}

void Frmjdys::setProgress(int percent)
{
    const int p = qBound(0, percent, 100);
    ProgBar->setValue(p);
    Labpre->setText(QString::number(p) + u'%');
}

void Frmjdys::setStepText(const QString &text) { Labprg->setText(text); }

void Frmjdys::closeEvent(QCloseEvent *event)
{
    // The frame has no close box; the window system's own close request is refused too.
    if (event->spontaneous())
        event->ignore();
    else
        event->accept();
}

} // namespace qh::ui
