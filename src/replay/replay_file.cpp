#include "replay/replay_file.h"

#include <cstdio>

#include "math/glibc_random.h"

namespace {

std::string hex8(uint32_t v) {
    char text[9];
    std::snprintf(text, sizeof text, "%08x", v);
    return text;
}

}  // namespace

bool operator==(const Outcome& a, const Outcome& b) {
    return a.ticks == b.ticks && a.level == b.level && a.score == b.score && a.lives == b.lives;
}

std::string to_string(const Outcome& o) {
    return "ticks=" + std::to_string(o.ticks) + " level=" + std::to_string(o.level) +
           " score=" + std::to_string(o.score) + " lives=" + std::to_string(o.lives);
}

Outcome outcome_of(const Game& game, long ticks) {
    return Outcome{ticks, game.get_level(), game.get_world().get_total_score(),
                   game.get_world().get_lifes()};
}

RandProbe rand_probe() {
    // A sequence of its own, as the game's is (math/random.h): the game's is not disturbed.
    GlibcRandom sequence;
    sequence.seed(1);
    RandProbe probe;
    for (unsigned& v : probe.value) {
        v = static_cast<unsigned>(sequence.next());
    }
    return probe;
}

std::string header_lines(const RandProbe& probe) {
    return "velmora-replay " + std::to_string(kReplayVersion) + "\nrand " +
           std::to_string(probe.value[0]) + " " + std::to_string(probe.value[1]) + " " +
           std::to_string(probe.value[2]) + "\n";
}

std::string seed_line(unsigned seed, uint32_t check) {
    return "seed " + std::to_string(seed) + " " + hex8(check) + "\n";
}

std::string tick_line(long tick, uint32_t check) {
    return "t " + std::to_string(tick) + " " + hex8(check) + "\n";
}

std::string key_line(char key) {
    return std::string("k ") + key + "\n";
}

std::string draw_line() {
    return "d\n";
}

std::string summary_line(bool game_over, const Outcome& o) {
    return (game_over ? "over " : "end ") + to_string(o) + "\n";
}
