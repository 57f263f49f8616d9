// The desktop's high-score table: the ten best games, best first (higher score, then fewer
// ticks, then the earlier), each with its name, numbers, date, seed and the file of its
// recording; and the name used last. Read from and written to text (docs/scores.md); a table
// whose text is not right is refused whole, never half read.
#pragma once

#include <string>
#include <vector>

struct ScoreEntry {
    std::string name;  // 1 to 12 of letters, digits, space, '-', '_'
    int score = 0;
    int level = 0;
    long ticks = 0;
    std::string date;  // UTC, "2026-12-07T21:34:56Z"
    unsigned seed = 0;
    std::string recording;  // the file's name in the table's folder
};

class ScoreTable {
  public:
    static constexpr size_t kKept = 10;
    static constexpr size_t kNameLength = 12;

    // Where a game with these numbers would stand (from 0), or -1 if it would not enter: it
    // must score, and beat the tenth.
    int place_of(int score, long ticks, const std::string& date) const;
    // Puts `entry` in its place; returns it (or -1), and the recordings of the games it pushed
    // off the table (their files go).
    int insert(const ScoreEntry& entry, std::vector<std::string>& dropped);
    const std::vector<ScoreEntry>& entries() const { return kept; }

    const std::string& last_name() const { return last; }
    void set_last_name(const std::string& name) { last = name; }

    std::string text() const;
    // The table in `text`; false with `error` ("LINE: problem") if it is not one.
    static bool parse(const std::string& text, ScoreTable& table, std::string& error);

  private:
    std::vector<ScoreEntry> kept;
    std::string last;
};

// Whether `c` may be in a name.
bool name_character(char c);
