// What the shell's start-up (shell.cpp), the toolkit's callbacks (shell_callbacks.cpp) and each
// platform's file share: the one program's session, sound, settings and pacing, used on the
// toolkit's one thread.
#pragma once

#include <memory>

#include "app/pacer.h"
#include "app/preferences.h"
#include "app/session.h"
#include "audio/audio.h"

struct ShellState {
    bool window_closed = false;
    Game* game_in_play = nullptr;
    std::unique_ptr<Session> session;
    std::unique_ptr<Audio> audio;  // none for a replay without a window
    Pacer pacer;
    Preferences prefs;
    bool idling = false;   // pictures between frames are asked for
    bool sampled = false;  // the window is multisampled
    double ticked_at = 0;  // ms, steady clock: the last tick, and the last picture shown
    double pictured_at = 0;
};

ShellState& shell_state();

// The toolkit's callbacks run_shell registers.
void init();
void display();
void update(int value);
void keyboard(unsigned char key, int x, int y);
void special(int key, int x, int y);
void closing();
void window_status(int status);
void reshape(int width, int height);
void overlay();
// The idle callback and multisampling follow the frames setting.
void follow_settings();
// The toolkit's clock, in ms; and a steady one, to the fraction.
long now_ms();
double now_exact_ms();
