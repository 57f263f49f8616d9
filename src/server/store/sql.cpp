#include "server/store/sql.h"

#include <cstdlib>

SqlPool::Lease::Lease(SqlPool& p) : pool(p) {
    std::unique_lock<std::mutex> lock(pool.mutex);
    pool.returned.wait(lock, [this] { return !pool.idle.empty(); });
    connection = std::move(pool.idle.back());
    pool.idle.pop_back();
}

SqlPool::Lease::~Lease() {
    connection->recover();
    std::lock_guard<std::mutex> lock(pool.mutex);
    pool.idle.push_back(std::move(connection));
    pool.returned.notify_one();
}

SqlTransaction::~SqlTransaction() {
    if (!done) {
        try {
            connection.rollback();
        } catch (const StoreError&) {
            // a connection that broke mid-transaction has none to roll back
        }
    }
}

void SqlTransaction::commit() {
    done = true;
    connection.commit();
}

long long whole(const std::string& text) {
    return std::atoll(text.c_str());
}
