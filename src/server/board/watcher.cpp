#include <algorithm>
#include <chrono>

#include "server/board/broadcast.h"
#include "server/board/feed.h"
#include "server/limits.h"

long long steady_ms() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

namespace {

WatchEvent gone_event(const std::string& why) {
    WatchEvent e;
    e.kind = WatchEvent::Kind::kGone;
    e.why = why;
    return e;
}

}  // namespace

Watcher::Watcher(Broadcast& b, std::shared_ptr<Feed> f, std::shared_ptr<Place> p, Store& s)
    : broadcast(b), feed(std::move(f)), place(std::move(p)), store(s) {}

Watcher::~Watcher() {
    broadcast.left(place->client);
}

void Watcher::on_wake(std::function<void(bool)> wake) {
    std::lock_guard<std::mutex> lock(feed->mutex);
    place->wake = std::move(wake);
}

void Watcher::close() {
    std::lock_guard<std::mutex> lock(feed->mutex);
    place->closed = true;
    place->wake = nullptr;
}

bool Watcher::catch_up(std::unique_lock<std::mutex>& lock) {
    Place& p = *place;
    const int upto = feed->window.empty() ? feed->verified : feed->first;
    const int from = p.position;
    const int to = std::min(upto, from + limits::kCatchUpBatches);
    lock.unlock();
    const std::vector<std::string> bodies = store.batches(feed->id, from, to);
    lock.lock();
    if (p.position != from) {
        return true;  // moved on meanwhile (it cannot, but then nothing read is needed)
    }
    for (size_t i = 0; i < bodies.size(); ++i) {
        p.caught.emplace_back(from + static_cast<int>(i),
                              std::make_shared<const std::string>(bodies[i]));
    }
    return !bodies.empty();
}

std::optional<WatchEvent> Watcher::next() {
    std::unique_lock<std::mutex> lock(feed->mutex);
    Place& p = *place;
    if (p.ended || p.closed) {
        return std::nullopt;
    }
    if (p.gone) {
        p.ended = true;
        return gone_event(p.gone_why);
    }
    const auto batch = [&p](int n, std::shared_ptr<const std::string> lines) {
        WatchEvent e;
        e.kind = WatchEvent::Kind::kBatch;
        e.batch = n;
        e.lines = std::move(lines);
        p.position = n + 1;
        p.sent_at = steady_ms();
        return e;
    };
    const int in_window = p.position - feed->first;
    if (!feed->window.empty() && in_window >= 0 &&
        in_window < static_cast<int>(feed->window.size())) {
        p.caught.clear();
        return batch(p.position, feed->window[static_cast<size_t>(in_window)]);
    }
    if (p.position < feed->verified) {
        while (!p.caught.empty() && p.caught.front().first < p.position) {
            p.caught.pop_front();
        }
        if (!p.caught.empty() || catch_up(lock)) {
            auto [n, lines] = std::move(p.caught.front());
            p.caught.pop_front();
            return batch(n, std::move(lines));
        }
        if (!feed->end) {
            p.waiting = true;  // not in the database yet: the next batch wakes it
            return std::nullopt;
        }
        // An ended game whose batches are gone: its end alone.
    }
    if (feed->end) {
        p.ended = true;
        WatchEvent e;
        e.kind = WatchEvent::Kind::kEnd;
        e.end = feed->end;
        return e;
    }
    if (p.keep_alive) {
        p.keep_alive = false;
        p.sent_at = steady_ms();
        return WatchEvent{};
    }
    p.waiting = true;
    return std::nullopt;
}
