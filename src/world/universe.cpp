#include "world/universe.h"

#include <ctime>

#include "math/random.h"
#include "math/trig.h"

UniverseG::UniverseG() {
    new_game(static_cast<unsigned>(std::time(nullptr)));
}

UniverseG::~UniverseG() = default;

void UniverseG::new_game(unsigned seed) {
    // Invaders aim at the ship they were made with: they go before it does.
    invaders.clear();
    bullets.clear();
    asteroids.clear();
    particles.clear();

    ship_resistance = 0.5f;
    ship_shot_force = 0.5f;
    ship = std::make_unique<Ship>(0.0f, 0.0f);
    ship->add_force_res(ship_resistance);  // the only resistance the ship ever gets

    asteroid_diameter = 0.2f;
    min_split_diameter = 0.08f;
    asteroid_score = 1;
    base_asteroids = 2;
    lifes = 3;
    particle_count = 200;
    particle_mass = 1000.0f;
    pull_left = 0.005f;
    pull_right = 0.005f;
    pull_top = 0.005f;
    pull_bottom = 0.005f;
    plain_period = 500;
    plain_timer = plain_period;  // the first plain invader comes with the first step
    plain_speed = 0.01f;
    plain_score = 100;
    aimed_period = 600;
    aimed_timer = aimed_period / 2;  // the first aimed invader comes with step 301
    aimed_speed = -0.01f;
    aimed_score = 100;
    total_score = 0;

    // The game's only seeding: every random number of a game comes from this one sequence,
    // the game's own (math/random.h).
    vmath::srand(seed);
    restart(0);
}

void UniverseG::restart(int level) {
    // The asteroid list is already empty: a level is set up only once it has been cleared.
    bullets.clear();
    particles.clear();
    invaders.clear();
    ship->set_state(Ship::kBlinking);

    float x = -0.7f;
    float y = 0.2f;
    for (int i = 0; i < base_asteroids + level; ++i) {
        const float t = (vmath::rand() % 101) / 100.0f;
        // From 0 to pi: every asteroid starts off heading upward or level.
        const float a = t * 180 * 0.0174532925;
        const float s = t * a + 150;
        Vector push{s * vmath::cos(a), s * vmath::sin(a)};
        auto rock = std::make_unique<Asteroid>(x, y, asteroid_diameter, &push);
        rock->set_score(asteroid_score);
        asteroids.push_back(std::move(rock));
        x = x + (asteroid_diameter + 0.01f);
        if (x > 1) {
            x = -0.7f;
            y = y + asteroid_diameter;
        }
    }

    for (int i = 0; i < particle_count; ++i) {
        const float px = (vmath::rand() % 101) / 100.0f * 2 - 1;
        const float py = (vmath::rand() % 101) / 100.0f * 2 - 1;
        particles.push_back(std::make_unique<Particle>(px, py, particle_mass, 0.005f));
    }
}

void UniverseG::ship_left() {
    ship->left();
}

void UniverseG::ship_right() {
    ship->right();
}

void UniverseG::ship_up() {
    if (ship->get_state() != Ship::kOutOfPlay) {
        events.add(WorldEvent{WorldEvent::kShipThrust, ship->get_position().x, 0});
    }
    ship->up();
}

void UniverseG::ship_shot() {
    if (ship->get_state() == Ship::kOutOfPlay) {
        return;
    }
    const float theta = ship->get_body_angle();
    Vector force{ship_shot_force * vmath::cos(theta), ship_shot_force * vmath::sin(theta)};
    const Vector at = ship->get_position();
    auto bullet = std::make_unique<Bullet>(at.x, at.y, &force, Bullet::kFromShip);
    bullet->set_RGB(1.0f, 0.3f, 0.3f);
    const Vector v = ship->get_velocity();
    bullet->set_velocity(v.x, v.y);
    bullets.push_back(std::move(bullet));
    events.add(WorldEvent{WorldEvent::kShipFired, at.x, 0});
}

std::list<const Invader*> UniverseG::get_invaders() const {
    std::list<const Invader*> view;
    for (const auto& invader : invaders) {
        view.push_back(invader.get());
    }
    return view;
}

std::list<Asteroid*> UniverseG::get_asteroids() const {
    std::list<Asteroid*> view;
    for (const auto& rock : asteroids) {
        view.push_back(rock.get());
    }
    return view;
}
