#include "server/board/verify.h"

#include "game/game.h"
#include "replay/reader.h"
#include "server/board/verification.h"
#include "server/limits.h"
#include "server/store/store.h"

namespace {

// Limits that a read recording shows without a tick played: checked before any slow work.
std::string past_limits(const ReplayFile& file, long& ticks, Verdict::Kind& kind) {
    ticks = 0;
    int keys = 0;
    for (const ReplayRecord& r : file.records) {
        if (r.kind == ReplayRecord::kTick) {
            ++ticks;
            keys = 0;
        } else if (r.kind == ReplayRecord::kKey && ++keys > limits::kKeysPerTick) {
            kind = Verdict::kTooCostly;
            return "more than " + std::to_string(limits::kKeysPerTick) + " keys before tick " +
                   std::to_string(ticks + 1) + ": more than a player presses";
        }
    }
    if (ticks == 0) {
        kind = Verdict::kMalformed;
        return "the recording holds no tick: there is no game to verify";
    }
    if (ticks > limits::kMaxTicks) {
        kind = Verdict::kTooLong;
        return "the recording holds " + std::to_string(ticks) +
               " ticks, more than an hour's game (" + std::to_string(limits::kMaxTicks) + ")";
    }
    return "";
}

// The ranked game (the last) as its seed and its keys between each two ticks, to its GAME
// OVER: what is played after it changes nothing.
std::string fingerprint_of(const ReplayFile& file) {
    std::string game;
    bool over = false;
    for (const ReplayRecord& r : file.records) {
        if (r.kind == ReplayRecord::kSeed) {
            game = "seed " + std::to_string(r.value) + "\n";
            over = false;
        } else if (over) {
            continue;
        } else if (r.kind == ReplayRecord::kKey) {
            game += static_cast<char>(r.value);
        } else if (r.kind == ReplayRecord::kTick) {
            game += '\n';
        }
        over = over || r.kind == ReplayRecord::kOver;
    }
    return content_hash(game);
}

}  // namespace

Verdict verify_recording(const std::string& text) {
    Verdict verdict;
    ReplayFile file;
    if (!read_replay_text(text, rand_probe(), file, verdict.error)) {
        return verdict;
    }
    long ticks = 0;
    verdict.error = past_limits(file, ticks, verdict.kind);
    if (!verdict.error.empty()) {
        return verdict;
    }
    // Every game in it played through (the one ranked is the last).
    Game game;
    Verification v(std::nullopt, file.version);
    bool over = false;  // the last game has reached its GAME OVER
    Outcome at_over{};  // its outcome there
    for (const ReplayRecord& r : file.records) {
        const Verification::Status status = v.play(r, file.outcomes, game);
        if (status == Verification::Status::kRefused) {
            break;
        }
        if (r.kind == ReplayRecord::kSeed) {
            over = false;
        } else if (status == Verification::Status::kOver && !over) {
            over = true;
            at_over = v.summary();
        }
    }
    const Outcome at_end = outcome_of(game, v.ticks());
    switch (v.fault()) {
        case Verification::Fault::kNone:
            break;
        case Verification::Fault::kTooLong:
            verdict.kind = Verdict::kTooLong;
            break;
        case Verification::Fault::kTooCostly:
            verdict.kind = Verdict::kTooCostly;
            break;
        case Verification::Fault::kFramed:
        case Verification::Fault::kMisplaced:
            verdict.kind = Verdict::kUnframed;
            break;
        case Verification::Fault::kDiverged:
        case Verification::Fault::kNotDealt:
            verdict.kind = Verdict::kDiverged;
            verdict.tick = v.fault_tick();
            verdict.outcome = at_end;
            verdict.recorded = file.outcomes.empty() ? at_end : file.outcomes.back();
            break;
    }
    if (v.fault() != Verification::Fault::kNone) {
        verdict.error = v.reason();
        return verdict;
    }
    // Every over and end record matched the replay: the last game's over is its outcome.
    verdict.kind = Verdict::kVerified;
    verdict.outcome = over ? at_over : at_end;
    verdict.game_ticks = verdict.outcome.ticks - v.last_game_from();
    verdict.fingerprint = fingerprint_of(file);
    return verdict;
}
