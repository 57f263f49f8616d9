// UniverseG: the world. It owns the ship and every asteroid, bullet, particle and invader in
// play, keeps the score and the lives, sets up levels, runs the per-tick step with all its
// collisions, and draws everything.
#pragma once

#include <list>
#include <memory>
#include <utility>

#include "objects/asteroid.h"
#include "objects/bullet.h"
#include "objects/invader.h"
#include "objects/particle.h"
#include "objects/ship.h"
#include "world/events.h"

class UniverseG {
  public:
    // Makes the ship, seeds rand() from the clock and sets up level 0. Touches no GL state: the
    // world exists before the window does.
    UniverseG();
    ~UniverseG();
    // Invaders keep pointers to the bullet list and the ship: the world never moves.
    UniverseG(const UniverseG&) = delete;
    UniverseG& operator=(const UniverseG&) = delete;

    // One tick: invader schedules, particles, motion, bullet pass, ship contact, invader pass.
    void update();
    // Draws particles, bullets, asteroids, invaders and the ship, in that order. Not const: it
    // rebuilds every drawn outline, ages the bullets and drops those on their 50th draw.
    void draw();
    // What draw changes in the game, with nothing drawn: every outline a collision will test
    // rebuilt (the stars collide with nothing: theirs are left as they were), the bullets aged
    // and retired, the ship's blink counted. A replay checked without a window draws this way.
    void frame_unseen();
    // The picture of the last draw again, changing nothing: no ageing, no blink counting, no
    // outline rebuilt. What a paused game or a replay shows.
    void show_still() const;
    // Everything a newly built world holds, with rand() seeded by `seed` instead of the clock:
    // a new game, or the same one again from the same seed. Every object of the old game goes.
    void new_game(unsigned seed);
    // Sets up level `level`: fresh asteroids and particles, no bullets or invaders, ship
    // blinking. Score, lives, the ship's motion and the invader timers carry over.
    void restart(int level);

    void ship_left();
    void ship_right();
    void ship_up();
    // Fires a light-red bullet from the ship, with the ship's velocity; nothing in state 2.
    void ship_shot();

    int get_total_score() const { return total_score; }
    int get_lifes() const { return lifes; }
    // The ship lives as long as the world.
    Ship* get_ship() const { return ship.get(); }
    // A copy of the asteroid list: non-owning pointers, valid until the asteroid leaves play.
    std::list<Asteroid*> get_asteroids() const;
    // The invaders in play, likewise, to look at.
    std::list<const Invader*> get_invaders() const;
    // Every body in play, to look at, in the order draw draws them: f(const Particle&) for each
    // star, then f(const Bullet&), f(const Asteroid&), f(const Invader&), and f(const Ship&).
    template <typename F>
    void visit_bodies(F&& f) const {
        for (const auto& p : particles) {
            f(static_cast<const Particle&>(*p));
        }
        for (const auto& b : bullets) {
            f(static_cast<const Bullet&>(*b));
        }
        for (const auto& a : asteroids) {
            f(static_cast<const Asteroid&>(*a));
        }
        for (const auto& i : invaders) {
            f(static_cast<const Invader&>(*i));
        }
        f(static_cast<const Ship&>(*ship));
    }
    // What has happened: shots, thrust, hits, rocks broken (see events.h). Only the world writes
    // it; nothing in the game reads it.
    const EventLog& get_events() const { return events; }
    // How many of each kind are in play: what a step's collision tests cost.
    struct Population {
        size_t asteroids, bullets, invaders;
    };
    Population population() const { return {asteroids.size(), bullets.size(), invaders.size()}; }

    // Hands `sink` the whole state a later tick can depend on: score, lives, the invader
    // schedules, then the ship and every asteroid, bullet, invader and star in list order (each
    // list led by its length). Changes nothing; the recordings' check value is made this way.
    template <typename Sink>
    void visit_state(Sink& sink) const;

    // The whole world, out or back in (a saved game, game/snapshot.h, whose `IO` does the
    // bytes): the tuning values and counters, then the ship and each list, led by its length.
    // Restoring makes every body anew and then gives it its saved fields. An asteroid's
    // constructor draws from the random sequence: whoever restores sets it where it stood after.
    template <typename IO>
    void save(IO& out) const;
    template <typename IO>
    void restore(IO& in);

  private:
    friend struct WorldProbe;  // test access to the lists and counters
    template <typename Self, typename IO>
    static void fields(Self& w, IO& io);

    // The steps of update, in the order it runs them.
    void spawn_invaders();
    void pull_particles();
    void move_bodies();
    void bullet_pass();
    void ship_contact_pass();
    void invader_pass();

    // The bullet pass for one bullet, seg its two ends: an invader's bullet against the ship, a
    // ship's bullet against the invaders, any bullet against the asteroids. Only an asteroid
    // hit spends the bullet; the last helper returns whether it did.
    void bullet_hits_ship(const SegmentProbe& seg);
    void bullet_hits_invader(const SegmentProbe& seg);
    bool bullet_hits_asteroid(const Bullet& bullet, const SegmentProbe& seg);
    bool touches_asteroid(const Invader& invader) const;
    // Appends the two halves of `rock`, shot by `bullet`, to the asteroid list.
    void split(const Asteroid& rock, const Bullet& bullet);

    std::list<std::unique_ptr<Asteroid>> asteroids;
    std::unique_ptr<Ship> ship;
    BulletList bullets;
    float ship_resistance;
    float ship_shot_force;
    float asteroid_diameter;
    int asteroid_score;
    float min_split_diameter;  // an asteroid splits only if strictly larger
    int total_score;
    int lifes;
    int base_asteroids;  // level n starts with base_asteroids + n asteroids
    std::list<std::unique_ptr<Particle>> particles;
    int particle_count;
    float particle_mass;
    float pull_left;
    float pull_right;
    float pull_top;
    float pull_bottom;
    std::list<std::unique_ptr<Invader>> invaders;
    // The invader schedules run on across levels.
    int plain_period;
    int plain_timer;
    float plain_speed;
    int plain_score;
    int aimed_period;
    int aimed_timer;
    float aimed_speed;
    int aimed_score;
    EventLog events;
};

template <typename Sink>
void UniverseG::visit_state(Sink& sink) const {
    sink.add(total_score);
    sink.add(lifes);
    sink.add(plain_timer);
    sink.add(aimed_timer);
    ship->visit_state(sink);
    const auto add_all = [&sink](const auto& list) {
        sink.add(static_cast<int>(list.size()));
        for (const auto& body : list) {
            body->visit_state(sink);
        }
    };
    add_all(asteroids);
    add_all(bullets);
    add_all(invaders);
    add_all(particles);
}

template <typename Self, typename IO>
void UniverseG::fields(Self& w, IO& io) {
    io.field(w.ship_resistance);
    io.field(w.ship_shot_force);
    io.field(w.asteroid_diameter);
    io.field(w.asteroid_score);
    io.field(w.min_split_diameter);
    io.field(w.total_score);
    io.field(w.lifes);
    io.field(w.base_asteroids);
    io.field(w.particle_count);
    io.field(w.particle_mass);
    io.field(w.pull_left);
    io.field(w.pull_right);
    io.field(w.pull_top);
    io.field(w.pull_bottom);
    io.field(w.plain_period);
    io.field(w.plain_timer);
    io.field(w.plain_speed);
    io.field(w.plain_score);
    io.field(w.aimed_period);
    io.field(w.aimed_timer);
    io.field(w.aimed_speed);
    io.field(w.aimed_score);
}

template <typename IO>
void UniverseG::save(IO& out) const {
    fields(*this, out);
    Ship::fields(std::as_const(*ship), out);
    out.count(asteroids.size());
    for (const auto& rock : asteroids) {
        Asteroid::fields(std::as_const(*rock), out);
    }
    out.count(bullets.size());
    for (const auto& bullet : bullets) {
        Bullet::fields(std::as_const(*bullet), out);
    }
    out.count(invaders.size());
    for (const auto& invader : invaders) {
        out.flag(invader->target != nullptr);
        Invader::fields(std::as_const(*invader), out);
    }
    out.count(particles.size());
    for (const auto& particle : particles) {
        Particle::fields(std::as_const(*particle), out);
    }
}

template <typename IO>
void UniverseG::restore(IO& in) {
    fields(*this, in);
    Ship::fields(*ship, in);
    Vector no_push{0, 0};
    invaders.clear();
    asteroids.clear();
    for (size_t n = in.count(); n > 0; --n) {
        asteroids.push_back(std::make_unique<Asteroid>(0.0f, 0.0f, 0.0f, &no_push));
        Asteroid::fields(*asteroids.back(), in);
    }
    bullets.clear();
    for (size_t n = in.count(); n > 0; --n) {
        bullets.push_back(std::make_unique<Bullet>(0.0f, 0.0f, &no_push, Bullet::kFromShip));
        Bullet::fields(*bullets.back(), in);
    }
    for (size_t n = in.count(); n > 0; --n) {
        invaders.push_back(std::make_unique<Invader>(0.0f, 0.0f, &bullets, 0.0f));
        invaders.back()->target = in.flag() ? ship.get() : nullptr;
        Invader::fields(*invaders.back(), in);
    }
    particles.clear();
    for (size_t n = in.count(); n > 0; --n) {
        particles.push_back(std::make_unique<Particle>(0.0f, 0.0f, 1.0f, 0.0f));
        Particle::fields(*particles.back(), in);
    }
}
