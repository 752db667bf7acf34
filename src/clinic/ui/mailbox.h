#pragma once
// The e-mail box of the case register as a link: the mouse over a valid address shows it italic,
// underlined and red; leaving shows it plainly again; a press opens "mailto:" + address with the
// default mail program. An invalid address is pointed out ("电子信箱输入错误") once per address
// when the mouse comes over it, and at every press.
#include <QLineEdit>
#include <functional>

class QUrl;

namespace qh::clinic::ui {

// How the e-mail box opens "mailto:" addresses; the program uses the desktop's default mail
// program, tests install a recorder. An empty opener restores the default. The opener returns
// false when the address could not be handed over.
using MailOpener = std::function<bool(const QUrl &)>;
void setMailOpener(MailOpener opener);

class MailBox : public QLineEdit {
    Q_OBJECT
public:
    explicit MailBox(QWidget *parent = nullptr);
    // Upright, not underlined, window-text colour; the invalid address may be pointed out again.
    void showPlain();

protected:
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    void showAsLink();
    QString m_warned; // the invalid address already pointed out by a mouse move
};

} // namespace qh::clinic::ui
