// Game: the world plus what lies above one level of play, the level counter and the game-over
// rule. The program's one instance is `jogo` (Portuguese for "game"), in main.cpp.
#pragma once

#include "world/universe.h"

// The game's fixed step: a tick every 50 ms, driven by a timer. Speeds and forces are counted
// per tick, never per second; this is the one place the tick's length is written.
constexpr int kTickMs = 50;
// The designed frames: a game is drawn this many times before its first tick, then exactly once
// after each tick, whatever the display shows (a frame a tick falls due before is made unseen;
// pictures beyond it change nothing). Frames change the game, so a game framed as the display
// came would depend on the machine. Two: what the toolkit's first showings of a window give.
constexpr int kFramesBeforeFirstTick = 2;

class Game {
  public:
    // Builds the world (level 0, not yet stepped, seeded from the clock) before any window
    // exists.
    Game();

    // A new game, exactly as a fresh start of the program whose world is seeded with `seed`.
    void new_game(unsigned seed);

    // One tick of the game rule: step the world unless the game is over, then end the game on
    // lives exactly 0, or set up the next level once the asteroids are gone; level 10 ends it.
    void update();
    // Drawing. A frame changes the game: it rebuilds every outline the next tick's collisions
    // test, ages the bullets (dropping those on their 50th draw) and counts the ship's blink.
    // The game is framed exactly as designed (kFramesBeforeFirstTick); every other picture
    // changes nothing.
    //
    //   call           changes the game  sends to GL          called by
    //   draw           a frame           head-up text, world  the session's designed frame
    //   draw_frame     a frame           world                a replay watched in a window
    //   frame_unseen   a frame           nothing              a frame a tick fell due before;
    //                                                         smooth pictures' frames; replays
    //                                                         without a window; the server
    //   show_still     nothing           head-up text, world  a pause, a picture beyond the
    //                                                         frame, a replay between frames
    //   show_text      nothing           head-up text         the pictures (app/picture.h)
    void draw();
    void draw_frame() { world.draw(); }
    void frame_unseen() { world.frame_unseen(); }
    void show_still();
    // The level, score, lives and speed, and "GAME OVER" once the game has ended.
    void show_text() const;

    // Commands go to the world whatever the game's state; the ship itself ignores them in
    // state 2.
    void ship_left() { world.ship_left(); }
    void ship_right() { world.ship_right(); }
    void ship_up() { world.ship_up(); }
    void ship_shot() { world.ship_shot(); }

    int get_level() const { return level; }
    bool get_game_over() const { return game_over == 1; }
    const UniverseG& get_world() const { return world; }

    // The level, whether the game is over, then the world's whole state (see
    // UniverseG::visit_state).
    template <typename Sink>
    void visit_state(Sink& sink) const {
        sink.add(level);
        sink.add(game_over);
        world.visit_state(sink);
    }

    // The whole game, out or back in (a saved game: game/snapshot.h).
    template <typename IO>
    void save(IO& out) const {
        out.field(game_over);
        out.field(level);
        world.save(out);
    }
    template <typename IO>
    void restore(IO& in) {
        in.field(game_over);
        in.field(level);
        world.restore(in);
    }

  private:
    friend struct GameProbe;  // test access to the world and the counters

    UniverseG world;
    int game_over;  // 0 while the game runs, 1 once it has ended, until a new game
    int level;      // the level in play: also the number of levels cleared
};

// Keys a, d, w and q as the ship's commands; false, doing nothing, for any other key.
bool ship_command(Game& game, unsigned char key);
