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

void UniverseG::draw_unseen() {
    for (auto it = bullets.begin(); it != bullets.end();) {
        const bool expired = (*it)->draw_unseen();
        it = expired ? bullets.erase(it) : std::next(it);
    }
    for (const auto& rock : asteroids) {
        rock->draw_unseen();
    }
    for (const auto& invader : invaders) {
        invader->draw_unseen();
    }
    ship->draw_unseen();
}

void UniverseG::draw_still() const {
    for (const auto& particle : particles) {
        particle->redraw();
    }
    for (const auto& bullet : bullets) {
        bullet->redraw();
    }
    for (const auto& rock : asteroids) {
        rock->redraw();
    }
    for (const auto& invader : invaders) {
        invader->redraw();
    }
    ship->redraw();
}
