// What differs between the platforms the shell runs on, as one narrow interface each platform
// fills in a file of its own: src/desktop/platform.cpp (a freeglut window, files, the
// leaderboard's clients) and src/web/platform.cpp (the page's canvas, storage and script), as
// Quake's sys_ and vid_ files do. The shell calls these; nothing shared asks which it is on.
#pragma once

#include <cstdio>
#include <optional>
#include <string>

#include "app/options.h"
#include "app/pacer.h"
#include "app/session.h"

class Audio;
class Preferences;

namespace platform {

// Before any window: the commands said and done without one (--scores, --submit,
// --leaderboard, --live, --export-key, --import-key): their exit status, or nothing to go on with.
std::optional<int> command(const Options& options, std::FILE* out, std::FILE* err);
// --watch ID: the session set to follow a game played elsewhere (the desktop's stream from the
// leaderboard); the exit status if it cannot.
std::optional<int> watch(const Options& options, Session& session, std::FILE* err);
// Where the player's settings are kept: a file ("" where the platform hands them over itself).
std::string settings_path();
// What keeps the session's games besides --record (the desktop's score table, a ranked game's
// stream; the page's memory, for its script); true if every game is then recorded from a seed
// of its own.
bool keep_games(const Options& options, Session& session, Pacer& pacer, std::FILE* err);
// Opens the window (multisampled where the platform makes its own); whether it is.
bool open_window();
// Once the window is open: the first game's seed, where the platform deals it (ranked games).
std::optional<unsigned> first_seed(std::FILE* err);
// The sound, once opened (a page's waits for the player's first key: browsers hold it).
void sound_opened(Audio& audio);

// The idle callback while smooth pictures are drawn between the frames: the desktop paces
// them to its display's refresh; the page draws one at every animation frame.
void idle();
// Smooth pictures start or stop (the desktop asks the driver for vsync meanwhile).
void smooth_pictures(bool on);
// The display's refresh rate (0 when unknown), and its device pixels a CSS pixel.
int refresh_rate();
float pixel_ratio();
// The settings key: the desktop's settings screen, the page's own dialog; and what is drawn
// over everything for them.
void open_settings(Preferences& prefs);
void overlay(const Preferences& prefs, const Session& session);

// After each tick (a ranked game's new lines to its server); after a watched replay's last
// record, whether the program ends now (the desktop's does, the page stays); and at the
// program's end.
void after_tick(Session& session);
bool replay_over();
void program_ends(Session& session, const Game& game, std::FILE* out);

}  // namespace platform
