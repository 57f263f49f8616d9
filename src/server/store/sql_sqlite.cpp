// SQLite under the store: one database file in WAL mode, so that readers never wait for the
// writer, with a busy timeout so that two writers (two servers on one file) take turns, and
// BEGIN IMMEDIATE for every write so that a transaction never fails half way for a lock.
#include <sqlite3.h>

#include <atomic>
#include <cstdio>
#include <mutex>
#include <unordered_map>

#include "server/store/sql.h"
#include "server/store/sqlite_statement.h"

namespace {

constexpr int kBusyTimeoutMs = 5000;

class SqliteConnection : public SqlConnection {
  public:
    explicit SqliteConnection(sqlite3* db_) : db(db_) {}
    ~SqliteConnection() override {
        prepared.clear();  // statements first: the connection closes once they are gone
        sqlite3_close_v2(db);
    }

    Engine engine() const override { return Engine::kSqlite; }

    std::vector<SqlRow> run(const std::string& sql, const std::vector<SqlValue>& params) override {
        Statement& s = statement(sql);
        // SQLite takes $1, $2 ... as names and numbers them as they first appear.
        for (size_t i = 0; i < params.size(); ++i) {
            const int at = s.index_of("$" + std::to_string(i + 1));
            if (at == 0) {
                continue;
            }
            if (params[i].whole) {
                s.bind(at, std::stoll(params[i].text));
            } else {
                s.bind(at, params[i].text);
            }
        }
        std::vector<SqlRow> rows;
        int result;
        while ((result = s.step()) == SQLITE_ROW) {
            SqlRow row;
            for (int col = 0; col < s.columns(); ++col) {
                row.push_back(s.text(col));
            }
            rows.push_back(std::move(row));
        }
        s.reset();
        if (result != SQLITE_DONE) {
            throw StoreError(sqlite3_errmsg(db));
        }
        return rows;
    }

    long long changed() override { return sqlite3_changes(db); }

    void begin(bool durable) override {
        // In WAL mode a commit waits for the disk only under FULL; the next FULL one takes
        // every commit before it to the disk with it.
        // The threads of one server take turns here rather than in SQLite's busy handler,
        // which sleeps for milliseconds at a time; other processes still meet it.
        writing = std::unique_lock<std::mutex>(writers);
        if (durable != synced) {
            run(durable ? "PRAGMA synchronous = FULL" : "PRAGMA synchronous = NORMAL", {});
            synced = durable;
        }
        try {
            run("BEGIN IMMEDIATE", {});
        } catch (...) {
            writing.unlock();
            throw;
        }
    }
    void commit() override { end("COMMIT"); }
    void tidy() override {
        // A passive checkpoint copies the log into the database beside the writers; but with
        // writes coming all the time it never finds the log free to start again, and the log
        // would grow without end: now and then this one waits for the readers (the server's
        // own writers wait here meanwhile, a moment: the log was copied already), and starts
        // it again.
        if (++tidied % kRestartEvery != 0) {  // every two seconds
            run("PRAGMA wal_checkpoint(PASSIVE)", {});
            return;
        }
        std::lock_guard<std::mutex> turn(writers);
        run("PRAGMA wal_checkpoint(RESTART)", {});
    }
    void rollback() override { end("ROLLBACK"); }

  private:
    void end(const char* sql) {
        struct Unlock {
            std::unique_lock<std::mutex>& lock;
            ~Unlock() {
                if (lock.owns_lock()) {
                    lock.unlock();
                }
            }
        } unlock{writing};
        run(sql, {});
    }

    Statement& statement(const std::string& sql) {
        auto it = prepared.find(sql);
        if (it == prepared.end()) {
            auto s = std::make_unique<Statement>(db, sql.c_str());
            if (!s->ok()) {
                throw StoreError(std::string(sqlite3_errmsg(db)) + " in: " + sql.substr(0, 80));
            }
            it = prepared.emplace(sql, std::move(s)).first;
        }
        return *it->second;
    }

    sqlite3* db;
    std::unordered_map<std::string, std::unique_ptr<Statement>> prepared;
    bool synced = true;  // synchronous = FULL, as opened
    static inline std::atomic<int> tidied{0};
    static constexpr int kRestartEvery = 8;
    std::unique_lock<std::mutex> writing;  // on `writers`, from begin to commit or rollback
    static inline std::mutex writers;
};

}  // namespace

std::unique_ptr<SqlConnection> open_sqlite(const std::string& path, std::string& error) {
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
        !exec(db, "PRAGMA foreign_keys = ON", error) ||
        !exec(db, "PRAGMA wal_autocheckpoint = 0", error) ||
        !exec(db, "PRAGMA journal_size_limit = 16777216", error)) {
        error = path + ": " + error;
        sqlite3_close(db);
        return nullptr;
    }
    return std::make_unique<SqliteConnection>(db);
}

bool sqlite_backup(const std::string& path, const std::string& file, std::string& error) {
    sqlite3* from = nullptr;
    sqlite3* to = nullptr;
    const auto fail = [&](sqlite3* db) {
        error = db != nullptr ? sqlite3_errmsg(db) : "cannot open";
        sqlite3_close(from);
        sqlite3_close(to);
        return false;
    };
    if (sqlite3_open_v2(path.c_str(), &from, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        return fail(from);
    }
    sqlite3_busy_timeout(from, kBusyTimeoutMs);
    std::remove(file.c_str());
    if (sqlite3_open(file.c_str(), &to) != SQLITE_OK) {
        return fail(to);
    }
    sqlite3_backup* copy = sqlite3_backup_init(to, "main", from, "main");
    if (copy == nullptr) {
        return fail(to);
    }
    // A few pages at a time, so that the servers' writers are held up for moments only; a write
    // meanwhile starts the copy again, which ends all the same once the writes pause.
    int result;
    while ((result = sqlite3_backup_step(copy, 256)) == SQLITE_OK || result == SQLITE_BUSY ||
           result == SQLITE_LOCKED) {
        sqlite3_sleep(5);
    }
    sqlite3_backup_finish(copy);
    if (result != SQLITE_DONE) {
        return fail(to);
    }
    sqlite3_close(from);
    return sqlite3_close(to) == SQLITE_OK;
}
