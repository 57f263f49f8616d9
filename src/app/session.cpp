#include "app/session.h"

#include <GL/freeglut.h>
#include <GL/gl.h>

#include <algorithm>
#include <ctime>

#include "game/hud.h"
#include "replay/recorder.h"
#include "replay/replay.h"

namespace {

constexpr unsigned char kEnter = 13;

}  // namespace

Session::Session(Game& game_, std::optional<unsigned> seed_, Recorder* recorder_, Replay* replay_)
    : game(game_), seed(seed_), recorder(recorder_), replay(replay_) {}

void Session::tick() {
    if (paused) {
        return;
    }
    if (replay != nullptr) {
        replay->step(game);
        return;
    }
    const bool was_over = game.get_game_over();
    game.update();
    if (recorder != nullptr) {
        recorder->tick(game, !was_over && game.get_game_over());
    }
}

void Session::display() {
    glClear(GL_COLOR_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    if (paused || replay != nullptr) {
        // Drawing for real would age the bullets and count the blink: the still picture
        // leaves the game exactly where the pause found it.
        game.draw_still();
        if (paused) {
            draw_paused();
        }
    } else {
        game.draw();
        if (recorder != nullptr) {
            recorder->draw();
        }
    }
    glutSwapBuffers();
}

void Session::key(unsigned char key) {
    if (key == 'p') {
        paused = !paused;
        return;
    }
    if (paused || replay != nullptr) {
        return;
    }
    if (ship_command(game, key)) {
        if (recorder != nullptr) {
            recorder->key(static_cast<char>(key));
        }
    } else if (key == kEnter && game.get_game_over()) {
        start_new_game();
    }
}

void Session::start_new_game() {
    const unsigned s = seed ? *seed : static_cast<unsigned>(std::time(nullptr));
    game.new_game(s);
    if (recorder != nullptr) {
        recorder->new_game(s, game);
    }
}

Viewport square_viewport(int width, int height) {
    const int side = std::max(0, std::min(width, height));
    return Viewport{(width - side) / 2, (height - side) / 2, side};
}
