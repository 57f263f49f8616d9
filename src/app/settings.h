// The player's settings: how the picture moves (smooth, at the display's rate, or the designed
// one picture a tick), its colours (designed, or a palette that stays distinct under every
// kind of colour blindness, with the two sides' bullets of two shapes), the keys, the sound's
// volume and whether it is on. None of them changes the game: its ticks, its recordings and
// their check values are the same under any. Kept in $XDG_CONFIG_HOME/velmora/settings (the
// desktop) and in the page's storage, in one small text format (docs/settings.md):
//
//   velmora-settings 1
//   frames smooth            (or designed)
//   palette designed         (or colour-blind)
//   volume 70
//   sound on                 (or off)
//   key fire q Space         an action and its one or two keys
//   pad fire 1 2             the page: an action and its gamepad buttons
#pragma once

#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/keymap.h"

struct Settings {
    bool smooth = true;
    bool colour_blind = false;
    int volume = 70;
    bool sound = true;
    KeyMap keys;
    std::map<std::string, std::vector<int>> pad;  // the page's gamepad buttons, by action

    std::string text() const;
    // The settings in `text`; false with `error` ("LINE: problem") if it is not a settings file.
    static bool parse(const std::string& text, Settings& settings, std::string& error);
};

// Where the desktop keeps them: $XDG_CONFIG_HOME/velmora/settings, else ~/.config/velmora/...;
// "" with no home.
std::string settings_path();
// The file's settings; the defaults if there is none. A file that cannot be read as settings is
// set aside as settings.bad-DATE, with one line on `err`, and the defaults are used.
Settings load_settings(const std::string& path, std::FILE* err);
// Writes them whole or not at all (a temporary file renamed into place); false if it cannot.
bool save_settings(const std::string& path, const Settings& settings);
