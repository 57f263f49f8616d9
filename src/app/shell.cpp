// The program's start: the command line read, the session set up to play, record or replay,
// the window opened with the callbacks (shell_callbacks.cpp) and the main loop run.
#include "app/shell.h"

#include <GL/freeglut.h>

#include <cstdio>
#include <ctime>
#include <memory>
#include <string>

#include "app/options.h"
#include "app/platform.h"
#include "app/replay_report.h"
#include "app/shell_state.h"
#include "audio/audio.h"
#include "replay/recorder.h"
#include "replay/replay.h"

namespace {

ShellState& state = shell_state();

std::optional<unsigned> own_seed;  // the seed of a game set up with one, started with the window

// Sets up the session the options ask for; the exit status if the program ends here.
std::optional<int> set_up(const Options& options, Game& game) {
    state.game_in_play = &game;
    state.session = std::make_unique<Session>(game, options.seed);
    state.prefs.load(options, platform::settings_path(), stderr);
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
        state.session->watch(std::move(file));
        return std::nullopt;
    }
    if (options.watch) {
        return platform::watch(options, *state.session, stderr);
    }
    bool recorded = false;
    if (!options.record.empty()) {
        std::unique_ptr<Recorder> recorder = Recorder::open(options.record, error);
        if (!recorder) {
            std::fprintf(stderr, "velmora: %s\n", error.c_str());
            return 2;
        }
        state.session->recordings().to_file(std::move(recorder));
        recorded = true;
    }
    recorded = platform::keep_games(options, *state.session, state.pacer, stderr) || recorded;
    // A game of its own seed (else the world's, from the clock, is played as it is).
    if (recorded || options.seed || options.ranked) {
        own_seed = options.seed.value_or(static_cast<unsigned>(std::time(nullptr)));
    }
    return std::nullopt;
}

// Once the window is open: a display that cannot be opened ends the program in the toolkit,
// and must leave no recording of a game that was never played.
void begin() {
    if (const std::optional<unsigned> dealt = platform::first_seed(stderr)) {
        own_seed = dealt;
    }
    if (own_seed) {
        state.session->start(*own_seed);
    }
    state.audio = Audio::open(state.prefs.current().volume, stderr);
    platform::sound_opened(*state.audio);
    state.prefs.apply(*state.session, state.audio.get(), now_ms);
    state.session->show_overlay(overlay);
    follow_settings();
}

}  // namespace

ShellState& shell_state() {
    static ShellState one;
    return one;
}

Session* running_session() {
    return state.session.get();
}

Preferences& running_preferences() {
    return state.prefs;
}

void player_acted() {
    if (state.audio) {
        state.audio->start();
    }
}

int run_shell(int argc, char** argv, Game& game) {
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
    if (const std::optional<int> status = platform::command(options, stdout, stderr)) {
        return *status;
    }
    if (const std::optional<int> status = set_up(options, game)) {
        return *status;
    }

    glutInit(&argc, argv);
    state.sampled = platform::open_window();
    glutDisplayFunc(display);
    glutReshapeWindow(500, 500);
    glutTimerFunc(kTickMs, update, 1);
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

    platform::program_ends(*state.session, game, stdout);
    state.session->finish();
    state.audio.reset();  // the device closes before the program ends (a wave file gets its sizes)
    if (const Replay* replay = state.session->replay(); replay && replay->finished()) {
        std::printf("%s\n", to_string(outcome_of(game, replay->ticks())).c_str());
        const std::string watched =
            options.watch ? "attempt " + std::to_string(*options.watch) : options.play;
        return replay_verdict(*replay, game, watched, stderr);
    }
    return 0;
}
