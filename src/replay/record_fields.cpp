#include "replay/record_fields.h"

#include <cstdlib>

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
