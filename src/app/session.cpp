#include "app/session.h"

#include <GL/freeglut.h>
#include <GL/gl.h>

#include <algorithm>
#include <ctime>

#include "app/hud.h"

namespace {

constexpr unsigned char kEnter = 13;

}  // namespace

Session::Session(Game& game_, std::optional<unsigned> seed_) : game(game_), seed(seed_) {}

void Session::tick() {
    if (!paused) {
        game.update();
    }
}

void Session::display() {
    glClear(GL_COLOR_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    if (paused) {
        // Drawing for real would age the bullets and count the blink: the still picture
        // leaves the game exactly where the pause found it.
        game.draw_still();
        draw_paused();
    } else {
        game.draw();
    }
    glutSwapBuffers();
}

void Session::key(unsigned char key) {
    if (key == 'p') {
        paused = !paused;
        return;
    }
    if (paused) {
        return;
    }
    switch (key) {
        case 'a':
            game.ship_left();
            break;
        case 'd':
            game.ship_right();
            break;
        case 'w':
            game.ship_up();
            break;
        case 'q':
            game.ship_shot();
            break;
        case kEnter:
            if (game.get_game_over()) {
                start_new_game();
            }
            break;
        default:
            break;
    }
}

void Session::start_new_game() {
    game.new_game(seed ? *seed : static_cast<unsigned>(std::time(nullptr)));
}

Viewport square_viewport(int width, int height) {
    const int side = std::max(0, std::min(width, height));
    return Viewport{(width - side) / 2, (height - side) / 2, side};
}
