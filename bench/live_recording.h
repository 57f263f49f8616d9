// The games velmora_live_load plays: a pilot's recording, and that recording cut tick by tick
// as a client sends it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "game/game.h"
#include "replay/recorder.h"

// The recording cut after each tick: chunk k holds the lines up to and including tick k + 1.
inline std::vector<std::string> ticks_of(const std::string& recording) {
    std::vector<std::string> chunks;
    std::string lines;
    for (size_t at = 0; at < recording.size();) {
        const size_t end = recording.find('\n', at) + 1;
        lines += recording.substr(at, end - at);
        if (recording.compare(at, 2, "t ") == 0) {
            chunks.push_back(lines);
            lines.clear();
        }
        at = end;
    }
    return chunks;
}

// A recording of seed `seed`, `ticks` ticks of a pilot that turns and fires now and then.
inline std::string recording_of(unsigned seed, long ticks) {
    std::unique_ptr<Recorder> r = Recorder::in_memory();
    Game game;
    game.new_game(seed);
    r->new_game(seed, game);
    for (int f = 0; f < kFramesBeforeFirstTick; ++f) {  // framed as the game is framed
        game.frame_unseen();
        r->frame();
    }
    for (long t = 1; t <= ticks && !game.get_game_over(); ++t) {
        if (t % 7 == 0) {
            ship_command(game, 'a');
            r->key('a');
        }
        if (t % 11 == 0) {
            ship_command(game, 'q');
            r->key('q');
        }
        game.update();
        r->tick(game, game.get_game_over());
        game.frame_unseen();
        r->frame();
    }
    return r->text();
}
