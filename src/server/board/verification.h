// The server's one way of playing a recording to check it, for uploads and live games alike:
// record by record, through the game itself, every check value and summary compared, within
// one budget (an hour's ticks, the keys a player presses between two ticks, the collision tests
// the steps make). Its frames must be the game's designed ones (kFramesBeforeFirstTick before a
// game's first tick, then exactly one between two ticks), whatever the display showed: a
// recording framed as an older version framed it still plays at home, but is no ranked game;
// and an over record stands only where the game is over. An upload is played through at once; a
// live game a batch at a time, this kept between batches beside a snapshot of its game.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "game/game.h"
#include "replay/replay_file.h"

class Verification {
  public:
    // How far the recording has come: playing; at a game's GAME OVER (over); ended by the
    // player (end); or refused, and why.
    enum class Status { kPlaying, kOver, kEnded, kRefused };
    enum class Fault { kNone, kTooLong, kTooCostly, kDiverged, kNotDealt, kFramed, kMisplaced };

    // A live attempt's recording holds one game, from the seed it was dealt; an upload's (no
    // seed) any games, one after another.
    // `version`: the recording's format (each sums the game up in its own check value).
    explicit Verification(std::optional<unsigned> dealt = std::nullopt,
                          int version = kReplayVersion)
        : dealt(dealt), version(version) {}

    // Plays one record on `game` (`outcomes`: the recording's summaries, which over and end
    // records point into). Once refused, nothing more is played.
    Status play(const ReplayRecord& r, const std::vector<Outcome>& outcomes, Game& game);

    Status status() const { return now; }
    Fault fault() const { return why; }
    const std::string& reason() const { return said; }
    // Ticks played; the tick a divergence was found at.
    long ticks() const { return ticks_done; }
    long fault_tick() const { return faulted_at; }
    // Ticks played before the last game's seed record (the game ranked is the last).
    long last_game_from() const { return last_from; }
    // The summary of the last over or end record played, as the game itself had it.
    const Outcome& summary() const { return summed; }
    // What the recording said there, when it did not match.
    const Outcome& claimed() const { return said_outcome; }

  private:
    Status refuse(Fault fault, const std::string& reason);
    // A frame, or a tick, against the designed frames: false once refused.
    bool framed_as_designed(ReplayRecord::Kind kind);

    std::optional<unsigned> dealt;
    int version;
    Status now = Status::kPlaying;
    Fault why = Fault::kNone;
    std::string said;
    bool started = false;  // a seed record has come
    long ticks_done = 0;
    long faulted_at = 0;
    long last_from = 0;
    int keys_this_tick = 0;
    int frames_since = 0;  // since the last tick, or the game's start
    bool ticked = false;   // the game in play has ticked
    long long tests = 0;   // collision tests the game's steps have made
    Outcome summed{};
    Outcome said_outcome{};
};
