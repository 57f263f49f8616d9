#include "replay/replay.h"

#include <cerrno>
#include <cstring>
#include <utility>

#include "replay/check_value.h"
#include "replay/reader.h"

Replay::Replay(ReplayFile file_, Frames frames_) : file(std::move(file_)), frames(frames_) {}

void Replay::start(Game& game) {
    play_until_tick(game);
}

void Replay::step(Game& game) {
    play_until_tick(game);  // records that came after the last step (a replay that grows)
    if (finished()) {
        return;
    }
    // play_until_tick always stops on a tick record.
    const ReplayRecord& tick = file.records[next++];
    game.update();
    ++ticks_done;
    expect(tick.check, check_value(game, file.version), "at tick " + std::to_string(ticks_done));
    play_until_tick(game);
}

bool Replay::extend(const std::string& lines, std::string& error) {
    if (!lines.empty() && lines.back() != '\n') {
        error = std::to_string(read_to.line) + ": lines that do not end with a whole line";
        return false;
    }
    ReplayFile more;
    ReplayReader reader(rand_probe(), more, read_to);
    if (!reader.feed(lines.data(), lines.size())) {
        error = reader.error();
        return false;
    }
    read_to = reader.position();
    file.version = more.version;
    const uint32_t outcomes = static_cast<uint32_t>(file.outcomes.size());
    for (ReplayRecord r : more.records) {
        if (r.kind == ReplayRecord::kOver || r.kind == ReplayRecord::kEnd) {
            r.value += outcomes;
        }
        file.records.push_back(r);
    }
    file.outcomes.insert(file.outcomes.end(), more.outcomes.begin(), more.outcomes.end());
    return true;
}

const Outcome* Replay::summary() const {
    return file.outcomes.empty() ? nullptr : &file.outcomes.back();
}

void Replay::play_until_tick(Game& game) {
    for (; next < file.records.size(); ++next) {
        const ReplayRecord& r = file.records[next];
        switch (r.kind) {
            case ReplayRecord::kTick:
                return;
            case ReplayRecord::kSeed:
                game.new_game(r.value);
                expect(r.check, check_value(game, file.version),
                       "at tick " + std::to_string(ticks_done) + ", new game from seed " +
                           std::to_string(r.value));
                break;
            case ReplayRecord::kKey:
                ship_command(game, static_cast<unsigned char>(r.value));
                break;
            case ReplayRecord::kDraw:
                if (frames == Frames::kDrawn) {
                    game.draw_frame();
                } else {
                    game.frame_unseen();
                }
                break;
            case ReplayRecord::kOver:
            case ReplayRecord::kEnd: {
                const Outcome recorded = file.outcomes[r.value];
                const Outcome replayed = outcome_of(game, ticks_done);
                if (diverged.empty() && !(recorded == replayed)) {
                    diverged_at = ticks_done;
                    diverged = "at tick " + std::to_string(ticks_done) + ": the recording has " +
                               to_string(recorded) + ", the replay " + to_string(replayed);
                }
                break;
            }
        }
    }
}

void Replay::expect(uint32_t recorded, uint32_t replayed, const std::string& where) {
    if (diverged.empty() && recorded != replayed) {
        diverged_at = ticks_done;
        char text[80];
        std::snprintf(text, sizeof text, ": check value %08x recorded, %08x replayed",
                      static_cast<unsigned>(recorded), static_cast<unsigned>(replayed));
        diverged = where + text;
        if (file.version == 1) {
            // Version 1 was recorded with each platform's own math library, which is not
            // always correctly rounded: the game's own math may give another last bit.
            diverged +=
                " (a version-1 recording, made with the C library's math, which can "
                "differ in the last bit from the game's own)";
        }
    }
}

bool load_replay(const std::string& path, ReplayFile& file, std::string& error) {
    std::FILE* in = std::fopen(path.c_str(), "r");
    if (in == nullptr) {
        error = path + ": cannot open: " + std::strerror(errno);
        return false;
    }
    std::string problem;
    const bool read = read_replay(in, rand_probe(), file, problem);
    std::fclose(in);
    if (!read) {
        error = path + ":" + problem;
    }
    return read;
}
