// The keys the player chose: each action bound to one or two keys, named as the settings file
// writes them ("a", "Space", "Left", "F1"). The designed keys are the default: a, d, w, q, p, m
// and Enter, with the arrows and Space beside them. Whatever the keys, the game sees (and its
// recordings keep) the designed key of each action.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

enum class Action {
    kLeft,
    kRight,
    kThrust,
    kFire,
    kPause,
    kMute,
    kNewGame,
    kFullScreen,
    kSettings
};
constexpr int kActions = 9;

// A key as the toolkit hands it: a character, or a special key's code (GLUT_KEY_*).
struct Key {
    bool special = false;
    int code = 0;
    bool operator==(const Key& other) const {
        return special == other.special && code == other.code;
    }
};

class KeyMap {
  public:
    // The designed keys.
    KeyMap();

    // The action a key stands for, if any; letters stand for their lower case (Caps Lock and
    // Shift change nothing).
    std::optional<Action> action_of(Key key) const;
    // Binds `key` as the action's first key (its second goes, unless it is the same): refused,
    // with `error` naming the action that has it, if another action has the key.
    bool bind(Action action, Key key, std::string& error);
    // The action's keys, and the key as the settings file names it.
    const std::vector<Key>& keys_of(Action action) const { return keys[index(action)]; }
    void set_keys(Action action, std::vector<Key> bound) { keys[index(action)] = std::move(bound); }

    // The designed key the game takes for an action: 'a', 'd', 'w', 'q', 'p', 'm', Enter (13);
    // 0 for those the shell takes itself (full screen, settings).
    static unsigned char designed_key(Action action);
    static const char* name_of(Action action);
    static std::optional<Action> action_named(const std::string& name);
    static std::string key_name(Key key);
    static std::optional<Key> key_named(const std::string& name);

  private:
    static size_t index(Action a) { return static_cast<size_t>(a); }
    std::array<std::vector<Key>, kActions> keys;
};
