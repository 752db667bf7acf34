#pragma once
// Plain-text summaries handed to the word processor: the text becomes a new OpenDocument text
// (.odt) in the user's documents folder, every line a paragraph in "宋体" 11 pt, not bold (for
// Western and Asian text alike), on an A4 page; the document is opened with the default
// application and the text is put on the clipboard as well.
#include <QByteArray>
#include <QString>

namespace qh::clinic {

// The parts of the document.
QByteArray odtContentXml(const QString &text); // the paragraphs
QByteArray odtStylesXml();                     // fonts, paragraph style and page layout
QByteArray odtManifestXml();

// Writes the text as a complete .odt file (a ZIP package). Empty result: written;
// otherwise the failure's text.
QString writeOdt(const QString &path, const QString &text);

// A name that no file in the folder has yet: "<folder>/<name>-yyyyMMdd-HHmmss.odt", with
// "-2", "-3"... added when needed.
QString freshDocumentPath(const QString &folder, const QString &name);

// Writes the text into a fresh document in the documents folder. A failure (folder not
// writable) leaves path empty and gives printerr::FileIo with its description. Putting the text
// on the clipboard and opening the document is the window's part (clinic/ui/printflow.h).
struct TextDocument {
    QString path;
    int errorNumber = 0;
    QString failure;
};
TextDocument writeTextDocument(const QString &text, const QString &documentName = QStringLiteral("文本"));

// The description of "no application could open the document".
QString noApplicationFor(const QString &path);

} // namespace qh::clinic
