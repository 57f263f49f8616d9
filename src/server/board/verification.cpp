#include "server/board/verification.h"

#include <cstdio>

#include "replay/check_value.h"
#include "server/limits.h"

Verification::Status Verification::refuse(Fault fault, const std::string& reason) {
    why = fault;
    said = reason;
    faulted_at = ticks_done;
    now = Status::kRefused;
    return now;
}

bool Verification::framed_as_designed(ReplayRecord::Kind kind) {
    const int designed = ticked ? 1 : kFramesBeforeFirstTick;
    const bool as_designed =
        kind == ReplayRecord::kDraw ? ++frames_since <= designed : frames_since == designed;
    if (!as_designed) {
        refuse(Fault::kFramed,
               "the recording's frames are not the game's at tick " +
                   std::to_string(ticks_done + (kind == ReplayRecord::kTick)) +
                   ": the game is framed twice before its first tick and once after each, "
                   "whatever the display shows; a recording framed otherwise (made by an older "
                   "version) still plays at home, but cannot be ranked");
    }
    return as_designed;
}

Verification::Status Verification::play(const ReplayRecord& r, const std::vector<Outcome>& outcomes,
                                        Game& game) {
    if (now == Status::kRefused) {
        return now;
    }
    now = Status::kPlaying;
    switch (r.kind) {
        case ReplayRecord::kSeed:
            if (dealt && started) {
                return refuse(Fault::kNotDealt,
                              "an attempt is one game: the recording starts another");
            }
            if (dealt && r.value != *dealt) {
                return refuse(Fault::kNotDealt, "the recording plays seed " +
                                                    std::to_string(r.value) +
                                                    ", not the seed the attempt was dealt");
            }
            game.new_game(r.value);
            started = true;
            frames_since = 0;
            ticked = false;
            last_from = ticks_done;
            if (check_value(game, version) != r.check) {
                return refuse(Fault::kDiverged,
                              "the recording's game is not the one the seed lays out");
            }
            break;
        case ReplayRecord::kKey:
            if (++keys_this_tick > limits::kKeysPerTick) {
                return refuse(Fault::kTooCostly,
                              "more than " + std::to_string(limits::kKeysPerTick) +
                                  " keys before tick " + std::to_string(ticks_done + 1) +
                                  ": more than a player presses");
            }
            ship_command(game, static_cast<unsigned char>(r.value));
            break;
        case ReplayRecord::kDraw:
            if (!framed_as_designed(r.kind)) {
                return now;
            }
            game.frame_unseen();
            break;
        case ReplayRecord::kTick: {
            if (!framed_as_designed(r.kind)) {
                return now;
            }
            frames_since = 0;
            ticked = true;
            game.update();
            ++ticks_done;
            keys_this_tick = 0;
            if (ticks_done > limits::kMaxTicks) {
                return refuse(Fault::kTooLong, "the game is longer than an hour");
            }
            const UniverseG::Population p = game.get_world().population();
            tests += static_cast<long long>(p.bullets * (p.asteroids + p.invaders) +
                                            p.invaders * p.asteroids);
            if (tests > ticks_done * limits::kTestsPerTick) {
                return refuse(Fault::kTooCostly, "more in play than the server verifies (" +
                                                     std::to_string(p.bullets) +
                                                     " bullets at tick " +
                                                     std::to_string(ticks_done) + ")");
            }
            if (const uint32_t replayed = check_value(game, version); replayed != r.check) {
                char values[64];
                std::snprintf(values, sizeof values, ": check value %08x recorded, %08x replayed",
                              static_cast<unsigned>(r.check), static_cast<unsigned>(replayed));
                return refuse(Fault::kDiverged,
                              "the replay went another way than the recording at tick " +
                                  std::to_string(ticks_done) + values);
            }
            break;
        }
        case ReplayRecord::kOver:
        case ReplayRecord::kEnd: {
            if (r.kind == ReplayRecord::kOver && !game.get_game_over()) {
                return refuse(Fault::kMisplaced, "the recording says GAME OVER at tick " +
                                                     std::to_string(ticks_done) +
                                                     ", where the game is not over");
            }
            summed = outcome_of(game, ticks_done);
            said_outcome = outcomes[r.value];
            if (!(said_outcome == summed)) {
                return refuse(Fault::kDiverged,
                              "the replay went another way than the recording at tick " +
                                  std::to_string(ticks_done) + ": the recording has " +
                                  to_string(said_outcome) + ", the replay " + to_string(summed));
            }
            now = r.kind == ReplayRecord::kOver ? Status::kOver : Status::kEnded;
            break;
        }
    }
    return now;
}
