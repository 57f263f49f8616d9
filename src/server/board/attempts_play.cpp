// Attempts' games as this server plays them: caught up from the database, played on the
// verifiers, settled at their end, let go once done.
#include <cstdio>

#include "server/board/attempts.h"
#include "server/board/dealer.h"
#include "server/board/tally.h"
#include "server/limits.h"

LiveGame::Step Attempts::play(const Attempt& a, Live& live, int n,
                              const std::shared_ptr<const std::string>& lines) {
    const LiveGame::Step step = live.game->feed(*lines);
    live.applied = n + 1;
    if (step.state != LiveGame::State::kRefused) {
        live.level = step.outcome.level;
        live.score = step.outcome.score;
        broadcast.publish(a.id, n, lines);
    }
    return step;
}

LiveGame::Step Attempts::play_to(const Attempt& a, int n, Live& live) {
    // From where this server's game of it stands: its batches the server has not played are
    // those it holds, not yet kept, and the database's (another server took them, or this one
    // restarted).
    if (live.stale.exchange(false) || !live.game || live.applied > n + 1) {
        live.game = std::make_unique<LiveGame>(a.seed);
        live.applied = 0;
    }
    LiveGame::Step step{live.game->state(), "", Outcome{}};
    std::vector<std::string> stored;
    int stored_from = 0;
    while (live.applied <= n && step.state == LiveGame::State::kPlaying) {
        const int b = live.applied;
        std::shared_ptr<const std::string> lines;
        {
            std::lock_guard<std::mutex> lock(live.ledger_mutex);
            const auto it = live.unkept.find(b);
            lines = it != live.unkept.end() ? it->second : nullptr;
        }
        if (!lines && b - stored_from >= static_cast<int>(stored.size())) {
            stored = store.batches(a.id, b, n + 1);
            stored_from = b;
        }
        if (!lines && b - stored_from < static_cast<int>(stored.size())) {
            lines = std::make_shared<const std::string>(std::move(stored[b - stored_from]));
        }
        if (!lines) {
            break;
        }
        step = play(a, live, b, lines);
    }
    if (step.state == LiveGame::State::kPlaying && live.applied != n + 1) {
        live.game.reset();
        throw StoreError("the attempt's batches are not all in the database");
    }
    return step;
}

void Attempts::verify(const Attempt& a, int n, const std::shared_ptr<const std::string>& lines) {
    const std::shared_ptr<Live> live = live_of(a.id);
    std::lock_guard<std::mutex> lock(live->mutex);
    if (!live->stale && live->game && live->applied > n) {
        return;  // played already, on the way to a later batch
    }
    try {
        // The next batch of a game this server plays needs no database.
        const bool next = !live->stale && live->game && live->applied == n;
        const LiveGame::Step step = next ? play(a, *live, n, lines) : play_to(a, n, *live);
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
    writer.flush();  // its batches kept first: the end waits for the disk
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
    writer.flush();  // every batch taken before is in the database
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
    // How it stood: as its end was verified, or as its last batch that verified left it.
    const std::shared_ptr<Live> live = live_of(a.id);
    const bool finished =
        step.state == LiveGame::State::kOver || step.state == LiveGame::State::kEnded;
    ending.level = finished ? step.outcome.level : live->level.load();
    ending.score = finished ? step.outcome.score : live->score.load();
    ending.lives = finished ? step.outcome.lives : 0;
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
    {
        std::lock_guard<std::mutex> lock(live->ledger_mutex);
        live->ledger.reset();  // the database has it as it ended
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
    broadcast.end(a.id, watched_end(out));
    return out;
}

WatchedEnd watched_end(const AttemptReply& r) {
    return WatchedEnd{r.state, r.reason, r.ticks, r.outcome, r.entry};
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
        std::lock_guard<std::mutex> ledger(live->ledger_mutex);
        for (const auto& [n, lines] : live->unkept) {
            bytes += lines->capacity();
        }
    }
    return bytes;
}
