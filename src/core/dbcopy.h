#pragma once
// Whole-database copies through the engine's online backup, kept apart from the session layer
// so that the session code stays as it is.
//
//   auto source = qh::db::Session::open(livePath);
//   auto image = qh::db::Session::create(tempPath); // keyed: the copy stays encrypted
//   qh::db::copyPages(source, image);
//
// The destination must be a keyed session (Session::create gives it its own salt and key): the
// engine writes the pages through the destination's cipher, so a keyed destination yields an
// encrypted image and an unkeyed one would yield plain text. Throws DbError.
#include "core/database.h"

#include <functional>

namespace qh::db {

// Copies every page of source into dest. The copy is a consistent point-in-time image: each
// step reads under the source's shared lock, and a write by another connection between two
// steps makes the engine start the image again. between(done, total) runs after each step
// (pages copied so far, pages in all); it may let window events run.
void copyPages(Session &source, Session &dest, const std::function<void(int done, int total)> &between = {});

} // namespace qh::db
