#include "app/options.h"

#include <cstring>
#include <vector>

#ifndef VELMORA_VERSION
#define VELMORA_VERSION "unknown"
#endif

namespace {

struct LongOption {
    const char* name;
    bool takes_value;
};

const LongOption kLongOptions[] = {
    {"help", false},   {"version", false},     {"seed", true},       {"record", true},
    {"play", true},    {"headless", false},    {"mute", false},      {"volume", true},
    {"scores", false}, {"no-scores", false},   {"submit", true},     {"name", true},
    {"server", true},  {"leaderboard", false}, {"ranked", false},    {"daily", false},
    {"board", true},   {"export-key", false},  {"import-key", true}, {"frames", true},
    {"palette", true},
};

// glutInit's options, as freeglut reads them, and whether each takes a value.
const LongOption kToolkitOptions[] = {
    {"-display", true},   {"-geometry", true}, {"-iconic", false}, {"-direct", false},
    {"-indirect", false}, {"-gldebug", false}, {"-sync", false},
};

// The long option `word` (without its dashes) names: an exact match, or the one option it
// abbreviates. Null, with `error` set, otherwise.
const LongOption* find_long(const std::string& word, std::string& error) {
    std::vector<const LongOption*> matches;
    for (const LongOption& option : kLongOptions) {
        if (word == option.name) {
            return &option;
        }
        if (std::strncmp(option.name, word.c_str(), word.size()) == 0) {
            matches.push_back(&option);
        }
    }
    if (matches.size() == 1) {
        return matches.front();
    }
    error = (matches.empty() ? "unrecognized option '--" : "option '--") + word +
            (matches.empty() ? "'" : "' is ambiguous");
    return nullptr;
}

// Decimal digits only, 0 to 4294967295: no sign, no spaces, no other base (a seed, a volume).
std::optional<unsigned> parse_seed(const std::string& text) {
    if (text.empty() || text.size() > 10 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    const unsigned long long value = std::stoull(text);
    if (value > 4294967295ull) {
        return std::nullopt;
    }
    return static_cast<unsigned>(value);
}

void apply(Options& options, const std::string& name, const std::string& value) {
    if (name == "help") {
        options.help = true;
    } else if (name == "version") {
        options.version = true;
    } else if (name == "headless") {
        options.headless = true;
    } else if (name == "mute") {
        options.mute = true;
    } else if (name == "scores") {
        options.scores = true;
    } else if (name == "no-scores") {
        options.no_scores = true;
    } else if (name == "submit") {
        options.submit = value;
    } else if (name == "name") {
        options.name = value;
    } else if (name == "server") {
        options.server = value;
    } else if (name == "leaderboard") {
        options.leaderboard = true;
    } else if (name == "ranked") {
        options.ranked = true;
    } else if (name == "daily") {
        options.daily = true;
    } else if (name == "frames") {
        if (value != "smooth" && value != "designed") {
            options.error = "invalid frames '" + value + "': expected smooth or designed";
        }
        options.frames = value == "smooth";
    } else if (name == "palette") {
        if (value != "designed" && value != "colour-blind") {
            options.error = "invalid palette '" + value + "': expected designed or colour-blind";
        }
        options.palette = value == "colour-blind";
    } else if (name == "export-key") {
        options.export_key = true;
    } else if (name == "import-key") {
        options.import_key = value;
    } else if (name == "board") {
        options.board = value;
        if (value != "open" && value != "daily" && value != "uploaded") {
            options.error = "invalid board '" + value + "': expected open, daily or uploaded";
        }
    } else if (name == "volume") {
        const std::optional<unsigned> volume = parse_seed(value);
        if (!volume || *volume > 100) {
            options.error = "invalid volume '" + value + "': expected a whole number from 0 to 100";
        } else {
            options.volume = static_cast<int>(*volume);
        }
    } else if (name == "seed") {
        options.seed = parse_seed(value);
        if (!options.seed) {
            options.error =
                "invalid seed '" + value + "': expected a whole number from 0 to 4294967295";
        }
    } else if (name == "record") {
        options.record = value;
    } else if (name == "play") {
        options.play = value;
    }
}

// What the options ask for must fit together.
void check_combination(Options& options) {
    if (!options.error.empty() || options.help || options.version) {
        return;
    }
    // --daily alone plays the daily challenge; with --leaderboard it names the board shown.
    options.ranked = options.ranked || (options.daily && !options.leaderboard);
    const int commands = options.scores + !options.submit.empty() + options.leaderboard +
                         options.export_key + !options.import_key.empty();
    const bool playing = !options.play.empty() || !options.record.empty() || options.seed ||
                         options.headless || options.ranked;
    if (commands > 1 || (commands == 1 && playing)) {
        options.error =
            "--scores, --submit, --leaderboard, --export-key and --import-key each "
            "stand alone";
    } else if (!options.submit.empty() && options.name.empty()) {
        options.error = "--submit FILE and --name NAME go together";
    } else if (!options.name.empty() && options.submit.empty() && !options.ranked) {
        options.error = "--name goes with --submit or --ranked";
    } else if (!options.server.empty() && options.submit.empty() && !options.leaderboard &&
               !options.ranked) {
        options.error = "--server goes with --submit, --leaderboard or --ranked";
    } else if (!options.board.empty() && !options.leaderboard) {
        options.error = "--board goes with --leaderboard";
    } else if (options.ranked && (options.seed || !options.play.empty())) {
        options.error = "--ranked plays the seed the leaderboard deals: not with --seed or --play";
    } else if (!options.play.empty() && !options.record.empty()) {
        options.error = "--play and --record cannot be used together";
    } else if (!options.play.empty() && options.seed) {
        options.error = "--seed cannot be used with --play: the recording holds its seeds";
    } else if (options.headless && options.play.empty()) {
        options.error = "--headless needs --play FILE";
    }
}

}  // namespace

Options parse_options(int argc, const char* const* argv) {
    Options options;
    bool options_ended = false;
    for (int i = 1; i < argc && options.error.empty(); ++i) {
        const std::string word = argv[i];
        if (options_ended || word.size() < 2 || word[0] != '-') {
            options.error = "unexpected argument '" + word + "'";
            break;
        }
        if (word == "--") {
            options_ended = true;
            continue;
        }
        if (word[1] != '-') {
            const LongOption* toolkit = nullptr;
            for (const LongOption& option : kToolkitOptions) {
                if (word == option.name) {
                    toolkit = &option;
                }
            }
            if (toolkit == nullptr) {
                options.error = "unrecognized option '" + word + "'";
            } else if (toolkit->takes_value && ++i >= argc) {
                options.error = "option '" + word + "' requires an argument";
            }
            continue;
        }
        const size_t equals = word.find('=');
        const std::string name = word.substr(2, equals == std::string::npos ? equals : equals - 2);
        const LongOption* option = find_long(name, options.error);
        if (option == nullptr) {
            break;
        }
        const std::string full = std::string("--") + option->name;
        std::string value;
        if (!option->takes_value) {
            if (equals != std::string::npos) {
                options.error = "option '" + full + "' doesn't allow an argument";
            }
        } else if (equals != std::string::npos) {
            value = word.substr(equals + 1);
        } else if (i + 1 < argc) {
            value = argv[++i];
        } else {
            options.error = "option '" + full + "' requires an argument";
        }
        if (options.error.empty()) {
            apply(options, option->name, value);
        }
    }
    check_combination(options);
    return options;
}

std::string version_text() {
    return std::string("velmora ") + VELMORA_VERSION + "\n";
}

std::string usage_text() {
    return "Usage: velmora [OPTION]...\n"
           "A small arcade game: turn, thrust and fire among drifting asteroids and invaders.\n"
           "\n"
           "Options:\n"
           "      --seed N       start every game from seed N (0 to 4294967295) instead of the\n"
           "                     clock: the same seed and the same keys give the same game\n"
           "      --record FILE  write the game to FILE as it is played\n"
           "      --play FILE    replay the game recorded in FILE, checking it goes the same way\n"
           "      --headless     with --play: replay without a window, as fast as it runs, and\n"
           "                     print the outcome and the speed (no sound)\n"
           "      --mute         start with the sound off (m turns it on)\n"
           "      --volume N     sound volume from 0 to 100 (70)\n"
           "      --frames=smooth|designed\n"
           "                     pictures at the display's rate, moving smoothly between the\n"
           "                     game's ticks, or the designed one picture a tick\n"
           "      --palette=designed|colour-blind\n"
           "                     the designed colours, or a palette whose two sides' bullets\n"
           "                     differ in shape and stay apart under any colour blindness\n"
           "      --no-scores    keep no high-score table (nor the games' recordings)\n"
           "      --scores       print the high-score table and exit\n"
           "      --submit FILE --name NAME\n"
           "                     send a recording to the leaderboard and print its verified rank\n"
           "      --leaderboard  print the leaderboard's top ten and exit: the open board, or\n"
           "                     --board daily (today's daily challenge, as --daily) or\n"
           "                     --board uploaded (the recordings sent with --submit)\n"
           "      --ranked       play ranked games: the leaderboard deals each game's seed and\n"
           "                     takes its keys as they are played; a pause counts as time\n"
           "      --daily        play today's daily challenge (one ranked attempt a day)\n"
           "      --name NAME    with --ranked: the name the games are ranked under (the one\n"
           "                     the high-score table used last, or your login name)\n"
           "      --export-key   print the code of your player key (the name your games go\n"
           "                     under belongs to it), to take it to another device\n"
           "      --import-key CODE\n"
           "                     keep the key (and the name) a code holds, from then on\n"
           "      --server URL   the leaderboard's address (http://127.0.0.1:8080, or\n"
           "                     $VELMORA_SERVER)\n"
           "      --help         show this help and exit\n"
           "      --version      show the version and exit\n"
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
