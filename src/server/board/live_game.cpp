#include "server/board/live_game.h"

#include "game/game.h"
#include "game/snapshot.h"

LiveGame::LiveGame(unsigned seed) : verified(seed) {}

LiveGame::Step LiveGame::refuse(const std::string& why) {
    closed = true;
    snapshot = std::string();
    return Step{State::kRefused, why, Outcome{}};
}

LiveGame::Step LiveGame::feed(const std::string& lines) {
    if (closed) {
        return Step{verified.status(), "the game has ended", Outcome{}};
    }
    if (!lines.empty() && lines.back() != '\n') {
        return refuse("a batch ends in the middle of a line");
    }
    ReplayFile batch;
    ReplayReader reader(rand_probe(), batch, read);
    if (!reader.feed(lines.data(), lines.size())) {
        return refuse("the recording is malformed: " + reader.error());
    }
    read = reader.position();
    // One game a thread, made once: each batch makes it the attempt's again.
    thread_local Game game;
    if (started && !GameSnapshot::restore(game, snapshot)) {
        return refuse("the game kept between batches is damaged");
    }
    for (const ReplayRecord& r : batch.records) {
        started = started || r.kind == ReplayRecord::kSeed;
        switch (verified.play(r, batch.outcomes, game)) {
            case State::kPlaying:
                break;
            case State::kRefused:
                return refuse(verified.reason());
            case State::kOver:
            case State::kEnded:
                // The game's end is its recording's end: nothing is kept that is not played.
                if (&r != &batch.records.back()) {
                    return refuse(std::string("nothing may follow the game's ") +
                                  (r.kind == ReplayRecord::kOver ? "over" : "end") + " record");
                }
                closed = true;
                snapshot = std::string();
                return Step{verified.status(), "", verified.summary()};
        }
    }
    if (!started) {
        return Step{State::kPlaying, "", Outcome{}};
    }
    snapshot = GameSnapshot::save(game);
    return Step{State::kPlaying, "", outcome_of(game, verified.ticks())};
}
