// What keeps each game once it ends, where the platform has such a thing (the desktop's score
// table, desktop/score_keeper.h): each game's recording, its outcome at its end, and the keys
// and the field while it asks the player for something (a name), until that is done.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "replay/recorder.h"
#include "replay/replay_file.h"

class GameKeeper {
  public:
    virtual ~GameKeeper() = default;

    // A recorder for the game starting now from `seed`; null if it can be kept nowhere.
    virtual std::unique_ptr<Recorder> record_game(unsigned seed) = 0;
    // The game recorded last has just ended with `outcome`.
    virtual void game_over(const Outcome& outcome) = 0;
    // The program ends before the game did.
    virtual void abandon() = 0;
    // While it asks for something, every key comes to it as typed.
    virtual bool asking() const = 0;
    virtual void key(unsigned char key) = 0;
    // What it shows over the field under GAME OVER, until a new game starts (hide).
    virtual bool showing() const = 0;
    virtual void draw() const = 0;
    virtual void hide() = 0;
    // The best game it keeps, for attract mode to play.
    virtual std::optional<std::string> best_recording() const = 0;
};
