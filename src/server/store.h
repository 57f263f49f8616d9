// Where the leaderboard keeps its games: one small interface, two engines (SQLite for one
// machine, PostgreSQL for any number of servers sharing one table), the same schema on both,
// created and migrated by the server. Every statement is prepared; every write is one
// transaction; each engine keeps a few connections for the server's threads to share.
#pragma once

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

// A game as the table holds it.
struct Entry {
    long long id = 0;
    std::string name;
    int score = 0;
    int level = 0;
    int lives = 0;
    long long ticks = 0;    // of the ranked game
    std::string submitted;  // UTC, "2026-12-07T20:11:03.123456Z"
    long long rank = 0;     // 1 for the best: higher score, then fewer ticks, then earlier
};

// A verified game to keep.
struct NewGame {
    std::string content_hash;  // SHA-256 of the recording, in hex: one row per recording
    std::string name;
    int score;
    int level;
    int lives;
    long long ticks;
    std::string submitted;
    std::string recording;
};

// The database failed in the middle of a call (gone, full, refusing): the request gets a 500,
// the server goes on.
struct StoreError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class Store {
  public:
    virtual ~Store() = default;

    // Keeps `game` unless a recording with its content is kept already (on any server):
    // either way the entry as kept, and whether this call added it.
    virtual std::pair<Entry, bool> add(const NewGame& game) = 0;
    virtual std::optional<Entry> entry(long long id) = 0;
    virtual std::optional<std::string> recording(long long id) = 0;
    // Games kept in all.
    virtual long long total() = 0;
    // `limit` entries from rank offset + 1 on, best first.
    virtual std::vector<Entry> page(int limit, long long offset) = 0;
    // Whether the database answers.
    virtual bool healthy() = 0;
};

// "sqlite:PATH" or "postgresql://USER@HOST:PORT/DB" (anything libpq takes after
// "postgresql://"), with `connections` connections. Null, with `error`, if it cannot be opened
// or its schema made.
std::unique_ptr<Store> open_store(const std::string& url, int connections, std::string& error);

// SHA-256 of `bytes`, 64 lowercase hex digits.
std::string content_hash(const std::string& bytes);
// Now, as the table writes it.
std::string utc_now();
