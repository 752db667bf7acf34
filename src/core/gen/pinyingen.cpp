// Writes the program's table of Chinese character readings at build time:
//
//   qinghe-pinyingen <Unihan_Readings.txt.bz2> <pinyin-readings.txt> <unihan-notice.txt> <output.cpp>
//
// Every reading of each character in the fields kTGHZ2013, then kXHC1983, then kMandarin, tone
// marks removed (ü written v), repeated readings dropped. The character's usual reading is the
// first toned kMandarin value (kMandarin lists the customary reading first; "de" of 地 carries no
// tone and gives way to "dì"). The curated readings of herb names and surnames come from the
// source tree's table; each must be one of the character's readings, or the build stops.
// The output starts with the data's own header and the Unicode licence notice.
#include <QByteArray>
#include <QFile>
#include <QHash>
#include <QList>
#include <QMap>
#include <QSaveFile>
#include <QString>
#include <QStringList>

#include <bzlib.h>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

[[noreturn]] void fail(const QString &message)
{
    std::fprintf(stderr, "qinghe-pinyingen: %s\n", qPrintable(message));
    std::exit(1);
}

struct FileCloser {
    void operator()(FILE *f) const { std::fclose(f); }
};

// The whole file, every bzip2 stream of it one after another.
QByteArray readBz2(const QString &path)
{
    std::unique_ptr<FILE, FileCloser> file(std::fopen(QFile::encodeName(path).constData(), "rb"));
    if (!file)
        fail(QStringLiteral("cannot open %1 (the Debian package unicode-data installs it)").arg(path));
    QByteArray out;
    QByteArray unused;
    char buffer[1 << 16];
    for (;;) {
        int error = BZ_OK;
        BZFILE *bz = BZ2_bzReadOpen(&error, file.get(), 0, 0, unused.data(), int(unused.size()));
        if (error != BZ_OK) {
            BZ2_bzReadClose(&error, bz);
            fail(QStringLiteral("%1 is not a bzip2 file").arg(path));
        }
        while (error == BZ_OK) {
            const int n = BZ2_bzRead(&error, bz, buffer, int(sizeof buffer));
            if ((error == BZ_OK || error == BZ_STREAM_END) && n > 0)
                out.append(buffer, n);
        }
        if (error != BZ_STREAM_END) {
            BZ2_bzReadClose(&error, bz);
            fail(QStringLiteral("%1 is damaged").arg(path));
        }
        void *rest = nullptr;
        int restSize = 0;
        BZ2_bzReadGetUnused(&error, bz, &rest, &restSize);
        unused = QByteArray(static_cast<const char *>(rest), restSize);
        BZ2_bzReadClose(&error, bz);
        if (unused.isEmpty() && std::feof(file.get()))
            break;
        if (unused.isEmpty()) {
            const int c = std::fgetc(file.get());
            if (c == EOF)
                break;
            std::ungetc(c, file.get());
        }
    }
    return out;
}

// "shēn" -> "shen", "lǜ" -> "lv", "ê" -> "e"; empty when anything but letters remains.
QByteArray plainSyllable(const QString &toned)
{
    const QString d = toned.normalized(QString::NormalizationForm_D).toLower();
    QByteArray out;
    for (const QChar c : d) {
        if (c == QChar(0x0308) && out.endsWith('u'))
            out.back() = 'v';
        else if (c.isMark())
            continue;
        else if (c >= u'a' && c <= u'z')
            out.append(char(c.unicode()));
        else
            return {};
    }
    return out;
}

bool toned(const QString &reading)
{
    const QString d = reading.normalized(QString::NormalizationForm_D);
    for (const QChar c : d) {
        if (c.isMark() && c != QChar(0x0308))
            return true;
    }
    return false;
}

struct Char {
    QList<QByteArray> readings; // kTGHZ2013, kXHC1983, kMandarin order, no repeats
    QByteArray usual;
    QList<QString> mandarin; // toned, as given
};

struct Word {
    int kind = 0; // 0 herb, 1 surname
    QList<char32_t> chars;
    QList<QByteArray> syllables;
};

QString cppComment(const QByteArray &text)
{
    QString out;
    for (const QString &line : QString::fromUtf8(text).split(u'\n')) {
        out += line.isEmpty() ? QStringLiteral("//\n") : QStringLiteral("// ") + line + u'\n';
    }
    return out;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 5)
        fail(QStringLiteral("usage: qinghe-pinyingen <Unihan_Readings.txt.bz2> <pinyin-readings.txt> <unihan-notice.txt> <output.cpp>"));
    const QString unihanPath = QFile::decodeName(argv[1]);
    const QByteArray unihan = readBz2(unihanPath);

    // Fields in their order of precedence.
    const QByteArray fields[3] = {"kTGHZ2013", "kXHC1983", "kMandarin"};
    QMap<char32_t, QList<QList<QString>>> raw; // per character: toned readings of each field
    QByteArray header;
    bool inHeader = true;
    int lineNo = 0;
    for (const QByteArray &line : unihan.split('\n')) {
        ++lineNo;
        if (line.startsWith('#')) {
            if (inHeader)
                header += line.mid(line.size() > 1 && line.at(1) == ' ' ? 2 : 1) + '\n';
            continue;
        }
        if (line.trimmed().isEmpty())
            continue;
        inHeader = false;
        const QList<QByteArray> parts = line.split('\t');
        if (parts.size() != 3 || !parts[0].startsWith("U+"))
            fail(QStringLiteral("%1:%2: unexpected line").arg(unihanPath).arg(lineNo));
        int field = -1;
        for (int f = 0; f < 3; ++f) {
            if (parts[1] == fields[f])
                field = f;
        }
        if (field < 0)
            continue;
        bool ok = false;
        const char32_t cp = parts[0].mid(2).toUInt(&ok, 16);
        if (!ok || cp > 0x10FFFF)
            fail(QStringLiteral("%1:%2: bad code point").arg(unihanPath).arg(lineNo));
        auto &entry = raw[cp];
        if (entry.isEmpty())
            entry.resize(3);
        // kMandarin: "báo bó"; the dictionary fields: "0037.090:báo 0083.040*:bó" (readings after
        // the colon, several separated by commas).
        for (const QByteArray &token : parts[2].split(' ')) {
            if (token.isEmpty())
                continue;
            const QByteArray value = field == 2 ? token : token.mid(token.lastIndexOf(':') + 1);
            for (const QByteArray &r : value.split(','))
                entry[field] << QString::fromUtf8(r);
        }
    }
    if (raw.isEmpty())
        fail(QStringLiteral("%1 holds no readings").arg(unihanPath));

    QMap<char32_t, Char> chars;
    QMap<QByteArray, int> syllableSet;
    for (auto it = raw.cbegin(); it != raw.cend(); ++it) {
        Char c;
        for (int f = 0; f < 3; ++f) {
            for (const QString &r : it.value()[f]) {
                const QByteArray s = plainSyllable(r);
                if (s.isEmpty() || s.size() > 7)
                    fail(QStringLiteral("U+%1: reading \"%2\" is not a syllable").arg(uint(it.key()), 4, 16, QChar(u'0')).arg(r));
                if (!c.readings.contains(s))
                    c.readings << s;
            }
        }
        const QList<QString> &mandarin = it.value()[2];
        for (const QString &r : mandarin) {
            if (toned(r)) {
                c.usual = plainSyllable(r);
                break;
            }
        }
        if (c.usual.isEmpty())
            c.usual = mandarin.isEmpty() ? c.readings.first() : plainSyllable(mandarin.first());
        if (c.readings.size() > 8)
            fail(QStringLiteral("U+%1 has more than 8 readings").arg(uint(it.key()), 4, 16, QChar(u'0')));
        for (const QByteArray &s : c.readings)
            syllableSet.insert(s, 0);
        chars.insert(it.key(), c);
    }
    if (syllableSet.size() > 511)
        fail(QStringLiteral("more than 511 syllables"));
    QList<QByteArray> syllables = syllableSet.keys(); // sorted
    for (int i = 0; i < syllables.size(); ++i)
        syllableSet[syllables[i]] = i;

    // The curated table.
    const QString curatedPath = QFile::decodeName(argv[2]);
    QFile curatedFile(curatedPath);
    if (!curatedFile.open(QIODevice::ReadOnly))
        fail(QStringLiteral("cannot read %1").arg(curatedPath));
    QList<Word> words;
    lineNo = 0;
    for (const QByteArray &rawLine : curatedFile.readAll().split('\n')) {
        ++lineNo;
        QString line = QString::fromUtf8(rawLine);
        const qsizetype hash = line.indexOf(u'#');
        if (hash >= 0)
            line.truncate(hash);
        const QStringList parts = line.simplified().split(u' ', Qt::SkipEmptyParts);
        if (parts.isEmpty())
            continue;
        const auto where = [&] { return QStringLiteral("%1:%2: ").arg(curatedPath).arg(lineNo); };
        Word w;
        if (parts[0] == QStringLiteral("药"))
            w.kind = 0;
        else if (parts[0] == QStringLiteral("姓"))
            w.kind = 1;
        else
            fail(where() + QStringLiteral("the kind is 药 or 姓, not \"%1\"").arg(parts[0]));
        if (parts.size() < 3)
            fail(where() + QStringLiteral("a word and its readings are missing"));
        for (const char32_t c : parts[1].toUcs4())
            w.chars << c;
        if (w.chars.size() > 4 || w.chars.size() != parts.size() - 2)
            fail(where() + QStringLiteral("one to four characters, one reading each"));
        for (int i = 0; i < w.chars.size(); ++i) {
            const QByteArray s = plainSyllable(parts[i + 2]);
            const auto c = chars.constFind(w.chars[i]);
            if (c == chars.constEnd())
                fail(where() + QStringLiteral("no readings for %1").arg(QString::fromUcs4(&w.chars[i], 1)));
            if (!c->readings.contains(s))
                fail(where() + QStringLiteral("\"%1\" is not a reading of %2 (readings: %3)")
                                   .arg(parts[i + 2], QString::fromUcs4(&w.chars[i], 1),
                                        QString::fromLatin1(c->readings.join(' '))));
            w.syllables << s;
        }
        for (const Word &other : words) {
            if (other.kind == w.kind && other.chars == w.chars)
                fail(where() + QStringLiteral("%1 is listed twice").arg(parts[1]));
        }
        words << w;
    }

    QFile noticeFile(QFile::decodeName(argv[3]));
    if (!noticeFile.open(QIODevice::ReadOnly))
        fail(QStringLiteral("cannot read %1").arg(noticeFile.fileName()));
    const QByteArray notice = noticeFile.readAll().trimmed();

    // The packed table: one 32-bit entry per reading, sorted by character:
    // code point << 11 | syllable << 2 | 1 for the usual reading.
    QString out;
    out += QStringLiteral("// Generated by qinghe-pinyingen (src/core/gen/pinyingen.cpp) from Unihan_Readings.txt and\n"
                          "// src/core/data/pinyin-readings.txt. Do not edit: change the generator or the table.\n//\n");
    out += cppComment(notice);
    out += QStringLiteral("//\n// The header of Unihan_Readings.txt as read:\n//\n");
    out += cppComment(header.trimmed());
    out += QStringLiteral("\n#include \"core/pinyindata.h\"\n\nnamespace qh::pinyin::data {\n\n");
    out += QStringLiteral("const char Syllables[][8] = {");
    for (int i = 0; i < syllables.size(); ++i)
        out += (i % 12 == 0 ? QStringLiteral("\n    ") : QStringLiteral(" ")) + u'"' + QString::fromLatin1(syllables[i]) + QStringLiteral("\",");
    out += QStringLiteral("\n};\nconst int SyllableCount = %1;\n\n").arg(syllables.size());

    out += QStringLiteral("const quint32 Readings[] = {");
    int n = 0;
    for (auto it = chars.cbegin(); it != chars.cend(); ++it) {
        for (const QByteArray &s : it->readings) {
            const quint32 v = quint32(it.key()) << 11 | quint32(syllableSet.value(s)) << 2 | (s == it->usual ? 1u : 0u);
            out += (n % 8 == 0 ? QStringLiteral("\n    ") : QStringLiteral(" ")) + QStringLiteral("0x%1,").arg(v, 8, 16, QChar(u'0'));
            ++n;
        }
    }
    out += QStringLiteral("\n};\nconst int ReadingCount = %1;\nconst int CharCount = %2;\n\n").arg(n).arg(chars.size());

    out += QStringLiteral("const Word Words[] = {\n");
    for (const Word &w : words) {
        QStringList cs, ss;
        for (int i = 0; i < 4; ++i) {
            cs << (i < w.chars.size() ? QStringLiteral("0x%1").arg(uint(w.chars[i]), 4, 16, QChar(u'0')) : QStringLiteral("0"));
            ss << QString::number(i < w.syllables.size() ? syllableSet.value(w.syllables[i]) : 0);
        }
        QStringList spelled;
        for (const QByteArray &s : w.syllables)
            spelled << QString::fromLatin1(s);
        out += QStringLiteral("    {%1, %2, {%3}, {%4}}, // %5 %6\n")
                   .arg(w.kind ? QStringLiteral("WordKind::Surname") : QStringLiteral("WordKind::Herb"))
                   .arg(w.chars.size())
                   .arg(cs.join(QStringLiteral(", ")), ss.join(QStringLiteral(", ")), QString::fromUcs4(w.chars.constData(), w.chars.size()),
                        spelled.join(u' '));
    }
    out += QStringLiteral("};\nconst int WordCount = %1;\n\n} // namespace qh::pinyin::data\n").arg(words.size());

    QSaveFile file(QFile::decodeName(argv[4]));
    if (!file.open(QIODevice::WriteOnly) || file.write(out.toUtf8()) < 0 || !file.commit())
        fail(QStringLiteral("cannot write %1").arg(file.fileName()));
    return 0;
}
