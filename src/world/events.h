// What happened in the world, as it happened, for whoever watches the game (its sound) without
// steering it. The world writes each event as it makes it and nothing reads them back into the
// game: with or without a watcher, every tick is the same.
#pragma once

#include <array>
#include <cstdint>

struct WorldEvent {
    enum Kind : unsigned char {
        kShipFired,
        kShipThrust,
        kInvaderFired,       // size 1 for the aimed kind, 0 for the plain
        kAsteroidBroke,      // in two; size is its diameter
        kAsteroidDestroyed,  // whole, too small to split; size is its diameter
        kInvaderDestroyed,   // by the ship's bullet
        kShipHit,            // a life lost, to a bullet or a rock
    };
    Kind kind;
    float x;     // where it happened, across the field (-1 to 1)
    float size;  // see the kinds
};

// The events numbered in the order they came, the last kKept of them kept: a watcher that reads
// every tick misses none, and the log never grows.
class EventLog {
  public:
    static constexpr uint64_t kKept = 256;

    void add(WorldEvent event) { ring[count++ % kKept] = event; }
    // The number the next event will get: a watcher reads from where it stopped up to here.
    uint64_t next() const { return count; }
    // Calls f(event) for each event numbered from `from` on that is still kept, in order.
    template <typename F>
    void since(uint64_t from, F f) const {
        for (uint64_t i = count > kKept && from < count - kKept ? count - kKept : from; i < count;
             ++i) {
            f(ring[i % kKept]);
        }
    }

  private:
    std::array<WorldEvent, kKept> ring{};
    uint64_t count = 0;
};
