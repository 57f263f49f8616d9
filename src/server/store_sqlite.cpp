// The store on SQLite: one database file, in WAL mode so that readers never wait for the
// writer, with a busy timeout so that two writers (two servers on one file) take turns, and
// BEGIN IMMEDIATE for every write so that a transaction never fails half way for a lock.
#include <sqlite3.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "server/schema.h"
#include "server/sqlite_statement.h"
#include "server/store.h"
#include "server/store_engines.h"

namespace {

constexpr int kBusyTimeoutMs = 5000;

// One connection and its statements.
struct Connection {
    explicit Connection(sqlite3* db_)
        : db(db_),
          begin(db, "BEGIN IMMEDIATE"),
          commit(db, "COMMIT"),
          rollback(db, "ROLLBACK"),
          insert(db,
                 "INSERT INTO games (content_hash, name, score, level, lives, ticks, submitted)"
                 " VALUES ($1, $2, $3, $4, $5, $6, $7) ON CONFLICT (content_hash) DO NOTHING"),
          insert_recording(db, "INSERT INTO recordings (game_id, body) VALUES ($1, $2)"),
          count_up(db, "UPDATE stats SET total = total + 1"),
          by_hash(db, (std::string("SELECT ") + schema::kColumns +
                       " FROM games WHERE content_hash = $1")
                          .c_str()),
          by_id(db,
                (std::string("SELECT ") + schema::kColumns + " FROM games WHERE id = $1").c_str()),
          body(db, "SELECT body FROM recordings WHERE game_id = $1"),
          rank(db, schema::kRank),
          page(db, schema::kPage),
          total(db, "SELECT total FROM stats") {}
    ~Connection() { sqlite3_close_v2(db); }  // closes once the statements below are gone

    bool ok() const {
        return begin.ok() && commit.ok() && rollback.ok() && insert.ok() && insert_recording.ok() &&
               count_up.ok() && by_hash.ok() && by_id.ok() && body.ok() && rank.ok() && page.ok() &&
               total.ok();
    }

    sqlite3* db;
    Statement begin, commit, rollback, insert, insert_recording, count_up, by_hash, by_id, body,
        rank, page, total;
};

Entry entry_of(const Statement& s) {
    Entry e;
    e.id = s.integer(0);
    e.name = s.text(1);
    e.score = static_cast<int>(s.integer(2));
    e.level = static_cast<int>(s.integer(3));
    e.lives = static_cast<int>(s.integer(4));
    e.ticks = s.integer(5);
    e.submitted = s.text(6);
    return e;
}

// The schema, made or brought up to date.
bool migrate(sqlite3* db, std::string& error) {
    if (!exec(db, "BEGIN IMMEDIATE", error)) {
        return false;
    }
    int version = 0;
    bool ok =
        exec(db, "CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)", error);
    if (ok) {
        Statement read(db, "SELECT MAX(version) FROM schema_version");
        ok = read.ok() && read.step() == SQLITE_ROW;
        version = ok ? static_cast<int>(read.integer(0)) : 0;
    }
    if (ok && version < 1) {
        for (const char* statement : schema::kVersion1) {
            std::string sql = statement;
            const size_t id = sql.find(" ID,");
            if (id != std::string::npos) {
                sql.replace(id + 1, 2, schema::kSqliteId);
            }
            ok = ok && exec(db, sql, error);
        }
        ok = ok && exec(db, "INSERT INTO schema_version (version) VALUES (1)", error);
    }
    if (version > schema::kVersion) {
        error = "the database's schema (version " + std::to_string(version) +
                ") is newer than this server's";
        ok = false;
    }
    std::string ignored;
    return ok ? exec(db, "COMMIT", error) : (exec(db, "ROLLBACK", ignored), false);
}

class SqliteStore : public Store {
  public:
    SqliteStore(std::vector<std::unique_ptr<Connection>> all) : idle(std::move(all)) {}

    std::pair<Entry, bool> add(const NewGame& game) override {
        Lease c(*this);
        bool added = false;
        c->begin.step();
        c->begin.reset();
        c->insert.bind(1, game.content_hash).bind(2, game.name).bind(3, game.score);
        c->insert.bind(4, game.level).bind(5, game.lives).bind(6, game.ticks);
        c->insert.bind(7, game.submitted);
        bool ok = c->insert.step() == SQLITE_DONE;
        c->insert.reset();
        if (ok && sqlite3_changes(c->db) == 1) {
            added = true;
            c->insert_recording.bind(1, sqlite3_last_insert_rowid(c->db)).bind(2, game.recording);
            ok = c->insert_recording.step() == SQLITE_DONE;
            c->insert_recording.reset();
            ok = ok && c->count_up.step() == SQLITE_DONE;
            c->count_up.reset();
        }
        Statement& end = ok ? c->commit : c->rollback;
        ok = end.step() == SQLITE_DONE && ok;
        end.reset();
        if (!ok) {
            throw StoreError(std::string("cannot keep the game: ") + sqlite3_errmsg(c->db));
        }
        c->by_hash.bind(1, game.content_hash);
        const bool found = c->by_hash.step() == SQLITE_ROW;
        Entry e = found ? entry_of(c->by_hash) : Entry{};
        c->by_hash.reset();
        if (!found) {
            throw StoreError("the game just kept cannot be read back");
        }
        e.rank = rank_of(*c, e);
        return {e, added};
    }

    std::optional<Entry> entry(long long id) override {
        Lease c(*this);
        c->by_id.bind(1, id);
        const int result = c->by_id.step();
        std::optional<Entry> e;
        if (result == SQLITE_ROW) {
            e = entry_of(c->by_id);
        }
        c->by_id.reset();
        check(result, *c);
        if (e) {
            e->rank = rank_of(*c, *e);
        }
        return e;
    }

    std::optional<std::string> recording(long long id) override {
        Lease c(*this);
        c->body.bind(1, id);
        const int result = c->body.step();
        std::optional<std::string> body;
        if (result == SQLITE_ROW) {
            body = c->body.text(0);
        }
        c->body.reset();
        check(result, *c);
        return body;
    }

    long long total() override {
        Lease c(*this);
        const int result = c->total.step();
        const long long n = result == SQLITE_ROW ? c->total.integer(0) : 0;
        c->total.reset();
        check(result, *c);
        return n;
    }

    std::vector<Entry> page(int limit, long long offset) override {
        Lease c(*this);
        std::vector<Entry> out;
        c->page.bind(1, limit).bind(2, offset);
        int result;
        while ((result = c->page.step()) == SQLITE_ROW) {
            out.push_back(entry_of(c->page));
            out.back().rank = offset + static_cast<long long>(out.size());
        }
        c->page.reset();
        check(result, *c);
        return out;
    }

    bool healthy() override {
        Lease c(*this);
        std::string error;
        return exec(c->db, "SELECT 1", error);
    }

  private:
    // A connection borrowed for one call.
    class Lease {
      public:
        explicit Lease(SqliteStore& s) : store(s) {
            std::unique_lock<std::mutex> lock(store.mutex);
            store.returned.wait(lock, [this] { return !store.idle.empty(); });
            connection = std::move(store.idle.back());
            store.idle.pop_back();
        }
        ~Lease() {
            std::lock_guard<std::mutex> lock(store.mutex);
            store.idle.push_back(std::move(connection));
            store.returned.notify_one();
        }
        Connection* operator->() { return connection.get(); }
        Connection& operator*() { return *connection; }

      private:
        SqliteStore& store;
        std::unique_ptr<Connection> connection;
    };

    static void check(int result, const Connection& c) {
        if (result != SQLITE_ROW && result != SQLITE_DONE) {
            throw StoreError(sqlite3_errmsg(c.db));
        }
    }

    static long long rank_of(Connection& c, const Entry& e) {
        c.rank.bind(1, e.score).bind(2, e.ticks).bind(3, e.submitted).bind(4, e.id);
        const int result = c.rank.step();
        const long long rank = result == SQLITE_ROW ? c.rank.integer(0) : 0;
        c.rank.reset();
        check(result, c);
        return rank;
    }

    std::mutex mutex;
    std::condition_variable returned;
    std::vector<std::unique_ptr<Connection>> idle;
};

}  // namespace

std::unique_ptr<Store> open_sqlite_store(const std::string& path, int connections,
                                         std::string& error) {
    std::vector<std::unique_ptr<Connection>> all;
    for (int i = 0; i < connections; ++i) {
        sqlite3* db = nullptr;
        const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
        if (sqlite3_open_v2(path.c_str(), &db, flags, nullptr) != SQLITE_OK) {
            error = path + ": " + (db != nullptr ? sqlite3_errmsg(db) : "cannot open");
            sqlite3_close(db);
            return nullptr;
        }
        sqlite3_busy_timeout(db, kBusyTimeoutMs);
        // Durable on commit, even across a power cut; WAL lets the readers go on meanwhile.
        if (!exec(db, "PRAGMA journal_mode = WAL", error) ||
            !exec(db, "PRAGMA synchronous = FULL", error) ||
            !exec(db, "PRAGMA foreign_keys = ON", error) || (i == 0 && !migrate(db, error))) {
            error = path + ": " + error;
            sqlite3_close(db);
            return nullptr;
        }
        all.push_back(std::make_unique<Connection>(db));
        if (!all.back()->ok()) {
            error = path + ": " + sqlite3_errmsg(db);
            return nullptr;
        }
    }
    return std::make_unique<SqliteStore>(std::move(all));
}
