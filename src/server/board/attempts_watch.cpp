// Attempts' games as they are kept, watched and let go: the writer's word on each batch, the
// games watched here played up to their newest batch (a game another server takes the batches
// of included), and the housekeeping of the games this server holds.
#include <cstdio>

#include "server/board/attempts.h"
#include "server/limits.h"

namespace {

// How an attempt that is over stands, as the database has it.
WatchedEnd ended_as(Store& store, const Attempt& a) {
    AttemptReply r = standing(a);
    if (a.state == AttemptState::kRanked || a.state == AttemptState::kPlayed) {
        r.outcome = Outcome{static_cast<long>(a.ticks), a.level, a.score, a.lives};
    }
    if (a.game != 0) {
        r.entry = store.entry(a.game);
    }
    return watched_end(r);
}

}  // namespace

void Attempts::written(const Store::BatchToKeep& batch) {
    std::shared_ptr<Live> live;
    {
        std::lock_guard<std::mutex> lock(mutex);
        const auto it = games.find(batch.attempt);
        if (it == games.end()) {
            return;
        }
        live = it->second;
    }
    std::lock_guard<std::mutex> lock(live->ledger_mutex);
    live->unkept.erase(batch.batch);
    if (batch.kept) {
        live->kept = std::max(live->kept, batch.batch + 1);
    } else if (live->ledger && live->ledger->batches > batch.batch) {
        // Not kept: another server took the attempt on or ended it, or the database failed.
        // What this server took of it since is not the attempt's: the ledger is read again, and
        // the game played again from what the database holds.
        live->ledger.reset();
        live->unkept.clear();
        live->stale = true;
    }
}

std::optional<Attempt> Attempts::show(long long id) {
    std::shared_ptr<Live> live;
    {
        std::lock_guard<std::mutex> lock(mutex);
        const auto it = games.find(id);
        live = it != games.end() ? it->second : nullptr;
    }
    if (live) {
        std::lock_guard<std::mutex> lock(live->ledger_mutex);
        if (live->ledger) {
            return live->ledger;
        }
    }
    return store.attempt(id);
}

std::shared_ptr<Watcher> Attempts::watch(long long id, int from, const std::string& client,
                                         Refused& refused) {
    if (!store.attempt(id)) {
        refused = Refused{Refusal::kNotFound, "no such attempt"};
        return nullptr;
    }
    bool first = false;
    std::shared_ptr<Watcher> watcher = broadcast.watch(id, from, client, refused, first);
    if (first) {
        follow(id, -1);
    }
    return watcher;
}

void Attempts::follow(long long id, int /*n*/) {
    if (!broadcast.watched(id)) {
        return;
    }
    // Whatever the news, the game is played here up to where the database has it: news lost or
    // out of order changes nothing.
    verifiers.submit([this, id] { catch_up(id); }, true);
}

void Attempts::follow_all() {
    for (long long id : broadcast.games()) {
        follow(id, -1);
    }
}

void Attempts::catch_up(long long id) {
    try {
        const std::optional<Attempt> a = store.attempt(id);
        if (!a) {
            return;
        }
        const std::shared_ptr<Live> live = live_of(id);
        std::lock_guard<std::mutex> lock(live->mutex);
        if (live->stale.exchange(false)) {
            live->game.reset();
        }
        if (!live->game || live->applied < a->batches) {
            play_to(*a, a->batches - 1, *live);
        } else {
            // Played here already (this server takes its batches): its watchers read them from
            // the database, those not kept yet once they are.
            broadcast.played_to(id, live->applied);
        }
        if (a->state != AttemptState::kLive) {
            broadcast.end(id, ended_as(store, *a));
        }
    } catch (const StoreError& e) {
        // An ended game whose batches are gone: its watchers are told how it ended.
        std::fprintf(stderr, "velmora-server: watching attempt %lld: %s\n", id, e.what());
        if (const std::optional<Attempt> a = store.attempt(id);
            a && a->state != AttemptState::kLive) {
            broadcast.end(id, ended_as(store, *a));
        }
    }
}

long long Attempts::watchers_of(long long id) const {
    std::lock_guard<std::mutex> lock(mutex);
    const auto it = watching.find(id);
    return it == watching.end() ? 0 : it->second;
}

void Attempts::sweep() {
    const long long now = rules.clock();
    // Games whose end was kept and never settled (a server went, a retry never came).
    for (const Attempt& a : store.unsettled(now - limits::kSettleAfterMs * 1000)) {
        try {
            settle(a, a.batches - 1);
        } catch (const StoreError& e) {
            std::fprintf(stderr, "velmora-server: settling attempt %lld: %s\n", a.id, e.what());
        }
    }
    const long long silence = rules.bound_ms + limits::kExpiryGraceMs;
    for (long long id : store.expire_attempts(
             now - silence * 1000,
             "nothing came for " + std::to_string(silence / 1000) + " s: the attempt expired")) {
        follow(id, -1);
    }
    store.drop_leftovers(now - limits::kLeftoverMs * 1000);
    // Who watches what: this server's counts for the others, everyone's for the answers.
    const std::vector<std::pair<long long, long long>> changed = broadcast.tick();
    if (!changed.empty()) {
        store.count_watchers(store.announced_as(), changed);
    }
    std::unordered_map<long long, long long> counts;
    for (const auto& [id, watchers] : store.watchers()) {
        counts[id] = watchers;
    }
    std::lock_guard<std::mutex> lock(mutex);
    watching = std::move(counts);
    for (auto it = games.begin(); it != games.end();) {
        Live& live = *it->second;
        bool done = false;
        {
            // One being played or taken now is not let go, nor one watched here.
            std::unique_lock<std::mutex> busy(live.mutex, std::try_to_lock);
            std::unique_lock<std::mutex> taking(live.ledger_mutex, std::try_to_lock);
            const bool over = !live.ledger || live.ledger->state != AttemptState::kLive;
            done = busy.owns_lock() && taking.owns_lock() && live.unkept.empty() &&
                   (live.used < now - silence * 1000 || (over && !live.game)) &&
                   !broadcast.watched(it->first);
        }
        it = done ? games.erase(it) : std::next(it);
    }
}
