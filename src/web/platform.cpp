// The page: its canvas (whose context the page makes, antialiased or not), its device pixels,
// its own settings dialog and storage, each game kept in memory for its script (to save, to
// submit, to stream when ranked), and its sound held until the player first acts, as browsers
// hold it. The leaderboard's commands and the score table are the desktop's.
#include "app/platform.h"

#include <GL/freeglut.h>
#include <emscripten.h>

#include <cstdlib>

#include "app/shell_state.h"
#include "audio/audio.h"

namespace {

// The canvas's pixels a CSS pixel (the screen's, or fewer while the renderer cannot keep up:
// web/quality.js); the page's settings dialog; the game attract mode shows (the leaderboard's
// best, or the page's own: scores.js), 0 for none.
EM_JS(double, page_pixel_ratio, (), { return Velmora.pixelRatio(); });
EM_JS(void, open_page_settings, (), { Velmora.openSettings(); });
EM_JS(char*, demo_recording, (), {
    var text = Velmora.demoRecording ? Velmora.demoRecording() : null;
    return text ? stringToNewUTF8(text) : 0;
});

}  // namespace

namespace platform {

std::optional<int> command(const Options& options, std::FILE*, std::FILE* err) {
    if (options.scores || !options.submit.empty() || options.leaderboard || options.live ||
        options.watch || options.export_key || !options.import_key.empty()) {
        std::fprintf(err,
                     "velmora: the score table and the leaderboard's commands are the desktop's; "
                     "the page keeps its own and sends its games with Submit score\n");
        return 2;
    }
    return std::nullopt;
}

std::optional<int> watch(const Options&, Session&, std::FILE*) {
    return std::nullopt;  // never asked: the page watches with its own script (live.js)
}

std::string settings_path() {
    return "";  // the page hands them over from its storage (velmora_settings)
}

bool keep_games(const Options&, Session& session, Pacer&, std::FILE*) {
    session.recordings().each_game_in_memory();
    session.recordings().live();  // its ranked games are streamed by its script (ranked.js)
    session.attract_with([] {
        std::optional<std::string> text;
        if (char* const kept = demo_recording()) {
            text = kept;
            free(kept);
        }
        return text;
    });
    return true;
}

bool open_window() {
    glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowSize(500, 500);
    glutCreateWindow("Velmora");
    return false;
}

std::optional<unsigned> first_seed(std::FILE*) {
    return std::nullopt;
}

void sound_opened(Audio& audio) {
    audio.hold_until_started();
}

// requestAnimationFrame paces the page's pictures: one at each.
void idle() {
    if (!shell_state().window_closed) {
        glutPostRedisplay();
    }
}

void smooth_pictures(bool) {}

int refresh_rate() {
    return 0;
}

float pixel_ratio() {
    return static_cast<float>(page_pixel_ratio());
}

void open_settings(Preferences&) {
    open_page_settings();
}

void overlay(const Preferences&, const Session&) {}

void after_tick(Session&) {}

bool replay_over() {
    return false;  // the page stays, its replay's outcome shown
}

void program_ends(Session&, const Game&, std::FILE*) {}

}  // namespace platform
