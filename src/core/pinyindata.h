#pragma once
// The reading table compiled into the program: generated at build time by qinghe-pinyingen
// (src/core/gen/pinyingen.cpp) from the Unicode Character Database's Unihan_Readings.txt and the
// curated readings in src/core/data/pinyin-readings.txt. Used by core/pinyin.cpp only.
#include <QtGlobal>

namespace qh::pinyin::data {

// The syllables without tones, sorted ("a", "ai", ... "zuo"); ü is written v.
extern const char Syllables[][8];
extern const int SyllableCount;

// One entry per reading, sorted by character: code point << 11 | syllable << 2 | usual (1 for the
// character's usual reading). A character's readings follow kTGHZ2013, then kXHC1983, then kMandarin.
extern const quint32 Readings[];
extern const int ReadingCount;
extern const int CharCount;

enum class WordKind : quint8 { Herb, Surname };

// A curated reading: a character or word (up to four characters) read one way in herb names
// (anywhere) or as a surname (at the start of a person's name).
struct Word {
    WordKind kind;
    quint8 length;
    char32_t chars[4];
    quint16 syllables[4];
};
extern const Word Words[];
extern const int WordCount;

} // namespace qh::pinyin::data
