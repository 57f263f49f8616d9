#include "server/live_game.h"

#include "game/game.h"
#include "game/snapshot.h"
#include "replay/check_value.h"
#include "server/limits.h"

LiveGame::LiveGame(unsigned seed_) : seed(seed_) {}

LiveGame::Step LiveGame::refuse(const std::string& why) {
    now = State::kRefused;
    snapshot = std::string();
    return Step{State::kRefused, why, Outcome{}};
}

LiveGame::Step LiveGame::feed(const std::string& lines) {
    if (now != State::kPlaying) {
        return Step{now, "the game has ended", Outcome{}};
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
    Step step{State::kPlaying, "", Outcome{}};
    for (const ReplayRecord& r : batch.records) {
        if (!play(r, batch, game, step)) {
            return step;
        }
    }
    if (started) {
        snapshot = GameSnapshot::save(game);
    }
    return step;
}

bool LiveGame::play(const ReplayRecord& r, const ReplayFile& batch, Game& game, Step& step) {
    switch (r.kind) {
        case ReplayRecord::kSeed:
            if (started) {
                step = refuse("an attempt is one game: the recording starts another");
                return false;
            }
            if (r.value != seed) {
                step = refuse("the recording plays seed " + std::to_string(r.value) +
                              ", not the seed the attempt was dealt");
                return false;
            }
            game.new_game(seed);
            started = true;
            if (check_value(game) != r.check) {
                step = refuse("the recording's game is not the one the seed lays out");
                return false;
            }
            break;
        case ReplayRecord::kKey:
            if (++keys_this_tick > limits::kKeysPerTick) {
                step = refuse("more than " + std::to_string(limits::kKeysPerTick) +
                              " keys before tick " + std::to_string(ticks_done + 1));
                return false;
            }
            ship_command(game, static_cast<unsigned char>(r.value));
            break;
        case ReplayRecord::kDraw:
            game.frame_unseen();
            break;
        case ReplayRecord::kTick: {
            game.update();
            ++ticks_done;
            keys_this_tick = 0;
            const UniverseG::Population p = game.get_world().population();
            tests += static_cast<long long>(p.bullets * (p.asteroids + p.invaders) +
                                            p.invaders * p.asteroids);
            if (ticks_done > limits::kMaxTicks || tests > ticks_done * limits::kTestsPerTick) {
                step = refuse(ticks_done > limits::kMaxTicks
                                  ? "the game is longer than an hour"
                                  : "more in play than the server verifies");
                return false;
            }
            if (check_value(game) != r.check) {
                step = refuse("the replay went another way than the recording at tick " +
                              std::to_string(ticks_done));
                return false;
            }
            break;
        }
        case ReplayRecord::kOver:
        case ReplayRecord::kEnd: {
            const Outcome played = outcome_of(game, ticks_done);
            if (!(batch.outcomes[r.value] == played)) {
                step = refuse("the recording's outcome (" + to_string(batch.outcomes[r.value]) +
                              ") is not the game's (" + to_string(played) + ")");
                return false;
            }
            now = r.kind == ReplayRecord::kOver ? State::kOver : State::kEnded;
            snapshot = std::string();
            step = Step{now, "", played};
            return false;
        }
    }
    return true;
}
