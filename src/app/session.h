// Session: the game as the shell runs it, between the toolkit's callbacks and `Game`: the
// timer's ticks, the window's pictures and the player's keys (actions, once past the key map),
// with pause and new games on top, what the games are recorded to (recordings.h), attract mode
// (attract.h), and a recording played back in place of the keys. With none of the new keys
// pressed, every tick, frame and command reaches the game as it would reach it directly, and
// the game is framed exactly as designed whatever the display shows.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/attract.h"
#include "app/game_keeper.h"
#include "app/keymap.h"
#include "app/picture.h"
#include "app/recordings.h"
#include "game/game.h"
#include "replay/replay_file.h"

class Replay;

// How far a game watched live may fall behind its recording before it plays faster, and the
// most ticks it plays in one tick while catching up (ten seconds' worth).
constexpr long kLiveBehindTicks = 30;
constexpr long kLiveCatchUpTicks = 200;

class Session {
  public:
    // `seed` seeds every new game started with Enter; without one they are seeded from the
    // clock. The game is only pointed to and outlives the session.
    Session(Game& game, std::optional<unsigned> seed);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Set up before the first game: what the games are recorded to; what keeps each game once
    // it ends (and supplies attract mode's demo); where the seeds of games started with Enter
    // come from (a ranked game's server), in place of --seed or the clock.
    Recordings& recordings() { return recorded; }
    const Recordings& recordings() const { return recorded; }
    void keep_games(std::unique_ptr<GameKeeper> keeper);
    void deal_seeds(std::function<unsigned()> dealer) { next_seed = std::move(dealer); }
    // Attract mode's demo, where nothing keeps the games (the page's own best).
    void attract_with(std::function<std::optional<std::string>()> demo) {
        attract.from(std::move(demo));
    }
    // How the field is shown (settings.h): the designed frame a tick, with neither; pictures
    // between the frames too, with `smooth` (the time from `clock`, in ms); in the look's
    // palette and line width. The game is the same under any.
    void show_as(bool smooth, const Look& look, std::function<long()> clock);
    // The keys the player chose.
    void use_keys(const KeyMap& map) { keys = map; }
    // A line or two at the top of the field (a ranked game's standing), and whatever is drawn
    // over everything (the settings screen), asked for at every picture.
    void show_banner(std::function<std::string()> banner) { banner_text = std::move(banner); }
    void show_overlay(std::function<void()> overlay) { overlay_drawn = std::move(overlay); }

    // A new game from `seed`.
    void start(unsigned seed);
    // A new game from `seed` at once, whatever was going on (a replay watched, a pause, a game
    // in play): a ranked game the page was dealt.
    void play_now(unsigned seed);
    // Plays the recorded `file` instead of the keys, from its first game: steering, firing and
    // new games do nothing until it has played its last record.
    void watch(ReplayFile file);
    // Watches a game while it is played: its recording comes in pieces (watch_more, whole
    // lines; false with `error` if they are not a recording's), and the game follows it at
    // its pace; a backlog of more than kLiveBehindTicks (joining mid-game, a late piece) is
    // played faster until it is down to a second's. live_ended: no more pieces will come.
    void watch_live();
    bool watch_more(const std::string& lines, std::string& error);
    void live_ended() { live = false; }
    bool watching_live() const { return watched && live; }

    // One timer tick: a tick of the game (or of the replay), unless paused.
    void tick();
    // One picture: clear, draw, swap. A paused game is shown as it stood, under "PAUSED", and
    // nothing in it changes; a replay draws where the recording did and is only shown here.
    void display();
    // A key, or a special key, from the keyboard: whatever action the player's keys give it
    // (Space and the upper-case letters are their designed keys exactly); while the game
    // keeper asks for something, the key as typed.
    void key(unsigned char key);
    void special(int key);
    // An action from a control that stands for it (the page's buttons and gamepads).
    void perform(Action action);
    // The action a key stands for under the player's keys (the shell's own among them), and
    // the first key of an action.
    std::optional<Action> action_of(Key key) const { return keys.action_of(key); }
    Key keys_of(Action action) const {
        return keys.keys_of(action).empty() ? Key{} : keys.keys_of(action).front();
    }
    // The window went out of sight: paused, unless it was. Only the pause action resumes.
    void pause() { is_paused = true; }
    // The program ends: a recording to a file gets its summary, last.
    void finish();

    bool paused() const { return is_paused; }
    // Muted: the sound is off and "MUTED" shows in a corner.
    bool muted() const { return is_muted; }
    void set_muted(bool on) { is_muted = on; }
    bool showing_demo() const { return attract.running(); }
    // Pictures shown, those between two of the game's frames, and ticks stepped (not paused):
    // the page reports its rates.
    long pictures() const { return pictures_shown; }
    long between() const { return pictures_between; }
    long ticks() const { return ticks_stepped; }
    // The replay being watched, if any.
    const Replay* replay() const { return watched.get(); }
    bool replay_finished() const;
    // The game in play's recording as a file, its summary last, when kept in memory.
    std::string recording() const { return recorded.game_text(game); }

  private:
    void start_new_game();
    void act(Action action);
    // A designed frame owed, made unseen (a tick fell due before it was drawn, or the smooth
    // pictures make theirs so); the pictures; the demo's end.
    void frame_unseen();
    void picture_field(long now);
    void end_demo();
    // A key came: it ends a demo (and does nothing else), or starts the wait again.
    bool key_ends_demo();
    bool keeper_asking() const { return keeper && keeper->asking(); }

    Game& game;
    std::optional<unsigned> seed;
    Recordings recorded;
    std::unique_ptr<GameKeeper> keeper;
    std::function<unsigned()> next_seed;
    std::function<std::string()> banner_text;
    std::function<void()> overlay_drawn;
    std::unique_ptr<Replay> watched;
    bool live = false;  // the replay watched grows (a game being played)
    Attract attract;
    bool is_paused = false;
    bool is_muted = false;
    KeyMap keys;
    // The look: pictures drawn by the picture layer (smooth, or another look than designed).
    bool smooth = false;
    bool pictured = false;
    Look look;
    std::function<long()> clock;
    Picture picture;
    // Designed frames owed: those before the first tick, then one after each.
    int frames_owed = kFramesBeforeFirstTick;
    long framed_at = 0;
    long pictures_shown = 0;
    long pictures_between = 0;
    long ticks_stepped = 0;
};

// The largest square that fits a window of width by height pixels, centred: the field keeps
// its shape and the rest of the window stays black.
struct Viewport {
    int x, y, side;
};
Viewport square_viewport(int width, int height);
