// The two databases as the store uses them. A connection runs SQL with $1, $2 ... parameters
// and answers with rows of text (NULL comes back as ""); each statement is prepared once per
// connection. SQLite (one file, one machine) and PostgreSQL (any number of servers) each fill
// it in, so the store's SQL is written once, in what both understand. Every failure throws
// StoreError: the request gets a 500 and the server goes on.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

// The database failed in the middle of a call (gone, full, refusing).
struct StoreError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A parameter: text, or a whole number (which SQLite keeps and compares as one).
struct SqlValue {
    SqlValue(std::string t) : text(std::move(t)) {}
    SqlValue(const char* t) : text(t) {}
    SqlValue(long long n) : text(std::to_string(n)), whole(true) {}
    SqlValue(int n) : SqlValue(static_cast<long long>(n)) {}
    SqlValue(unsigned n) : SqlValue(static_cast<long long>(n)) {}
    std::string text;
    bool whole = false;
};

using SqlRow = std::vector<std::string>;

class SqlConnection {
  public:
    enum class Engine { kSqlite, kPostgres };
    virtual ~SqlConnection() = default;

    virtual Engine engine() const = 0;
    // Runs one statement; the rows it answers with.
    virtual std::vector<SqlRow> run(const std::string& sql,
                                    const std::vector<SqlValue>& params = {}) = 0;
    // Rows the last statement inserted, changed or deleted.
    virtual long long changed() = 0;
    // Opens a transaction that will write (SQLite takes the write lock at once, so a
    // transaction never fails half way for it). A durable one is on disk once committed, even
    // across a power cut; any other only once a later durable one is, or the database has
    // flushed it itself (a process killed loses neither).
    virtual void begin(bool durable) = 0;
    // Ends the transaction begin opened.
    virtual void commit() { run("COMMIT"); }
    virtual void rollback() { run("ROLLBACK"); }
    // Called as the connection goes back to the pool: a broken one is made anew.
    virtual void recover() {}
    // Housekeeping out of the requests' way, once a second: SQLite copies its write-ahead log
    // into the database here rather than in whichever commit finds the log long.
    virtual void tidy() {}
};

// What other servers say on a channel (PostgreSQL's LISTEN and NOTIFY), heard on a connection
// of its own.
class SqlListener {
  public:
    virtual ~SqlListener() = default;
    // What was said since the last call, waiting up to `timeout_ms` for something. A connection
    // lost is made again; what was said meanwhile is lost, and `lost` says so.
    virtual std::vector<std::string> wait(int timeout_ms, bool& lost) = 0;
};

// "sqlite:PATH" or "postgresql://..." (anything libpq takes); null, with `error`, if it cannot be
// opened.
std::unique_ptr<SqlConnection> open_sqlite(const std::string& path, std::string& error);
std::unique_ptr<SqlConnection> open_postgres(const std::string& url, std::string& error);
std::unique_ptr<SqlListener> listen_postgres(const std::string& url, const std::string& channel,
                                             std::string& error);
// A consistent copy of the SQLite database at `path` in `file` (made anew), taken while others
// write to it (SQLite's online backup); false, with `error`, if it cannot be made.
bool sqlite_backup(const std::string& path, const std::string& file, std::string& error);

// A few connections for the server's threads to share, one thread a connection at a time.
class SqlPool {
  public:
    explicit SqlPool(std::vector<std::unique_ptr<SqlConnection>> all) : idle(std::move(all)) {}

    // A connection borrowed for one call, back in the pool when it goes.
    class Lease {
      public:
        explicit Lease(SqlPool& pool);
        ~Lease();
        Lease(const Lease&) = delete;
        Lease& operator=(const Lease&) = delete;
        SqlConnection* operator->() { return connection.get(); }
        SqlConnection& operator*() { return *connection; }

      private:
        SqlPool& pool;
        std::unique_ptr<SqlConnection> connection;
    };

  private:
    std::mutex mutex;
    std::condition_variable returned;
    std::vector<std::unique_ptr<SqlConnection>> idle;
};

// One transaction on a leased connection: committed by commit(), rolled back if it goes first
// (an exception on the way).
class SqlTransaction {
  public:
    explicit SqlTransaction(SqlConnection& c, bool durable = true) : connection(c) {
        connection.begin(durable);
    }
    ~SqlTransaction();
    SqlTransaction(const SqlTransaction&) = delete;
    SqlTransaction& operator=(const SqlTransaction&) = delete;
    void commit();

  private:
    SqlConnection& connection;
    bool done = false;
};

// A whole number from a row's text (0 for NULL).
long long whole(const std::string& text);
