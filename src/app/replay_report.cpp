#include "app/replay_report.h"

#include <chrono>

int replay_verdict(const Replay& replay, const Game& game, const std::string& path,
                   std::FILE* err) {
    const Outcome* summary = replay.summary();
    if (!replay.divergence().empty()) {
        std::fprintf(err, "velmora: %s: the replay diverged from the recording %s\n", path.c_str(),
                     replay.divergence().c_str());
        std::fprintf(err, "velmora: recorded: %s\nvelmora: replayed: %s\n",
                     summary ? to_string(*summary).c_str() : "(no summary)",
                     to_string(outcome_of(game, replay.ticks())).c_str());
        return 3;
    }
    if (summary == nullptr) {
        std::fprintf(err,
                     "velmora: %s has no summary (the recording was cut short): nothing to "
                     "compare the outcome with\n",
                     path.c_str());
    }
    return 0;
}

int play_headless(Replay& replay, Game& game, const std::string& path, std::FILE* out,
                  std::FILE* err) {
    const auto began = std::chrono::steady_clock::now();
    replay.start(game);
    while (!replay.finished()) {
        replay.step(game);
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - began;
    const double seconds = took.count() > 0 ? took.count() : 1e-9;
    std::fprintf(out, "%s ticks_per_second=%.0f\n",
                 to_string(outcome_of(game, replay.ticks())).c_str(), replay.ticks() / seconds);
    return replay_verdict(replay, game, path, err);
}
