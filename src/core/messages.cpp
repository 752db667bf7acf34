#include "core/messages.h"

#include <QStringList>

namespace qh {

namespace {
MessagePresenter *g_presenter = nullptr;
FileDialogPresenter *g_files = nullptr;
} // namespace

namespace {
int places(QChar c)
{
    const char16_t u = c.unicode();
    return u >= 0x1100 && (u <= 0x115F || (u >= 0x2E80 && u <= 0xA4CF) || (u >= 0xAC00 && u <= 0xD7A3)
                           || (u >= 0xF900 && u <= 0xFAFF) || (u >= 0xFE30 && u <= 0xFE4F)
                           || (u >= 0xFF00 && u <= 0xFF60) || (u >= 0xFFE0 && u <= 0xFFE6) || c.isSurrogate())
               ? 2
               : 1;
}
} // namespace

Message fittedForBox(const Message &m)
{
    QStringList shown;
    bool cut = false;
    const QStringList lines = QString(m.text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")).split(u'\n');
    for (const QString &line : lines) {
        // Broken every BoxLinePlaces places, never between the halves of a surrogate pair.
        qsizetype from = 0;
        do {
            int used = 0;
            qsizetype to = from;
            while (to < line.size()) {
                const int w = places(line[to]);
                const qsizetype step = line[to].isHighSurrogate() && to + 1 < line.size() ? 2 : 1;
                if (used + w > BoxLinePlaces)
                    break;
                used += w;
                to += step;
            }
            if (to == from) // a character wider than a line
                to = qMin(line.size(), from + 2);
            if (shown.size() == BoxLines) {
                cut = true;
                break;
            }
            shown << line.mid(from, to - from);
            from = to;
        } while (from < line.size());
        if (cut)
            break;
    }
    Message r = m;
    if (!cut && shown.size() == lines.size())
        return r; // fits as it is: shown exactly as given
    if (cut) {
        shown.removeLast();
        shown << BoxCutLine;
        r.details = m.details.isEmpty() ? m.text : m.text + QStringLiteral("\n\n") + m.details;
    }
    r.text = shown.join(u'\n');
    return r;
}

void setMessagePresenter(MessagePresenter *presenter) { g_presenter = presenter; }
MessagePresenter *messagePresenter() { return g_presenter; }
void setFileDialogPresenter(FileDialogPresenter *presenter) { g_files = presenter; }
FileDialogPresenter *fileDialogPresenter() { return g_files; }

namespace msg {

bool show(MsgIcon icon, MsgButtons buttons, const QString &text, const QString &title)
{
    if (!g_presenter)
        return true;
    return g_presenter->present(Message{text, title, icon, buttons});
}

void info(const QString &text, const QString &title) { show(MsgIcon::Information, MsgButtons::Ok, text, title); }
bool ask(const QString &text, const QString &title) { return show(MsgIcon::Question, MsgButtons::YesNo, text, title); }
bool askWithDetails(const QString &text, const QString &details)
{
    if (!g_presenter)
        return true;
    return g_presenter->present(Message{text, {}, MsgIcon::Question, MsgButtons::YesNo, details});
}
void plain(const QString &text, const QString &title) { show(MsgIcon::None, MsgButtons::Ok, text, title); }

std::optional<QString> askText(const TextQuestion &question)
{
    if (!g_presenter)
        return std::nullopt;
    return g_presenter->askText(question);
}

} // namespace msg

} // namespace qh
