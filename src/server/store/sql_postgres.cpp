// PostgreSQL under the store, through libpq: any number of servers share one database and keep
// nothing of their own. Statements are prepared on a connection the first time it runs them; a
// connection found broken as it goes back to the pool is made anew, its statements with it.
#include <libpq-fe.h>
#include <poll.h>

#include <chrono>
#include <thread>
#include <unordered_map>

#include "server/store/sql.h"

namespace {

// A result, cleared when it goes.
class Result {
  public:
    explicit Result(PGresult* r) : result(r) {}
    ~Result() { PQclear(result); }
    Result(const Result&) = delete;
    Result& operator=(const Result&) = delete;

    bool ok() const {
        const ExecStatusType s = PQresultStatus(result);
        return s == PGRES_COMMAND_OK || s == PGRES_TUPLES_OK;
    }
    PGresult* get() const { return result; }

  private:
    PGresult* result;
};

class PostgresConnection : public SqlConnection {
  public:
    explicit PostgresConnection(PGconn* db_) : db(db_) {}
    ~PostgresConnection() override { PQfinish(db); }

    Engine engine() const override { return Engine::kPostgres; }

    std::vector<SqlRow> run(const std::string& sql, const std::vector<SqlValue>& params) override {
        const std::string& name = prepared_name(sql, static_cast<int>(params.size()));
        std::vector<const char*> values;
        for (const SqlValue& v : params) {
            values.push_back(v.text.c_str());
        }
        Result r(PQexecPrepared(db, name.c_str(), static_cast<int>(values.size()), values.data(),
                                nullptr, nullptr, 0));
        if (!r.ok()) {
            throw StoreError(PQerrorMessage(db));
        }
        const char* tuples = PQcmdTuples(r.get());
        last_changed = tuples[0] != '\0' ? std::atoll(tuples) : 0;
        std::vector<SqlRow> rows(static_cast<size_t>(PQntuples(r.get())));
        for (int row = 0; row < PQntuples(r.get()); ++row) {
            for (int col = 0; col < PQnfields(r.get()); ++col) {
                rows[row].emplace_back(PQgetvalue(r.get(), row, col),
                                       static_cast<size_t>(PQgetlength(r.get(), row, col)));
            }
        }
        return rows;
    }

    long long changed() override { return last_changed; }

    void begin(bool durable) override {
        run("BEGIN", {});
        if (!durable) {  // the commit does not wait for the write-ahead log to reach the disk
            run("SET LOCAL synchronous_commit = off", {});
        }
    }

    void recover() override {
        if (PQstatus(db) != CONNECTION_OK) {
            PQreset(db);
            names.clear();
        }
    }

  private:
    const std::string& prepared_name(const std::string& sql, int parameters) {
        auto it = names.find(sql);
        if (it == names.end()) {
            const std::string name = "s" + std::to_string(names.size());
            Result r(PQprepare(db, name.c_str(), sql.c_str(), parameters, nullptr));
            if (!r.ok()) {
                throw StoreError(std::string(PQerrorMessage(db)) + " in: " + sql.substr(0, 80));
            }
            it = names.emplace(sql, name).first;
        }
        return it->second;
    }

    PGconn* db;
    std::unordered_map<std::string, std::string> names;  // SQL to the name it was prepared as
    long long last_changed = 0;
};

// A connection that LISTENs on one channel and does nothing else.
class PostgresListener : public SqlListener {
  public:
    PostgresListener(PGconn* db_, std::string channel_) : db(db_), channel(std::move(channel_)) {}
    ~PostgresListener() override { PQfinish(db); }

    bool listen() {
        char* quoted = PQescapeIdentifier(db, channel.c_str(), channel.size());
        if (quoted == nullptr) {
            return false;
        }
        Result r(PQexec(db, (std::string("LISTEN ") + quoted).c_str()));
        PQfreemem(quoted);
        return r.ok();
    }

    std::vector<std::string> wait(int timeout_ms, bool& lost) override {
        lost = false;
        std::vector<std::string> heard;
        if (PQstatus(db) != CONNECTION_OK) {
            // Made again, at most once a wait: what was said while it was away is lost.
            std::this_thread::sleep_for(std::chrono::milliseconds(timeout_ms));
            PQreset(db);
            lost = PQstatus(db) == CONNECTION_OK && listen();
            return heard;
        }
        pollfd ready{PQsocket(db), POLLIN, 0};
        if (poll(&ready, 1, timeout_ms) > 0 && PQconsumeInput(db) == 0) {
            return heard;  // the connection broke: the next wait makes it again
        }
        while (PGnotify* n = PQnotifies(db)) {
            heard.emplace_back(n->extra);
            PQfreemem(n);
        }
        return heard;
    }

  private:
    PGconn* db;
    const std::string channel;
};

PGconn* connect(const std::string& url, std::string& error) {
    PGconn* db = PQconnectdb(url.c_str());
    // The server's notices ("already exists, skipping") are no news to its log.
    PQsetNoticeProcessor(
        db, [](void*, const char*) {}, nullptr);
    if (PQstatus(db) != CONNECTION_OK) {
        error = PQerrorMessage(db);
        while (!error.empty() && error.back() == '\n') {
            error.pop_back();
        }
        PQfinish(db);
        return nullptr;
    }
    return db;
}

}  // namespace

std::unique_ptr<SqlListener> listen_postgres(const std::string& url, const std::string& channel,
                                             std::string& error) {
    PGconn* db = connect(url, error);
    if (db == nullptr) {
        return nullptr;
    }
    auto listener = std::make_unique<PostgresListener>(db, channel);
    if (!listener->listen()) {
        error = "cannot LISTEN on " + channel;
        return nullptr;
    }
    return listener;
}

std::unique_ptr<SqlConnection> open_postgres(const std::string& url, std::string& error) {
    PGconn* db = connect(url, error);
    return db != nullptr ? std::make_unique<PostgresConnection>(db) : nullptr;
}
