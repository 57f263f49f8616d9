// The board as one: its store, its players and names, its live attempts, wired once
// (main.cpp), with a housekeeping thread of its own: the database tidied four times a second,
// silent attempts expired once a second.
#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

#include "server/board/attempts.h"
#include "server/board/players.h"
#include "server/store/store.h"

class Leaderboard {
  public:
    // The store is only pointed to and outlives the board.
    Leaderboard(Store& store, const Attempts::Rules& rules);
    // Stops the housekeeping; the attempts' verifiers finish what they took.
    ~Leaderboard();
    Leaderboard(const Leaderboard&) = delete;
    Leaderboard& operator=(const Leaderboard&) = delete;

    Store& store;
    Players players;
    Attempts attempts;

  private:
    void housekeeping();

    std::mutex mutex;
    std::condition_variable wake;
    bool stopping = false;
    std::thread sweeper;  // last: started once the rest is there
};
