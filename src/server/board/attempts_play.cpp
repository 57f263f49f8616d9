// Attempts' games as this server plays them: caught up from the database, played on the
// verifiers, settled at their end, let go once done.
#include <cstdio>

#include "server/board/attempts.h"
#include "server/board/dealer.h"
#include "server/board/tally.h"
#include "server/limits.h"

LiveGame::Step Attempts::play_to(const Attempt& a, int n, Live& live) {
    // From where this server's game of it stands: its batches the server has not played are in
    // the database (another server took them, or this one restarted).
    if (!live.game || live.applied > n + 1) {
        live.game = std::make_unique<LiveGame>(a.seed);
        live.applied = 0;
    }
    LiveGame::Step step{live.game->state(), "", Outcome{}};
    for (const std::string& lines : store.batches(a.id, live.applied, n + 1)) {
        step = live.game->feed(lines);
        ++live.applied;
        if (step.state != LiveGame::State::kPlaying) {
            break;
        }
    }
    if (step.state == LiveGame::State::kPlaying && live.applied != n + 1) {
        live.game.reset();
        throw StoreError("the attempt's batches are not all in the database");
    }
    return step;
}

void Attempts::verify(const Attempt& a, int n, const std::string& lines) {
    const std::shared_ptr<Live> live = live_of(a.id);
    std::lock_guard<std::mutex> lock(live->mutex);
    if (live->game && live->applied > n) {
        return;  // played already, on the way to a later batch
    }
    try {
        // The next batch of a game this server plays needs no database.
        const bool next = live->game && live->applied == n;
        const LiveGame::Step step = next ? live->game->feed(lines) : play_to(a, n, *live);
        live->applied = n + 1;
        if (step.state == LiveGame::State::kRefused) {
            const long long ticks = live->game->ticks();
            live->game.reset();
            ended(a, n, "", step, ticks, rules.clock());
        }
    } catch (const StoreError& e) {
        std::fprintf(stderr, "velmora-server: attempt %lld, batch %d: %s\n", a.id, n, e.what());
    }
}

AttemptReply Attempts::settle(const Attempt& a, int n) {
    const std::shared_ptr<Live> live = live_of(a.id);
    std::lock_guard<std::mutex> lock(live->mutex);
    const LiveGame::Step step = play_to(a, n, *live);
    const long long ticks = live->game->ticks();
    live->game.reset();
    if (step.state == LiveGame::State::kPlaying) {  // its end was not where the lines said
        return ended(a, n, "",
                     LiveGame::Step{LiveGame::State::kRefused,
                                    "the recording's last batch does not end the game", Outcome{}},
                     ticks, rules.clock());
    }
    return ended(a, n, "", step, ticks, rules.clock());
}

void Attempts::forget(long long id) {
    std::lock_guard<std::mutex> lock(mutex);
    games.erase(id);
}

AttemptReply Attempts::ended(const Attempt& a, int n, const std::string& lines,
                             const LiveGame::Step& step, long long ticks, long long now) {
    NewGame game;
    game.name = a.name;
    game.name_key = a.player;
    game.score = step.outcome.score;
    game.level = step.outcome.level;
    game.lives = step.outcome.lives;
    game.ticks = ticks;
    game.submitted = utc_now();
    game.board = a.board;
    game.day = a.day;
    Store::Ending ending{AttemptState::kRefused, step.reason, now, ticks, nullptr};
    if (step.state == LiveGame::State::kEnded) {
        ending = Store::Ending{AttemptState::kQuit, "the game was left before GAME OVER", now,
                               ticks, nullptr};
    } else if (step.state == LiveGame::State::kOver) {
        // The name is its player's once a game under it has verified.
        const Refused taken = players.hold_hashed(a.name, a.key_hash);
        ending = taken ? Store::Ending{AttemptState::kPlayed, taken.reason, now, ticks, nullptr}
                 : a.ranked ? Store::Ending{AttemptState::kRanked, "", now, ticks, &game}
                            : Store::Ending{AttemptState::kPlayed, a.reason, now, ticks, nullptr};
    }
    if (ending.state == AttemptState::kRefused) {
        Tally::board().refused(ending.reason);
    } else if (step.state == LiveGame::State::kOver) {
        Tally::board().verified();
    }
    Entry entry;
    if (!store.end_attempt(a.id, n, lines, ending, &entry)) {
        const std::optional<Attempt> now_is = store.attempt(a.id);
        AttemptReply gone = now_is ? standing(*now_is) : AttemptReply{};
        gone.refused = now_is ? Refused{Refusal::kOutOfTurn, "the attempt ended meanwhile"}
                              : Refused{Refusal::kNotFound, "no such attempt"};
        return gone;
    }
    AttemptReply out;
    out.state = ending.state;
    out.reason = ending.reason;
    out.ticks = ticks;
    if (step.state == LiveGame::State::kOver) {
        out.outcome = step.outcome;
    }
    if (entry.id != 0) {
        out.entry = entry;
    }
    return out;
}

std::shared_ptr<Attempts::Live> Attempts::live_of(long long id) {
    std::lock_guard<std::mutex> lock(mutex);
    std::shared_ptr<Live>& live = games[id];
    if (!live) {
        live = std::make_shared<Live>();
    }
    live->used = rules.clock();
    return live;
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
    store.expire_attempts(
        now - silence * 1000,
        "nothing came for " + std::to_string(silence / 1000) + " s: the attempt expired");
    std::lock_guard<std::mutex> lock(mutex);
    for (auto it = games.begin(); it != games.end();) {
        bool done = false;
        {
            // One being played now is not let go.
            std::unique_lock<std::mutex> busy(it->second->mutex, std::try_to_lock);
            done =
                busy.owns_lock() && (!it->second->game || it->second->used < now - silence * 1000);
        }
        it = done ? games.erase(it) : std::next(it);
    }
}

size_t Attempts::kept() const {
    std::lock_guard<std::mutex> lock(mutex);
    return games.size();
}

size_t Attempts::memory() const {
    std::lock_guard<std::mutex> lock(mutex);
    size_t bytes = 0;
    for (const auto& [id, live] : games) {
        std::lock_guard<std::mutex> busy(live->mutex);
        bytes += sizeof(Live) + (live->game ? live->game->memory() : 0);
    }
    return bytes;
}
