#include "replay/check_value.h"

#include <cstring>

namespace {

uint32_t bits_of(float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}

// Version 2's sum: each 32-bit word is mixed in by a 64-bit multiply and a shift, a word at a
// time, so a tick's thousands of values cost microseconds. Only integer arithmetic, the same on
// every platform.
class StateSum {
  public:
    void add(int v) { mix(static_cast<uint32_t>(v)); }
    void add(float f) { mix(f != f ? 0x7fc00000u : bits_of(f)); }
    uint32_t value() const { return static_cast<uint32_t>(hash ^ (hash >> 32)); }

  private:
    void mix(uint32_t word) {
        hash = (hash ^ word) * 0x9e3779b97f4a7c15ull;
        hash ^= hash >> 29;
    }
    uint64_t hash = 0xcbf29ce484222325ull;
};

// Version 1's sum: 32-bit FNV-1a over the bytes of whole words, lowest byte first.
class Fnv {
  public:
    void add(uint32_t word) {
        for (int i = 0; i < 4; ++i) {
            hash = (hash ^ ((word >> (8 * i)) & 0xffu)) * 16777619u;
        }
    }
    void add(float f) { add(bits_of(f)); }
    uint32_t value() const { return hash; }

  private:
    uint32_t hash = 2166136261u;
};

}  // namespace

uint32_t check_value(const Game& game) {
    StateSum sum;
    game.visit_state(sum);
    return sum.value();
}

uint32_t check_value_v1(const Game& game) {
    const UniverseG& world = game.get_world();
    Fnv h;
    h.add(static_cast<uint32_t>(game.get_level()));
    h.add(static_cast<uint32_t>(game.get_game_over()));
    h.add(static_cast<uint32_t>(world.get_total_score()));
    h.add(static_cast<uint32_t>(world.get_lifes()));
    const Ship& ship = *world.get_ship();
    h.add(ship.get_position().x);
    h.add(ship.get_position().y);
    h.add(ship.get_velocity().x);
    h.add(ship.get_velocity().y);
    h.add(ship.get_body_angle());
    h.add(static_cast<uint32_t>(ship.get_state()));
    for (const Asteroid* rock : world.get_asteroids()) {
        h.add(rock->get_position().x);
        h.add(rock->get_position().y);
        h.add(rock->get_velocity().x);
        h.add(rock->get_velocity().y);
        h.add(rock->get_diameter());
    }
    return h.value();
}

uint32_t check_value(const Game& game, int version) {
    return version == 1 ? check_value_v1(game) : check_value(game);
}
