#include "app/settings.h"

#include <cstdlib>
#include <sstream>

#include "app/files.h"

namespace {

constexpr const char* kHeader = "velmora-settings 1";

std::vector<std::string> words_of(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string w; in >> w;) {
        words.push_back(w);
    }
    return words;
}

// One line's setting; "" when it is right, else what is wrong.
std::string take(const std::vector<std::string>& w, Settings& s) {
    const auto choice = [&](const char* a, const char* b, bool& value) {
        if (w.size() != 2 || (w[1] != a && w[1] != b)) {
            return std::string("expected '") + w[0] + " " + a + "' or '" + w[0] + " " + b + "'";
        }
        value = w[1] == a;
        return std::string();
    };
    if (w[0] == "frames") {
        return choice("smooth", "designed", s.smooth);
    }
    if (w[0] == "palette") {
        bool designed = true;
        const std::string wrong = choice("designed", "colour-blind", designed);
        s.colour_blind = !designed;
        return wrong;
    }
    if (w[0] == "sound") {
        return choice("on", "off", s.sound);
    }
    if (w[0] == "volume") {
        if (w.size() != 2 || w[1].empty() || w[1].size() > 3 ||
            w[1].find_first_not_of("0123456789") != std::string::npos || std::stoi(w[1]) > 100) {
            return "expected 'volume N', N from 0 to 100";
        }
        s.volume = std::stoi(w[1]);
        return "";
    }
    if (w[0] != "key" && w[0] != "pad") {
        return "unknown setting '" + w[0].substr(0, 20) + "'";
    }
    const std::optional<Action> named = w.size() >= 2 ? KeyMap::action_named(w[1]) : std::nullopt;
    if (!named) {
        return "expected '" + w[0] +
               " ACTION ...' with one of left, right, thrust, fire, pause, "
               "mute, new-game, full-screen, settings";
    }
    const Action action = *named;
    if (w[0] == "pad") {
        std::vector<int> buttons;
        for (size_t i = 2; i < w.size(); ++i) {
            if (w[i].empty() || w[i].size() > 2 ||
                w[i].find_first_not_of("0123456789") != std::string::npos) {
                return "a gamepad button is a number from 0 to 99";
            }
            buttons.push_back(std::stoi(w[i]));
        }
        s.pad[w[1]] = buttons;
        return "";
    }
    if (w.size() < 3 || w.size() > 4) {
        return "expected 'key ACTION KEY' or 'key ACTION KEY KEY'";
    }
    std::vector<Key> keys;
    for (size_t i = 2; i < w.size(); ++i) {
        const std::optional<Key> k = KeyMap::key_named(w[i]);
        if (!k) {
            return "no key is named '" + w[i] + "'";
        }
        // One key, one action: a key an earlier line gave another action is refused.
        const std::optional<Action> holder = s.keys.action_of(*k);
        if (holder && *holder != action) {
            return w[i] + " is " + KeyMap::name_of(*holder) + "'s key";
        }
        keys.push_back(*k);
    }
    s.keys.set_keys(action, keys);
    return "";
}

}  // namespace

std::string Settings::text() const {
    std::string out = std::string(kHeader) + "\n";
    out += std::string("frames ") + (smooth ? "smooth" : "designed") + "\n";
    out += std::string("palette ") + (colour_blind ? "colour-blind" : "designed") + "\n";
    out += "volume " + std::to_string(volume) + "\n";
    out += std::string("sound ") + (sound ? "on" : "off") + "\n";
    for (int a = 0; a < kActions; ++a) {
        const Action action = static_cast<Action>(a);
        out += std::string("key ") + KeyMap::name_of(action);
        for (const Key& k : keys.keys_of(action)) {
            out += " " + KeyMap::key_name(k);
        }
        out += "\n";
    }
    for (const auto& [action, buttons] : pad) {
        out += "pad " + action;
        for (const int b : buttons) {
            out += " " + std::to_string(b);
        }
        out += "\n";
    }
    return out;
}

bool Settings::parse(const std::string& text, Settings& settings, std::string& error) {
    Settings s;
    // Every action's keys are given whole: the file's lines rebind them from nothing, so that a
    // file may move a key from one action to another.
    for (int a = 0; a < kActions; ++a) {
        s.keys.set_keys(static_cast<Action>(a), {});
    }
    std::istringstream in(text);
    std::string line;
    int n = 0;
    bool any_key = false;
    while (std::getline(in, line)) {
        ++n;
        const std::vector<std::string> w = words_of(line);
        if (n == 1) {
            if (line != kHeader) {
                error =
                    "1: not a settings file (the first line is not '" + std::string(kHeader) + "')";
                return false;
            }
            continue;
        }
        if (w.empty() || w[0][0] == '#') {
            continue;
        }
        any_key = any_key || w[0] == "key";
        const std::string wrong = take(w, s);
        if (!wrong.empty()) {
            error = std::to_string(n) + ": " + wrong;
            return false;
        }
    }
    if (n == 0) {
        error = "1: empty";
        return false;
    }
    if (!any_key) {
        s.keys = KeyMap();  // a file without keys keeps the designed ones
    } else {
        // Actions the file left without keys keep their designed ones where those are free.
        const KeyMap designed;
        for (int a = 0; a < kActions; ++a) {
            const Action action = static_cast<Action>(a);
            if (s.keys.keys_of(action).empty()) {
                std::vector<Key> free;
                for (const Key& k : designed.keys_of(action)) {
                    if (!s.keys.action_of(k)) {
                        free.push_back(k);
                    }
                }
                s.keys.set_keys(action, free);
            }
        }
    }
    settings = s;
    return true;
}

std::string settings_path() {
    std::string base;
    if (const char* config = std::getenv("XDG_CONFIG_HOME");
        config != nullptr && config[0] == '/') {
        base = config;
    } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
        base = std::string(home) + "/.config";
    } else {
        return "";
    }
    return base + "/velmora/settings";
}

Settings load_settings(const std::string& path, std::FILE* err) {
    std::string text;
    if (path.empty() || !read_text(path, text)) {
        return Settings();
    }
    Settings s;
    std::string error;
    if (Settings::parse(text, s, error)) {
        return s;
    }
    const std::string aside = path + ".bad-" + compact_date();
    std::rename(path.c_str(), aside.c_str());
    std::fprintf(err, "velmora: %s:%s; set aside as %s, the defaults are used\n", path.c_str(),
                 error.c_str(), aside.c_str());
    return Settings();
}

bool save_settings(const std::string& path, const Settings& settings) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos || slash == 0) {
        return false;
    }
    const std::string dir = path.substr(0, slash);
    return make_folders(dir) && replace_file(dir, path, settings.text());
}
