// A prepared statement on a connection (SQLiteCpp's): prepared by its
// constructor, finalised on every road out, throwing sqlite::Error where a
// step fails. executeStep() reads a row at a time, exec() runs one that
// returns none and gives the rows it changed.
#pragma once

#include <SQLiteCpp/Column.h>
#include <SQLiteCpp/Statement.h>

#include <optional>
#include <string>

namespace sqlite {

using Statement = SQLite::Statement;
// A column of the statement's current row; one made at a row goes on
// reading the same column of each later row.
using Column = SQLite::Column;

// Text, or NULL for nullopt.
void bind(Statement& statement, int index, const std::optional<std::string>& value);

// The column's text, nullopt for NULL.
std::optional<std::string> text_or_null(const Column& column);

}  // namespace sqlite
