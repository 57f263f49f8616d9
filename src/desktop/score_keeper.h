// The desktop's score table at play: each game is recorded to the table's folder as it is
// played; when it ends, a game that enters the table asks for a name on the field (in the
// head-up text's font), and then the table shows under GAME OVER, the new entry marked, until
// Enter starts a new game. A game that does not enter shows the table at once, and its
// recording goes.
#pragma once

#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "app/game_keeper.h"
#include "desktop/score_file.h"
#include "replay/recorder.h"
#include "replay/replay_file.h"

class ScoreKeeper : public GameKeeper {
  public:
    // Keeps the table in `folder`; says what goes wrong on `err`, a line each, and plays on.
    ScoreKeeper(ScoreFolder folder, std::FILE* err);

    // A recorder for the game starting now from `seed`, writing to a new file in the folder;
    // null if none can be made (that game is then kept nowhere).
    std::unique_ptr<Recorder> record_game(unsigned seed) override;
    // The game recorded last has just ended with `outcome`.
    void game_over(const Outcome& outcome) override;
    // The program ends before the game did: its recording goes.
    void abandon() override;

    // The name is being typed: every key but Esc comes here.
    bool asking() const override { return screen == Screen::kName; }
    // Letters, digits, space, '-' and '_' add to the name (12 at most), Backspace takes the
    // last off, Enter keeps it.
    void key(unsigned char key) override;
    // What shows under GAME OVER: the name being typed, or the table.
    bool showing() const override { return screen != Screen::kNone; }
    void draw() const override;
    // The recording of the best game on the table, if there is one and it can be read (the
    // demo of attract mode).
    std::optional<std::string> best_recording() const override;
    // A new game starts: nothing more shows.
    void hide() override { screen = Screen::kNone; }

  private:
    void keep();

    enum class Screen { kNone, kName, kTable };

    ScoreFolder folder;
    std::FILE* err;
    bool said_cannot_record = false;
    std::string recording;  // the file of the game recorded last, until it is kept or gone
    unsigned seed = 0;
    Outcome outcome{};
    std::string ended;  // when it ended
    Screen screen = Screen::kNone;
    std::string name;
    ScoreTable shown;
    int marked = -1;  // the new entry's place in `shown`
};
