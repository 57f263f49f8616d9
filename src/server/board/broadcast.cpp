#include "server/board/broadcast.h"

#include <algorithm>

#include "server/board/feed.h"
#include "server/limits.h"

Broadcast::Broadcast(Store& s) : store(s) {}

std::shared_ptr<Watcher> Broadcast::watch(long long id, int from, const std::string& client,
                                          Refused& refused, bool& first) {
    std::lock_guard<std::mutex> lock(mutex);
    const auto too_many = [&refused](const std::string& why) {
        refused = Refused{Refusal::kTooMany, why};
        return nullptr;
    };
    if (total >= limits::kWatchers) {
        return too_many("the server has as many watchers as it takes: try again later");
    }
    if (by_client[client] >= limits::kWatchersPerAddress) {
        return too_many("more than " + std::to_string(limits::kWatchersPerAddress) +
                        " games are watched from this address");
    }
    std::shared_ptr<Feed>& feed = feeds[id];
    first = !feed;
    if (!feed) {
        feed = std::make_shared<Feed>(id);
    }
    std::lock_guard<std::mutex> feed_lock(feed->mutex);
    feed->places.erase(std::remove_if(feed->places.begin(), feed->places.end(),
                                      [](const std::weak_ptr<Place>& p) { return p.expired(); }),
                       feed->places.end());
    if (feed->places.size() >= limits::kWatchersPerGame) {
        return too_many("the game has as many watchers as it takes here");
    }
    auto place = std::make_shared<Place>();
    place->client = client;
    place->position = place->position_seen = std::max(0, from);
    place->sent_at = steady_ms();
    feed->places.push_back(place);
    ++by_client[client];
    ++total;
    return std::make_shared<Watcher>(*this, feed, place, store);
}

void Broadcast::left(const std::string& client) {
    std::lock_guard<std::mutex> lock(mutex);
    const auto it = by_client.find(client);
    if (it != by_client.end() && --it->second == 0) {
        by_client.erase(it);
    }
    --total;
}

bool Broadcast::watched(long long id) {
    std::lock_guard<std::mutex> lock(mutex);
    return feeds.count(id) != 0;
}

std::vector<long long> Broadcast::games() {
    std::lock_guard<std::mutex> lock(mutex);
    std::vector<long long> ids;
    for (const auto& [id, feed] : feeds) {
        ids.push_back(id);
    }
    return ids;
}

void Broadcast::update(long long id, const std::function<bool(Feed&)>& change) {
    std::shared_ptr<Feed> feed;
    {
        std::lock_guard<std::mutex> lock(mutex);
        const auto it = feeds.find(id);
        if (it == feeds.end()) {
            return;  // nobody watches it here
        }
        feed = it->second;
    }
    Wakes wakes;
    std::vector<std::shared_ptr<Place>> held;  // let go with no lock held
    {
        std::lock_guard<std::mutex> lock(feed->mutex);
        if (!change(*feed)) {
            return;
        }
        for (const std::weak_ptr<Place>& w : feed->places) {
            if (std::shared_ptr<Place> p = w.lock()) {
                wake_later(*p, false, wakes);
                held.push_back(std::move(p));
            }
        }
    }
    wake_now(wakes);
}

void Broadcast::publish(long long id, int n, std::shared_ptr<const std::string> lines) {
    update(id, [n, &lines](Feed& feed) {
        if (n < feed.verified) {
            return false;  // played here already
        }
        if (n > feed.verified) {
            feed.window.clear();  // the feed starts where the game stands
        }
        if (feed.window.empty()) {
            feed.first = n;
        }
        feed.window.push_back(std::move(lines));
        if (feed.window.size() > static_cast<size_t>(limits::kFeedBatches)) {
            feed.window.pop_front();
            ++feed.first;
        }
        feed.verified = n + 1;
        return true;
    });
}

void Broadcast::played_to(long long id, int n) {
    update(id, [n](Feed& feed) {
        if (n <= feed.verified) {
            return false;
        }
        feed.window.clear();
        feed.first = feed.verified = n;
        return true;
    });
}

void Broadcast::end(long long id, const WatchedEnd& end) {
    update(id, [&end](Feed& feed) {
        if (feed.end) {
            return false;
        }
        feed.end = std::make_shared<const WatchedEnd>(end);
        return true;
    });
}

std::vector<std::pair<long long, long long>> Broadcast::tick() {
    const long long now = steady_ms();
    std::vector<std::shared_ptr<Feed>> all;
    {
        std::lock_guard<std::mutex> lock(mutex);
        for (const auto& [id, feed] : feeds) {
            all.push_back(feed);
        }
    }
    std::vector<std::pair<long long, long long>> changed;
    std::vector<long long> unwatched;
    for (const std::shared_ptr<Feed>& feed : all) {
        Wakes wakes;
        std::vector<std::shared_ptr<Place>> held;
        long long count = 0;
        long long dropped_now = 0;
        {
            std::lock_guard<std::mutex> lock(feed->mutex);
            for (const std::weak_ptr<Place>& w : feed->places) {
                std::shared_ptr<Place> p = w.lock();
                if (!p || p->closed) {
                    continue;
                }
                ++count;
                const bool stalled = p->position == p->position_seen;
                if (!p->ended && !p->gone && stalled &&
                    feed->verified - p->position > limits::kWatcherBehind) {
                    p->gone = true;
                    p->gone_why = "the watcher fell too far behind the game";
                    wake_later(*p, true, wakes);
                    ++dropped_now;
                } else if (p->waiting && now - p->sent_at >= limits::kKeepAliveMs) {
                    p->keep_alive = true;
                    wake_later(*p, false, wakes);
                }
                p->position_seen = p->position;
                held.push_back(std::move(p));
            }
        }
        wake_now(wakes);
        std::lock_guard<std::mutex> lock(mutex);
        dropped_total += dropped_now;
        long long& told = counted[feed->id];
        if (told != count) {
            changed.emplace_back(feed->id, count);
            told = count;
        }
        if (count == 0) {
            counted.erase(feed->id);
            unwatched.push_back(feed->id);
        }
    }
    std::lock_guard<std::mutex> lock(mutex);
    for (long long id : unwatched) {
        const auto it = feeds.find(id);
        if (it == feeds.end()) {
            continue;
        }
        std::lock_guard<std::mutex> feed_lock(it->second->mutex);
        const bool empty = std::all_of(it->second->places.begin(), it->second->places.end(),
                                       [](const std::weak_ptr<Place>& p) { return p.expired(); });
        if (empty) {
            feeds.erase(it);
        }
    }
    return changed;
}

size_t Broadcast::watchers() {
    std::lock_guard<std::mutex> lock(mutex);
    return total;
}

long long Broadcast::dropped() {
    std::lock_guard<std::mutex> lock(mutex);
    return dropped_total;
}
