#pragma once
// The tokenizer of the clinic's full-text search index over the visits: it splits a text into
// overlapping pairs of characters ("咳嗽三日" -> "咳嗽", "嗽三", "三日", and the last character
// alone, "日"), ASCII letters in lower case, so that a phrase of pairs finds a typed text as a
// substring, whatever the language. The characters '*', '"' and '^' (the index's query syntax)
// are left out of both the stored and the sought texts, so a search through the index finds
// a superset of the literal matches; the caller always confirms each row with the literal test.
//
// Every connection registers it (the index's triggers use it when a visit is written).
struct sqlite3;

namespace qh::db {

inline constexpr const char *SearchTokenizerName = "qhpairs";

// Registers the tokenizer on the connection; false when the engine refused.
bool registerSearchTokenizer(sqlite3 *db);

} // namespace qh::db
