// What a watcher of a live game is told (board/broadcast.h sends it, board/feed.h keeps it):
// how the game ended, as verified, and each event in turn.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "replay/replay_file.h"
#include "server/store/store.h"

// How a watched game ended, as verified.
struct WatchedEnd {
    AttemptState state = AttemptState::kLive;
    std::string reason;
    long long ticks = 0;
    std::optional<Outcome> outcome;  // at its GAME OVER
    std::optional<Entry> entry;      // its place on its board, once ranked
};

// What a watcher is sent next: a batch of the game's recording, verified; the game's end; a
// word to keep the connection; or that it is sent nothing more (dropped, or the server stops).
struct WatchEvent {
    enum class Kind { kBatch, kEnd, kKeepAlive, kGone };
    Kind kind = Kind::kKeepAlive;
    int batch = 0;
    std::shared_ptr<const std::string> lines;
    std::shared_ptr<const WatchedEnd> end;
    std::string why;  // of kGone
};
