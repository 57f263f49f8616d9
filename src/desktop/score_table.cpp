#include "desktop/score_table.h"

#include <cstdlib>
#include <sstream>

namespace {

constexpr const char* kHeader = "velmora-scores 1";

// Whether a is better than b: higher score, then fewer ticks, then earlier.
bool better(int score_a, long ticks_a, const std::string& date_a, const ScoreEntry& b) {
    if (score_a != b.score) {
        return score_a > b.score;
    }
    if (ticks_a != b.ticks) {
        return ticks_a < b.ticks;
    }
    return date_a < b.date;
}

bool whole(const std::string& word, long long max, long long& out) {
    if (word.empty() || word.size() > 10 || word.find_first_not_of("0123456789") != word.npos) {
        return false;
    }
    out = std::strtoll(word.c_str(), nullptr, 10);
    return out <= max;
}

bool valid_name(const std::string& name) {
    if (name.empty() || name.size() > ScoreTable::kNameLength) {
        return false;
    }
    for (const char c : name) {
        if (!name_character(c)) {
            return false;
        }
    }
    return true;
}

// "entry SCORE LEVEL TICKS DATE SEED RECORDING NAME...": the name last, spaces and all.
bool parse_entry(const std::string& line, ScoreEntry& e) {
    std::istringstream in(line);
    std::string kind, score, level, ticks, seed;
    if (!(in >> kind >> score >> level >> ticks >> e.date >> seed >> e.recording) ||
        kind != "entry") {
        return false;
    }
    long long n[4];
    if (!whole(score, 2147483647, n[0]) || !whole(level, 2147483647, n[1]) ||
        !whole(ticks, 2147483647, n[2]) || !whole(seed, 4294967295ll, n[3])) {
        return false;
    }
    e.score = static_cast<int>(n[0]);
    e.level = static_cast<int>(n[1]);
    e.ticks = static_cast<long>(n[2]);
    e.seed = static_cast<unsigned>(n[3]);
    in.get();  // the space before the name
    std::getline(in, e.name);
    return valid_name(e.name) && e.date.size() == 20 && e.date.back() == 'Z' &&
           e.recording.find('/') == std::string::npos && e.recording.compare(0, 1, ".") != 0;
}

}  // namespace

bool name_character(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ' ||
           c == '-' || c == '_';
}

int ScoreTable::place_of(int score, long ticks, const std::string& date) const {
    if (score <= 0) {
        return -1;
    }
    size_t place = 0;
    while (place < kept.size() && !better(score, ticks, date, kept[place])) {
        ++place;
    }
    return place < kKept ? static_cast<int>(place) : -1;
}

int ScoreTable::insert(const ScoreEntry& entry, std::vector<std::string>& dropped) {
    const int place = place_of(entry.score, entry.ticks, entry.date);
    if (place < 0) {
        return -1;
    }
    kept.insert(kept.begin() + place, entry);
    while (kept.size() > kKept) {
        dropped.push_back(kept.back().recording);
        kept.pop_back();
    }
    return place;
}

std::string ScoreTable::text() const {
    std::string out = std::string(kHeader) + "\n";
    if (!last.empty()) {
        out += "last " + last + "\n";
    }
    for (const ScoreEntry& e : kept) {
        out += "entry " + std::to_string(e.score) + " " + std::to_string(e.level) + " " +
               std::to_string(e.ticks) + " " + e.date + " " + std::to_string(e.seed) + " " +
               e.recording + " " + e.name + "\n";
    }
    return out;
}

bool ScoreTable::parse(const std::string& text, ScoreTable& table, std::string& error) {
    table = ScoreTable();
    std::istringstream in(text);
    std::string line;
    int n = 0;
    while (std::getline(in, line)) {
        ++n;
        const std::string at = std::to_string(n) + ": ";
        if (n == 1) {
            if (line != kHeader) {
                error = at + "not a Velmora score table";
                return false;
            }
        } else if (line.compare(0, 5, "last ") == 0 && valid_name(line.substr(5))) {
            table.last = line.substr(5);
        } else {
            ScoreEntry e;
            std::vector<std::string> none;
            if (!parse_entry(line, e) || table.kept.size() == kKept ||
                (!table.kept.empty() && better(e.score, e.ticks, e.date, table.kept.back()))) {
                error = at + "not an entry in order: '" + line.substr(0, 60) + "'";
                return false;
            }
            table.kept.push_back(e);
        }
    }
    if (n == 0) {
        error = "1: empty";
        return false;
    }
    return true;
}
