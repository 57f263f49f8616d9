// The world's drawing. Every draw rebuilds the outline the next step's collisions will see.
#include <iterator>

#include "world/universe.h"

void UniverseG::draw() {
    for (const auto& particle : particles) {
        particle->draw();
    }
    for (auto it = bullets.begin(); it != bullets.end();) {
        const bool expired = (*it)->draw();  // true on its 50th draw
        it = expired ? bullets.erase(it) : std::next(it);
    }
    for (const auto& rock : asteroids) {
        rock->draw();
    }
    for (const auto& invader : invaders) {
        invader->draw();
    }
    ship->draw();  // last, over everything else
}

void UniverseG::frame_unseen() {
    for (auto it = bullets.begin(); it != bullets.end();) {
        const bool expired = (*it)->frame_unseen();
        it = expired ? bullets.erase(it) : std::next(it);
    }
    for (const auto& rock : asteroids) {
        rock->frame_unseen();
    }
    for (const auto& invader : invaders) {
        invader->frame_unseen();
    }
    ship->frame_unseen();
}

void UniverseG::show_still() const {
    for (const auto& particle : particles) {
        particle->show_again();
    }
    for (const auto& bullet : bullets) {
        bullet->show_again();
    }
    for (const auto& rock : asteroids) {
        rock->show_again();
    }
    for (const auto& invader : invaders) {
        invader->show_again();
    }
    ship->show_again();
}
