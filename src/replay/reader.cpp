#include "replay/reader.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "replay/record_fields.h"

namespace {

// Longer than any line the recorder writes: a longer one is not ours.
constexpr size_t kMaxLine = 100;

}  // namespace

// Follows the records of a recording in order and keeps what it has read.
class ReplayReader::Records {
  public:
    Records(const RandProbe& probe_, ReplayFile& file_, const ReaderPosition& from)
        : probe(probe_),
          file(file_),
          ticks(from.ticks),
          any_game(from.any_game),
          ended(from.ended) {
        file.version = from.version;
    }

    bool started() const { return any_game; }
    ReaderPosition position(int line) const {
        return ReaderPosition{line, file.version, ticks, any_game, ended};
    }

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
        if (kind != "seed" && !any_game) {
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
        const std::string prefix = "velmora-replay ";
        if (line == prefix + "1" || line == prefix + "2") {
            file.version = line.back() - '0';
            return true;
        }
        error = line.compare(0, prefix.size(), prefix) == 0
                    ? "unknown version '" + line.substr(prefix.size()) +
                          "' (this build reads versions 1 and 2)"
                    : "not a Velmora recording (the first line is not '" + prefix +
                          std::to_string(kReplayVersion) + "')";
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
        any_game = true;
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

    const RandProbe probe;  // a copy: the reader may outlive the caller's
    ReplayFile& file;
    uint32_t ticks;
    bool any_game;
    bool ended;
};

ReplayReader::ReplayReader(const RandProbe& probe, ReplayFile& file)
    : ReplayReader(probe, file, ReaderPosition{}) {}

ReplayReader::ReplayReader(const RandProbe& probe, ReplayFile& file, const ReaderPosition& from)
    : records(std::make_unique<Records>(probe, file, from)), line_number(from.line) {}

ReaderPosition ReplayReader::position() const {
    return records->position(line_number);
}

ReplayReader::~ReplayReader() = default;

bool ReplayReader::feed(const char* data, size_t size) {
    for (size_t i = 0; i < size && !failed; ++i) {
        if (data[i] == '\n') {
            failed = !take_line();
        } else if (line.size() == kMaxLine) {
            problem = std::to_string(line_number) + ": line too long (over " +
                      std::to_string(kMaxLine) + " characters)";
            failed = true;
        } else {
            line += data[i];
        }
    }
    return !failed;
}

bool ReplayReader::take_line() {
    std::string error;
    if (!records->take(line_number, line, error)) {
        problem = std::to_string(line_number) + ": " + error;
        return false;
    }
    line.clear();
    ++line_number;
    return true;
}

bool ReplayReader::finish() {
    if (failed) {
        return false;
    }
    const std::string at = std::to_string(line_number) + ": ";
    if (!line.empty()) {
        problem = at + "truncated last line '" + line.substr(0, 40) + "' (no end of line)";
    } else if (line_number == 1) {
        problem = at + "empty file (a recording starts with 'velmora-replay " +
                  std::to_string(kReplayVersion) + "')";
    } else if (line_number == 2) {
        problem = at + "the recording ends after its first line";
    } else if (!records->started()) {
        problem = at + "the recording ends before its first game";
    } else {
        return true;
    }
    failed = true;
    return false;
}

bool read_replay(std::FILE* in, const RandProbe& probe, ReplayFile& file, std::string& error) {
    ReplayReader reader(probe, file);
    char chunk[4096];
    for (;;) {
        const size_t n = std::fread(chunk, 1, sizeof chunk, in);
        if (!reader.feed(chunk, n)) {
            error = reader.error();
            return false;
        }
        if (n < sizeof chunk) {
            if (std::ferror(in)) {
                error =
                    std::to_string(reader.line_read()) + ": cannot read: " + std::strerror(errno);
                return false;
            }
            break;
        }
    }
    if (!reader.finish()) {
        error = reader.error();
        return false;
    }
    return true;
}

bool read_replay_text(const std::string& text, const RandProbe& probe, ReplayFile& file,
                      std::string& error) {
    ReplayReader reader(probe, file);
    if (!reader.feed(text.data(), text.size()) || !reader.finish()) {
        error = reader.error();
        return false;
    }
    return true;
}
