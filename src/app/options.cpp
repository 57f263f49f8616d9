#include "app/options.h"

#include "cli/option_table.h"

#ifndef VELMORA_VERSION
#define VELMORA_VERSION "unknown"
#endif

namespace {

const OptionTable<Options>& table() {
    static const OptionTable<Options> rows = [] {
        OptionTable<Options> t;
        t.number("seed", "N", &Options::seed, 0, 4294967295LL, "seed",
                 "start every game from seed N (0 to 4294967295) instead of the\n"
                 "clock: the same seed and the same keys give the same game");
        t.text("record", "FILE", &Options::record, "write the game to FILE as it is played");
        t.text("play", "FILE", &Options::play,
               "replay the game recorded in FILE, checking it goes the same way");
        t.flag("headless", &Options::headless,
               "with --play: replay without a window, as fast as it runs, and\n"
               "print the outcome and the speed (no sound)");
        t.flag("mute", &Options::mute, "start with the sound off (m turns it on)");
        t.number("volume", "N", &Options::volume, 0, 100, "volume",
                 "sound volume from 0 to 100 (70)");
        t.choice("frames", &Options::frames,
                 {{"smooth", FramesChoice::kSmooth}, {"designed", FramesChoice::kDesigned}},
                 "frames",
                 "pictures at the display's rate, moving smoothly between the\n"
                 "game's ticks, or the designed one picture a tick");
        t.choice(
            "palette", &Options::palette,
            {{"designed", PaletteChoice::kDesigned}, {"colour-blind", PaletteChoice::kColourBlind}},
            "palette",
            "the designed colours, or a palette whose two sides' bullets\n"
            "differ in shape and stay apart under any colour blindness");
        t.flag("no-scores", &Options::no_scores,
               "keep no high-score table (nor the games' recordings)");
        t.flag("scores", &Options::scores, "print the high-score table and exit");
        t.text("submit", "FILE", &Options::submit,
               "with --name NAME: send a recording to the leaderboard and print\n"
               "its verified rank");
        t.flag("leaderboard", &Options::leaderboard,
               "print the leaderboard's top ten and exit: the open board, or\n"
               "--board daily (today's daily challenge, as --daily) or\n"
               "--board uploaded (the recordings sent with --submit)");
        t.choice("board", &Options::board,
                 {{"open", std::string("open")},
                  {"daily", std::string("daily")},
                  {"uploaded", std::string("uploaded")}},
                 "board", "with --leaderboard or --live: the board to print");
        t.flag("live", &Options::live,
               "print the games being played now on the leaderboard, best first\n"
               "(the open board, or --board daily), with their attempt numbers");
        t.number("watch", "ID", &Options::watch, 1, 999999999999LL, "attempt",
                 "watch the game of attempt ID in a window while it is played,\n"
                 "from its start, and print its verified outcome at its end");
        t.flag("ranked", &Options::ranked,
               "play ranked games: the leaderboard deals each game's seed and\n"
               "takes its keys as they are played; a pause counts as time");
        t.flag("daily", &Options::daily, "play today's daily challenge (one ranked attempt a day)");
        t.text("name", "NAME", &Options::name,
               "with --submit or --ranked: the name the games go under (with\n"
               "--ranked, the one the high-score table used last, or your login\n"
               "name)");
        t.flag("export-key", &Options::export_key,
               "print the code of your player key (the name your games go\n"
               "under belongs to it), to take it to another device");
        t.text("import-key", "CODE", &Options::import_key,
               "keep the key (and the name) a code holds, from then on");
        t.text("server", "URL", &Options::server,
               "the leaderboard's address (http://127.0.0.1:8080, or\n"
               "$VELMORA_SERVER); with --ranked, one board's servers may be\n"
               "listed, comma-separated: if one stops answering, the next\n"
               "takes the game on");
        t.flag("help", &Options::help, "show this help and exit");
        t.flag("version", &Options::version, "show the version and exit");
        // glutInit's options, as freeglut reads them.
        for (const char* name : {"-display", "-geometry"}) {
            t.foreign(name, true);
        }
        for (const char* name : {"-iconic", "-direct", "-indirect", "-gldebug", "-sync"}) {
            t.foreign(name, false);
        }
        return t;
    }();
    return rows;
}

// What the options ask for must fit together.
std::string combination_problem(Options& o) {
    // --daily alone plays the daily challenge; with --leaderboard it names the board shown.
    o.ranked = o.ranked || (o.daily && !o.leaderboard);
    const int commands = o.scores + !o.submit.empty() + o.leaderboard + o.live + o.export_key +
                         !o.import_key.empty();
    const bool playing = !o.play.empty() || !o.record.empty() || o.seed || o.headless || o.ranked ||
                         o.watch.has_value();
    if (commands > 1 || (commands == 1 && playing)) {
        return "--scores, --submit, --leaderboard, --live, --export-key and --import-key each "
               "stand alone";
    }
    if (o.watch && (o.ranked || o.seed || !o.play.empty() || !o.record.empty())) {
        return "--watch follows a game played elsewhere: not with --ranked, --seed, --play or "
               "--record";
    }
    if (!o.submit.empty() && o.name.empty()) {
        return "--submit FILE and --name NAME go together";
    }
    if (!o.name.empty() && o.submit.empty() && !o.ranked) {
        return "--name goes with --submit or --ranked";
    }
    if (!o.server.empty() && o.submit.empty() && !o.leaderboard && !o.ranked && !o.live &&
        !o.watch) {
        return "--server goes with --submit, --leaderboard, --live, --watch or --ranked";
    }
    if (!o.board.empty() && !o.leaderboard && !o.live) {
        return "--board goes with --leaderboard or --live";
    }
    if (o.live && o.board == "uploaded") {
        return "--live lists the open and daily boards' games: --board open or daily";
    }
    if (o.ranked && (o.seed || !o.play.empty())) {
        return "--ranked plays the seed the leaderboard deals: not with --seed or --play";
    }
    if (!o.play.empty() && !o.record.empty()) {
        return "--play and --record cannot be used together";
    }
    if (!o.play.empty() && o.seed) {
        return "--seed cannot be used with --play: the recording holds its seeds";
    }
    if (o.headless && o.play.empty()) {
        return "--headless needs --play FILE";
    }
    return "";
}

}  // namespace

Options parse_options(int argc, const char* const* argv) {
    Options options;
    options.error = table().parse(argc, argv, options);
    if (options.error.empty() && !options.help && !options.version) {
        options.error = combination_problem(options);
    }
    return options;
}

std::string version_text() {
    return std::string("velmora ") + VELMORA_VERSION + "\n";
}

std::string usage_text() {
    return "Usage: velmora [OPTION]...\n"
           "A small arcade game: turn, thrust and fire among drifting asteroids and invaders.\n"
           "\n"
           "Options:\n" +
           table().usage(21) +
           "GLUT's X options (-display DISPLAY, -geometry WxH+X+Y, -iconic, -sync, ...) are\n"
           "passed to the toolkit.\n"
           "\n"
           "Keys (upper case acts as lower case, so Caps Lock changes nothing):\n"
           "  a, d or Left, Right   turn left, turn right\n"
           "  w or Up               thrust\n"
           "  q or Space            fire\n"
           "  p                     pause and resume (an iconified window pauses too)\n"
           "  m                     sound off and on (\"MUTED\" shows while it is off)\n"
           "  Enter                 new game, once the game is over\n"
           "  F11                   full screen on and off\n"
           "  F1                    settings: motion, colours, volume, sound and every key\n"
           "  Esc                   quit\n"
           "Those are the defaults; the settings screen (F1, or from the pause screen) changes\n"
           "them, and keeps them with the frames, palette, volume and sound in\n"
           "$XDG_CONFIG_HOME/velmora/settings (~/.config/velmora/settings). The options above\n"
           "hold for the run. 20 s after GAME OVER the best game on the table plays as a demo\n"
           "until a key is pressed.\n"
           "\n"
           "The steering and firing keys and Enter do nothing in a replay.\n"
           "\n"
           "Exit status: 0 when the game is closed or quit, or a replay matched its recording;\n"
           "1 when no display can be opened, or the leaderboard cannot be reached; 2 for a\n"
           "wrong command line or a recording that cannot be replayed; 3 when a replay went\n"
           "another way than its recording, or the leaderboard refused a recording.\n";
}
