#pragma once
// The one seam through which every message box and file dialog of the program is shown.
// The program installs presenters that show real dialogs; tests install recorders that
// keep what was shown and answer questions.
#include <QString>
#include <optional>

class QWidget;

namespace qh {

enum class MsgIcon { None, Information, Question, Warning, Critical };
enum class MsgButtons { Ok, YesNo };

struct Message {
    QString text;
    QString title;
    MsgIcon icon = MsgIcon::Information;
    MsgButtons buttons = MsgButtons::Ok;
    // Optional longer text the user can open under the message ("显示详细信息").
    QString details = {};
};

// A question answered by one line of text (a name to save something under).
struct TextQuestion {
    QString text;     // the prompt, "请输入协定方名称："
    QString title;
    QString initial = {};  // what the box holds when it opens
    int maxLength = 0;     // the most characters the box takes; 0: no limit
};

class MessagePresenter {
public:
    virtual ~MessagePresenter() = default;
    // Shows the message; returns false only when a question was answered No.
    virtual bool present(const Message &m) = 0;
    // Asks for a line of text; nothing when the question was cancelled.
    virtual std::optional<QString> askText(const TextQuestion &q) = 0;
};

// What a box shows of a message, so that no box outgrows a 1024 x 768 screen: lines longer
// than BoxLinePlaces character places (a wide character takes two) are broken there, and a text
// of more than BoxLines such lines keeps its first lines, then the line BoxCutLine; the whole
// text then goes first into the details (before the message's own details). The title, icon
// and buttons are the message's.
inline constexpr int BoxLines = 16;
inline constexpr int BoxLinePlaces = 64;
inline const QString BoxCutLine = QStringLiteral("……（全文见详细信息）");
Message fittedForBox(const Message &m);

void setMessagePresenter(MessagePresenter *presenter);
MessagePresenter *messagePresenter();

class FileDialogPresenter {
public:
    virtual ~FileDialogPresenter() = default;
    // Empty result: cancelled.
    virtual QString openFileName(QWidget *parent, const QString &caption, const QString &folder,
                                 const QString &filter) = 0;
    virtual QString saveFileName(QWidget *parent, const QString &caption, const QString &folder,
                                 const QString &filter) = 0;
};

void setFileDialogPresenter(FileDialogPresenter *presenter);
FileDialogPresenter *fileDialogPresenter();

namespace msg {
// Notice: information icon, OK, empty title unless one is given.
void info(const QString &text, const QString &title = {});
// Question: question icon, Yes and No; true for any answer but No.
bool ask(const QString &text, const QString &title = {});
// The same question with a details area the user can open before answering.
bool askWithDetails(const QString &text, const QString &details);
// OK only, no icon.
void plain(const QString &text, const QString &title = {});
bool show(MsgIcon icon, MsgButtons buttons, const QString &text, const QString &title = {});
// A line of text asked for, as typed (not trimmed); nothing when cancelled or when no presenter
// is installed.
std::optional<QString> askText(const TextQuestion &question);
} // namespace msg

} // namespace qh
