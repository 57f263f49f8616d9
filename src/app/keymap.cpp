#include "app/keymap.h"

#include <GL/freeglut.h>

#include <cctype>

namespace {

constexpr const char* kActionNames[kActions] = {
    "left", "right", "thrust", "fire", "pause", "mute", "new-game", "full-screen", "settings"};

constexpr unsigned char kEnter = 13;

Key chr(char c) {
    return Key{false, static_cast<unsigned char>(c)};
}
Key special(int code) {
    return Key{true, code};
}

struct Named {
    const char* name;
    Key key;
};

const Named kNamed[] = {
    {"Space", chr(' ')},
    {"Enter", chr(static_cast<char>(kEnter))},
    {"Tab", chr('\t')},
    {"Backspace", chr('\b')},
    {"Left", special(GLUT_KEY_LEFT)},
    {"Right", special(GLUT_KEY_RIGHT)},
    {"Up", special(GLUT_KEY_UP)},
    {"Down", special(GLUT_KEY_DOWN)},
    {"Home", special(GLUT_KEY_HOME)},
    {"End", special(GLUT_KEY_END)},
    {"PageUp", special(GLUT_KEY_PAGE_UP)},
    {"PageDown", special(GLUT_KEY_PAGE_DOWN)},
    {"Insert", special(GLUT_KEY_INSERT)},
};

// Letters as their lower case: Caps Lock and Shift change nothing.
Key folded(Key key) {
    if (!key.special && key.code >= 'A' && key.code <= 'Z') {
        key.code += 'a' - 'A';
    }
    return key;
}

}  // namespace

KeyMap::KeyMap() {
    keys[index(Action::kLeft)] = {chr('a'), special(GLUT_KEY_LEFT)};
    keys[index(Action::kRight)] = {chr('d'), special(GLUT_KEY_RIGHT)};
    keys[index(Action::kThrust)] = {chr('w'), special(GLUT_KEY_UP)};
    keys[index(Action::kFire)] = {chr('q'), chr(' ')};
    keys[index(Action::kPause)] = {chr('p')};
    keys[index(Action::kMute)] = {chr('m')};
    keys[index(Action::kNewGame)] = {chr(static_cast<char>(kEnter))};
    keys[index(Action::kFullScreen)] = {special(GLUT_KEY_F11)};
    keys[index(Action::kSettings)] = {special(GLUT_KEY_F1)};
}

std::optional<Action> KeyMap::action_of(Key key) const {
    key = folded(key);
    for (size_t a = 0; a < keys.size(); ++a) {
        for (const Key& k : keys[a]) {
            if (k == key) {
                return static_cast<Action>(a);
            }
        }
    }
    return std::nullopt;
}

bool KeyMap::bind(Action action, Key key, std::string& error) {
    key = folded(key);
    const std::optional<Action> holder = action_of(key);
    if (holder && *holder != action) {
        error = key_name(key) + " is " + name_of(*holder) + "'s key";
        return false;
    }
    std::vector<Key>& bound = keys[index(action)];
    std::vector<Key> now{key};
    if (!bound.empty() && !(bound.front() == key)) {
        now.push_back(bound.front());
    }
    bound = now;
    return true;
}

unsigned char KeyMap::designed_key(Action action) {
    static constexpr unsigned char kDesigned[kActions] = {'a', 'd',    'w', 'q', 'p',
                                                          'm', kEnter, 0,   0};
    return kDesigned[index(action)];
}

const char* KeyMap::name_of(Action action) {
    return kActionNames[index(action)];
}

std::optional<Action> KeyMap::action_named(const std::string& name) {
    for (int a = 0; a < kActions; ++a) {
        if (name == kActionNames[a]) {
            return static_cast<Action>(a);
        }
    }
    return std::nullopt;
}

std::string KeyMap::key_name(Key key) {
    for (const Named& n : kNamed) {
        if (n.key == key) {
            return n.name;
        }
    }
    if (key.special && key.code >= GLUT_KEY_F1 && key.code <= GLUT_KEY_F12) {
        return "F" + std::to_string(key.code - GLUT_KEY_F1 + 1);
    }
    if (!key.special && std::isgraph(key.code)) {
        return std::string(1, static_cast<char>(key.code));
    }
    return "key-" + std::to_string(key.code) + (key.special ? "s" : "");
}

std::optional<Key> KeyMap::key_named(const std::string& name) {
    for (const Named& n : kNamed) {
        if (name == n.name) {
            return n.key;
        }
    }
    if (name.size() >= 2 && name[0] == 'F' &&
        name.find_first_not_of("0123456789", 1) == std::string::npos) {
        const int f = std::stoi(name.substr(1, 2));
        if (f >= 1 && f <= 12) {
            return special(GLUT_KEY_F1 + f - 1);
        }
        return std::nullopt;
    }
    if (name.size() == 1 && std::isgraph(static_cast<unsigned char>(name[0]))) {
        return folded(chr(name[0]));
    }
    return std::nullopt;
}
