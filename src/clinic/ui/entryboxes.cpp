#include "clinic/ui/entryboxes.h"

#include <QTextCursor>

namespace qh::clinic::ui {

MemoBox::MemoBox(QWidget *parent) : QPlainTextEdit(parent)
{
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setTabChangesFocus(true);
    connect(this, &QPlainTextEdit::textChanged, this, &MemoBox::enforceLimit);
}

QString MemoBox::text() const
{
    QString t = toPlainText();
    t.replace(u'\n', QStringLiteral("\r\n"));
    return t;
}

void MemoBox::setText(const QString &text)
{
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(u'\r', u'\n');
    m_programmatic = true;
    setPlainText(shown);
    m_allowed = int(this->text().size());
    m_programmatic = false;
}

void MemoBox::selectAll()
{
    QTextCursor c = textCursor();
    c.select(QTextCursor::Document);
    setTextCursor(c);
}

void MemoBox::enforceLimit()
{
    if (m_programmatic || m_max <= 0)
        return;
    const QString t = text();
    const int limit = std::max(m_max, m_allowed);
    if (t.size() <= limit) {
        if (t.size() <= m_max)
            m_allowed = 0;
        return;
    }
    // Cut what was typed beyond the limit at the cursor, keeping the text before and after it.
    // (A line break among the cut characters counts twice, so the cut never leaves too much.)
    QTextCursor c = textCursor();
    const int over = int(t.size()) - limit;
    const int end = c.position();
    const int start = std::max(0, end - over);
    c.setPosition(start);
    c.setPosition(end, QTextCursor::KeepAnchor);
    m_programmatic = true;
    c.removeSelectedText();
    m_programmatic = false;
    setTextCursor(c);
}

MaskBox::MaskBox(const QString &mask, QWidget *parent) : QLineEdit(parent)
{
    if (!mask.isEmpty())
        setInputMask(mask + QStringLiteral(";_"));
}

} // namespace qh::clinic::ui
