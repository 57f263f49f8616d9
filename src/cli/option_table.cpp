#include "cli/option_table.h"

#include <cstdlib>

std::optional<long long> whole_number(const std::string& text, long long min, long long max) {
    if (text.empty() || text.size() > std::to_string(max).size() ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    const long long value = std::strtoll(text.c_str(), nullptr, 10);
    if (value < min || value > max) {
        return std::nullopt;
    }
    return value;
}

std::string OptionRows::usage(size_t column) const {
    std::string text;
    for (const Row& row : rows) {
        std::string label = "      --" + row.name;
        if (!row.argument.empty()) {
            label += (row.attached ? "=" : " ") + row.argument;
        }
        // Help that would not fit beside a long label starts on the next line.
        text += label.size() + 1 > column ? label + "\n" + std::string(column, ' ')
                                          : label + std::string(column - label.size(), ' ');
        for (const char c : row.help) {
            text += c;
            if (c == '\n') {
                text += std::string(column, ' ');
            }
        }
        text += "\n";
    }
    return text;
}

std::string OptionRows::read(int argc, const char* const* argv, const std::vector<Foreign>& foreign,
                             const std::function<std::string(size_t, const std::string&)>& apply,
                             const std::function<void(const std::string&)>& take_word) const {
    bool ended = false;
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (ended || word.size() < 2 || word[0] != '-') {
            if (!take_word) {
                return "unexpected argument '" + word + "'";
            }
            take_word(word);
            continue;
        }
        if (word == "--") {
            ended = true;
            continue;
        }
        if (word[1] != '-') {
            const Foreign* other = nullptr;
            for (const Foreign& f : foreign) {
                other = word == f.name ? &f : other;
            }
            if (other == nullptr) {
                return "unrecognized option '" + word + "'";
            }
            if (other->takes_value && ++i >= argc) {
                return "option '" + word + "' requires an argument";
            }
            continue;
        }
        const size_t equals = word.find('=');
        const std::string name = word.substr(2, equals == std::string::npos ? equals : equals - 2);
        // The row named, or the one row the name abbreviates.
        std::vector<size_t> matches;
        for (size_t r = 0; r < rows.size(); ++r) {
            if (rows[r].name == name) {
                matches = {r};
                break;
            }
            if (rows[r].name.compare(0, name.size(), name) == 0) {
                matches.push_back(r);
            }
        }
        if (matches.size() != 1) {
            return matches.empty() ? "unrecognized option '--" + name + "'"
                                   : "option '--" + name + "' is ambiguous";
        }
        const Row& row = rows[matches.front()];
        std::string value;
        if (row.argument.empty() && equals != std::string::npos) {
            return "option '--" + row.name + "' doesn't allow an argument";
        }
        if (!row.argument.empty()) {
            if (equals != std::string::npos) {
                value = word.substr(equals + 1);
            } else if (i + 1 < argc) {
                value = argv[++i];
            } else {
                return "option '--" + row.name + "' requires an argument";
            }
        }
        if (std::string problem = apply(matches.front(), value); !problem.empty()) {
            return problem;
        }
    }
    return "";
}
