// The program as the toolkit runs it: the command line read, the session set up to play,
// record or replay, the window opened, the callbacks registered and the main loop entered.
// Each platform's entry point (main.cpp on the desktop, src/web/ in the page) calls run_shell.
#pragma once

#include <optional>
#include <string>

#include "app/session.h"
#include "game/game.h"

// What differs between the platforms the shell runs on.
struct Platform {
    // Keep each game's recording in memory, for the page to offer (a page has no files).
    bool record_in_memory = false;
    // End the program when a watched replay has played its last record (a page stays).
    bool exit_after_replay = true;
    // Hold every sound until the player first acts (browsers hold audio until then, and play
    // whatever was queued all at once).
    bool sound_after_first_key = false;
    // Keep the high-score table in the user's data folder (the page keeps its own).
    bool keeps_scores = true;
    // Keep each game's recording as it grows, for a ranked game's client (the page's script).
    bool records_live = false;
    // Keep the settings in the user's config folder, with a settings screen on the field (the
    // page keeps its own, in its storage, with a dialog of its own).
    bool keeps_settings = true;
    // Pictures between frames: paced by the program up to the display's refresh rate (the
    // desktop), or drawn whenever the toolkit asks (the page's requestAnimationFrame).
    bool paces_pictures = true;
    // The display's refresh rate (0 when unknown: 60 is assumed), and device pixels a CSS
    // pixel.
    int (*refresh_rate)() = nullptr;
    // Asks the driver to wait for the display's refresh at each swap (vsync), or not: true
    // where it does.
    bool (*sync_to_refresh)(bool on) = nullptr;
    float (*pixel_ratio)() = nullptr;
    // Opens the page's own settings dialog, for the settings key (the desktop draws its screen).
    void (*open_settings)() = nullptr;
    // The recording attract mode plays, where the shell keeps no score table (the page's).
    std::optional<std::string> (*demo)() = nullptr;
    // Ask the toolkit for a multisampled window, for smooth outlines (the page asks its canvas).
    bool multisample = true;
};

// Runs the game; returns the exit status.
int run_shell(int argc, char** argv, Game& game, const Platform& platform);

// The session the callbacks drive, once run_shell has set it up; null before.
Session* running_session();
// The player's settings at play (the page hands its own over).
class Preferences;
Preferences& running_preferences();

// The player has pressed a key, or a control that stands for one: sound may start.
void player_acted();

// The toolkit's callbacks.
void init();
void display();
void update(int value);
void keyboard(unsigned char key, int x, int y);
