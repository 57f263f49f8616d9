// Helpers that set up exact situations in a world: empty it, then put rocks, bullets and
// invaders where a test needs them, drawn once so they have outlines, as the game would.
#pragma once

#include <memory>

#include "math/random.h"
#include "probes.h"

// Lays level 0 out again from srand(seed). The world's constructor seeds from the clock, so a
// test that plays from the start calls this to make the whole game repeatable.
inline void replay_level_zero(UniverseG& w, unsigned seed) {
    vmath::srand(seed);
    WorldProbe::asteroids(w).clear();
    w.restart(0);
}

// Empties every list and holds the invader schedules back (the next ones come 500 steps on).
inline void empty_world(UniverseG& w) {
    WorldProbe::asteroids(w).clear();
    WorldProbe::bullets(w).clear();
    WorldProbe::invaders(w).clear();
    WorldProbe::particles(w).clear();
    WorldProbe::plain_timer(w) = 0;
    WorldProbe::aimed_timer(w) = 0;
}

// An asteroid at rest whose outline comes from srand(outline_seed), appended and drawn.
inline Asteroid* add_rock(UniverseG& w, float x, float y, float diameter, int score,
                          unsigned outline_seed = 1) {
    vmath::srand(outline_seed);
    Vector no_push{0, 0};
    auto rock = std::make_unique<Asteroid>(x, y, diameter, &no_push);
    rock->set_score(score);
    rock->draw();
    Asteroid* raw = rock.get();
    WorldProbe::asteroids(w).push_back(std::move(rock));
    return raw;
}

// A bullet centred on (x, y), lying along push, appended and drawn once (age 1).
inline Bullet* add_bullet(UniverseG& w, float x, float y, Vector push, int origin) {
    auto bullet = std::make_unique<Bullet>(x, y, &push, origin);
    bullet->draw();
    Bullet* raw = bullet.get();
    WorldProbe::bullets(w).push_back(std::move(bullet));
    return raw;
}

// A plain invader of radius 0.05 at (x, y), appended and drawn.
inline Invader* add_invader(UniverseG& w, float x, float y, int score = 100) {
    auto invader = std::make_unique<Invader>(x, y, &WorldProbe::bullets(w), 0.05f);
    invader->set_score(score);
    invader->draw();
    Invader* raw = invader.get();
    WorldProbe::invaders(w).push_back(std::move(invader));
    return raw;
}

// The ship, put in play at (x, y) and drawn there.
inline Ship* ship_in_play_at(UniverseG& w, float x, float y) {
    Ship* ship = w.get_ship();
    ship->set_state(Ship::kInPlay);
    place(*ship, x, y);
    ship->draw();
    return ship;
}
