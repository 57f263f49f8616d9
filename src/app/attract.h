// Attract mode: 20 s (400 ticks) after GAME OVER with no key, a recording (the best game kept)
// plays as a demo under "DEMO - press any key"; any key, or its end, brings back the GAME OVER
// screen exactly as it was. A demo is never recorded, kept or scored.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "game/game.h"
#include "replay/replay.h"

class Attract {
  public:
    // Where the demo comes from, asked each time one would start (none: no demo).
    void from(std::function<std::optional<std::string>()> demo) { source = std::move(demo); }

    // A tick of the GAME OVER screen (`waiting` while it is left alone: anything else starts
    // the wait again). True when the demo starts on `game`, which it keeps first as it stands
    // with the frames it owes.
    bool tick(Game& game, bool waiting, int frames_owed);
    bool running() const { return demo != nullptr; }
    // The demo's replay, while it runs.
    Replay& replay() { return *demo; }
    // Ends the demo: `game` as it was before it; the frames it owed then.
    int end(Game& game);
    // A key came: the wait starts again.
    void wait_again() { idle_ticks = 0; }

  private:
    std::function<std::optional<std::string>()> source;
    long idle_ticks = 0;
    std::unique_ptr<Replay> demo;
    std::string before;  // the game as the demo found it
    int owed_before = 0;
};
