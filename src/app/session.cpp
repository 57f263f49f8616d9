#include "app/session.h"

#include <algorithm>
#include <ctime>

#include "replay/replay.h"

Session::Session(Game& game_, std::optional<unsigned> seed_) : game(game_), seed(seed_) {}

Session::~Session() = default;

void Session::keep_games(std::unique_ptr<GameKeeper> kept_by) {
    keeper = std::move(kept_by);
    GameKeeper* const k = keeper.get();
    recorded.each_game([k](unsigned s) { return k->record_game(s); });
    attract_with([k] { return k->best_recording(); });
}

void Session::watch(ReplayFile file) {
    if (attract.running()) {
        attract.end(game);
    }
    watched = std::make_unique<Replay>(std::move(file));
    live = false;
    watched->start(game);
}

void Session::watch_live() {
    watch(ReplayFile{});
    live = true;
}

bool Session::watch_more(const std::string& lines, std::string& error) {
    return watched && live && watched->extend(lines, error);
}

void Session::tick() {
    if (is_paused) {
        return;
    }
    ++ticks_stepped;
    if (attract.running()) {
        attract.replay().step(game);
        if (attract.replay().finished()) {
            end_demo();
        }
        return;
    }
    if (watched) {
        // Live: a tick a tick once caught up, faster with a backlog, waiting with none.
        const long behind = live ? watched->ticks_recorded() - watched->ticks() : 1;
        const long steps =
            behind > kLiveBehindTicks ? std::min(behind - 1000 / kTickMs, kLiveCatchUpTicks) : 1;
        for (long i = 0; i < steps && (watched->ticks() < watched->ticks_recorded() || !live);
             ++i) {
            watched->step(game);
        }
        return;
    }
    while (frames_owed > 0) {
        frame_unseen();
    }
    const bool was_over = game.get_game_over();
    game.update();
    frames_owed = 1;
    recorded.tick(game, was_over);
    if (!was_over && game.get_game_over() && keeper) {
        keeper->game_over(outcome_of(game, recorded.game_ticks()));
    }
    attract.tick(game, game.get_game_over() && !keeper_asking(), frames_owed);
}

void Session::end_demo() {
    frames_owed = attract.end(game);
    picture = Picture{};
    picture.framed(game);
}

bool Session::key_ends_demo() {
    attract.wait_again();
    if (!attract.running()) {
        return false;
    }
    end_demo();
    return true;
}

void Session::key(unsigned char pressed) {
    if (key_ends_demo()) {
        return;
    }
    if (keeper_asking()) {  // every key as typed
        keeper->key(pressed);
        return;
    }
    if (const std::optional<Action> action = keys.action_of(Key{false, pressed})) {
        act(*action);
    }
}

void Session::special(int pressed) {
    if (key_ends_demo() || keeper_asking()) {
        return;
    }
    if (const std::optional<Action> action = keys.action_of(Key{true, pressed})) {
        act(*action);
    }
}

void Session::perform(Action action) {
    if (key_ends_demo()) {
        return;
    }
    if (keeper && keeper->showing() && KeyMap::designed_key(action) != 0) {
        keeper->key(KeyMap::designed_key(action));
        return;
    }
    act(action);
}

void Session::act(Action action) {
    switch (action) {
        case Action::kPause:
            is_paused = !is_paused;
            return;
        case Action::kMute:  // the sound is no part of the game: it turns off and on paused too
            is_muted = !is_muted;
            return;
        case Action::kFullScreen:
        case Action::kSettings:  // the shell's own
            return;
        default:
            break;
    }
    if (is_paused) {
        return;
    }
    if (action == Action::kNewGame) {
        if (replay_finished()) {
            watched.reset();
            start_new_game();
        } else if (!watched && game.get_game_over()) {
            start_new_game();
        }
        return;
    }
    if (watched) {
        return;
    }
    const char designed = static_cast<char>(KeyMap::designed_key(action));
    ship_command(game, static_cast<unsigned char>(designed));
    recorded.key(designed, game);
}

void Session::finish() {
    recorded.end(game);
    if (keeper) {
        keeper->abandon();  // a game left before its end is no score
    }
}

bool Session::replay_finished() const {
    return watched && !live && watched->finished();
}

void Session::play_now(unsigned s) {
    watched.reset();
    live = false;
    if (attract.running()) {
        attract.end(game);
    }
    is_paused = false;
    if (keeper) {
        keeper->abandon();
    }
    start(s);
}

void Session::start_new_game() {
    start(next_seed ? next_seed() : seed ? *seed : static_cast<unsigned>(std::time(nullptr)));
}

void Session::start(unsigned s) {
    if (keeper) {
        keeper->hide();
    }
    game.new_game(s);
    picture = Picture{};  // nothing of the last game's frame
    frames_owed = kFramesBeforeFirstTick;
    recorded.new_game(s, game);
}

Viewport square_viewport(int width, int height) {
    const int side = std::max(0, std::min(width, height));
    return Viewport{(width - side) / 2, (height - side) / 2, side};
}
