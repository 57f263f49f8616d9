// The program as the toolkit runs it: the command line read, the session set up to play,
// record or replay, the window opened, the callbacks registered and the main loop entered.
// Each platform's entry point (src/desktop/main.cpp, src/web/main.cpp) calls run_shell; what
// differs between them is app/platform.h's.
#pragma once

#include "app/session.h"
#include "game/game.h"

// Runs the game; returns the exit status.
int run_shell(int argc, char** argv, Game& game);

// The session the callbacks drive, once run_shell has set it up; null before.
Session* running_session();
// The player's settings at play (the page hands its own over).
class Preferences;
Preferences& running_preferences();

// The player has pressed a key, or a control that stands for one: sound may start.
void player_acted();
