// One ranked attempt's game as its recording arrives, a batch of whole lines at a time: each
// batch is read on from where the last one stopped (replay/reader.h) and played on by the
// server's verification (verification.h) from the game as the last one left it, kept between
// batches as a snapshot (game/snapshot.h), not as a game. The recording may hold one game, from
// the seed the attempt was dealt, and must replay to every check value and outcome it holds.
#pragma once

#include <string>

#include "replay/reader.h"
#include "replay/replay_file.h"
#include "server/board/verification.h"

class LiveGame {
  public:
    explicit LiveGame(unsigned seed);

    using State = Verification::Status;
    // How a batch left the game: still playing (`outcome`: how it stands); over (GAME OVER:
    // `outcome` is the game's); ended by the player before that; or refused, and why.
    struct Step {
        State state;
        std::string reason;
        Outcome outcome;
    };

    // Plays the lines of one batch. Once over, ended or refused, a game takes no more.
    Step feed(const std::string& lines);
    // Ticks played so far.
    long ticks() const { return verified.ticks(); }
    State state() const { return verified.status(); }
    // Bytes it keeps between batches.
    size_t memory() const { return sizeof *this + snapshot.capacity(); }

  private:
    Step refuse(const std::string& why);

    Verification verified;
    bool started = false;  // the seed record has come
    std::string snapshot;  // the game after the last batch
    ReaderPosition read;   // where the reading of the recording stands
    bool closed = false;   // over, ended or refused: nothing more is played
};
