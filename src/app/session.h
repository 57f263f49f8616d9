// Session: the game as the shell runs it, between the toolkit's callbacks and `Game`: the
// timer's ticks, the window's frames and the player's keys, with pause and new games on top.
// With none of those keys pressed, every tick, frame and command reaches the game as it would
// reach it directly.
#pragma once

#include <optional>

#include "app/game.h"

class Session {
  public:
    // `seed` seeds every new game started with Enter; without one they are seeded from the
    // clock. The game is only pointed to: it outlives the session.
    Session(Game& game, std::optional<unsigned> seed);

    // One timer tick: a tick of the game, unless paused.
    void tick();
    // One frame: clear, draw the game, swap. A paused game is shown as it stood, under
    // "PAUSED", and nothing in it changes.
    void display();
    // A key from the keyboard: a, d, w, q steer and fire, p pauses and resumes, Enter starts a
    // new game once the game is over. Paused, only p acts.
    void key(unsigned char key);

    bool is_paused() const { return paused; }

  private:
    void start_new_game();

    Game& game;
    std::optional<unsigned> seed;
    bool paused = false;
};

// The largest square that fits a window of width by height pixels, centred: the field keeps
// its shape and the rest of the window stays black.
struct Viewport {
    int x, y, side;
};
Viewport square_viewport(int width, int height);
