// The desktop: a freeglut window (multisampled where the system has one), its display's
// refresh rate and vsync, the settings file and screen, the score table and its folder, and
// the leaderboard's clients (--submit, --leaderboard, --live, --watch, --ranked, the player's
// key).
#include "app/platform.h"

#include <GL/freeglut.h>
#include <GL/gl.h>
#include <unistd.h>

#include <memory>

#include "app/preferences.h"
#include "app/settings.h"
#include "app/shell_state.h"
#include "desktop/leaderboard_client.h"
#include "desktop/live_watch.h"
#include "desktop/player_key.h"
#include "desktop/ranked_play.h"
#include "desktop/refresh_rate.h"
#include "desktop/score_keeper.h"
#include "game/hud.h"

namespace {

ShellState& state = shell_state();
bool synced = false;  // the driver waits for the refresh at each swap (smooth only)

int refresh_hz() {
    static const int hz = display_refresh_rate() > 0 ? display_refresh_rate() : 60;
    return hz;
}

}  // namespace

namespace platform {

std::optional<int> command(const Options& options, std::FILE* out, std::FILE* err) {
    if (options.scores) {
        return print_score_table(out, err);
    }
    if (options.export_key) {
        return export_key(out, err);
    }
    if (!options.import_key.empty()) {
        return import_key(options.import_key, out, err);
    }
    if (!options.submit.empty()) {
        return submit_recording(options.submit, options.name, leaderboard_server(options.server),
                                out, err);
    }
    if (options.leaderboard) {
        const std::string board = !options.board.empty() ? options.board
                                  : options.daily        ? "daily"
                                                         : "open";
        return print_leaderboard(leaderboard_server(options.server), board, out, err);
    }
    if (options.live) {
        return print_live(leaderboard_server(options.server),
                          options.board.empty() ? "open" : options.board, out, err);
    }
    return std::nullopt;
}

std::optional<int> watch(const Options& options, Session& session, std::FILE* err) {
    return set_up_watch(options, session, err);
}

std::string settings_path() {
    return ::settings_path();
}

bool keep_games(const Options& options, Session& session, Pacer& pacer, std::FILE* err) {
    bool kept = false;
    if (!options.no_scores) {
        std::string error;
        if (std::optional<ScoreFolder> folder = ScoreFolder::open(error)) {
            session.keep_games(std::make_unique<ScoreKeeper>(std::move(*folder), err));
            kept = true;
        } else {
            std::fprintf(err, "velmora: no score table: %s; the game plays on\n", error.c_str());
        }
    }
    set_up_ranked(options, session, pacer);
    return kept;
}

bool open_window() {
    // Smooth outlines from a multisampled window, where the system has one; the designed
    // frames draw on one as on any (multisampling is off while they are shown).
    glutSetOption(GLUT_MULTISAMPLE, 4);
    glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | GLUT_DEPTH | GLUT_MULTISAMPLE);
    const bool sampled = glutGet(GLUT_DISPLAY_MODE_POSSIBLE) != 0;
    if (!sampled) {
        glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | GLUT_DEPTH);
    }
    glutInitWindowSize(500, 500);  // the first frame already fills the window
    glutCreateWindow("Velmora");
    return sampled;
}

std::optional<unsigned> first_seed(std::FILE* err) {
    return first_ranked_seed(err);
}

void sound_opened(Audio&) {}

// Pictures between frames, at most at the refresh rate, sleeping between. Each tick draws its
// own picture, so the last one before it is left out when it would come less than half a
// refresh before the tick's: 60 Hz shows three a tick, the tick's and two more. Where the
// driver waits for the refresh at each swap, that wait paces the pictures, and each is asked
// for a quarter of a period early: drawn just before the refresh that shows it, rather than
// just after the one before.
void idle() {
    if (state.window_closed) {
        return;
    }
    const double period = 1000.0 / refresh_hz();
    const double now = now_exact_ms();
    const bool room = now - state.ticked_at + period / 2 <= kTickMs;
    const double spacing = synced ? period * 0.75 : period;
    if (state.session->paused() || !room || now - state.pictured_at < spacing) {
        usleep(state.session->paused() ? 10000 : 1000);  // a paused field changes only with a key
        return;
    }
    glutPostRedisplay();
}

// Vsync is asked for with smooth pictures only, and given back when they stop: the designed
// frames are swapped as the driver always swapped them.
void smooth_pictures(bool on) {
    if (on) {
        synced = sync_to_refresh(true);
    } else if (synced) {
        sync_to_refresh(false);
        synced = false;
    }
}

int refresh_rate() {
    return refresh_hz();
}

float pixel_ratio() {
    return 1;
}

void open_settings(Preferences& prefs) {
    prefs.open_screen();
}

void overlay(const Preferences& prefs, const Session& session) {
    if (prefs.screen_open()) {
        prefs.draw_screen();
    } else if (session.paused()) {
        glColor3f(0, 1, 0);
        desenhar_str(-0.3f, -0.1f,
                     ("settings: " + KeyMap::key_name(session.keys_of(Action::kSettings))).c_str());
    }
}

void after_tick(Session& session) {
    ranked_tick(session);
    watch_tick(session);
}

bool replay_over() {
    glutLeaveMainLoop();
    return true;
}

void program_ends(Session& session, const Game& game, std::FILE* out) {
    end_ranked(session, game, out);
    end_watch(out);
}

}  // namespace platform
