// Live games passed on to those who watch them. A watched game has a feed on each server that
// has watchers of it: its last batches as this server verified them, and its watchers, each at
// its own place in the game. A watcher is sent the game from where it asked (its start, or
// where it stopped before): what the feed no longer holds is read from the database, then the
// feed's batches as they come, then how the game ended. A feed holds a few batches whatever
// its watchers do: one that falls behind and takes nothing for a second is dropped.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "server/board/refusal.h"
#include "server/board/watched.h"
#include "server/store/store.h"

struct Feed;
struct Place;
class Broadcast;

class Watcher {
  public:
    Watcher(Broadcast& broadcast, std::shared_ptr<Feed> feed, std::shared_ptr<Place> place,
            Store& store);
    // Its place among the watchers is given up.
    ~Watcher();
    Watcher(const Watcher&) = delete;
    Watcher& operator=(const Watcher&) = delete;

    // The next event, if there is one now. While there is none, `wake` is called once there is
    // (with `cut` when the watcher was dropped: its connection is to close however full).
    std::optional<WatchEvent> next();
    void on_wake(std::function<void(bool cut)> wake);
    // Its client has gone: no wake any more.
    void close();

  private:
    // Batches before the feed's own, from the database; false if none is there yet.
    bool catch_up(std::unique_lock<std::mutex>& lock);

    Broadcast& broadcast;
    const std::shared_ptr<Feed> feed;
    const std::shared_ptr<Place> place;  // guarded by the feed's mutex
    Store& store;
};

class Broadcast {
  public:
    explicit Broadcast(Store& store);

    // A new watcher of game `id` from batch `from` on, for the client at `client`; null, and
    // why, past a limit. `first` is set when the game had no watcher here: it is to be played
    // here (publish) up to its newest batch, and its end told (end).
    std::shared_ptr<Watcher> watch(long long id, int from, const std::string& client,
                                   Refused& refused, bool& first);
    bool watched(long long id);
    // The games watched here.
    std::vector<long long> games();
    // Batch `n` of game `id`, played here and found right: sent to its watchers.
    void publish(long long id, int n, std::shared_ptr<const std::string> lines);
    // Game `id`'s batches before `n` were played here and found right (their lines are in the
    // database, or soon will be): its watchers are sent them from there.
    void played_to(long long id, int n);
    // The game has ended: its watchers are sent how, after its last batch.
    void end(long long id, const WatchedEnd& end);
    // Once a second: keep-alives due, watchers stalled too far behind dropped, feeds nobody
    // watches let go. The games whose count of watchers changed since the last call, with it.
    std::vector<std::pair<long long, long long>> tick();
    // Watchers here; those dropped since the start.
    size_t watchers();
    long long dropped();

    // A watcher of `client` has gone (its destructor says so).
    void left(const std::string& client);

  private:
    // Changes the feed of game `id`, if it is watched here, under its lock: its waiting
    // watchers are woken if `change` says so.
    void update(long long id, const std::function<bool(Feed&)>& change);

    Store& store;
    std::mutex mutex;
    std::unordered_map<long long, std::shared_ptr<Feed>> feeds;
    std::unordered_map<std::string, size_t> by_client;
    std::unordered_map<long long, long long> counted;  // as tick last told them
    size_t total = 0;
    long long dropped_total = 0;
};
