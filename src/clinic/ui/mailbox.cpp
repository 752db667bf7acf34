#include "clinic/ui/mailbox.h"

#include "clinic/caseregister.h"
#include "core/messages.h"
#include "base/textutil.h"
#include "core/ui/uikit.h"

#include <QApplication>
#include <QDesktopServices>
#include <QUrl>

namespace qh::clinic::ui {

namespace {

MailOpener &mailOpener()
{
    static MailOpener opener;
    return opener;
}

bool openMailAddress(const QUrl &url)
{
    if (mailOpener())
        return mailOpener()(url);
    return QDesktopServices::openUrl(url);
}

} // namespace

void setMailOpener(MailOpener opener) { mailOpener() = std::move(opener); }

MailBox::MailBox(QWidget *parent) : QLineEdit(parent) { setMouseTracking(true); }

void MailBox::showPlain()
{
    QFont f = font();
    f.setItalic(false);
    f.setUnderline(false);
    setFont(f);
    QPalette p = palette();
    p.setColor(QPalette::Text, QApplication::palette().color(QPalette::Text));
    setPalette(p);
    m_warned.clear();
}

void MailBox::showAsLink()
{
    QFont f = font();
    f.setItalic(true);
    f.setUnderline(true);
    setFont(f);
    QPalette p = palette();
    p.setColor(QPalette::Text, QColor(255, 0, 0));
    setPalette(p);
}

void MailBox::mouseMoveEvent(QMouseEvent *event)
{
    QLineEdit::mouseMoveEvent(event);
    const QString address = trimSpaces(text());
    if (address.isEmpty())
        return;
    if (!isMailAddress(address)) {
        // Pointed out once per address, not at every movement of the mouse.
        if (m_warned != address) {
            m_warned = address;
            msg::info(QStringLiteral("电子信箱输入错误"));
        }
        selectAll();
        return;
    }
    showAsLink();
}

void MailBox::mousePressEvent(QMouseEvent *event)
{
    QLineEdit::mousePressEvent(event);
    const QString address = trimSpaces(text());
    if (address.isEmpty())
        return;
    if (!isMailAddress(address)) {
        msg::info(QStringLiteral("电子信箱输入错误"));
        selectAll();
        return;
    }
    const bool opened = openMailAddress(QUrl(QStringLiteral("mailto:") + address));
    qh::ui::setMousePointer(qh::ui::PointerArrow);
    if (!opened)
        msg::info(QStringLiteral("不能用默认的邮件程序打开 mailto:") + address);
}

void MailBox::leaveEvent(QEvent *event)
{
    QLineEdit::leaveEvent(event);
    const QString warned = m_warned;
    showPlain();
    m_warned = warned;
}

} // namespace qh::clinic::ui
