#include "game/game.h"

Game::Game() : game_over(0), level(0) {}

void Game::new_game(unsigned seed) {
    world.new_game(seed);
    game_over = 0;
    level = 0;
}

void Game::update() {
    if (game_over == 0) {
        world.update();
        // The step takes at most one life, so the count passes through exactly 0.
        if (world.get_lifes() == 0) {
            game_over = 1;
            world.get_ship()->set_state(Ship::kOutOfPlay);
        } else if (world.get_asteroids().empty()) {
            ++level;
            world.restart(level);
        }
    }
    // Clearing level 9 sets up level 10 and ends the game in the same tick; the ship is left
    // in its state.
    if (level == 10) {
        game_over = 1;
    }
}

void Game::draw() {
    show_text();
    world.draw();
}

void Game::show_still() {
    show_text();
    world.show_still();
}

bool ship_command(Game& game, unsigned char key) {
    switch (key) {
        case 'a':
            game.ship_left();
            return true;
        case 'd':
            game.ship_right();
            return true;
        case 'w':
            game.ship_up();
            return true;
        case 'q':
            game.ship_shot();
            return true;
        default:
            return false;
    }
}
