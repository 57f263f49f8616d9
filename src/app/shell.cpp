#include "app/shell.h"

#include <GL/freeglut.h>
#include <GL/gl.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>

#include "app/leaderboard_client.h"
#include "app/options.h"
#include "app/pacer.h"
#include "app/player_key.h"
#include "app/preferences.h"
#include "app/ranked_play.h"
#include "app/score_keeper.h"
#include "audio/audio.h"
#include "game/hud.h"
#include "replay/recorder.h"
#include "replay/replay.h"

namespace {

constexpr unsigned char kEscape = 27;

bool window_closed = false;
Platform platform;
Game* game_in_play = nullptr;
std::unique_ptr<Session> session;
std::unique_ptr<Audio> audio;  // none for a replay without a window
Pacer pacer;
std::optional<unsigned> own_seed;  // the seed of a game set up with one, started with the window
Preferences prefs;
bool idling = false;   // pictures between frames are asked for
bool sampled = false;  // the window is multisampled
constexpr double kTickMs = 50;
int refresh_hz = 60;   // the desktop display's, where it can tell
double ticked_at = 0;  // ms, steady clock: the last tick, and the last picture shown
double pictured_at = 0;

void closing() {
    window_closed = true;
}

long now_ms() {
    return glutGet(GLUT_ELAPSED_TIME);
}

// A key or a special key: to the settings screen while it is open; the shell's own actions
// (full screen, settings); anything else to the session, whose m is kept with the settings.
void pressed(Key key) {
    player_acted();
    if (prefs.screen_open()) {
        prefs.key(key);
        return;
    }
    const std::optional<Action> action = session->action_of(key);
    if (action == Action::kFullScreen) {
        glutFullScreenToggle();
    } else if (action == Action::kSettings) {
        session->pause();
        platform.keeps_settings ? prefs.open_screen() : platform.open_settings();
    } else {
        const bool muted = session->muted();
        key.special ? session->special(key.code)
                    : session->key(static_cast<unsigned char>(key.code));
        if (muted != session->muted()) {
            prefs.sound(!session->muted());
        }
    }
}

void special(int key, int /*x*/, int /*y*/) {
    pressed(Key{true, key});
}

double now_exact_ms() {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

// Pictures between frames, as often as the display shows them: the page's toolkit asks at
// each animation frame; the desktop's at most at the refresh rate, sleeping between. Each tick
// draws its own picture, so the last one before it is left out when it would come less than
// half a refresh before the tick's: 60 Hz shows three a tick, the tick's and two more.
void idle() {
    if (window_closed) {
        return;
    }
    if (!platform.paces_pictures) {
        glutPostRedisplay();
        return;
    }
    const double period = 1000.0 / refresh_hz;
    const double now = now_exact_ms();
    const bool room = now - ticked_at + period / 2 <= kTickMs;
    if (session->paused() || !room || now - pictured_at < period) {
        usleep(session->paused() ? 10000 : 1000);  // a paused field changes only with a key
        return;
    }
    glutPostRedisplay();
}

// The idle callback and multisampling follow the frames setting.
void follow_settings() {
    const bool smooth = prefs.smooth();
    if (smooth != idling) {
        glutIdleFunc(smooth ? idle : nullptr);
        idling = smooth;
    }
    if (sampled) {
        smooth ? glEnable(GL_MULTISAMPLE) : glDisable(GL_MULTISAMPLE);
    }
}

void overlay() {
    if (prefs.screen_open()) {
        prefs.draw_screen();
    } else if (session->paused() && platform.keeps_settings) {
        glColor3f(0, 1, 0);
        desenhar_str(
            -0.3f, -0.1f,
            ("settings: " + KeyMap::key_name(session->keys_of(Action::kSettings))).c_str());
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
    prefs.viewport(view.side, platform.pixel_ratio ? platform.pixel_ratio() : 1);
}

void open_audio() {
    audio = Audio::open(prefs.current().volume, stderr);
    if (platform.sound_after_first_key) {
        audio->hold_until_started();
    }
}

// Sets up the session the options ask for; the exit status if the program ends here.
std::optional<int> set_up(const Options& options, Game& game) {
    game_in_play = &game;
    session = std::make_unique<Session>(game, options.seed);
    prefs.load(options, platform.keeps_settings ? settings_path() : "", stderr);
    std::string error;
    if (!options.play.empty()) {
        ReplayFile file;
        if (!load_replay(options.play, file, error)) {
            std::fprintf(stderr, "velmora: %s\n", error.c_str());
            return 2;
        }
        if (options.headless) {
            Replay replay(std::move(file), Replay::Frames::kUnseen);
            return play_headless(replay, game, options.play, stdout, stderr);
        }
        session->watch(std::move(file));
        return std::nullopt;
    }
    bool recorded = false;
    if (!options.record.empty()) {
        std::unique_ptr<Recorder> recorder = Recorder::open(options.record, error);
        if (!recorder) {
            std::fprintf(stderr, "velmora: %s\n", error.c_str());
            return 2;
        }
        session->record(std::move(recorder));
        recorded = true;
    }
    if (platform.record_in_memory) {
        session->record_in_memory();
        recorded = true;
    }
    if (platform.keeps_scores && !options.no_scores) {
        if (std::optional<ScoreFolder> folder = ScoreFolder::open(error)) {
            session->keep_scores(std::make_unique<ScoreKeeper>(std::move(*folder), stderr));
            recorded = true;
        } else {
            std::fprintf(stderr, "velmora: no score table: %s; the game plays on\n", error.c_str());
        }
    }
    if (platform.records_live) {
        session->record_live();
    }
    set_up_ranked(options, *session, pacer);
    // A game of its own seed (else the world's, from the clock, is played as it is).
    if (recorded || options.seed || options.ranked) {
        own_seed = options.seed.value_or(static_cast<unsigned>(std::time(nullptr)));
    }
    return std::nullopt;
}

// Once the window is open: a display that cannot be opened ends the program in the toolkit,
// and must leave no recording of a game that was never played.
void begin() {
    if (const std::optional<unsigned> dealt = first_ranked_seed(stderr)) {
        own_seed = dealt;
    }
    if (own_seed) {
        session->start(*own_seed);
    }
    open_audio();
    if (platform.demo) {
        session->attract_with(platform.demo);
    }
    if (platform.refresh_rate && platform.refresh_rate() > 0) {
        refresh_hz = platform.refresh_rate();
    }
    prefs.apply(*session, audio.get(), now_ms);
    session->show_overlay(overlay);
    follow_settings();
}

// --scores, --submit and --leaderboard: said and done without a window.
std::optional<int> command(const Options& options) {
    if (options.scores) {
        return print_score_table(stdout, stderr);
    }
    if (options.export_key) {
        return export_key(stdout, stderr);
    }
    if (!options.import_key.empty()) {
        return import_key(options.import_key, stdout, stderr);
    }
    if (!options.submit.empty()) {
        return submit_recording(options.submit, options.name, leaderboard_server(options.server),
                                stdout, stderr);
    }
    if (options.leaderboard) {
        const std::string board = !options.board.empty() ? options.board
                                  : options.daily        ? "daily"
                                                         : "open";
        return print_leaderboard(leaderboard_server(options.server), board, stdout, stderr);
    }
    return std::nullopt;
}

}  // namespace

Session* running_session() {
    return session.get();
}

Preferences& running_preferences() {
    return prefs;
}

void player_acted() {
    if (audio) {
        audio->start();
    }
}

// One-time GL state. The model-view matrix set here is replaced by display before anything
// is drawn, so all drawing happens straight in the field's -1..1 coordinates.
void init() {
    glClearColor(0, 0, 0, 1);
    glOrtho(-1, 1, -1, 1, -1, 1);
}

void display() {
    pictured_at = now_exact_ms();
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
    ticked_at = now_exact_ms();
    follow_settings();
    session->tick();
    ranked_tick(*session);
    audio->after_tick(*game_in_play, session->paused(), session->muted());
    if (session->replay_finished() && platform.exit_after_replay) {
        glutLeaveMainLoop();
        return;
    }
    glutTimerFunc(pacer.delay_to_next(glutGet(GLUT_ELAPSED_TIME)), update, 1);
}

// The pointer position is not used.
void keyboard(unsigned char key, int /*x*/, int /*y*/) {
    if (key == kEscape && !prefs.screen_open()) {
        player_acted();
        glutLeaveMainLoop();
        return;
    }
    pressed(Key{false, key});
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
    if (const std::optional<int> status = command(options)) {
        return *status;
    }
    if (const std::optional<int> status = set_up(options, game)) {
        return *status;
    }

    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | GLUT_DEPTH);
    // Smooth outlines from a multisampled window, where the system has one; the designed
    // frames draw on one as on any (multisampling is off while they are shown).
    if (platform.multisample) {
        glutSetOption(GLUT_MULTISAMPLE, 4);
        glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | GLUT_DEPTH | GLUT_MULTISAMPLE);
        sampled = glutGet(GLUT_DISPLAY_MODE_POSSIBLE) != 0;
        if (!sampled) {
            glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | GLUT_DEPTH);
        }
    }
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
    begin();
    glutMainLoop();

    end_ranked(*session, game, stdout);
    session->finish();
    audio.reset();  // the device closes before the program ends (a wave file gets its sizes)
    if (const Replay* replay = session->replay(); replay && replay->finished()) {
        std::printf("%s\n", to_string(outcome_of(game, replay->ticks())).c_str());
        return replay_verdict(*replay, game, options.play, stderr);
    }
    return 0;
}
