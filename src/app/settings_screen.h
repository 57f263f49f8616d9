// The settings screen, over the paused field (F1, or the settings key the player chose; the
// pause screen says so): Up and Down choose a line, Left, Right and Enter change it, Esc or F1
// closes it. A key's line takes the next key pressed as the action's key, unless another
// action has it. Every change is kept at once.
#pragma once

#include <functional>
#include <string>

#include "app/settings.h"

class SettingsScreen {
  public:
    // Shows and changes `settings`; `changed` is told of every change.
    SettingsScreen(Settings& settings, std::function<void()> changed);

    bool open() const { return is_open; }
    void show() {
        is_open = true;
        waiting_for_key = false;
        said.clear();
    }
    // A key while it is open.
    void key(Key key);
    void draw() const;

  private:
    void change(int by);
    int lines() const;

    Settings& settings;
    std::function<void()> changed;
    bool is_open = false;
    int chosen = 0;
    bool waiting_for_key = false;
    std::string said;  // a conflict, or what the line does
};
