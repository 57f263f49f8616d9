// velmora_libm_compare: what the game's own math changed. It plays the same games twice, once
// with the game's own functions and once with the C library's in their place (as the game was
// built before), counts the calls whose value differs between the two, and the frames whose
// picture differs (every vertex and glyph, by its bits).
//
//   velmora_libm_compare SEED TICKS [SEED TICKS]...
//
// The game's own functions are compiled a second time under the name own_math (CMake), so that
// this program can put its own vmath:: functions, which choose between the two, in their place.
#include <GL/freeglut.h>
#include <GL/gl.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "game/game.h"

namespace own_math {
float sin(float x);
float cos(float x);
float atan(float x);
double sin(double x);
double cos(double x);
}  // namespace own_math

namespace {

bool use_library = false;
long calls = 0;
long differing = 0;

template <typename T>
T pick(T own, T library) {
    ++calls;
    if (std::memcmp(&own, &library, sizeof own) != 0 && !(own != own && library != library)) {
        ++differing;
    }
    return use_library ? library : own;
}

// The picture of one frame, summed up by the bits of what was drawn.
uint64_t frame_hash = 0;
void add(uint32_t word) {
    frame_hash = (frame_hash ^ word) * 0x100000001b3ull;
}
void add(float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    add(bits);
}

}  // namespace

namespace vmath {
float sin(float x) {
    return pick(own_math::sin(x), std::sin(x));
}
float cos(float x) {
    return pick(own_math::cos(x), std::cos(x));
}
float atan(float x) {
    return pick(own_math::atan(x), std::atan(x));
}
double sin(double x) {
    return pick(own_math::sin(x), std::sin(x));
}
double cos(double x) {
    return pick(own_math::cos(x), std::cos(x));
}
}  // namespace vmath

extern "C" {
void* glutBitmap9By15 = nullptr;
void glColor3f(GLfloat r, GLfloat g, GLfloat b) {
    add(r);
    add(g);
    add(b);
}
void glBegin(GLenum mode) {
    add(static_cast<uint32_t>(mode));
}
void glVertex2f(GLfloat x, GLfloat y) {
    add(x);
    add(y);
}
void glEnd() {}
void glRasterPos2f(GLfloat x, GLfloat y) {
    add(x);
    add(y);
}
void glutBitmapCharacter(void*, int c) {
    add(static_cast<uint32_t>(c));
}
}  // extern "C"

namespace {

// The frames of a game from `seed`, `ticks` long, with keys from a fixed little generator:
// turning, thrust and fire as a player would.
struct Played {
    std::vector<uint64_t> frames;
    std::string games;  // each game's end: "level/score/lives", space-separated
};

Played play(unsigned seed, long ticks, bool library) {
    use_library = library;
    Game game;
    game.new_game(seed);
    uint32_t keys = seed * 2654435761u + 1;
    Played out;
    const auto game_end = [&game] {
        return std::to_string(game.get_level()) + "/" +
               std::to_string(game.get_world().get_total_score()) + "/" +
               std::to_string(game.get_world().get_lifes()) + " ";
    };
    for (long t = 0; t < ticks; ++t) {
        keys ^= keys << 13;
        keys ^= keys >> 17;
        keys ^= keys << 5;
        for (int i = 0; i < static_cast<int>(keys % 3); ++i) {
            ship_command(game, "adwqqaqw"[(keys >> (3 + 3 * i)) % 8]);
        }
        if (game.get_game_over()) {
            out.games += game_end();
            game.new_game(seed + static_cast<unsigned>(t));
        }
        game.update();
        frame_hash = 0xcbf29ce484222325ull;
        game.draw();
        out.frames.push_back(frame_hash);
    }
    out.games += game_end();
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3 || argc % 2 != 1) {
        std::fprintf(stderr, "usage: velmora_libm_compare SEED TICKS [SEED TICKS]...\n");
        return 2;
    }
    for (int i = 1; i + 1 < argc; i += 2) {
        const unsigned seed = static_cast<unsigned>(std::strtoul(argv[i], nullptr, 10));
        const long ticks = std::strtol(argv[i + 1], nullptr, 10);
        calls = differing = 0;
        const Played own_game = play(seed, ticks, false);
        const long own_calls = calls;
        const long own_differing = differing;
        const Played library_game = play(seed, ticks, true);
        const std::vector<uint64_t>& own = own_game.frames;
        const std::vector<uint64_t>& library = library_game.frames;
        long frames_differing = 0;
        long first = -1;
        for (size_t t = 0; t < own.size(); ++t) {
            if (own[t] != library[t]) {
                ++frames_differing;
                first = first < 0 ? static_cast<long>(t) + 1 : first;
            }
        }
        std::printf(
            "seed %u, %ld ticks: %ld calls, %ld of them differ from the C library's; "
            "%ld of %zu frames differ, the first at tick %ld; the games (level/score/lives) "
            "%s\n",
            seed, ticks, own_calls, own_differing, frames_differing, own.size(), first,
            own_game.games == library_game.games
                ? ("ended the same: " + own_game.games).c_str()
                : ("ended otherwise: " + own_game.games + "against " + library_game.games).c_str());
    }
    return 0;
}
