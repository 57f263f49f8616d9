// What the program says of a replay once it has played its last record, and the exit status
// it ends with: the shell's decisions about the replay's typed result (replay/replay.h).
#pragma once

#include <cstdio>
#include <string>

#include "game/game.h"
#include "replay/replay.h"

// Compares with the recording's summary and says so on `err`. Returns the exit status: 0 when
// the replay matched (or there was nothing to compare with), 3 when it diverged.
int replay_verdict(const Replay& replay, const Game& game, const std::string& path, std::FILE* err);

// Replays a whole recording without a window, as fast as it runs; prints the outcome and the
// speed on `out`. Returns the exit status as replay_verdict does.
int play_headless(Replay& replay, Game& game, const std::string& path, std::FILE* out,
                  std::FILE* err);
