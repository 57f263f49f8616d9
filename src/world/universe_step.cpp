// The world's step: one tick, in the designed order of its phases. Collisions use the outlines
// of the last draw, not the positions just stepped.
#include <iterator>
#include <vector>

#include "math/random.h"
#include "world/universe.h"

void UniverseG::update() {
    spawn_invaders();
    pull_particles();
    move_bodies();
    bullet_pass();
    ship_contact_pass();
    invader_pass();
}

void UniverseG::spawn_invaders() {
    if (plain_timer == plain_period) {
        auto plain = std::make_unique<Invader>(-1.0f, -0.5f, &bullets, 0.05f);
        plain->set_velocity(plain_speed, 0);
        plain->set_score(plain_score);
        invaders.push_back(std::move(plain));
        plain_timer = 0;
    } else {
        ++plain_timer;
    }

    if (aimed_timer == aimed_period) {
        auto aimed = std::make_unique<Invader>(1.0f, 0.5f, &bullets, 0.03f);
        aimed->target = ship.get();
        aimed->set_velocity(aimed_speed, 0);
        aimed->set_score(aimed_score);
        aimed->set_RGB(1, 1, 0);
        invaders.push_back(std::move(aimed));
        aimed_timer = 0;
    } else {
        ++aimed_timer;
    }
}

void UniverseG::pull_particles() {
    // Each edge pulls with the inverse square of its distance plus one, so the stars drift
    // outward from the centre toward the nearer edges.
    for (const auto& particle : particles) {
        const Vector at = particle->get_position();
        const float dr = 2 - at.x;
        const float dl = at.x + 2;
        const float dt = 2 - at.y;
        const float db = at.y + 2;
        Vector pull{pull_right / (dr * dr) - pull_left / (dl * dl),
                    pull_top / (dt * dt) - pull_bottom / (db * db)};
        particle->add_force(&pull, 1);
        particle->update();
    }
}

void UniverseG::move_bodies() {
    ship->update();
    for (const auto& bullet : bullets) {
        bullet->update();
    }
    for (const auto& rock : asteroids) {
        rock->update();
    }
}

void UniverseG::bullet_pass() {
    for (auto it = bullets.begin(); it != bullets.end();) {
        const Bullet& bullet = **it;
        const std::vector<Vector> ends = bullet.get_points_transf();
        // Never drawn yet: no ends to test. It joins the pass once it has been drawn.
        if (ends.size() < 2) {
            ++it;
            continue;
        }
        const SegmentProbe seg(ends[0], ends[1]);
        if (bullet.get_origin() == Bullet::kFromInvader) {
            bullet_hits_ship(seg);
        } else {
            bullet_hits_invader(seg);
        }
        const bool spent = bullet_hits_asteroid(bullet, seg);
        it = spent ? bullets.erase(it) : std::next(it);
    }
}

void UniverseG::bullet_hits_ship(const SegmentProbe& seg) {
    if (ship->get_state() == Ship::kInPlay && ship->intersection_seg(seg)) {
        --lifes;
        ship->set_state(Ship::kBlinking);
        events.add(WorldEvent{WorldEvent::kShipHit, ship->get_position().x, 0});
    }
}

void UniverseG::bullet_hits_invader(const SegmentProbe& seg) {
    for (auto it = invaders.begin(); it != invaders.end(); ++it) {
        if ((*it)->intersection_seg(seg)) {
            total_score += (*it)->get_score();
            events.add(WorldEvent{WorldEvent::kInvaderDestroyed, (*it)->get_position().x, 0});
            invaders.erase(it);
            return;  // the bullet flies on
        }
    }
}

bool UniverseG::bullet_hits_asteroid(const Bullet& bullet, const SegmentProbe& seg) {
    for (auto it = asteroids.begin(); it != asteroids.end(); ++it) {
        const Asteroid& rock = **it;
        if (rock.intersection_seg(seg)) {
            total_score += rock.get_score();
            // The halves go to the end of the list; this bullet is spent and tests none of them.
            const bool splits = rock.get_diameter() > min_split_diameter;
            if (splits) {
                split(rock, bullet);
            }
            events.add(
                WorldEvent{splits ? WorldEvent::kAsteroidBroke : WorldEvent::kAsteroidDestroyed,
                           rock.get_position().x, rock.get_diameter()});
            asteroids.erase(it);
            return true;
        }
    }
    return false;
}

void UniverseG::split(const Asteroid& rock, const Bullet& bullet) {
    const float ratio = (vmath::rand() % 2 + 5.0) / 10.0;  // 0.5 or 0.6
    const float rest = 1 - ratio;
    const float mass = rock.get_mass() + bullet.get_mass();
    const Vector vr = rock.get_velocity();
    const Vector vb = bullet.get_velocity();
    const Vector sum{vr.x + vb.x, vr.y + vb.y};
    const Vector at = rock.get_position();
    Vector no_push{0, 0};

    auto first = std::make_unique<Asteroid>(at.x, at.y, rock.get_diameter() * ratio, &no_push);
    // Double here: the float ratio just above 0.6 turns a score of 1 into 1, not 2.
    first->set_score(static_cast<int>(rock.get_score() / static_cast<double>(ratio)));
    first->set_mass(mass * ratio);
    first->set_velocity(sum.x * ratio, sum.y * ratio);
    asteroids.push_back(std::move(first));

    auto second = std::make_unique<Asteroid>(at.x, at.y, rock.get_diameter() * rest, &no_push);
    second->set_score(static_cast<int>(rock.get_score() / static_cast<double>(rest)));
    second->set_mass(mass * rest);
    second->set_velocity(-sum.x * rest, -sum.y * rest);
    asteroids.push_back(std::move(second));
}

void UniverseG::ship_contact_pass() {
    if (ship->get_state() != Ship::kInPlay) {
        return;
    }
    for (const auto& rock : asteroids) {
        if (rock->intersection_sh(ship.get())) {
            ship->set_state(Ship::kBlinking);
            --lifes;
            events.add(WorldEvent{WorldEvent::kShipHit, ship->get_position().x, 0});
            return;  // one contact pass costs at most one life
        }
    }
}

void UniverseG::invader_pass() {
    for (auto it = invaders.begin(); it != invaders.end();) {
        Invader& invader = **it;
        const size_t shots = bullets.size();
        invader.update();  // may fire into the bullet list
        if (bullets.size() > shots) {
            events.add(WorldEvent{WorldEvent::kInvaderFired, invader.get_position().x,
                                  invader.target != nullptr ? 1.0f : 0.0f});
        }
        // Only the right edge retires an invader; it does not wrap.
        const bool gone = invader.get_position().x > 1 || touches_asteroid(invader);
        it = gone ? invaders.erase(it) : std::next(it);
    }
}

bool UniverseG::touches_asteroid(const Invader& invader) const {
    for (const auto& rock : asteroids) {
        if (rock->intersection_sh(&invader)) {
            return true;
        }
    }
    return false;
}
