#include "app/session.h"

#include <algorithm>
#include <ctime>

#include "app/score_keeper.h"
#include "game/snapshot.h"
#include "replay/reader.h"
#include "replay/recorder.h"
#include "replay/replay.h"

namespace {

constexpr unsigned char kEnter = 13;

}  // namespace

Session::Session(Game& game_, std::optional<unsigned> seed_) : game(game_), seed(seed_) {}

Session::~Session() = default;

void Session::record(std::unique_ptr<Recorder> to_file) {
    recorder = std::move(to_file);
}

void Session::keep_scores(std::unique_ptr<ScoreKeeper> keeper) {
    scores = std::move(keeper);
    attract_with([this] { return scores->best_recording(); });
}

void Session::watch(ReplayFile file) {
    demo_running = false;
    watched = std::make_unique<Replay>(std::move(file));
    watched->start(game);
    current_seed.reset();
}

void Session::tick() {
    if (is_paused) {
        return;
    }
    ++ticks_stepped;
    if (watched) {
        watched->step(game);
        if (demo_running && watched->finished()) {
            end_demo();
        }
        return;
    }
    while (frames_owed > 0) {
        frame_unseen();
    }
    const bool was_over = game.get_game_over();
    game.update();
    frames_owed = 1;
    const bool ended = !was_over && game.get_game_over();
    game_ticks += was_over ? 0 : 1;
    if (recorder) {
        recorder->tick(game, ended);
    }
    // A game's own recording stops where the game ends.
    if (live && !was_over) {
        live->tick(game, ended);
    }
    if (each_game && !was_over) {
        each_game->tick(game, ended);
    }
    if (ended && scores) {
        scores->game_over(outcome_of(game, game_ticks));
    }
    attract();
}

void Session::attract() {
    constexpr long kAttractTicks = 400;  // 20 s
    if (!game.get_game_over() || !demo_source || (scores && scores->asking_name())) {
        idle_ticks = 0;
        return;
    }
    if (++idle_ticks < kAttractTicks) {
        return;
    }
    idle_ticks = 0;
    const std::optional<std::string> text = demo_source();
    ReplayFile file;
    std::string error;
    if (!text || !read_replay_text(*text, rand_probe(), file, error)) {
        return;
    }
    before_demo = GameSnapshot::save(game);
    owed_before_demo = frames_owed;
    watched = std::make_unique<Replay>(std::move(file));
    watched->start(game);
    demo_running = true;
}

void Session::end_demo() {
    watched.reset();
    demo_running = false;
    idle_ticks = 0;
    GameSnapshot::restore(game, before_demo);
    frames_owed = owed_before_demo;
    picture = Picture{};
    picture.framed(game);
}

bool Session::key_ends_demo() {
    idle_ticks = 0;
    if (!demo_running) {
        return false;
    }
    end_demo();
    return true;
}

void Session::key(unsigned char pressed) {
    if (key_ends_demo()) {
        return;
    }
    if (scores && scores->asking_name()) {  // every key names, as typed
        scores->key(pressed);
        return;
    }
    if (const std::optional<Action> action = keys.action_of(Key{false, pressed})) {
        act(KeyMap::designed_key(*action));
    }
}

void Session::perform(Action action) {
    if (key_ends_demo()) {
        return;
    }
    const unsigned char designed = KeyMap::designed_key(action);
    if (designed == 0) {
        return;
    }
    if (scores && scores->showing()) {
        scores->key(designed);
        return;
    }
    act(designed);
}

void Session::act(unsigned char key) {
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
        if (recorder) {
            recorder->key(static_cast<char>(key));
        }
        if (live && !game.get_game_over()) {
            live->key(static_cast<char>(key));
        }
        if (each_game && !game.get_game_over()) {
            each_game->key(static_cast<char>(key));
        }
    } else if (key == kEnter && game.get_game_over()) {
        start_new_game();
    }
}

void Session::finish() {
    if (recorder) {
        recorder->end(game);
    }
    if (scores) {
        scores->abandon();  // a game left before its end is no score
    }
}

void Session::special(int key) {
    if (key_ends_demo()) {
        return;
    }
    if (scores && scores->asking_name()) {
        return;
    }
    if (const std::optional<Action> action = keys.action_of(Key{true, key})) {
        act(KeyMap::designed_key(*action));
    }
}

bool Session::replay_finished() const {
    return watched && watched->finished();
}

const std::string& Session::live_text() const {
    static const std::string none;
    return live ? live->text() : none;
}

std::string Session::live_ending() const {
    return live ? summary_line(false, outcome_of(game, live->tick_count())) : "";
}

std::string Session::recording() const {
    if (!each_in_memory || !each_game) {
        return "";
    }
    return each_game->text() + summary_line(false, outcome_of(game, each_game->tick_count()));
}

void Session::play_now(unsigned s) {
    watched.reset();
    demo_running = false;
    is_paused = false;
    if (scores) {
        scores->abandon();
    }
    start_game(s);
}

void Session::start_new_game() {
    start_game(next_seed ? next_seed() : seed ? *seed : static_cast<unsigned>(std::time(nullptr)));
}

void Session::start_game(unsigned s) {
    if (each_in_memory) {
        each_game = Recorder::in_memory();
    } else if (scores) {
        each_game = scores->record_game(s);
        scores->hide();
    }
    if (live_games) {
        live = Recorder::in_memory();
    }
    game.new_game(s);
    picture = Picture{};  // nothing of the last game's frame
    frames_owed = kFramesBeforeFirstTick;
    current_seed = s;
    game_ticks = 0;
    if (recorder) {
        recorder->new_game(s, game);
    }
    if (live) {
        live->new_game(s, game);
    }
    if (each_game) {
        each_game->new_game(s, game);
    }
}

Viewport square_viewport(int width, int height) {
    const int side = std::max(0, std::min(width, height));
    return Viewport{(width - side) / 2, (height - side) / 2, side};
}
