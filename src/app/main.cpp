// Velmora: the entry point and the toolkit's callbacks. Everything after glutMainLoop happens in
// a callback, one at a time, on this one thread.
#include <GL/freeglut.h>
#include <GL/gl.h>

#include <cstdio>
#include <memory>

#include "app/game.h"
#include "app/options.h"
#include "app/pacer.h"
#include "app/session.h"

// The one game, built before main: the world exists before the window does.
Game jogo;

namespace {

constexpr unsigned char kEscape = 27;

std::unique_ptr<Session> session;
Pacer pacer;

}  // namespace

// One-time GL state. The model-view matrix set here is replaced by display before anything
// is drawn, so all drawing happens straight in the field's -1..1 coordinates.
void init() {
    glClearColor(0, 0, 0, 1);
    glOrtho(-1, 1, -1, 1, -1, 1);
}

void display() {
    session->display();
}

// One tick. The timer is one-shot: it is armed again for the time left until the next tick
// falls due, so the rate holds at 20 a second whatever each tick costs.
void update(int /*value*/) {
    glutPostRedisplay();
    session->tick();
    glutTimerFunc(pacer.delay_to_next(glutGet(GLUT_ELAPSED_TIME)), update, 1);
}

// The pointer position is not used.
void keyboard(unsigned char key, int /*x*/, int /*y*/) {
    if (key == kEscape) {
        glutLeaveMainLoop();
        return;
    }
    session->key(key);
}

void special(int key, int /*x*/, int /*y*/) {
    if (key == GLUT_KEY_F11) {
        glutFullScreenToggle();
    }
}

void reshape(int width, int height) {
    const Viewport view = square_viewport(width, height);
    glViewport(view.x, view.y, view.side, view.side);
}

int main(int argc, char** argv) {
    // The command line is read before glutInit, which would open the display.
    const Options options = parse_options(argc, argv);
    if (!options.error.empty()) {
        std::fprintf(stderr, "velmora: %s\nTry 'velmora --help'.\n", options.error.c_str());
        return 2;
    }
    if (options.help || options.version) {
        std::fputs((options.help ? usage_text() : version_text()).c_str(), stdout);
        return 0;
    }
    if (options.seed) {
        jogo.new_game(*options.seed);
    }
    session = std::make_unique<Session>(jogo, options.seed);

    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowSize(500, 500);  // the first frame already fills the window
    glutCreateWindow("Velmora");
    glutDisplayFunc(display);
    glutReshapeWindow(500, 500);
    glutTimerFunc(50, update, 1);
    glutKeyboardFunc(keyboard);
    glutSpecialFunc(special);
    glutReshapeFunc(reshape);
    // Closing the window or Esc returns here, so the game can finish its business.
    glutSetOption(GLUT_ACTION_ON_WINDOW_CLOSE, GLUT_ACTION_GLUTMAINLOOP_RETURNS);
    init();
    glutMainLoop();
    return 0;
}
