// Test access to state the game keeps private: the world's lists and counters, the game's
// level, and the position of any body (bodies have no position setter).
#pragma once

#include "game/game.h"
#include "world/universe.h"

struct WorldProbe {
    static std::list<std::unique_ptr<Asteroid>>& asteroids(UniverseG& w) { return w.asteroids; }
    static BulletList& bullets(UniverseG& w) { return w.bullets; }
    static std::list<std::unique_ptr<Invader>>& invaders(UniverseG& w) { return w.invaders; }
    static std::list<std::unique_ptr<Particle>>& particles(UniverseG& w) { return w.particles; }
    static int& lifes(UniverseG& w) { return w.lifes; }
    static int& total_score(UniverseG& w) { return w.total_score; }
    static int& plain_timer(UniverseG& w) { return w.plain_timer; }
    static int& aimed_timer(UniverseG& w) { return w.aimed_timer; }
};

struct GameProbe {
    static UniverseG& world(Game& g) { return g.world; }
    static int& level(Game& g) { return g.level; }
    static int& game_over(Game& g) { return g.game_over; }
};

namespace probe_detail {
// Naming the protected members through a derived class yields pointers to Shape's members.
struct ShapeAccess : Shape {
    static Vector Shape::*position_member() { return &ShapeAccess::position; }
    static float Shape::*angle_member() { return &ShapeAccess::body_angle; }
};
}  // namespace probe_detail

inline void place(Shape& s, float x, float y) {
    s.*probe_detail::ShapeAccess::position_member() = Vector{x, y};
}

inline void set_body_angle(Shape& s, float a) {
    s.*probe_detail::ShapeAccess::angle_member() = a;
}
