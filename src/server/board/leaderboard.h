// The board as one: its store, its players and names, its live attempts and those who watch
// them, wired once (main.cpp), with two threads of its own: the housekeeping (the database
// tidied four times a second, silent attempts expired and watchers counted once a second), and
// on PostgreSQL the other servers' news of the batches they keep, which the games watched here
// follow.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "server/board/attempts.h"
#include "server/board/broadcast.h"
#include "server/board/players.h"
#include "server/store/store.h"

class Leaderboard {
  public:
    // The store is only pointed to and outlives the board.
    Leaderboard(Store& store, const Attempts::Rules& rules);
    // Stops the housekeeping and the news; the attempts' verifiers finish what they took.
    ~Leaderboard();
    Leaderboard(const Leaderboard&) = delete;
    Leaderboard& operator=(const Leaderboard&) = delete;

    Store& store;
    Players players;
    Broadcast broadcast;
    Attempts attempts;

  private:
    void housekeeping();
    void hear_news(SqlListener& news);

    std::mutex mutex;
    std::condition_variable wake;
    bool stopping = false;
    std::unique_ptr<SqlListener> news;
    std::thread listener;
    std::thread sweeper;  // last: started once the rest is there
};

// "SERVER ID:BATCH ID:end ...": the attempts and batches in a piece of news (-1 for an end),
// unless SERVER is `self`.
std::vector<std::pair<long long, int>> news_of(const std::string& news, const std::string& self);
