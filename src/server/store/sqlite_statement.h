// A thin hold on SQLite's C interface: prepared statements that finalize themselves, and plain
// SQL run for its effect.
#pragma once

#include <sqlite3.h>

#include <string>

// A statement prepared once per connection, reset after each use.
class Statement {
  public:
    Statement(sqlite3* db, const char* sql) {
        if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK) {
            stmt = nullptr;
        }
    }
    ~Statement() { sqlite3_finalize(stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool ok() const { return stmt != nullptr; }
    Statement& bind(int i, long long v) {
        sqlite3_bind_int64(stmt, i, v);
        return *this;
    }
    Statement& bind(int i, const std::string& v) {
        sqlite3_bind_text(stmt, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
        return *this;
    }
    // SQLITE_ROW, SQLITE_DONE or an error.
    int step() { return sqlite3_step(stmt); }
    long long integer(int col) const { return sqlite3_column_int64(stmt, col); }
    int columns() const { return sqlite3_column_count(stmt); }
    // The place of parameter `name` ("$3"), 0 if the statement has none of that name.
    int index_of(const std::string& name) const {
        return sqlite3_bind_parameter_index(stmt, name.c_str());
    }
    std::string text(int col) const {
        const unsigned char* p = sqlite3_column_text(stmt, col);
        return p == nullptr
                   ? ""
                   : std::string(reinterpret_cast<const char*>(p), sqlite3_column_bytes(stmt, col));
    }
    void reset() {
        sqlite3_reset(stmt);
        sqlite3_clear_bindings(stmt);
    }

  private:
    sqlite3_stmt* stmt = nullptr;
};

// Runs `sql` (any number of statements); false, with SQLite's message in `error`, if it fails.
bool exec(sqlite3* db, const std::string& sql, std::string& error);
