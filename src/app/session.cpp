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

Session::Session(Game& game_, std::optional<unsigned> seed_) : game(game_), seed(seed_) {}

Session::~Session() = default;

void Session::record(std::unique_ptr<Recorder> to_file, unsigned first_seed) {
    recorder = std::move(to_file);
    in_memory = false;
    start_recorded_game(first_seed);
}

void Session::record_in_memory(unsigned first_seed) {
    in_memory = true;
    start_recorded_game(first_seed);
}

void Session::watch(ReplayFile file) {
    watched = std::make_unique<Replay>(std::move(file));
    watched->start(game);
    current_seed.reset();
}

void Session::tick() {
    if (is_paused) {
        return;
    }
    if (watched) {
        watched->step(game);
        return;
    }
    const bool was_over = game.get_game_over();
    game.update();
    // A recording kept in memory is one game: it stops where the game ends.
    if (recorder && !(in_memory && was_over)) {
        recorder->tick(game, !was_over && game.get_game_over());
    }
}

void Session::display() {
    glClear(GL_COLOR_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    if (is_paused || watched) {
        // Drawing for real would age the bullets and count the blink: the still picture
        // leaves the game exactly where the pause found it.
        game.draw_still();
        if (is_paused) {
            draw_paused();
        }
        if (is_muted) {
            draw_muted();
        }
    } else {
        game.draw();
        if (recorder && !(in_memory && game.get_game_over())) {
            recorder->draw();
        }
        if (is_muted) {
            draw_muted();
        }
    }
    glutSwapBuffers();
}

void Session::key(unsigned char pressed) {
    const unsigned char key = designed_key(pressed);
    if (key == 'p') {
        is_paused = !is_paused;
        return;
    }
    if (key == 'm') {  // the sound is no part of the game: it turns off and on paused too
        is_muted = !is_muted;
        return;
    }
    if (is_paused) {
        return;
    }
    if (watched) {
        if (key == kEnter && watched->finished()) {
            watched.reset();
            start_new_game();
        }
        return;
    }
    if (ship_command(game, key)) {
        if (recorder && !(in_memory && game.get_game_over())) {
            recorder->key(static_cast<char>(key));
        }
    } else if (key == kEnter && game.get_game_over()) {
        start_new_game();
    }
}

void Session::finish() {
    if (recorder && !in_memory) {
        recorder->end(game);
    }
}

void Session::special(int key) {
    switch (key) {
        case GLUT_KEY_LEFT:
            Session::key('a');
            break;
        case GLUT_KEY_RIGHT:
            Session::key('d');
            break;
        case GLUT_KEY_UP:
            Session::key('w');
            break;
        default:
            break;
    }
}

bool Session::replay_finished() const {
    return watched && watched->finished();
}

std::string Session::recording() const {
    if (!in_memory || !recorder) {
        return "";
    }
    return recorder->text() + summary_line(false, outcome_of(game, recorder->tick_count()));
}

void Session::start_new_game() {
    const unsigned s = seed ? *seed : static_cast<unsigned>(std::time(nullptr));
    if (in_memory || recorder) {
        start_recorded_game(s);
    } else {
        game.new_game(s);
        current_seed = s;
    }
}

void Session::start_recorded_game(unsigned s) {
    // A recording in memory holds one game; its header reseeds rand(), so it comes first.
    if (in_memory) {
        recorder = Recorder::in_memory();
    }
    game.new_game(s);
    current_seed = s;
    recorder->new_game(s, game);
}

unsigned char designed_key(unsigned char key) {
    switch (key) {
        case 'A':
        case 'D':
        case 'W':
        case 'Q':
        case 'P':
        case 'M':
            return static_cast<unsigned char>(key - 'A' + 'a');
        case ' ':
            return 'q';
        default:
            return key;
    }
}

Viewport square_viewport(int width, int height) {
    const int side = std::max(0, std::min(width, height));
    return Viewport{(width - side) / 2, (height - side) / 2, side};
}
