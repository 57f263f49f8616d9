// Where the desktop keeps its high-score table and the recordings of the games on it:
// $XDG_DATA_HOME/velmora/ (~/.local/share/velmora/ by default). Nothing in it is ever lost or
// half written: every change is made under a lock (two games ending at once both get in), to a
// temporary file that is flushed and renamed into place; a table that cannot be read is moved
// aside as scores.bad-<date>, with one line on stderr, and a new one starts.
#pragma once

#include <cstdio>
#include <functional>
#include <optional>
#include <string>

#include "desktop/score_table.h"

class ScoreFolder {
  public:
    // The folder, made if need be; nothing, with `error`, if it cannot be written there.
    static std::optional<ScoreFolder> open(std::string& error);
    // The folder at `path` (tests).
    explicit ScoreFolder(std::string path) : dir(std::move(path)) {}

    const std::string& path() const { return dir; }
    // The file `name` in the folder, whole, if it can be read.
    std::optional<std::string> read_file(const std::string& name) const;
    // Writes the file `name` whole or not at all, readable by its owner alone; false if it
    // cannot.
    bool write_private(const std::string& name, const std::string& text) const;
    // A new file's name for the recording of a game started now from `seed`, not yet taken.
    std::string new_recording_name(unsigned seed) const;

    // The table as it is; a bad one is set aside (a line on `err`) and an empty one returned.
    ScoreTable read(std::FILE* err) const;
    // Reads the table, lets `change` change it, and writes it back, all under the lock. The
    // recordings of games pushed off it are deleted. False with `error` if it cannot write.
    bool update(const std::function<void(ScoreTable&, std::vector<std::string>&)>& change,
                std::FILE* err, std::string& error) const;

  private:
    ScoreTable read_locked(std::FILE* err) const;

    std::string dir;
};

// velmora --scores: the table of the folder as text on `out` (rank, name, score, level, date, the
// recording's path); the exit status.
int print_score_table(std::FILE* out, std::FILE* err);

// The name to offer a player first: the one used last, else the login name, kept to the
// characters and length a name may have.
std::string first_name_offered(const ScoreTable& table);
// Now, as the table writes dates: "2026-12-07T21:34:56Z".
std::string utc_date();
