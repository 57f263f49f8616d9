// One ranked attempt's game as its recording arrives, a batch of whole lines at a time: each
// batch is read on from where the last one stopped and played on from the game as the last one
// left it, which is kept between batches as a snapshot (game/snapshot.h), not as a game. The
// recording may hold one game, from the seed the attempt was dealt, and must replay to every
// check value and outcome it holds, within the limits a verification keeps.
#pragma once

#include <string>

#include "replay/reader.h"
#include "replay/replay_file.h"

class LiveGame {
  public:
    explicit LiveGame(unsigned seed);

    enum class State { kPlaying, kOver, kEnded, kRefused };
    // How a batch left the game: still playing; over (GAME OVER: `outcome` is the game's);
    // ended by the player before that; or refused, and why.
    struct Step {
        State state;
        std::string reason;
        Outcome outcome;
    };

    // Plays the lines of one batch. Once over, ended or refused, a game takes no more.
    Step feed(const std::string& lines);
    // Ticks played so far.
    long ticks() const { return ticks_done; }
    State state() const { return now; }
    // Bytes it keeps between batches.
    size_t memory() const { return sizeof *this + snapshot.capacity(); }

  private:
    Step refuse(const std::string& why);
    // One record of the batch; false once the game is over, ended or refused.
    bool play(const ReplayRecord& r, const ReplayFile& batch, class Game& game, Step& step);

    unsigned seed;
    bool started = false;  // the seed record has come
    std::string snapshot;  // the game after the last batch
    ReaderPosition read;   // where the reading of the recording stands
    long ticks_done = 0;
    int keys_this_tick = 0;
    long long tests = 0;  // collision tests the game's steps have made
    State now = State::kPlaying;
};
