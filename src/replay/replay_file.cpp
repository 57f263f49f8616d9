#include "replay/replay_file.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

constexpr const char* kHeader = "velmora-replay 1";
// Longer than any line the recorder writes: a longer one is not ours.
constexpr size_t kMaxLine = 100;
constexpr uint32_t kMaxTick = 2147483647;

// 32-bit FNV-1a over whole words.
class Fnv {
  public:
    void add(uint32_t word) {
        for (int i = 0; i < 4; ++i) {
            hash = (hash ^ ((word >> (8 * i)) & 0xffu)) * 16777619u;
        }
    }
    void add(float f) {
        uint32_t bits;
        std::memcpy(&bits, &f, sizeof bits);
        add(bits);
    }
    uint32_t value() const { return hash; }

  private:
    uint32_t hash = 2166136261u;
};

std::string hex8(uint32_t v) {
    char text[9];
    std::snprintf(text, sizeof text, "%08x", v);
    return text;
}

std::vector<std::string> split(const std::string& line) {
    std::vector<std::string> words;
    size_t from = 0;
    while (from <= line.size()) {
        const size_t space = line.find(' ', from);
        words.push_back(line.substr(from, space - from));
        if (space == std::string::npos) {
            break;
        }
        from = space + 1;
    }
    return words;
}

// A whole number in plain decimal digits, at most `max`.
bool parse_number(const std::string& word, uint32_t max, const char* field, uint32_t& out,
                  std::string& error) {
    if (word.empty() || word.find_first_not_of("0123456789") != word.npos) {
        error =
            std::string("expected a number for ") + field + ", found '" + word.substr(0, 20) + "'";
        return false;
    }
    const unsigned long long value =
        word.size() > 10 ? ~0ull : std::strtoull(word.c_str(), nullptr, 10);
    if (value > max) {
        error = std::string("number too large for ") + field + ": " + word.substr(0, 20);
        return false;
    }
    out = static_cast<uint32_t>(value);
    return true;
}

bool parse_check(const std::string& word, uint32_t& out, std::string& error) {
    if (word.size() != 8 || word.find_first_not_of("0123456789abcdef") != word.npos) {
        error = "expected a check value of eight hex digits, found '" + word + "'";
        return false;
    }
    out = static_cast<uint32_t>(std::strtoul(word.c_str(), nullptr, 16));
    return true;
}

// "ticks=N level=L score=S lives=V", the words after the record's name.
bool parse_outcome(const std::vector<std::string>& words, Outcome& o, std::string& error) {
    static const char* const kNames[] = {"ticks", "level", "score", "lives"};
    uint32_t values[4];
    if (words.size() != 5) {
        error = "expected '" + words[0] + " ticks=N level=L score=S lives=V'";
        return false;
    }
    for (int i = 0; i < 4; ++i) {
        const std::string prefix = std::string(kNames[i]) + "=";
        if (words[i + 1].compare(0, prefix.size(), prefix) != 0) {
            error = "expected '" + prefix + "N', found '" + words[i + 1] + "'";
            return false;
        }
        if (!parse_number(words[i + 1].substr(prefix.size()), i == 0 ? kMaxTick : 2147483647,
                          kNames[i], values[i], error)) {
            return false;
        }
    }
    o = Outcome{static_cast<long>(values[0]), static_cast<int>(values[1]),
                static_cast<int>(values[2]), static_cast<int>(values[3])};
    return true;
}

enum class LineRead { kLine, kEnd, kTooLong, kTruncated, kFault };

// One line without its newline, read a character at a time so that no line, however long,
// is held in memory beyond kMaxLine.
LineRead next_line(std::FILE* in, std::string& line) {
    line.clear();
    for (;;) {
        const int c = std::fgetc(in);
        if (c == EOF) {
            if (std::ferror(in)) {
                return LineRead::kFault;
            }
            return line.empty() ? LineRead::kEnd : LineRead::kTruncated;
        }
        if (c == '\n') {
            return LineRead::kLine;
        }
        if (line.size() == kMaxLine) {
            return LineRead::kTooLong;
        }
        line += static_cast<char>(c);
    }
}

// Follows the records of a recording in order and keeps what it has read.
class Reader {
  public:
    Reader(const RandProbe& probe_, ReplayFile& file_) : probe(probe_), file(file_) {}

    // One line, the n-th; false with `error` set when it is wrong.
    bool take(int n, const std::string& line, std::string& error) {
        if (n == 1) {
            return take_header(line, error);
        }
        if (n == 2) {
            return take_rand(line, error);
        }
        if (ended) {
            error = "nothing may follow the 'end' record";
            return false;
        }
        const std::vector<std::string> words = split(line);
        const std::string& kind = words[0];
        if (kind != "seed" && !started) {
            error = "expected the first game's 'seed' record, found '" + line + "'";
            return false;
        }
        if (kind == "seed") {
            return take_seed(words, error);
        }
        if (kind == "t") {
            return take_tick(words, error);
        }
        if (kind == "k") {
            return take_key(words, error);
        }
        if (kind == "d") {
            return take_draw(words, error);
        }
        if (kind == "over" || kind == "end") {
            return take_summary(words, error);
        }
        error = "unknown record '" + line.substr(0, 20) + "'";
        return false;
    }

  private:
    bool take_header(const std::string& line, std::string& error) {
        if (line == kHeader) {
            return true;
        }
        const std::string prefix = "velmora-replay ";
        error =
            line.compare(0, prefix.size(), prefix) == 0
                ? "unknown version '" + line.substr(prefix.size()) +
                      "' (this build reads version 1)"
                : "not a Velmora recording (the first line is not '" + std::string(kHeader) + "')";
        return false;
    }

    bool take_rand(const std::string& line, std::string& error) {
        const std::vector<std::string> words = split(line);
        uint32_t v[3];
        if (words.size() != 4 || words[0] != "rand") {
            error = "expected 'rand A B C', found '" + line.substr(0, 40) + "'";
            return false;
        }
        for (int i = 0; i < 3; ++i) {
            if (!parse_number(words[i + 1], 4294967295u, "a random value", v[i], error)) {
                return false;
            }
        }
        if (v[0] != probe.value[0] || v[1] != probe.value[1] || v[2] != probe.value[2]) {
            error = "recorded with another rand() sequence (after srand(1): " + words[1] + " " +
                    words[2] + " " + words[3] + "; this build gives " +
                    std::to_string(probe.value[0]) + " " + std::to_string(probe.value[1]) + " " +
                    std::to_string(probe.value[2]) + "), so it cannot be replayed here";
            return false;
        }
        return true;
    }

    // "NAME N H": a number up to `max` and a check value.
    static bool number_and_check(const std::vector<std::string>& words, const char* form,
                                 const char* field, uint32_t max, uint32_t& number, uint32_t& check,
                                 std::string& error) {
        if (words.size() != 3) {
            error = std::string("expected '") + form + "'";
            return false;
        }
        return parse_number(words[1], max, field, number, error) &&
               parse_check(words[2], check, error);
    }

    bool take_seed(const std::vector<std::string>& words, std::string& error) {
        uint32_t seed, check;
        if (!number_and_check(words, "seed S H", "a seed", 4294967295u, seed, check, error)) {
            return false;
        }
        started = true;
        file.records.push_back(ReplayRecord{ReplayRecord::kSeed, seed, check});
        return true;
    }

    bool take_tick(const std::vector<std::string>& words, std::string& error) {
        uint32_t tick, check;
        if (!number_and_check(words, "t N H", "a tick", kMaxTick, tick, check, error)) {
            return false;
        }
        if (tick != ticks + 1) {
            error =
                "tick " + words[1] + " out of order: expected tick " + std::to_string(ticks + 1);
            return false;
        }
        ticks = tick;
        file.records.push_back(ReplayRecord{ReplayRecord::kTick, tick, check});
        return true;
    }

    bool take_key(const std::vector<std::string>& words, std::string& error) {
        if (words.size() != 2 || words[1].size() != 1 ||
            std::strchr("adwq", words[1][0]) == nullptr || words[1][0] == '\0') {
            error = words.size() == 2
                        ? "unknown key '" + words[1].substr(0, 20) + "' (keys are a, d, w and q)"
                        : "expected 'k K'";
            return false;
        }
        file.records.push_back(
            ReplayRecord{ReplayRecord::kKey, static_cast<uint32_t>(words[1][0]), 0});
        return true;
    }

    bool take_draw(const std::vector<std::string>& words, std::string& error) {
        if (words.size() != 1) {
            error = "expected 'd' alone";
            return false;
        }
        file.records.push_back(ReplayRecord{ReplayRecord::kDraw, 0, 0});
        return true;
    }

    bool take_summary(const std::vector<std::string>& words, std::string& error) {
        Outcome o;
        if (!parse_outcome(words, o, error)) {
            return false;
        }
        if (o.ticks != static_cast<long>(ticks)) {
            error = words[0] + " at tick " + std::to_string(o.ticks) +
                    " out of order: the recording is at tick " + std::to_string(ticks);
            return false;
        }
        ended = words[0] == "end";
        file.records.push_back(ReplayRecord{ended ? ReplayRecord::kEnd : ReplayRecord::kOver,
                                            static_cast<uint32_t>(file.outcomes.size()), 0});
        file.outcomes.push_back(o);
        return true;
    }

    const RandProbe& probe;
    ReplayFile& file;
    uint32_t ticks = 0;
    bool started = false;
    bool ended = false;
};

}  // namespace

bool operator==(const Outcome& a, const Outcome& b) {
    return a.ticks == b.ticks && a.level == b.level && a.score == b.score && a.lives == b.lives;
}

std::string to_string(const Outcome& o) {
    return "ticks=" + std::to_string(o.ticks) + " level=" + std::to_string(o.level) +
           " score=" + std::to_string(o.score) + " lives=" + std::to_string(o.lives);
}

Outcome outcome_of(const Game& game, long ticks) {
    return Outcome{ticks, game.get_level(), game.get_world().get_total_score(),
                   game.get_world().get_lifes()};
}

uint32_t check_value(const Game& game) {
    const UniverseG& world = game.get_world();
    Fnv h;
    h.add(static_cast<uint32_t>(game.get_level()));
    h.add(static_cast<uint32_t>(game.get_game_over()));
    h.add(static_cast<uint32_t>(world.get_total_score()));
    h.add(static_cast<uint32_t>(world.get_lifes()));
    const Ship& ship = *world.get_ship();
    h.add(ship.get_position().x);
    h.add(ship.get_position().y);
    h.add(ship.get_velocity().x);
    h.add(ship.get_velocity().y);
    h.add(ship.get_body_angle());
    h.add(static_cast<uint32_t>(ship.get_state()));
    for (const Asteroid* rock : world.get_asteroids()) {
        h.add(rock->get_position().x);
        h.add(rock->get_position().y);
        h.add(rock->get_velocity().x);
        h.add(rock->get_velocity().y);
        h.add(rock->get_diameter());
    }
    return h.value();
}

RandProbe rand_probe() {
    std::srand(1);
    RandProbe probe;
    for (unsigned& v : probe.value) {
        v = static_cast<unsigned>(std::rand());
    }
    return probe;
}

bool read_replay(std::FILE* in, const RandProbe& probe, ReplayFile& file, std::string& error) {
    Reader reader(probe, file);
    std::string line;
    for (int n = 1;; ++n) {
        const std::string at = std::to_string(n) + ": ";
        switch (next_line(in, line)) {
            case LineRead::kEnd:
                if (n == 1) {
                    error = at + "empty file (a recording starts with '" + kHeader + "')";
                } else if (n == 2) {
                    error = at + "the recording ends after its first line";
                } else if (file.records.empty()) {
                    error = at + "the recording ends before its first game";
                } else {
                    return true;
                }
                return false;
            case LineRead::kFault:
                error = at + "cannot read: " + std::strerror(errno);
                return false;
            case LineRead::kTooLong:
                error = at + "line too long (over " + std::to_string(kMaxLine) + " characters)";
                return false;
            case LineRead::kTruncated:
                error = at + "truncated last line '" + line.substr(0, 40) + "' (no end of line)";
                return false;
            case LineRead::kLine:
                if (!reader.take(n, line, error)) {
                    error = at + error;
                    return false;
                }
                break;
        }
    }
}

std::string header_lines(const RandProbe& probe) {
    return std::string(kHeader) + "\nrand " + std::to_string(probe.value[0]) + " " +
           std::to_string(probe.value[1]) + " " + std::to_string(probe.value[2]) + "\n";
}

std::string seed_line(unsigned seed, uint32_t check) {
    return "seed " + std::to_string(seed) + " " + hex8(check) + "\n";
}

std::string tick_line(long tick, uint32_t check) {
    return "t " + std::to_string(tick) + " " + hex8(check) + "\n";
}

std::string key_line(char key) {
    return std::string("k ") + key + "\n";
}

std::string draw_line() {
    return "d\n";
}

std::string summary_line(bool game_over, const Outcome& o) {
    return (game_over ? "over " : "end ") + to_string(o) + "\n";
}
