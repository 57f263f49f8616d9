#include "desktop/score_keeper.h"

#include <GL/gl.h>
#include <unistd.h>

#include <cstdio>

#include "game/hud.h"

namespace {

constexpr unsigned char kEnter = 13;
constexpr unsigned char kBackspace = 8;
constexpr unsigned char kDelete = 127;  // what many keyboards send for Backspace

}  // namespace

ScoreKeeper::ScoreKeeper(ScoreFolder folder_, std::FILE* err_)
    : folder(std::move(folder_)), err(err_) {}

std::unique_ptr<Recorder> ScoreKeeper::record_game(unsigned game_seed) {
    abandon();
    seed = game_seed;
    const std::string name = folder.new_recording_name(seed);
    std::string error;
    std::unique_ptr<Recorder> recorder = Recorder::open(folder.path() + "/" + name, error);
    if (!recorder) {
        if (!said_cannot_record) {
            std::fprintf(err, "velmora: games are not kept in the score table: %s\n",
                         error.c_str());
            said_cannot_record = true;
        }
        return nullptr;
    }
    recording = name;
    return recorder;
}

void ScoreKeeper::game_over(const Outcome& game_outcome) {
    outcome = game_outcome;
    ended = utc_date();
    shown = folder.read(err);
    marked = -1;
    if (!recording.empty() && shown.place_of(outcome.score, outcome.ticks, ended) >= 0) {
        name = first_name_offered(shown);
        screen = Screen::kName;
        return;
    }
    abandon();
    screen = Screen::kTable;
}

void ScoreKeeper::abandon() {
    if (!recording.empty()) {
        unlink((folder.path() + "/" + recording).c_str());
        recording.clear();
    }
}

void ScoreKeeper::key(unsigned char key) {
    if (key == kEnter && !name.empty()) {
        keep();
    } else if ((key == kBackspace || key == kDelete) && !name.empty()) {
        name.pop_back();
    } else if (name_character(static_cast<char>(key)) && name.size() < ScoreTable::kNameLength) {
        name += static_cast<char>(key);
    }
}

void ScoreKeeper::keep() {
    const ScoreEntry entry{name,  outcome.score, outcome.level, outcome.ticks,
                           ended, seed,          recording};
    std::string error;
    const bool kept = folder.update(
        [&](ScoreTable& table, std::vector<std::string>& dropped) {
            table.set_last_name(name);
            marked = table.insert(entry, dropped);
            shown = table;
        },
        err, error);
    if (!kept) {
        std::fprintf(err, "velmora: the game is not kept in the score table: %s\n", error.c_str());
        marked = -1;
    }
    if (!kept || marked < 0) {
        abandon();  // (another game, ending meanwhile, may have taken its place)
    }
    recording.clear();
    screen = Screen::kTable;
}

void ScoreKeeper::draw() const {
    // Under GAME OVER (at y 0) and above the head-up text (from y -0.7): a title, then a line of
    // 0.055 for each game.
    glColor3f(0, 1, 0);
    if (screen == Screen::kName) {
        desenhar_str(-0.5f, -0.08f, "NEW HIGH SCORE! YOUR NAME:");
        desenhar_str(-0.5f, -0.14f, (name + "_").c_str());
        desenhar_str(-0.5f, -0.2f, "(Enter keeps it)");
        return;
    }
    desenhar_str(-0.54f, -0.08f, "HIGH SCORES  (Enter: new game)");
    const auto& entries = shown.entries();
    if (entries.empty()) {
        desenhar_str(-0.54f, -0.14f, "none yet: score to enter");
    }
    for (size_t i = 0; i < entries.size(); ++i) {
        const ScoreEntry& e = entries[i];
        const bool mark = static_cast<int>(i) == marked;
        char line[64];
        std::snprintf(line, sizeof line, "%c%2zu %-12s %6d L%d", mark ? '>' : ' ', i + 1,
                      e.name.c_str(), e.score, e.level);
        if (mark) {
            glColor3f(1, 1, 0);  // the new entry in yellow, the rest in the text's green
        }
        desenhar_str(-0.54f, -0.14f - 0.055f * static_cast<float>(i), line);
        if (mark) {
            glColor3f(0, 1, 0);
        }
    }
}

std::optional<std::string> ScoreKeeper::best_recording() const {
    const ScoreTable table = folder.read(err);
    if (table.entries().empty()) {
        return std::nullopt;
    }
    return folder.read_file(table.entries().front().recording);
}
