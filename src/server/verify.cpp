#include "server/verify.h"

#include "game/game.h"
#include "replay/reader.h"
#include "replay/replay.h"
#include "server/limits.h"

namespace {

// The game ranked is the recording's last: its end (its over record, which the replay checks),
// or, quit before it ended, where the recording stops.
struct LastGame {
    long first_tick = 0;            // ticks played before its seed record
    const Outcome* over = nullptr;  // its over record's outcome, if it ended
};

LastGame last_game(const ReplayFile& file) {
    LastGame last;
    long ticks = 0;
    for (const ReplayRecord& r : file.records) {
        if (r.kind == ReplayRecord::kTick) {
            ++ticks;
        } else if (r.kind == ReplayRecord::kSeed) {
            last = LastGame{ticks, nullptr};
        } else if (r.kind == ReplayRecord::kOver && last.over == nullptr) {
            last.over = &file.outcomes[r.value];
        }
    }
    return last;
}

long tick_count(const ReplayFile& file) {
    long ticks = 0;
    for (const ReplayRecord& r : file.records) {
        ticks += r.kind == ReplayRecord::kTick;
    }
    return ticks;
}

// The tick before which more keys came than a player presses, or -1.
long too_many_keys(const ReplayFile& file) {
    long ticks = 0;
    int keys = 0;
    for (const ReplayRecord& r : file.records) {
        if (r.kind == ReplayRecord::kTick) {
            ++ticks;
            keys = 0;
        } else if (r.kind == ReplayRecord::kKey && ++keys > limits::kKeysPerTick) {
            return ticks + 1;
        }
    }
    return -1;
}

}  // namespace

Verdict verify_recording(const std::string& text) {
    Verdict verdict;
    ReplayFile file;
    if (!read_replay_text(text, rand_probe(), file, verdict.error)) {
        return verdict;
    }
    const long ticks = tick_count(file);
    if (ticks == 0) {
        verdict.error = "the recording holds no tick: there is no game to verify";
        return verdict;
    }
    if (ticks > limits::kMaxTicks) {
        verdict.kind = Verdict::kTooLong;
        verdict.error = "the recording holds " + std::to_string(ticks) +
                        " ticks, more than an hour's game (" + std::to_string(limits::kMaxTicks) +
                        ")";
        return verdict;
    }
    if (const long tick = too_many_keys(file); tick >= 0) {
        verdict.kind = Verdict::kTooCostly;
        verdict.error = "more than " + std::to_string(limits::kKeysPerTick) + " keys before tick " +
                        std::to_string(tick) + ": more than a player presses";
        return verdict;
    }
    const LastGame last = last_game(file);
    const Outcome* over = last.over;
    const Outcome* summary = file.outcomes.empty() ? nullptr : &file.outcomes.back();
    const Outcome recorded_over = over != nullptr ? *over : Outcome{};
    const Outcome recorded_summary = summary != nullptr ? *summary : Outcome{};

    Game game;
    Replay replay(std::move(file), Replay::Frames::kUnseen);
    replay.start(game);
    // To the end (a divergence is reported with where the replay then stands), within the
    // budget.
    const long long budget = ticks * limits::kTestsPerTick;
    long long tests = 0;
    while (!replay.finished()) {
        replay.step(game);
        const UniverseG::Population p = game.get_world().population();
        tests += static_cast<long long>(p.bullets * (p.asteroids + p.invaders) +
                                        p.invaders * p.asteroids);
        if (tests > budget) {
            verdict.kind = Verdict::kTooCostly;
            verdict.error = "more in play than the server verifies (" + std::to_string(p.bullets) +
                            " bullets at tick " + std::to_string(replay.ticks()) + ")";
            return verdict;
        }
    }
    const Outcome at_end = outcome_of(game, replay.ticks());
    if (!replay.divergence().empty()) {
        verdict.kind = Verdict::kDiverged;
        verdict.error = "the replay went another way than the recording " + replay.divergence();
        verdict.tick = replay.divergence_tick();
        verdict.outcome = at_end;
        verdict.recorded = summary != nullptr ? recorded_summary : at_end;
        return verdict;
    }
    // Every over and end record matched the replay: the over of the last game is the replay's
    // own outcome of it.
    verdict.kind = Verdict::kVerified;
    verdict.outcome = over != nullptr ? recorded_over : at_end;
    verdict.game_ticks = verdict.outcome.ticks - last.first_tick;
    return verdict;
}
