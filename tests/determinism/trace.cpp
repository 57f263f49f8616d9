// velmora_trace: plays games without a window and writes every tick's check value, one per
// line, so that two builds of the game (the desktop's and the browser's wasm, run under node)
// can be compared tick by tick. Built natively and with Emscripten from this same file.
//
//   velmora_trace OUT seed S ticks N   a game from seed S with scripted keys, N ticks; a game
//                                      that ends is followed by a new one from the next seed
//   velmora_trace OUT replay FILE      the recording in FILE, replayed; then its verdict
//   velmora_trace OUT record S ticks N a recording of the same scripted play, N ticks of it
//                                      (the games that end followed at once by new ones, as
//                                      Enter starts them), as the game writes one
//   velmora_trace OUT pilot S ticks N  a recording of one game from seed S played by the aiming
//                                      pilot (it clears levels) for N ticks or to GAME OVER
//   velmora_trace OUT busy S ticks N   the same, each tick's keys made up to 20 with turns to
//                                      the left and back (a batch as heavy as the server takes)
//   velmora_trace OUT crash S          a recording of one game from seed S, to GAME OVER and no
//                                      further, played by a pilot that flies into the rocks (a
//                                      short game, as the ranked games' tests want)
//
// The scripted keys come from the project's own generator (xorshift32 on whole numbers), the
// same on every platform.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "game/game.h"
#include "pilot.h"
#include "replay/check_value.h"
#include "replay/recorder.h"
#include "replay/replay.h"

namespace {

class Script {
  public:
    explicit Script(uint32_t seed) : state(seed * 2654435761u + 0x9e3779b9u) {
        if (state == 0) {
            state = 1;
        }
    }
    uint32_t next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }

  private:
    uint32_t state;
};

// Up to two keys before a tick, and now and then one between the tick and its frame; long
// stretches of turning and firing, with thrust in bursts.
void keys_for(Script& script, Game& game) {
    const uint32_t r = script.next();
    const char keys[] = {'a', 'd', 'w', 'q', 'q', 'a', 'q', 'w'};
    for (int i = 0; i < static_cast<int>(r % 3); ++i) {
        ship_command(game, static_cast<unsigned char>(keys[(r >> (3 + 3 * i)) % 8]));
    }
}

int trace_seed(std::FILE* out, unsigned seed, long ticks) {
    Game game;
    game.new_game(seed);
    Script script(seed);
    unsigned next_seed = seed;
    for (long t = 1; t <= ticks; ++t) {
        if (game.get_game_over()) {
            game.new_game(++next_seed);
        }
        keys_for(script, game);
        game.update();
        if (script.next() % 5 == 0) {
            ship_command(game, 'q');
        }
        game.draw_frame();
        std::fprintf(out, "%ld %08x\n", t, static_cast<unsigned>(check_value(game)));
    }
    return 0;
}

// A new game's designed frames before its first tick, drawn and recorded.
void first_frames(Game& game, Recorder& recorder) {
    for (int f = 0; f < kFramesBeforeFirstTick; ++f) {
        game.draw_frame();
        recorder.frame();
    }
}

// A recording to `path` of a game from `seed`, started and framed as the game starts one;
// null (said on stderr) if the file cannot be written.
std::unique_ptr<Recorder> start_recording(const std::string& path, unsigned seed, Game& game) {
    std::string error;
    std::unique_ptr<Recorder> recorder = Recorder::open(path, error);
    if (!recorder) {
        std::fprintf(stderr, "velmora_trace: %s\n", error.c_str());
        return nullptr;
    }
    game.new_game(seed);
    recorder->new_game(seed, game);
    first_frames(game, *recorder);
    return recorder;
}

// The scripted play of trace_seed, recorded to `path` as the game records it (framed as
// designed): `ticks` ticks of play, a new game from the next seed whenever one ends.
int record(const std::string& path, unsigned seed, long ticks) {
    Game game;
    std::unique_ptr<Recorder> recorder = start_recording(path, seed, game);
    if (!recorder) {
        return 2;
    }
    Script script(seed);
    unsigned next_seed = seed;
    for (long t = 1; t <= ticks; ++t) {
        if (game.get_game_over()) {
            game.new_game(++next_seed);
            recorder->new_game(next_seed, game);
            first_frames(game, *recorder);
        }
        const uint32_t r = script.next();
        const char keys[] = {'a', 'd', 'w', 'q', 'q', 'a', 'q', 'w'};
        for (int i = 0; i < static_cast<int>(r % 3); ++i) {
            const char key = keys[(r >> (3 + 3 * i)) % 8];
            ship_command(game, static_cast<unsigned char>(key));
            recorder->key(key);
        }
        const bool was_over = game.get_game_over();
        game.update();
        recorder->tick(game, !was_over && game.get_game_over());
        game.draw_frame();
        recorder->frame();
    }
    recorder->end(game);
    return 0;
}

// Turns toward where the nearest rock will be and thrusts at it.
void crash_into_rocks(Game& game, Recorder& recorder) {
    const UniverseG& world = game.get_world();
    const Ship& ship = *world.get_ship();
    const Vector me = ship.get_position();
    const Vector v = ship.get_velocity();
    float best = 1e9f;
    Vector aim{0, 0};
    for (const Asteroid* rock : world.get_asteroids()) {
        const Vector at = rock->get_position();
        const Vector rv = rock->get_velocity();
        const float d = std::hypot(at.x - me.x, at.y - me.y);
        if (d < best) {
            best = d;
            const float k = d / 0.03f;
            aim = Vector{at.x + (rv.x - v.x) * k, at.y + (rv.y - v.y) * k};
        }
    }
    const float wanted = std::atan2(aim.y - me.y, aim.x - me.x);
    const float off = std::remainder(wanted - ship.get_body_angle(), 2 * 3.14159265f);
    const auto press = [&](char key) {
        ship_command(game, static_cast<unsigned char>(key));
        recorder.key(key);
    };
    if (off > 0.1f) {
        press('a');
    } else if (off < -0.1f) {
        press('d');
    }
    if (std::fabs(off) < 0.6f) {
        press('w');
    }
}

int crash(const std::string& path, unsigned seed) {
    Game game;
    std::unique_ptr<Recorder> recorder = start_recording(path, seed, game);
    if (!recorder) {
        return 2;
    }
    while (!game.get_game_over()) {
        crash_into_rocks(game, *recorder);
        game.update();
        recorder->tick(game, game.get_game_over());
        if (!game.get_game_over()) {  // a game's own recording ends with its over record
            game.draw_frame();
            recorder->frame();
        }
    }
    return 0;
}

// The aiming pilot's keys, pressed on the game and recorded.
struct RecordedControls {
    Game& game;
    Recorder& recorder;
    int pressed = 0;  // this tick
    void press(char key) {
        ship_command(game, static_cast<unsigned char>(key));
        recorder.key(key);
        ++pressed;
    }
    void ship_left() { press('a'); }
    void ship_right() { press('d'); }
    void ship_shot() { press('q'); }
};

// One game from seed S played by the aiming pilot (which clears levels) to its GAME OVER or,
// ended as a player quitting ends it, `ticks` ticks; framed as designed.
int pilot(const std::string& path, unsigned seed, long ticks, bool busy) {
    Game game;
    std::unique_ptr<Recorder> recorder = start_recording(path, seed, game);
    if (!recorder) {
        return 2;
    }
    Pilot pilot;
    RecordedControls controls{game, *recorder};
    for (long t = 1; t <= ticks && !game.get_game_over(); ++t) {
        controls.pressed = 0;
        pilot.act(controls, game.get_world());
        while (busy && controls.pressed + 2 <= 20) {
            controls.press('a');
            controls.press('d');
        }
        game.update();
        recorder->tick(game, game.get_game_over());
        if (game.get_game_over()) {
            return 0;  // a game's own recording ends with its over record
        }
        game.draw_frame();
        recorder->frame();
    }
    recorder->end(game);
    return 0;
}

int trace_replay(std::FILE* out, const std::string& path) {
    ReplayFile file;
    std::string error;
    if (!load_replay(path, file, error)) {
        std::fprintf(stderr, "velmora_trace: %s\n", error.c_str());
        return 2;
    }
    const int version = file.version;
    Game game;
    Replay replay(std::move(file));
    replay.start(game);
    while (!replay.finished()) {
        replay.step(game);
        std::fprintf(out, "%ld %08x\n", replay.ticks(),
                     static_cast<unsigned>(check_value(game, version)));
    }
    std::fprintf(out, "%s %s\n", to_string(outcome_of(game, replay.ticks())).c_str(),
                 replay.divergence().empty() ? "matched" : replay.divergence().c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 2 ? argv[2] : "";
    if (!((argc == 6 && (mode == "seed" || mode == "record" || mode == "pilot" || mode == "busy") &&
           std::string(argv[4]) == "ticks") ||
          (argc == 4 && (mode == "replay" || mode == "crash")))) {
        std::fprintf(
            stderr,
            "usage: velmora_trace OUT seed|record|pilot|busy S ticks N | velmora_trace OUT replay "
            "FILE | velmora_trace OUT crash S\n");
        return 2;
    }
    if (mode == "crash") {
        return crash(argv[1], static_cast<unsigned>(std::strtoul(argv[3], nullptr, 10)));
    }
    if (mode == "pilot" || mode == "busy") {
        return pilot(argv[1], static_cast<unsigned>(std::strtoul(argv[3], nullptr, 10)),
                     std::strtol(argv[5], nullptr, 10), mode == "busy");
    }
    if (mode == "record") {
        return record(argv[1], static_cast<unsigned>(std::strtoul(argv[3], nullptr, 10)),
                      std::strtol(argv[5], nullptr, 10));
    }
    std::FILE* out = std::fopen(argv[1], "w");
    if (out == nullptr) {
        std::perror(argv[1]);
        return 2;
    }
    const int status =
        mode == "seed" ? trace_seed(out, static_cast<unsigned>(std::strtoul(argv[3], nullptr, 10)),
                                    std::strtol(argv[5], nullptr, 10))
                       : trace_replay(out, argv[3]);
    std::fclose(out);
    return status;
}
