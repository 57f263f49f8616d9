// The toolkit's callbacks: keys, pictures and their pacing, the window's size and state, and
// the tick.
#include <GL/freeglut.h>
#include <GL/gl.h>

#include <chrono>

#include "app/platform.h"
#include "app/shell.h"
#include "app/shell_state.h"

namespace {

constexpr unsigned char kEscape = 27;

ShellState& state = shell_state();

// A key or a special key: to the settings screen while it is open; the shell's own actions
// (full screen, settings); anything else to the session, whose m is kept with the settings.
void pressed(Key key) {
    player_acted();
    if (state.prefs.screen_open()) {
        state.prefs.key(key);
        return;
    }
    const std::optional<Action> action = state.session->action_of(key);
    if (action == Action::kFullScreen) {
        glutFullScreenToggle();
    } else if (action == Action::kSettings) {
        state.session->pause();
        platform::open_settings(state.prefs);
    } else {
        const bool muted = state.session->muted();
        key.special ? state.session->special(key.code)
                    : state.session->key(static_cast<unsigned char>(key.code));
        if (muted != state.session->muted()) {
            state.prefs.sound(!state.session->muted());
        }
    }
}

}  // namespace

double now_exact_ms() {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

void closing() {
    state.window_closed = true;
}

long now_ms() {
    return glutGet(GLUT_ELAPSED_TIME);
}

void special(int key, int /*x*/, int /*y*/) {
    pressed(Key{true, key});
}

// The idle callback and multisampling follow the frames setting.
void follow_settings() {
    const bool smooth = state.prefs.smooth();
    if (smooth != state.idling) {
        glutIdleFunc(smooth ? platform::idle : nullptr);
        state.idling = smooth;
        platform::smooth_pictures(smooth);
    }
    if (state.sampled) {
        smooth ? glEnable(GL_MULTISAMPLE) : glDisable(GL_MULTISAMPLE);
    }
}

void overlay() {
    platform::overlay(state.prefs, *state.session);
}

// A window iconified (or otherwise unmapped) pauses the game, as p does: nothing is lost while
// nobody is looking, and only p resumes, when the player is ready.
void window_status(int status) {
    if (status == GLUT_HIDDEN) {
        state.session->pause();
    }
}

void reshape(int width, int height) {
    const Viewport view = square_viewport(width, height);
    glViewport(view.x, view.y, view.side, view.side);
    state.prefs.viewport(view.side, platform::pixel_ratio());
}

// One-time GL state. The model-view matrix set here is replaced by display before anything
// is drawn, so all drawing happens straight in the field's -1..1 coordinates.
void init() {
    glClearColor(0, 0, 0, 1);
    glOrtho(-1, 1, -1, 1, -1, 1);
}

void display() {
    state.pictured_at = now_exact_ms();
    state.session->display();
}

// One tick. The timer is one-shot: it is armed again for the time left until the next tick
// falls due, so the rate holds at 20 a second whatever each tick costs.
void update(int /*value*/) {
    // The window went in this pass of the toolkit's loop, which returns once the pass is over;
    // with no window, asking for a redisplay would be a fatal error.
    if (state.window_closed) {
        return;
    }
    glutPostRedisplay();
    state.ticked_at = now_exact_ms();
    follow_settings();
    state.session->tick();
    platform::after_tick(*state.session);
    state.audio->after_tick(*state.game_in_play, state.session->paused(), state.session->muted());
    if (state.session->replay_finished() && platform::replay_over()) {
        return;
    }
    glutTimerFunc(state.pacer.delay_to_next(glutGet(GLUT_ELAPSED_TIME)), update, 1);
}

// The pointer position is not used.
void keyboard(unsigned char key, int /*x*/, int /*y*/) {
    if (key == kEscape && !state.prefs.screen_open()) {
        player_acted();
        glutLeaveMainLoop();
        return;
    }
    pressed(Key{false, key});
}
