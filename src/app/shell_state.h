// What the shell's start-up (shell.cpp) and the toolkit's callbacks (shell_callbacks.cpp)
// share: the one program's session, sound, settings and pacing, used on the toolkit's one
// thread.
#pragma once

#include <memory>

#include "app/pacer.h"
#include "app/preferences.h"
#include "app/session.h"
#include "app/shell.h"
#include "audio/audio.h"

struct ShellState {
    bool window_closed = false;
    Platform platform;
    Game* game_in_play = nullptr;
    std::unique_ptr<Session> session;
    std::unique_ptr<Audio> audio;  // none for a replay without a window
    Pacer pacer;
    Preferences prefs;
    bool idling = false;   // pictures between frames are asked for
    bool sampled = false;  // the window is multisampled
    bool synced = false;   // the driver waits for the refresh at each swap (smooth only)
    int refresh_hz = 60;   // the desktop display's, where it can tell
    double ticked_at = 0;  // ms, steady clock: the last tick, and the last picture shown
    double pictured_at = 0;
};

ShellState& shell_state();

// The callbacks run_shell registers besides those shell.h names, and what begin() calls.
void closing();
void special(int key, int x, int y);
void window_status(int status);
void reshape(int width, int height);
void overlay();
// The idle callback and multisampling follow the frames setting.
void follow_settings();
// The toolkit's clock, in ms.
long now_ms();
