// Replay: a recorded game played again through the same game rule, tick by tick, checking at
// every tick and every summary that it still goes the way the recording went.
#pragma once

#include <string>

#include "game/game.h"
#include "replay/reader.h"
#include "replay/replay_file.h"

class Replay {
  public:
    // How the recorded frames are drawn: for real (a window shows them), or unseen, which
    // changes the game alike at less cost (no window: the check alone matters).
    enum class Frames { kDrawn, kUnseen };

    explicit Replay(ReplayFile file, Frames frames = Frames::kDrawn);

    // The first game, and whatever reached it before its first tick.
    void start(Game& game);
    // One recorded tick, and the draws, keys and new games that followed it.
    void step(Game& game);
    bool finished() const { return next == file.records.size(); }

    // A recording that grows while it is played (a live game watched): its next whole `lines`,
    // read on from where the last ones stopped (the first bring its header); false with
    // `error` ("LINE: problem") if they are not what a recording may bring next. A replay that
    // grows starts from an empty file.
    bool extend(const std::string& lines, std::string& error);
    // Tick records read so far, played or not.
    long ticks_recorded() const { return read_to.ticks; }

    long ticks() const { return ticks_done; }
    // The first difference from the recording ("at tick 12: ..."); empty while there is none.
    const std::string& divergence() const { return diverged; }
    // The tick of the first difference (0 before the first tick); meaningful once there is one.
    long divergence_tick() const { return diverged_at; }
    // The recording's last summary (over or end), if it has one.
    const Outcome* summary() const;

  private:
    // Plays records from `next` until the next tick record, or the end.
    void play_until_tick(Game& game);
    void expect(uint32_t recorded, uint32_t replayed, const std::string& where);

    ReplayFile file;
    Frames frames;
    size_t next = 0;
    long ticks_done = 0;
    std::string diverged;
    long diverged_at = 0;
    ReaderPosition read_to;  // where the lines extend() was given stopped
};

// Opens and reads a recording; false with `error` ("FILE:LINE: problem") if it cannot be
// replayed.
bool load_replay(const std::string& path, ReplayFile& file, std::string& error);
