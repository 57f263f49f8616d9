// Session: the game as the shell runs it, between the toolkit's callbacks and `Game`: the
// timer's ticks, the window's frames and the player's keys, with pause and new games on top,
// and optionally recorded as it goes or played back from a recording. With none of the new
// keys pressed, every tick, frame and command reaches the game as it would reach it directly.
#pragma once

#include <optional>

#include "game/game.h"

class Recorder;
class Replay;

class Session {
  public:
    // `seed` seeds every new game started with Enter; without one they are seeded from the
    // clock. A recorder writes down the game as it goes; a replay plays a recorded game
    // instead of the keys, and then a, d, w, q and Enter do nothing. All three are only
    // pointed to and outlive the session.
    Session(Game& game, std::optional<unsigned> seed, Recorder* recorder = nullptr,
            Replay* replay = nullptr);

    // One timer tick: a tick of the game (or of the replay), unless paused.
    void tick();
    // One frame: clear, draw the game, swap. A paused game is shown as it stood, under
    // "PAUSED", and nothing in it changes; a replay draws where the recording did and is only
    // shown here.
    void display();
    // A key from the keyboard: a, d, w, q steer and fire, p pauses and resumes, Enter starts a
    // new game once the game is over. Paused, only p acts.
    void key(unsigned char key);

  private:
    void start_new_game();

    Game& game;
    std::optional<unsigned> seed;
    Recorder* recorder;
    Replay* replay;
    bool paused = false;
};

// The largest square that fits a window of width by height pixels, centred: the field keeps
// its shape and the rest of the window stays black.
struct Viewport {
    int x, y, side;
};
Viewport square_viewport(int width, int height);
