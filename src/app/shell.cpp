#include "app/shell.h"

#include <GL/freeglut.h>
#include <GL/gl.h>

#include <cstdio>
#include <ctime>
#include <memory>
#include <string>

#include "app/options.h"
#include "app/pacer.h"
#include "replay/recorder.h"
#include "replay/replay.h"

namespace {

constexpr unsigned char kEscape = 27;

bool window_closed = false;
Platform platform;
std::unique_ptr<Session> session;
Pacer pacer;

void closing() {
    window_closed = true;
}

void special(int key, int /*x*/, int /*y*/) {
    if (key == GLUT_KEY_F11) {
        glutFullScreenToggle();
    } else {
        session->special(key);
    }
}

// A window iconified (or otherwise unmapped) pauses the game, as p does: nothing is lost while
// nobody is looking, and only p resumes, when the player is ready.
void window_status(int status) {
    if (status == GLUT_HIDDEN) {
        session->pause();
    }
}

void reshape(int width, int height) {
    const Viewport view = square_viewport(width, height);
    glViewport(view.x, view.y, view.side, view.side);
}

// Sets up the session the options ask for; the exit status if the program ends here.
std::optional<int> set_up(const Options& options, Game& game) {
    session = std::make_unique<Session>(game, options.seed);
    std::string error;
    if (!options.play.empty()) {
        ReplayFile file;
        if (!load_replay(options.play, file, error)) {
            std::fprintf(stderr, "velmora: %s\n", error.c_str());
            return 2;
        }
        if (options.headless) {
            Replay replay(std::move(file));
            return play_headless(replay, game, options.play, stdout, stderr);
        }
        session->watch(std::move(file));
        return std::nullopt;
    }
    const unsigned seed = options.seed.value_or(static_cast<unsigned>(std::time(nullptr)));
    if (!options.record.empty()) {
        std::unique_ptr<Recorder> recorder = Recorder::open(options.record, error);
        if (!recorder) {
            std::fprintf(stderr, "velmora: %s\n", error.c_str());
            return 2;
        }
        session->record(std::move(recorder), seed);
    } else if (platform.record_in_memory) {
        session->record_in_memory(seed);
    } else if (options.seed) {
        game.new_game(*options.seed);
    }
    return std::nullopt;
}

}  // namespace

Session* running_session() {
    return session.get();
}

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
    // The window went in this pass of the toolkit's loop, which returns once the pass is over;
    // with no window, asking for a redisplay would be a fatal error.
    if (window_closed) {
        return;
    }
    glutPostRedisplay();
    session->tick();
    if (session->replay_finished() && platform.exit_after_replay) {
        glutLeaveMainLoop();
        return;
    }
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

int run_shell(int argc, char** argv, Game& game, const Platform& on) {
    platform = on;
    // The command line and any recording are read before glutInit, which would open the
    // display: a wrong one fails without a window.
    const Options options = parse_options(argc, argv);
    if (!options.error.empty()) {
        std::fprintf(stderr, "velmora: %s\nTry 'velmora --help'.\n", options.error.c_str());
        return 2;
    }
    if (options.help || options.version) {
        std::fputs((options.help ? usage_text() : version_text()).c_str(), stdout);
        return 0;
    }
    if (const std::optional<int> status = set_up(options, game)) {
        return *status;
    }

    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowSize(500, 500);  // the first frame already fills the window
    glutCreateWindow("Velmora");
    glutDisplayFunc(display);
    glutReshapeWindow(500, 500);
    glutTimerFunc(50, update, 1);
    glutKeyboardFunc(keyboard);
    glutSpecialFunc(special);
    glutWindowStatusFunc(window_status);
    glutReshapeFunc(reshape);
    // Closing the window or Esc returns here, so the game can finish its business.
    glutSetOption(GLUT_ACTION_ON_WINDOW_CLOSE, GLUT_ACTION_GLUTMAINLOOP_RETURNS);
    glutCloseFunc(closing);
    init();
    glutMainLoop();

    session->finish();
    if (const Replay* replay = session->replay(); replay && replay->finished()) {
        std::printf("%s\n", to_string(outcome_of(game, replay->ticks())).c_str());
        return replay_verdict(*replay, game, options.play, stderr);
    }
    return 0;
}
