// The leaderboard's tables, the same on both engines but for how each numbers its rows.
//
//   schema_version  version           which of the steps below have been made
//   games           one row a verified game: its name, outcome and when it came
//   recordings      the recording of each game, kept apart so listing never reads them
//   stats           total             games kept, kept with them so counting costs nothing
//
// A server finds the version and makes the steps past it, in one transaction, whoever starts
// first (on PostgreSQL under an advisory lock, on SQLite under BEGIN IMMEDIATE).
#pragma once

namespace schema {

constexpr int kVersion = 1;

// Version 1, with ID standing for the engine's own numbering of rows.
constexpr const char* kVersion1[] = {
    "CREATE TABLE games ("
    " id ID,"
    " content_hash TEXT NOT NULL UNIQUE,"
    " name TEXT NOT NULL,"
    " score INTEGER NOT NULL,"
    " level INTEGER NOT NULL,"
    " lives INTEGER NOT NULL,"
    " ticks BIGINT NOT NULL,"
    " submitted TEXT NOT NULL)",
    "CREATE INDEX games_by_rank ON games (score DESC, ticks, submitted, id)",
    "CREATE TABLE recordings ("
    " game_id BIGINT PRIMARY KEY REFERENCES games (id),"
    " body TEXT NOT NULL)",
    "CREATE TABLE stats (total BIGINT NOT NULL)",
    "INSERT INTO stats (total) VALUES (0)",
};

// The row numbering of each engine, for ID above.
constexpr const char* kSqliteId = "INTEGER PRIMARY KEY AUTOINCREMENT";
constexpr const char* kPostgresId = "BIGINT GENERATED ALWAYS AS IDENTITY PRIMARY KEY";

// Rank: one plus the games ahead, by score, then ticks, then submission, then number.
constexpr const char* kRank =
    "SELECT (SELECT COUNT(*) FROM games WHERE score > $1)"
    " + (SELECT COUNT(*) FROM games WHERE score = $1 AND (ticks < $2 OR (ticks = $2 AND"
    " (submitted < $3 OR (submitted = $3 AND id < $4))))) + 1";
constexpr const char* kColumns = "id, name, score, level, lives, ticks, submitted";
constexpr const char* kPage =
    "SELECT id, name, score, level, lives, ticks, submitted FROM games"
    " ORDER BY score DESC, ticks, submitted, id LIMIT $1 OFFSET $2";

}  // namespace schema
