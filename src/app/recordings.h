// The recordings a session's games feed (replay/recorder.h), each fed at one point: a game's
// start, a key that reached it, a frame, a tick, the program's end. One rule says which takes
// what: the file (--record) takes everything, game after game, to the program's end; a game's
// own recordings (the page's kept in memory, the score table's file, a ranked game's live
// text) take that game alone, from its seed to its GAME OVER.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "game/game.h"
#include "replay/recorder.h"

class Recordings {
  public:
    // Every game to one file (--record FILE).
    void to_file(std::unique_ptr<Recorder> recorder) { file = std::move(recorder); }
    // Each game to a recorder `make` gives at its start (null: that game goes nowhere).
    void each_game(std::function<std::unique_ptr<Recorder>(unsigned seed)> make) {
        make_each = std::move(make);
    }
    // Each game kept in memory, for game_text (the page, which has no files).
    void each_game_in_memory() {
        each_game([](unsigned) { return Recorder::in_memory(); });
    }
    // Each game's text kept as it grows, for a ranked game's client.
    void live() { keeps_live = true; }

    // The points a game feeds them from, as it happens.
    void new_game(unsigned seed, const Game& game);
    void key(char key, const Game& game);
    void frame(const Game& game);
    // The game has ticked; `was_over` if it was over before (a game's own recordings stop at
    // the tick that ended it).
    void tick(const Game& game, bool was_over);
    // The program ends: the file gets its summary, last.
    void end(const Game& game);

    // The game in play's recording as a file, its summary last, when kept in memory (the
    // page's); "" otherwise.
    std::string game_text(const Game& game) const;
    // Its text as the live recording keeps it ("" without one), and the line that ends it if
    // it is left now.
    const std::string& live_text() const;
    std::string live_ending(const Game& game) const;
    // Ticks of the game in play.
    long game_ticks() const { return ticks_of_game; }

  private:
    // `feed` to every recording taking this record: the file always, a game's own while
    // `in_game`.
    void each(bool in_game, const std::function<void(Recorder&)>& feed);

    std::unique_ptr<Recorder> file;
    std::function<std::unique_ptr<Recorder>(unsigned)> make_each;
    bool keeps_live = false;
    std::unique_ptr<Recorder> own;   // the game in play's, from make_each
    std::unique_ptr<Recorder> text;  // the game in play's live text
    long ticks_of_game = 0;
};
