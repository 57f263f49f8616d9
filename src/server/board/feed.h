// What a broadcast and its watchers share (broadcast.cpp, watcher.cpp): a watched game's feed, and
// each watcher's place in it, both under the feed's mutex; and how waiting watchers are woken, once
// no lock is held.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "server/board/watched.h"

// A watched game on this server: its last batches, verified here (batches first.. up to
// verified - 1), and how it ended once it has.
struct Feed {
    explicit Feed(long long id_) : id(id_) {}
    const long long id;
    std::mutex mutex;
    int first = 0;
    std::deque<std::shared_ptr<const std::string>> window;
    int verified = 0;  // batches verified here: the next to come
    std::shared_ptr<const WatchedEnd> end;
    std::vector<std::weak_ptr<Place>> places;
};

// Where a watcher stands in its game, and what it waits for.
struct Place {
    std::string client;
    int position = 0;       // the next batch it is sent
    int position_seen = 0;  // at the last look for stalled watchers
    long long sent_at = 0;  // ms, when it was last sent anything
    std::deque<std::pair<int, std::shared_ptr<const std::string>>> caught;  // read ahead
    std::function<void(bool)> wake;
    bool waiting = false;  // for wake
    bool keep_alive = false;
    bool ended = false;  // sent the end, or gone
    bool gone = false;   // to be sent kGone, and why
    std::string gone_why;
    bool closed = false;
};

// Wakes to make once no lock is held: each watcher's wake, and whether it is cut.
using Wakes = std::vector<std::pair<std::function<void(bool)>, bool>>;

// A waiting watcher (with `cut`, any watcher whose connection is to close at once) to wake.
inline void wake_later(Place& p, bool cut, Wakes& wakes) {
    if ((p.waiting || cut) && p.wake && !p.closed) {
        p.waiting = false;
        wakes.emplace_back(p.wake, cut);
    }
}

inline void wake_now(const Wakes& wakes) {
    for (const auto& [wake, cut] : wakes) {
        wake(cut);
    }
}

// Milliseconds on the steady clock.
long long steady_ms();
