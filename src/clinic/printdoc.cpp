#include "clinic/printdoc.h"

#include "clinic/printing.h"
#include "core/docfile.h"
#include "core/modutarnxt.h"
#include "base/owneronly.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QXmlStreamWriter>
#include <zip.h>

namespace qh::clinic {

namespace {

const QString Office = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:office:1.0");
const QString Style = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:style:1.0");
const QString Text = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:text:1.0");
const QString Fo = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0");
const QString Svg = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0");
const QString Manifest = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:manifest:1.0");
const QString MimeType = QStringLiteral("application/vnd.oasis.opendocument.text");
const QString FontName = QString::fromUtf16(PrintFontFamily);

void declareNamespaces(QXmlStreamWriter &w)
{
    w.writeNamespace(Office, QStringLiteral("office"));
    w.writeNamespace(Style, QStringLiteral("style"));
    w.writeNamespace(Text, QStringLiteral("text"));
    w.writeNamespace(Fo, QStringLiteral("fo"));
    w.writeNamespace(Svg, QStringLiteral("svg"));
}

void writeFontFaces(QXmlStreamWriter &w)
{
    w.writeStartElement(Office, QStringLiteral("font-face-decls"));
    w.writeEmptyElement(Style, QStringLiteral("font-face"));
    w.writeAttribute(Style, QStringLiteral("name"), FontName);
    w.writeAttribute(Svg, QStringLiteral("font-family"), FontName);
    w.writeAttribute(Style, QStringLiteral("font-family-generic"), QStringLiteral("roman"));
    w.writeAttribute(Style, QStringLiteral("font-pitch"), QStringLiteral("variable"));
    w.writeEndElement();
}

// "宋体" 11 pt, not bold, for Western, Asian and complex text; the Asian text is Simplified Chinese
// (zh-CN), so the word processor picks Chinese glyph forms and fonts for it.
void writeTextProperties(QXmlStreamWriter &w)
{
    w.writeEmptyElement(Style, QStringLiteral("text-properties"));
    w.writeAttribute(Style, QStringLiteral("language-asian"), QStringLiteral("zh"));
    w.writeAttribute(Style, QStringLiteral("country-asian"), QStringLiteral("CN"));
    for (const auto *script : {"", "-asian", "-complex"}) {
        const QString suffix = QString::fromLatin1(script);
        w.writeAttribute(Style, QStringLiteral("font-name") + suffix, FontName);
        w.writeAttribute(suffix.isEmpty() ? Fo : Style, QStringLiteral("font-size") + suffix, QStringLiteral("11pt"));
        w.writeAttribute(suffix.isEmpty() ? Fo : Style, QStringLiteral("font-weight") + suffix, QStringLiteral("normal"));
    }
}

// Writes one line as paragraph content: runs of blanks as text:s, tabs as text:tab.
void writeLine(QXmlStreamWriter &w, const QString &line)
{
    QString run;
    qsizetype i = 0;
    while (i < line.size()) {
        const QChar c = line.at(i);
        if (c == u'\t') {
            w.writeCharacters(run);
            run.clear();
            w.writeEmptyElement(Text, QStringLiteral("tab"));
            ++i;
        } else if (c == u' ' && (i == 0 || (i + 1 < line.size() && line.at(i + 1) == u' ') || i + 1 == line.size())) {
            // Blanks that a word processor would collapse: a leading, trailing or repeated blank.
            qsizetype count = 0;
            while (i < line.size() && line.at(i) == u' ') {
                ++count;
                ++i;
            }
            w.writeCharacters(run);
            run.clear();
            w.writeEmptyElement(Text, QStringLiteral("s"));
            if (count > 1)
                w.writeAttribute(Text, QStringLiteral("c"), QString::number(count));
        } else {
            if (c.unicode() >= 0x20 || c == u'\u00a0')
                run += c;
            ++i;
        }
    }
    w.writeCharacters(run);
}

QStringList splitLines(const QString &text)
{
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(u'\r', u'\n');
    return t.split(u'\n');
}

// The ODF package: "mimetype" first and stored uncompressed, as the format requires, then
// the other parts compressed. Written in memory so the file itself is replaced in one step.
QByteArray zipPackage(const QList<std::pair<QByteArray, QByteArray>> &entries)
{
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t *buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
    if (!buffer)
        return {};
    zip_t *archive = zip_open_from_source(buffer, ZIP_TRUNCATE, &error);
    if (!archive) {
        zip_source_free(buffer);
        return {};
    }
    zip_source_keep(buffer);
    bool ok = true;
    for (const auto &[name, data] : entries) {
        zip_source_t *part = zip_source_buffer(archive, data.constData(), zip_uint64_t(data.size()), 0);
        const zip_int64_t index = part ? zip_file_add(archive, name.constData(), part, ZIP_FL_ENC_UTF_8) : -1;
        if (index < 0) {
            zip_source_free(part);
            ok = false;
            break;
        }
        zip_set_file_compression(archive, zip_uint64_t(index), name == "mimetype" ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 0);
    }
    if (!ok || zip_close(archive) != 0) {
        if (!ok)
            zip_discard(archive);
        zip_source_free(buffer);
        return {};
    }
    QByteArray out;
    if (zip_source_open(buffer) == 0) {
        zip_source_seek(buffer, 0, SEEK_END);
        const zip_int64_t size = zip_source_tell(buffer);
        zip_source_seek(buffer, 0, SEEK_SET);
        if (size > 0) {
            out.resize(qsizetype(size));
            if (zip_source_read(buffer, out.data(), zip_uint64_t(size)) != size)
                out.clear();
        }
        zip_source_close(buffer);
    }
    zip_source_free(buffer);
    return out;
}

} // namespace

QByteArray odtContentXml(const QString &text)
{
    QByteArray out;
    QXmlStreamWriter w(&out);
    w.writeStartDocument();
    declareNamespaces(w);
    w.writeStartElement(Office, QStringLiteral("document-content"));
    w.writeAttribute(Office, QStringLiteral("version"), QStringLiteral("1.2"));
    writeFontFaces(w);

    w.writeStartElement(Office, QStringLiteral("automatic-styles"));
    w.writeStartElement(Style, QStringLiteral("style"));
    w.writeAttribute(Style, QStringLiteral("name"), QStringLiteral("P1"));
    w.writeAttribute(Style, QStringLiteral("family"), QStringLiteral("paragraph"));
    w.writeAttribute(Style, QStringLiteral("parent-style-name"), QStringLiteral("Standard"));
    writeTextProperties(w);
    w.writeEndElement();
    w.writeEndElement();

    w.writeStartElement(Office, QStringLiteral("body"));
    w.writeStartElement(Office, QStringLiteral("text"));
    for (const QString &line : splitLines(text)) {
        w.writeStartElement(Text, QStringLiteral("p"));
        w.writeAttribute(Text, QStringLiteral("style-name"), QStringLiteral("P1"));
        writeLine(w, line);
        w.writeEndElement();
    }
    w.writeEndElement();
    w.writeEndElement();
    w.writeEndElement();
    w.writeEndDocument();
    return out;
}

QByteArray odtStylesXml()
{
    QByteArray out;
    QXmlStreamWriter w(&out);
    w.writeStartDocument();
    declareNamespaces(w);
    w.writeStartElement(Office, QStringLiteral("document-styles"));
    w.writeAttribute(Office, QStringLiteral("version"), QStringLiteral("1.2"));
    writeFontFaces(w);

    w.writeStartElement(Office, QStringLiteral("styles"));
    w.writeStartElement(Style, QStringLiteral("default-style"));
    w.writeAttribute(Style, QStringLiteral("family"), QStringLiteral("paragraph"));
    writeTextProperties(w);
    w.writeEndElement();
    w.writeStartElement(Style, QStringLiteral("style"));
    w.writeAttribute(Style, QStringLiteral("name"), QStringLiteral("Standard"));
    w.writeAttribute(Style, QStringLiteral("family"), QStringLiteral("paragraph"));
    w.writeAttribute(Style, QStringLiteral("class"), QStringLiteral("text"));
    writeTextProperties(w);
    w.writeEndElement();
    w.writeEndElement();

    // A4 portrait with the customary margins.
    w.writeStartElement(Office, QStringLiteral("automatic-styles"));
    w.writeStartElement(Style, QStringLiteral("page-layout"));
    w.writeAttribute(Style, QStringLiteral("name"), QStringLiteral("pm1"));
    w.writeEmptyElement(Style, QStringLiteral("page-layout-properties"));
    w.writeAttribute(Fo, QStringLiteral("page-width"), QStringLiteral("21cm"));
    w.writeAttribute(Fo, QStringLiteral("page-height"), QStringLiteral("29.7cm"));
    w.writeAttribute(Style, QStringLiteral("print-orientation"), QStringLiteral("portrait"));
    w.writeAttribute(Fo, QStringLiteral("margin-top"), QStringLiteral("2.54cm"));
    w.writeAttribute(Fo, QStringLiteral("margin-bottom"), QStringLiteral("2.54cm"));
    w.writeAttribute(Fo, QStringLiteral("margin-left"), QStringLiteral("3.17cm"));
    w.writeAttribute(Fo, QStringLiteral("margin-right"), QStringLiteral("3.17cm"));
    w.writeEndElement();
    w.writeEndElement();

    w.writeStartElement(Office, QStringLiteral("master-styles"));
    w.writeEmptyElement(Style, QStringLiteral("master-page"));
    w.writeAttribute(Style, QStringLiteral("name"), QStringLiteral("Standard"));
    w.writeAttribute(Style, QStringLiteral("page-layout-name"), QStringLiteral("pm1"));
    w.writeEndElement();

    w.writeEndElement();
    w.writeEndDocument();
    return out;
}

QByteArray odtManifestXml()
{
    QByteArray out;
    QXmlStreamWriter w(&out);
    w.writeStartDocument();
    w.writeNamespace(Manifest, QStringLiteral("manifest"));
    w.writeStartElement(Manifest, QStringLiteral("manifest"));
    w.writeAttribute(Manifest, QStringLiteral("version"), QStringLiteral("1.2"));
    const std::pair<const char *, QString> files[] = {
        {"/", MimeType},
        {"content.xml", QStringLiteral("text/xml")},
        {"styles.xml", QStringLiteral("text/xml")},
    };
    for (const auto &[path, type] : files) {
        w.writeEmptyElement(Manifest, QStringLiteral("file-entry"));
        w.writeAttribute(Manifest, QStringLiteral("full-path"), QString::fromLatin1(path));
        if (QByteArrayView(path) == "/")
            w.writeAttribute(Manifest, QStringLiteral("version"), QStringLiteral("1.2"));
        w.writeAttribute(Manifest, QStringLiteral("media-type"), type);
    }
    w.writeEndElement();
    w.writeEndDocument();
    return out;
}

QString writeOdt(const QString &path, const QString &text)
{
    const QByteArray package = zipPackage({{"mimetype", MimeType.toLatin1()},
                                           {"META-INF/manifest.xml", odtManifestXml()},
                                           {"content.xml", odtContentXml(text)},
                                           {"styles.xml", odtStylesXml()}});
    const QString shown = QDir::toNativeSeparators(path);
    if (package.isEmpty())
        return QStringLiteral("文档不能生成：") + shown;
    if (!makeMissingFolders(QFileInfo(path).absolutePath()))
        return QStringLiteral("文件夹不能建立：") + QDir::toNativeSeparators(QFileInfo(path).absolutePath());
    DocumentFile file(path); // documents of patients: 0600, never through a planted link
    if (!file.isOpen())
        return QStringLiteral("文件不能写入：") + shown;
    if (file.device().write(package) != package.size() || !file.commit())
        return QStringLiteral("文件不能写入：") + shown;
    return {};
}

QString freshDocumentPath(const QString &folder, const QString &name)
{
    const QDir dir(folder);
    const QString base = fileNamePart(name) + u'-' + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString candidate = dir.filePath(base + QStringLiteral(".odt"));
    for (int n = 2; QFileInfo::exists(candidate); ++n)
        candidate = dir.filePath(base + u'-' + QString::number(n) + QStringLiteral(".odt"));
    return candidate;
}

TextDocument writeTextDocument(const QString &text, const QString &documentName)
{
    TextDocument doc;
    const QString folder = Modutarnxt::documentsPath();
    if (!QFileInfo(folder).isDir()) {
        doc.errorNumber = printerr::FileIo;
        doc.failure = QStringLiteral("文件夹不能建立：") + QDir::toNativeSeparators(folder);
        return doc;
    }
    const QString path = freshDocumentPath(folder, documentName);
    doc.failure = writeOdt(path, text);
    if (!doc.failure.isEmpty()) {
        doc.errorNumber = printerr::FileIo;
        return doc;
    }
    doc.path = path;
    return doc;
}

QString noApplicationFor(const QString &path)
{
    return QStringLiteral("没有可以打开文档的文字处理程序：") + QDir::toNativeSeparators(path);
}

} // namespace qh::clinic
