// The game's command line (cli/option_table.h: each option one row, read the GNU way). GLUT's own
// X options (-display, -geometry, ...) are let through for glutInit. Nothing here touches the
// display, so a bad command line fails before any window could.
#pragma once

#include <optional>
#include <string>

// Frames and colours chosen for this run, over the player's settings.
enum class FramesChoice { kSettings, kSmooth, kDesigned };
enum class PaletteChoice { kSettings, kDesigned, kColourBlind };

struct Options {
    bool help = false;
    bool version = false;
    std::optional<unsigned> seed;  // --seed N: every game starts from N instead of the clock
    std::string record;            // --record FILE
    std::string play;              // --play FILE
    bool headless = false;         // --headless, with --play
    bool mute = false;             // --mute: start with the sound off (m turns it on)
    std::optional<int> volume;     // --volume N, 0 to 100 (else the settings', 70)
    FramesChoice frames = FramesChoice::kSettings;
    PaletteChoice palette = PaletteChoice::kSettings;
    bool scores = false;     // --scores: print the high-score table
    bool no_scores = false;  // --no-scores: keep none
    std::string submit;      // --submit FILE, with --name NAME
    std::string name;
    std::string server;        // --server URL, with --submit or --leaderboard
    bool leaderboard = false;  // --leaderboard: print its top ten
    bool ranked = false;       // --ranked: play games the leaderboard deals, streamed to it
    bool daily = false;        // --daily: the daily challenge (with --ranked or --leaderboard)
    std::string board;         // --board open|daily|uploaded, with --leaderboard
    bool live = false;         // --live: print the games being played now
    std::optional<long long> watch;  // --watch ID: follow live attempt ID in a window
    bool export_key = false;         // --export-key: print the player key's code
    std::string import_key;          // --import-key CODE: keep the key the code holds
    std::string error;               // the problem, when the command line is wrong
};

Options parse_options(int argc, const char* const* argv);

// --help's text and --version's line.
std::string usage_text();
std::string version_text();
