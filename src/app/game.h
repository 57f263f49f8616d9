// Game: the world plus what lies above one level of play, the level counter and the game-over
// rule. The program's one instance is `jogo` (Portuguese for "game"), in main.cpp.
#pragma once

#include "world/universe.h"

class Game {
  public:
    // Builds the world (level 0, not yet stepped) before any window exists.
    Game();

    // One tick of the game rule: step the world unless the game is over, then end the game on
    // lives exactly 0, or set up the next level once the asteroids are gone; level 10 ends it.
    void update();
    // Head-up text first, then the world over it.
    void draw();
    // The level, score, lives and speed, and "GAME OVER" once the game has ended.
    void display_text();

    // Commands go to the world whatever the game's state; the ship itself ignores them in
    // state 2.
    void ship_left() { world.ship_left(); }
    void ship_right() { world.ship_right(); }
    void ship_up() { world.ship_up(); }
    void ship_shot() { world.ship_shot(); }

  private:
    friend struct GameProbe;  // test access to the world and the counters

    UniverseG world;
    int game_over;  // 0 while the game runs, 1 for good once it has ended
    int level;      // the level in play: also the number of levels cleared
};
