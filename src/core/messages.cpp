#include "core/messages.h"

namespace qh {

namespace {
MessagePresenter *g_presenter = nullptr;
FileDialogPresenter *g_files = nullptr;
} // namespace

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

} // namespace msg

} // namespace qh
