// The leaderboard's tables, the same on both engines but for how each numbers its rows.
//
//   schema_version   version          which of the steps below have been made
//   games            one row a verified game, on its board: name, outcome, when it came
//   recordings       the recording of each game, kept apart so listing never reads them
//   board_totals     games kept on each board, counted as they come so counting costs nothing
//   secrets          the server's secret, from which the daily seeds come
//   attempts         each ranked game dealt: its seed, token, player and how far it has come
//   attempt_batches  a live attempt's recording as it came, batch by batch, until a while
//                    after it ends
//   watchers         how many watch each live game, on each server
//   players          each name held: by whose key (its hash), banned or not, what it looks like
//   admin_log        what the operators did, who did it and why
//
// A server finds the version and makes the steps past it, in one transaction, whoever starts
// first (on PostgreSQL under an advisory lock, on SQLite under BEGIN IMMEDIATE).
#pragma once

#include <vector>

namespace schema {

// Each version's steps, with ID standing for the engine's own numbering of rows.
inline const std::vector<std::vector<const char*>> kSteps = {
    // 1: the table of uploaded games.
    {
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
    },
    // 2: boards, and the attempts played live on them; the games so far are the uploaded ones.
    {
        "ALTER TABLE games ADD COLUMN board TEXT NOT NULL DEFAULT 'uploaded'",
        "ALTER TABLE games ADD COLUMN day TEXT NOT NULL DEFAULT ''",
        "DROP INDEX games_by_rank",
        "CREATE INDEX games_by_board ON games (board, day, score DESC, ticks, submitted, id)",
        "CREATE TABLE board_totals (board TEXT NOT NULL, day TEXT NOT NULL,"
        " total BIGINT NOT NULL, PRIMARY KEY (board, day))",
        "INSERT INTO board_totals (board, day, total) SELECT 'uploaded', '', total FROM stats",
        "DROP TABLE stats",
        "CREATE TABLE secrets (name TEXT PRIMARY KEY, value TEXT NOT NULL)",
        "CREATE TABLE attempts ("
        " id ID,"
        " token_hash TEXT NOT NULL,"
        " board TEXT NOT NULL,"
        " day TEXT NOT NULL,"
        " seed BIGINT NOT NULL,"
        " name TEXT NOT NULL,"
        " player TEXT NOT NULL,"
        " client TEXT NOT NULL,"
        " ranked INTEGER NOT NULL,"
        " state TEXT NOT NULL,"
        " reason TEXT NOT NULL,"
        " started BIGINT NOT NULL,"
        " seen BIGINT NOT NULL,"
        " batches INTEGER NOT NULL,"
        " ticks BIGINT NOT NULL,"
        " game BIGINT)",
        // One ranked attempt a day a player, however many servers deal at once.
        "CREATE UNIQUE INDEX attempts_once_a_day ON attempts (day, player)"
        " WHERE ranked = 1 AND board = 'daily'",
        // By state alone: the time it was last heard from changes with every batch.
        "CREATE INDEX attempts_live ON attempts (state)",
        "CREATE INDEX attempts_by_client ON attempts (client, state)",
        "CREATE TABLE attempt_batches ("
        " attempt BIGINT NOT NULL REFERENCES attempts (id),"
        " batch INTEGER NOT NULL,"
        " body TEXT NOT NULL,"
        " PRIMARY KEY (attempt, batch))",
    },
    // 3: names held by their players' keys, games an operator hid, and what operators did.
    {
        "ALTER TABLE games ADD COLUMN name_key TEXT NOT NULL DEFAULT ''",
        "ALTER TABLE games ADD COLUMN hidden INTEGER NOT NULL DEFAULT 0",
        // The games kept before were named freely: their keys are the names in lower case.
        "UPDATE games SET name_key = lower(name)",
        "DROP INDEX games_by_board",
        "CREATE INDEX games_by_board ON games"
        " (board, day, hidden, score DESC, ticks, submitted, id)",
        "CREATE INDEX games_by_name ON games (name_key)",
        "CREATE TABLE players ("
        " name_key TEXT PRIMARY KEY,"
        " name TEXT NOT NULL,"
        " key_hash TEXT NOT NULL,"
        " banned INTEGER NOT NULL,"
        " since TEXT NOT NULL)",
        "CREATE TABLE admin_log ("
        " id ID,"
        " at TEXT NOT NULL,"
        " who TEXT NOT NULL,"
        " action TEXT NOT NULL,"
        " target TEXT NOT NULL,"
        " reason TEXT NOT NULL)",
    },
    // 4: a live attempt's time credit, whether its last batch ends its game, and its player's
    // key (as its hash: the name is held once the game verifies); an uploaded game's
    // fingerprint (its seed and keys, tick by tick: a copy under other frames is the same
    // game); what each held name looks like (look-alikes across alphabets are one name).
    {
        "ALTER TABLE attempts ADD COLUMN credit BIGINT NOT NULL DEFAULT 0",
        "ALTER TABLE attempts ADD COLUMN ends INTEGER NOT NULL DEFAULT 0",
        "ALTER TABLE attempts ADD COLUMN key_hash TEXT NOT NULL DEFAULT ''",
        "CREATE INDEX attempts_ending ON attempts (state, ends)",
        "ALTER TABLE games ADD COLUMN fingerprint TEXT NOT NULL DEFAULT ''",
        "CREATE INDEX games_by_fingerprint ON games (board, fingerprint)",
        "ALTER TABLE players ADD COLUMN skeleton TEXT NOT NULL DEFAULT ''",
        "CREATE INDEX players_by_skeleton ON players (skeleton)",
    },
    // 5: what the list of games being played shows of each (its level and score as last
    // verified, its lives once it ends); an ended attempt's batches, kept a while for those who
    // watch it (leftover until the housekeeping drops them); how many watch each game on each
    // server.
    {
        "ALTER TABLE attempts ADD COLUMN level INTEGER NOT NULL DEFAULT 0",
        "ALTER TABLE attempts ADD COLUMN score INTEGER NOT NULL DEFAULT 0",
        "ALTER TABLE attempts ADD COLUMN lives INTEGER NOT NULL DEFAULT 0",
        "ALTER TABLE attempts ADD COLUMN leftover INTEGER NOT NULL DEFAULT 0",
        "CREATE INDEX attempts_leftover ON attempts (leftover, seen)",
        "CREATE TABLE watchers ("
        " server TEXT NOT NULL,"
        " attempt BIGINT NOT NULL,"
        " watchers INTEGER NOT NULL,"
        " PRIMARY KEY (server, attempt))",
        "CREATE INDEX watchers_by_attempt ON watchers (attempt)",
    },
};
inline const int kVersion = static_cast<int>(kSteps.size());

// The row numbering of each engine, for ID above.
constexpr const char* kSqliteId = "INTEGER PRIMARY KEY AUTOINCREMENT";
constexpr const char* kPostgresId = "BIGINT GENERATED ALWAYS AS IDENTITY PRIMARY KEY";

constexpr const char* kColumns =
    "id, name, score, level, lives, ticks, submitted, board, day, hidden";
// Rank on a board: one plus the games ahead, by score, then ticks, then submission, then number.
// Hidden games are on no board: they rank nowhere and count for nothing.
constexpr const char* kRank =
    "SELECT (SELECT COUNT(*) FROM games WHERE board = $5 AND day = $6 AND hidden = 0 AND"
    " score > $1)"
    " + (SELECT COUNT(*) FROM games WHERE board = $5 AND day = $6 AND hidden = 0 AND"
    " score = $1 AND"
    " (ticks < $2 OR (ticks = $2 AND (submitted < $3 OR (submitted = $3 AND id < $4))))) + 1";
constexpr const char* kPage =
    "SELECT id, name, score, level, lives, ticks, submitted, board, day, hidden FROM games"
    " WHERE board = $1 AND day = $2 AND hidden = 0 ORDER BY score DESC, ticks, submitted, id"
    " LIMIT $3 OFFSET $4";

}  // namespace schema
