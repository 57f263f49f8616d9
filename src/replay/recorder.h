// Recorder: writes a game down as it is played, record by record (see replay_file.h), to a file
// or, where there are no files (the page), into memory. Each tick's line goes out with
// everything before it in one write, so a recording cut short (Esc, the window closed, a kill)
// loses at most what followed its last tick.
#pragma once

#include <memory>
#include <string>

#include "game/game.h"

class Recorder {
  public:
    // Creates `path` (replacing it) and writes the header; null, with `error`, if it cannot.
    static std::unique_ptr<Recorder> open(const std::string& path, std::string& error);
    // Keeps the recording in memory, for text().
    static std::unique_ptr<Recorder> in_memory();
    ~Recorder();
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    // A game has just started from `seed`: the first one, or one started with Enter.
    void new_game(unsigned seed, const Game& game);
    // Key a, d, w or q has just reached the game.
    void key(char key);
    // The game has just been framed (drawn, or its frame made unseen).
    void frame();
    // The game has just ticked; if the tick ended it, the summary follows.
    void tick(const Game& game, bool just_ended);
    // The recording ends normally: the summary, last.
    void end(const Game& game);

    // The whole recording so far, when it is kept in memory; empty otherwise.
    const std::string& text() const { return kept; }
    // The ticks recorded so far.
    long tick_count() const { return ticks; }

  private:
    explicit Recorder(int fd);
    void write_out();

    int fd;  // -1: in memory
    std::string kept;
    std::string pending;  // records not yet written: those since the last tick
    long ticks = 0;
    bool failed = false;
};
