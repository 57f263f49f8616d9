// Game: the world plus what lies above one level of play, the level counter and the game-over
// rule. The program's one instance is `jogo` (Portuguese for "game"), in main.cpp.
#pragma once

#include "world/universe.h"

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
    // Head-up text first, then the world over it.
    void draw();
    // The level, score, lives and speed, and "GAME OVER" once the game has ended.
    void display_text() const;
    // The world alone: everything a frame changes in the game, with no text. A replay without
    // a window draws this way.
    void draw_world() { world.draw(); }
    // What draw_world changes in the game, with nothing drawn (UniverseG::draw_unseen): a replay
    // checked without a window.
    void draw_unseen() { world.draw_unseen(); }
    // The head-up text and the picture of the last draw, changing nothing in the game.
    void draw_still();

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

  private:
    friend struct GameSnapshot;  // saves the whole state and restores it (game/snapshot.h)
    friend struct GameProbe;     // test access to the world and the counters

    UniverseG world;
    int game_over;  // 0 while the game runs, 1 once it has ended, until a new game
    int level;      // the level in play: also the number of levels cleared
};

// Keys a, d, w and q as the ship's commands; false, doing nothing, for any other key.
bool ship_command(Game& game, unsigned char key);
