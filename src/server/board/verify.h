// An uploaded recording's verification: its bytes in, the outcome the game itself produces out.
// The same reader as `velmora --play` (same limits, same messages), played by the server's one
// engine (verification.h) as live games are, every check value and summary compared; no score
// is taken from the file's word.
#pragma once

#include <string>

#include "replay/replay_file.h"

struct Verdict {
    enum Kind {
        kVerified,   // outcome and game_ticks hold the game to rank
        kMalformed,  // not a recording this build can replay: error says where and why
        kTooLong,    // more ticks than an hour's game
        kTooCostly,  // more in play than a game verified within its budget
        kDiverged,   // it went another way: at `tick`, recorded and replayed outcomes
        kUnframed,   // its frames are not the game's designed ones, or its GAME OVER is not
    };
    Kind kind = kMalformed;
    std::string error;
    Outcome outcome{};    // the replay's own: the last game's end, or where the recording stops
    Outcome recorded{};   // kDiverged: what the recording says
    long game_ticks = 0;  // ticks of the ranked game alone, from its seed to its end
    long tick = 0;        // kDiverged: the first tick that differs
    // The ranked game's seed and keys, tick by tick, hashed: the same game whatever its frames.
    std::string fingerprint;
};

Verdict verify_recording(const std::string& text);
