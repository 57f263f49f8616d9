// Session: the game as the shell runs it, between the toolkit's callbacks and `Game`: the
// timer's ticks, the window's frames and the player's keys, with pause and new games on top,
// and optionally recorded as it goes or played back from a recording. With none of the new
// keys pressed, every tick, frame and command reaches the game as it would reach it directly.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/keymap.h"
#include "app/picture.h"
#include "game/game.h"
#include "replay/replay_file.h"

class Recorder;
class Replay;
class ScoreKeeper;

class Session {
  public:
    // `seed` seeds every new game started with Enter; without one they are seeded from the
    // clock. The game is only pointed to and outlives the session.
    Session(Game& game, std::optional<unsigned> seed);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // What the games are recorded to, from the game start() starts on. Writes every game to
    // `recorder` as it is played (--record FILE).
    void record(std::unique_ptr<Recorder> to_file);
    // Keeps each game's recording in memory, a fresh one per game, until the game ends (the
    // page, which has no files).
    void record_in_memory() { each_in_memory = true; }
    // Keeps each game's recording in memory as it grows, as well as wherever else it goes, for a
    // ranked game's client to send (live_text).
    void record_live() { live_games = true; }
    // Where the seeds of games started with Enter come from (a ranked game's server, which
    // deals each), in place of --seed or the clock.
    void deal_seeds(std::function<unsigned()> dealer) { next_seed = std::move(dealer); }
    // How the field is shown (settings.h): the designed frame a tick, with neither; pictures
    // between the frames too, with `smooth` (the time from `clock`, in ms); in the look's
    // palette and line width. The game is the same under any.
    void show_as(bool smooth, const Look& look, std::function<long()> clock);
    // The keys the player chose.
    void use_keys(const KeyMap& map) { keys = map; }
    // A line or two shown at the top of the field, over everything (a ranked game's standing),
    // asked for at every frame; "" shows nothing.
    void show_banner(std::function<std::string()> banner) { banner_text = std::move(banner); }
    // Attract mode: 20 s (400 ticks) after GAME OVER with no key, the recording `demo` gives
    // (the best game kept; none: no demo) plays under "DEMO - press any key"; any key, or its
    // end, brings back the GAME OVER screen exactly as it was. A demo is never recorded, kept
    // or scored.
    void attract_with(std::function<std::optional<std::string>()> demo) {
        demo_source = std::move(demo);
    }
    bool showing_demo() const { return demo_running; }
    // Drawn over everything at every frame and picture (the settings screen).
    void show_overlay(std::function<void()> overlay) { overlay_drawn = std::move(overlay); }
    // Keeps a high-score table with `scores` (the desktop's): each game recorded to its folder,
    // and at each game's end its name asked for or the table shown, which take the keys and
    // the screen until Enter.
    void keep_scores(std::unique_ptr<ScoreKeeper> scores);
    // A new game from `seed`, recorded as the above say.
    void start(unsigned seed) { start_game(seed); }
    // A new game from `seed` at once, whatever was going on (a replay watched, a pause, a game
    // in play): a ranked game the page was dealt.
    void play_now(unsigned seed);
    // Plays the recorded `file` instead of the keys, from its first game: a, d, w, q and Enter
    // do nothing until it has played its last record.
    void watch(ReplayFile file);

    // One timer tick: a tick of the game (or of the replay), unless paused.
    void tick();
    // One frame: clear, draw the game, swap. A paused game is shown as it stood, under
    // "PAUSED", and nothing in it changes; a replay draws where the recording did and is only
    // shown here.
    void display();
    // A key from the keyboard: a, d, w, q steer and fire, p pauses and resumes, Enter starts a
    // new game once the game is over (or a watched replay has ended), m turns the sound off and
    // on. Paused, only p and m act.
    // Space and the upper-case A, D, W, Q and P (Caps Lock, Shift) are those keys exactly.
    void key(unsigned char key);
    // What the player's key for `action` does, from a control that stands for the action (the
    // page's buttons and gamepads); the shell's own actions do nothing here.
    void perform(Action action);
    // A special key from the keyboard: by default the arrows left, right and up are a, d and w.
    void special(int key);
    // The action a key stands for under the player's keys, if any (the shell's own among them:
    // full screen, settings).
    std::optional<Action> action_of(Key key) const { return keys.action_of(key); }
    // The first key of an action.
    Key keys_of(Action action) const {
        return keys.keys_of(action).empty() ? Key{} : keys.keys_of(action).front();
    }
    // Pauses, unless paused already: the window went out of sight. Only p resumes.
    void pause() { is_paused = true; }

    // The program ends: a recording to a file gets its summary, last.
    void finish();

    bool paused() const { return is_paused; }
    // Pictures shown and ticks stepped (not paused) since the start: the page reports its rates.
    long pictures() const { return pictures_shown; }
    // Pictures shown between two of the game's frames (smooth motion's).
    long between() const { return pictures_between; }
    long ticks() const { return ticks_stepped; }
    // Muted: the sound is off and "MUTED" shows in a corner. m turns it on and off.
    bool muted() const { return is_muted; }
    void set_muted(bool on) { is_muted = on; }
    // The replay being watched, if any.
    const Replay* replay() const { return watched.get(); }
    bool replay_finished() const;
    // The game in play's recording as a file, its summary last: what record_in_memory kept so
    // far. Empty without it.
    std::string recording() const;
    // The seed the game in play started from, when the session knows it.
    std::optional<unsigned> game_seed() const { return current_seed; }
    // The game in play's recording so far, as record_live keeps it ("" without it), and the
    // line that ends it if it is left now (its summary).
    const std::string& live_text() const;
    std::string live_ending() const;

  private:
    void start_new_game();
    void start_game(unsigned seed);
    // A designed key: a, d, w, q, p, m or Enter, as key() takes them after the player's keys.
    void act(unsigned char key);
    // The frame of a tick, and the pictures: the frame made unseen and the field pictured.
    void picture_field(long now);
    // One designed frame owed, made with nothing shown: a tick fell due before it was drawn.
    void frame_unseen();
    void record_frame();
    // Counts the ticks of a GAME OVER screen left alone, and starts the demo at the 400th.
    void attract();
    void end_demo();
    // A key came: it ends a demo (and does nothing else), or starts the wait again.
    bool key_ends_demo();

    Game& game;
    std::optional<unsigned> seed;
    std::unique_ptr<Recorder> recorder;   // every game, to one file (--record)
    std::unique_ptr<Recorder> each_game;  // the game in play alone, until it ends
    std::unique_ptr<Recorder> live;       // the same in memory, for a ranked game's client
    bool each_in_memory = false;          // each game kept in memory (the page)
    bool live_games = false;              // each game's text kept, for a ranked game's client
    std::function<unsigned()> next_seed;  // deals new games' seeds, if set
    std::function<std::string()> banner_text;
    std::function<void()> overlay_drawn;
    std::unique_ptr<ScoreKeeper> scores;  // each game kept in the score table's folder
    long game_ticks = 0;                  // ticks of the game in play
    std::unique_ptr<Replay> watched;
    std::optional<unsigned> current_seed;
    bool is_paused = false;
    bool is_muted = false;
    KeyMap keys;
    bool smooth = false;
    bool pictured = false;  // the picture layer draws (smooth, or another look than designed)
    Look look;
    std::function<long()> clock;
    Picture picture;
    // Designed frames owed: those before the first tick, then one after each tick.
    int frames_owed = kFramesBeforeFirstTick;
    long framed_at = 0;
    std::function<std::optional<std::string>()> demo_source;
    long idle_ticks = 0;
    bool demo_running = false;
    std::string before_demo;  // the game as the demo found it
    int owed_before_demo = 0;
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
