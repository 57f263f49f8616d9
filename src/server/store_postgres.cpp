// The store on PostgreSQL, through libpq: any number of servers share one database and keep
// nothing of their own. One row per recording holds across servers by the unique content hash
// (the second of two inserts waits for the first and then does nothing); the schema is made by
// whichever server takes the advisory lock first.
#include <libpq-fe.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "server/schema.h"
#include "server/store.h"
#include "server/store_engines.h"

namespace {

constexpr long long kMigrationLock = 0x76656c6d6f7261;  // "velmora"

// The statements each connection prepares, by name.
struct Prepared {
    const char* name;
    std::string sql;
    int parameters;
};

const std::vector<Prepared>& statements() {
    static const std::vector<Prepared> all = {
        {"insert",
         "INSERT INTO games (content_hash, name, score, level, lives, ticks, submitted)"
         " VALUES ($1, $2, $3, $4, $5, $6, $7) ON CONFLICT (content_hash) DO NOTHING"
         " RETURNING id",
         7},
        {"insert_recording", "INSERT INTO recordings (game_id, body) VALUES ($1, $2)", 2},
        {"count_up", "UPDATE stats SET total = total + 1", 0},
        {"by_hash",
         std::string("SELECT ") + schema::kColumns + " FROM games WHERE content_hash = $1", 1},
        {"by_id", std::string("SELECT ") + schema::kColumns + " FROM games WHERE id = $1", 1},
        {"body", "SELECT body FROM recordings WHERE game_id = $1", 1},
        {"rank", schema::kRank, 4},
        {"page", schema::kPage, 2},
        {"total", "SELECT total FROM stats", 0},
    };
    return all;
}

// A result, cleared when it goes.
class Result {
  public:
    explicit Result(PGresult* r) : result(r) {}
    Result(Result&& other) noexcept : result(other.result) { other.result = nullptr; }
    ~Result() { PQclear(result); }
    Result(const Result&) = delete;
    Result& operator=(const Result&) = delete;

    bool ok() const {
        const ExecStatusType s = PQresultStatus(result);
        return s == PGRES_COMMAND_OK || s == PGRES_TUPLES_OK;
    }
    int rows() const { return PQntuples(result); }
    std::string text(int row, int col) const { return PQgetvalue(result, row, col); }
    long long integer(int row, int col) const { return std::stoll(text(row, col)); }

  private:
    PGresult* result;
};

Entry entry_of(const Result& r, int row) {
    Entry e;
    e.id = r.integer(row, 0);
    e.name = r.text(row, 1);
    e.score = static_cast<int>(r.integer(row, 2));
    e.level = static_cast<int>(r.integer(row, 3));
    e.lives = static_cast<int>(r.integer(row, 4));
    e.ticks = r.integer(row, 5);
    e.submitted = r.text(row, 6);
    return e;
}

bool command(PGconn* db, const std::string& sql, std::string& error) {
    Result r(PQexec(db, sql.c_str()));
    if (!r.ok()) {
        error = PQerrorMessage(db);
    }
    return r.ok();
}

bool migrate(PGconn* db, std::string& error) {
    bool ok =
        command(db, "BEGIN", error) &&
        command(db, "SELECT pg_advisory_xact_lock(" + std::to_string(kMigrationLock) + ")",
                error) &&
        command(db, "CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)", error);
    int version = 0;
    if (ok) {
        Result r(PQexec(db, "SELECT COALESCE(MAX(version), 0) FROM schema_version"));
        ok = r.ok() && r.rows() == 1;
        version = ok ? static_cast<int>(r.integer(0, 0)) : 0;
    }
    if (ok && version < 1) {
        for (const char* statement : schema::kVersion1) {
            std::string sql = statement;
            const size_t id = sql.find(" ID,");
            if (id != std::string::npos) {
                sql.replace(id + 1, 2, schema::kPostgresId);
            }
            ok = ok && command(db, sql, error);
        }
        ok = ok && command(db, "INSERT INTO schema_version (version) VALUES (1)", error);
    }
    if (ok && version > schema::kVersion) {
        error = "the database's schema (version " + std::to_string(version) +
                ") is newer than this server's";
        ok = false;
    }
    std::string ignored;
    return ok ? command(db, "COMMIT", error) : (command(db, "ROLLBACK", ignored), false);
}

class PostgresStore : public Store {
  public:
    explicit PostgresStore(std::vector<PGconn*> all) : idle(std::move(all)) {}
    ~PostgresStore() override {
        for (PGconn* db : idle) {
            PQfinish(db);
        }
    }

    std::pair<Entry, bool> add(const NewGame& game) override {
        Lease c(*this);
        std::string error;
        bool added = false;
        bool ok = command(c.db, "BEGIN", error);
        if (ok) {
            const std::string score = std::to_string(game.score);
            const std::string level = std::to_string(game.level);
            const std::string lives = std::to_string(game.lives);
            const std::string ticks = std::to_string(game.ticks);
            Result inserted = c.run("insert", {game.content_hash, game.name, score, level, lives,
                                               ticks, game.submitted});
            ok = inserted.ok();
            if (ok && inserted.rows() == 1) {
                added = true;
                ok = c.run("insert_recording", {inserted.text(0, 0), game.recording}).ok() &&
                     c.run("count_up", {}).ok();
            }
        }
        std::string ignored;
        ok = ok ? command(c.db, "COMMIT", error) : (command(c.db, "ROLLBACK", ignored), false);
        if (!ok) {
            throw StoreError("cannot keep the game: " + error + PQerrorMessage(c.db));
        }
        Result found = c.run("by_hash", {game.content_hash});
        if (!found.ok() || found.rows() != 1) {
            throw StoreError("the game just kept cannot be read back");
        }
        Entry e = entry_of(found, 0);
        e.rank = rank_of(c, e);
        return {e, added};
    }

    std::optional<Entry> entry(long long id) override {
        Lease c(*this);
        Result r = c.checked("by_id", {std::to_string(id)});
        if (r.rows() == 0) {
            return std::nullopt;
        }
        Entry e = entry_of(r, 0);
        e.rank = rank_of(c, e);
        return e;
    }

    std::optional<std::string> recording(long long id) override {
        Lease c(*this);
        Result r = c.checked("body", {std::to_string(id)});
        return r.rows() == 0 ? std::nullopt : std::optional<std::string>(r.text(0, 0));
    }

    long long total() override {
        Lease c(*this);
        return c.checked("total", {}).integer(0, 0);
    }

    std::vector<Entry> page(int limit, long long offset) override {
        Lease c(*this);
        Result r = c.checked("page", {std::to_string(limit), std::to_string(offset)});
        std::vector<Entry> out;
        for (int row = 0; row < r.rows(); ++row) {
            out.push_back(entry_of(r, row));
            out.back().rank = offset + row + 1;
        }
        return out;
    }

    bool healthy() override {
        Lease c(*this);
        std::string error;
        return command(c.db, "SELECT 1", error);
    }

  private:
    // A connection borrowed for one call; a broken one is reconnected on the way back.
    class Lease {
      public:
        explicit Lease(PostgresStore& s) : store(s) {
            std::unique_lock<std::mutex> lock(store.mutex);
            store.returned.wait(lock, [this] { return !store.idle.empty(); });
            db = store.idle.back();
            store.idle.pop_back();
        }
        ~Lease() {
            if (PQstatus(db) != CONNECTION_OK) {
                PQreset(db);
                prepare_all(db);
            }
            std::lock_guard<std::mutex> lock(store.mutex);
            store.idle.push_back(db);
            store.returned.notify_one();
        }
        Result run(const char* name, const std::vector<std::string>& values) {
            std::vector<const char*> params;
            for (const std::string& v : values) {
                params.push_back(v.c_str());
            }
            return Result(PQexecPrepared(db, name, static_cast<int>(params.size()), params.data(),
                                         nullptr, nullptr, 0));
        }
        Result checked(const char* name, const std::vector<std::string>& values) {
            Result r = run(name, values);
            if (!r.ok()) {
                throw StoreError(PQerrorMessage(db));
            }
            return r;
        }

        PGconn* db;

      private:
        PostgresStore& store;
    };

    static long long rank_of(Lease& c, const Entry& e) {
        return c
            .checked("rank", {std::to_string(e.score), std::to_string(e.ticks), e.submitted,
                              std::to_string(e.id)})
            .integer(0, 0);
    }

    std::mutex mutex;
    std::condition_variable returned;
    std::vector<PGconn*> idle;

  public:
    static bool prepare_all(PGconn* db) {
        for (const Prepared& p : statements()) {
            Result r(PQprepare(db, p.name, p.sql.c_str(), p.parameters, nullptr));
            if (!r.ok()) {
                return false;
            }
        }
        return true;
    }
};

}  // namespace

std::unique_ptr<Store> open_postgres_store(const std::string& url, int connections,
                                           std::string& error) {
    std::vector<PGconn*> all;
    const auto fail = [&](PGconn* db, const std::string& why) {
        error = why;
        PQfinish(db);
        for (PGconn* open : all) {
            PQfinish(open);
        }
        return nullptr;
    };
    for (int i = 0; i < connections; ++i) {
        PGconn* db = PQconnectdb(url.c_str());
        // The server's notices ("already exists, skipping") are no news to its log.
        PQsetNoticeProcessor(
            db, [](void*, const char*) {}, nullptr);
        if (PQstatus(db) != CONNECTION_OK) {
            std::string why = PQerrorMessage(db);
            while (!why.empty() && why.back() == '\n') {
                why.pop_back();
            }
            return fail(db, why);
        }
        if (i == 0 && !migrate(db, error)) {
            return fail(db, error);
        }
        if (!PostgresStore::prepare_all(db)) {
            return fail(db, PQerrorMessage(db));
        }
        all.push_back(db);
    }
    return std::make_unique<PostgresStore>(std::move(all));
}
