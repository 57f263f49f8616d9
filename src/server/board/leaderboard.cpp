#include "server/board/leaderboard.h"

#include <chrono>
#include <cstdio>

Leaderboard::Leaderboard(Store& store_, const Attempts::Rules& rules)
    : store(store_),
      players(store_),
      attempts(store_, players, rules),
      sweeper([this] { housekeeping(); }) {}

Leaderboard::~Leaderboard() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    wake.notify_all();
    sweeper.join();
}

void Leaderboard::housekeeping() {
    std::unique_lock<std::mutex> lock(mutex);
    for (int round = 1;
         !wake.wait_for(lock, std::chrono::milliseconds(250), [this] { return stopping; });
         ++round) {
        lock.unlock();
        try {
            store.tidy();
            if (round % 4 == 0) {
                attempts.sweep();
            }
        } catch (const StoreError& e) {
            std::fprintf(stderr, "velmora-server: housekeeping: %s\n", e.what());
        }
        lock.lock();
    }
}
