#include "core/searchtokenizer.h"

#include <algorithm>
#include <cstring>
#include <sqlite3.h>
#include <string>
#include <vector>

// The engine's tokenizer interface (stable since its first version; the engine ships no header
// for it, so it is declared here as the engine documents it).
extern "C" {
struct sqlite3_tokenizer_module;
struct sqlite3_tokenizer {
    const sqlite3_tokenizer_module *pModule;
};
struct sqlite3_tokenizer_cursor {
    sqlite3_tokenizer *pTokenizer;
};
struct sqlite3_tokenizer_module {
    int iVersion;
    int (*xCreate)(int argc, const char *const *argv, sqlite3_tokenizer **ppTokenizer);
    int (*xDestroy)(sqlite3_tokenizer *pTokenizer);
    int (*xOpen)(sqlite3_tokenizer *pTokenizer, const char *pInput, int nBytes, sqlite3_tokenizer_cursor **ppCursor);
    int (*xClose)(sqlite3_tokenizer_cursor *pCursor);
    int (*xNext)(sqlite3_tokenizer_cursor *pCursor, const char **ppToken, int *pnBytes, int *piStartOffset,
                 int *piEndOffset, int *piPosition);
};
}

namespace qh::db {

namespace {

struct Cursor {
    sqlite3_tokenizer_cursor base;
    const unsigned char *input;
    int size;
    int at = 0;       // byte offset of the next character to read
    int position = 0; // index of the next token
    // The current character, read ahead: its bytes and offsets.
    int curStart = -1, curEnd = -1;
    std::string token;
};

// Length of the UTF-8 sequence starting with byte b (1 for stray bytes).
int sequenceLength(unsigned char b)
{
    if (b < 0x80)
        return 1;
    if ((b & 0xE0) == 0xC0)
        return 2;
    if ((b & 0xF0) == 0xE0)
        return 3;
    if ((b & 0xF8) == 0xF0)
        return 4;
    return 1;
}

bool skipped(unsigned char b) { return b == '*' || b == '"' || b == '^'; }

// Reads the next kept character from c->at; false at the end.
bool nextChar(Cursor *c, int *start, int *end)
{
    while (c->at < c->size) {
        const unsigned char b = c->input[c->at];
        const int len = std::min(sequenceLength(b), c->size - c->at);
        const int s = c->at;
        c->at += len;
        if (len == 1 && skipped(b))
            continue;
        *start = s;
        *end = s + len;
        return true;
    }
    return false;
}

void appendChar(Cursor *c, int start, int end)
{
    for (int i = start; i < end; ++i) {
        unsigned char b = c->input[i];
        if (b >= 'A' && b <= 'Z')
            b = static_cast<unsigned char>(b - 'A' + 'a');
        c->token.push_back(char(b));
    }
}

int xCreate(int, const char *const *, sqlite3_tokenizer **pp)
{
    *pp = new sqlite3_tokenizer{};
    return SQLITE_OK;
}

int xDestroy(sqlite3_tokenizer *t)
{
    delete t;
    return SQLITE_OK;
}

int xOpen(sqlite3_tokenizer *, const char *input, int nBytes, sqlite3_tokenizer_cursor **pp)
{
    auto *c = new Cursor{};
    c->input = reinterpret_cast<const unsigned char *>(input ? input : "");
    c->size = input ? (nBytes < 0 ? int(std::strlen(input)) : nBytes) : 0;
    int s = 0, e = 0;
    if (nextChar(c, &s, &e)) {
        c->curStart = s;
        c->curEnd = e;
    }
    *pp = &c->base;
    return SQLITE_OK;
}

int xClose(sqlite3_tokenizer_cursor *cursor)
{
    delete reinterpret_cast<Cursor *>(cursor);
    return SQLITE_OK;
}

// One token per kept character: the character and the one after it, or the last one alone.
int xNext(sqlite3_tokenizer_cursor *cursor, const char **token, int *nBytes, int *start, int *end, int *position)
{
    auto *c = reinterpret_cast<Cursor *>(cursor);
    if (c->curStart < 0)
        return SQLITE_DONE;
    c->token.clear();
    appendChar(c, c->curStart, c->curEnd);
    *start = c->curStart;
    *end = c->curEnd;
    int s = 0, e = 0;
    if (nextChar(c, &s, &e)) {
        appendChar(c, s, e);
        *end = e;
        c->curStart = s;
        c->curEnd = e;
    } else {
        c->curStart = -1;
    }
    *token = c->token.data();
    *nBytes = int(c->token.size());
    *position = c->position++;
    return SQLITE_OK;
}

const sqlite3_tokenizer_module Module = {0, xCreate, xDestroy, xOpen, xClose, xNext};

} // namespace

bool registerSearchTokenizer(sqlite3 *db)
{
    // The two-argument fts3_tokenizer() takes a module's address from its caller: a statement
    // of a file (a trigger, a view) could make the engine call through any address it names.
    // It is switched on only for this one registration and off again before anything else
    // runs on the connection; the registered tokenizer stays usable by name.
    int on = 0;
    if (sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_FTS3_TOKENIZER, 1, &on) != SQLITE_OK)
        return false;
    sqlite3_stmt *st = nullptr;
    int rc = sqlite3_prepare_v2(db, "select fts3_tokenizer(?, ?)", -1, &st, nullptr);
    if (rc == SQLITE_OK) {
        const sqlite3_tokenizer_module *p = &Module;
        sqlite3_bind_text(st, 1, SearchTokenizerName, -1, SQLITE_STATIC);
        sqlite3_bind_blob(st, 2, &p, sizeof(p), SQLITE_TRANSIENT);
        rc = sqlite3_step(st);
    }
    sqlite3_finalize(st);
    int off = 1;
    if (sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_FTS3_TOKENIZER, 0, &off) != SQLITE_OK || off != 0)
        return false;
    return rc == SQLITE_ROW;
}

} // namespace qh::db
