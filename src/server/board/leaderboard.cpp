#include "server/board/leaderboard.h"

#include <chrono>
#include <cstdio>
#include <sstream>

#include "server/board/dealer.h"

Leaderboard::Leaderboard(Store& store_, const Attempts::Rules& rules)
    : store(store_),
      players(store_),
      broadcast(store_),
      attempts(store_, players, broadcast, rules) {
    // A name of its own in its news, for as long as it runs (nothing is kept before the board
    // is wired, so nothing has said anything yet).
    store.announce_as(random_hex(8));
    std::string error;
    news = store.news_about_batches(error);
    if (!error.empty()) {
        throw StoreError("cannot hear the other servers' news: " + error);
    }
    if (news) {
        listener = std::thread([this] { hear_news(*news); });
    }
    sweeper = std::thread([this] { housekeeping(); });
}

Leaderboard::~Leaderboard() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    wake.notify_all();
    sweeper.join();
    if (listener.joinable()) {
        listener.join();
    }
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

void Leaderboard::hear_news(SqlListener& heard) {
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (stopping) {
                return;
            }
        }
        bool lost = false;
        const std::vector<std::string> said = heard.wait(250, lost);
        if (lost) {
            attempts.follow_all();
        }
        for (const std::string& news : said) {
            for (const auto& [id, n] : news_of(news, store.announced_as())) {
                attempts.follow(id, n);
            }
        }
    }
}

std::vector<std::pair<long long, int>> news_of(const std::string& news, const std::string& self) {
    std::vector<std::pair<long long, int>> out;
    std::istringstream words(news);
    std::string server;
    std::string word;
    if (!(words >> server) || server == self) {
        return out;
    }
    while (words >> word) {
        const size_t colon = word.find(':');
        if (colon == std::string::npos) {
            continue;
        }
        const long long id = std::atoll(word.c_str());
        const std::string batch = word.substr(colon + 1);
        out.emplace_back(id, batch == "end" ? -1 : std::atoi(batch.c_str()));
    }
    return out;
}
