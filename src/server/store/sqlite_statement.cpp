#include "server/store/sqlite_statement.h"

bool exec(sqlite3* db, const std::string& sql, std::string& error) {
    char* message = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
        error = message != nullptr ? message : "unknown error";
        sqlite3_free(message);
        return false;
    }
    return true;
}
