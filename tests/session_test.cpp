// The shell around the game: keys, pause, new games, the square field, the tick schedule and
// the command line. With no new key used, the game must see exactly what it always saw.
#include <gtest/gtest.h>

#include <GL/freeglut.h>
#include <GL/gl.h>

#include <string>
#include <vector>

#include "app/options.h"
#include "app/pacer.h"
#include "app/session.h"
#include "frames.h"
#include "gl_recorder.h"
#include "replay/check_value.h"
#include "world_builder.h"

namespace {

// Frames of `ticks` ticks of a game from seed 11, played through a session or straight.
std::vector<std::string> play(int ticks, bool through_session) {
    Game game;
    game.new_game(11);
    Session session(game, 11);
    std::vector<std::string> frames;
    // The window's first showings, before the first tick.
    for (int f = 0; f < kFramesBeforeFirstTick; ++f) {
        through_session ? session_frame(session) : designed_frame(game);
    }
    for (int t = 0; t < ticks; ++t) {
        for (const char* k = keys_at(t); *k != '\0'; ++k) {
            if (through_session) {
                session.key(*k);
            } else {
                switch (*k) {
                    case 'a':
                        game.ship_left();
                        break;
                    case 'd':
                        game.ship_right();
                        break;
                    case 'w':
                        game.ship_up();
                        break;
                    default:
                        game.ship_shot();
                        break;
                }
            }
        }
        through_session ? session.tick() : game.update();
        frames.push_back(through_session ? session_frame(session) : designed_frame(game));
    }
    return frames;
}

TEST(Session, WithoutTheNewKeysEveryFrameIsTheDesignedOne) {
    const std::vector<std::string> designed = play(120, false);
    const std::vector<std::string> shell = play(120, true);
    ASSERT_EQ(shell.size(), designed.size());
    for (size_t i = 0; i < designed.size(); ++i) {
        ASSERT_EQ(shell[i], designed[i]) << "frame " << i;
    }
}

TEST(Session, PauseFreezesThePictureAndTheGameAndResumesAsIfNothingHappened) {
    const std::vector<std::string> unpaused = play(120, false);

    Game game;
    game.new_game(11);
    Session session(game, 11);
    std::vector<std::string> frames;
    for (int f = 0; f < kFramesBeforeFirstTick; ++f) {
        session_frame(session);
    }
    for (int t = 0; t < 120; ++t) {
        for (const char* k = keys_at(t); *k != '\0'; ++k) {
            session.key(*k);
        }
        session.tick();
        frames.push_back(session_frame(session));
        if (t == 60) {
            const std::string last_live = gl::outlines_text(gl::recording());
            // Longer than a bullet lives and a blink lasts, with keys that must do nothing.
            session.key('p');
            const std::string still = session_frame(session);
            for (int i = 0; i < 120; ++i) {
                session.key("adwq\r"[i % 5]);
                session.tick();
                ASSERT_EQ(session_frame(session), still) << "paused frame " << i;
            }
            const std::vector<gl::Text> text = gl::texts();
            ASSERT_FALSE(text.empty());
            EXPECT_EQ(text.back().s, "PAUSED");
            EXPECT_EQ(text.back().color.g, 1);
            // The still picture is the last frame's world, vertex for vertex.
            EXPECT_EQ(gl::outlines_text(gl::recording()), last_live);
            session.key('p');
        }
    }
    EXPECT_EQ(frames, unpaused);
}

// However the display shows the game (T a tick, D a picture: the toolkit's showings, exposes,
// slow frames), the game sees its designed frames: two before the first tick and one after each,
// a frame a tick fell due before made unseen, a picture beyond it changing nothing.
TEST(Session, TheGameSeesItsDesignedFramesWhateverTheDisplayShows) {
    const char* const shown[] = {"TTTTTTTT", "DDDTDDDTTDTDDTDT", "DTDTDTTTDT", "TDDDDTDTTT"};
    for (const char* const row : shown) {
        SCOPED_TRACE(row);
        Game game;
        Session session(game, 11);
        session.recordings().each_game_in_memory();
        session.start(11);
        std::vector<uint32_t> checks;
        for (const char* step = row; *step != '\0'; ++step) {
            if (*step == 'T') {
                session.tick();
                checks.push_back(check_value(game));
            } else {
                session_frame(session);
            }
        }
        // Each tick's check value against the designed game's, ticked and drawn in turn.
        Game before;
        before.new_game(11);
        for (int f = 0; f < kFramesBeforeFirstTick; ++f) {
            before.frame_unseen();
        }
        for (size_t t = 0; t < checks.size(); ++t) {
            before.update();
            EXPECT_EQ(checks[t], check_value(before)) << "tick " << t + 1;
            before.frame_unseen();
        }
        // And the recording holds those frames: two before the first tick, one between two.
        std::string frames;
        for (size_t at = session.recording().find("\nseed "); at != std::string::npos;
             at = session.recording().find('\n', at + 1)) {
            const char kind = session.recording()[at + 1];
            frames += kind == 'd' || kind == 't' ? std::string(1, kind) : "";
        }
        EXPECT_EQ(frames.substr(0, 3), "ddt") << frames;
        EXPECT_EQ(frames.find("tt"), std::string::npos) << frames;
        EXPECT_EQ(frames.find("dd", 2), std::string::npos) << frames;
    }
}

TEST(Session, EnterAfterGameOverStartsTheSameGameAsAFreshStart) {
    Game fresh;
    fresh.new_game(23);
    fresh.update();
    const std::string first_frame = designed_frame(fresh);

    Game game;
    game.new_game(23);
    Session session(game, 23);
    for (int t = 0; t < 30; ++t) {
        session.tick();
        session_frame(session);
    }
    session.key('\r');  // the game runs: nothing happens
    EXPECT_EQ(WorldProbe::plain_timer(GameProbe::world(game)), 29);

    WorldProbe::lifes(GameProbe::world(game)) = 1;
    ship_in_play_at(GameProbe::world(game), 0, 0);
    add_bullet(GameProbe::world(game), 0.03f, 0.01f, {0.5f, 0}, 1);
    session.tick();
    ASSERT_TRUE(game.get_game_over());

    session.key('\r');
    EXPECT_FALSE(game.get_game_over());
    EXPECT_EQ(game.get_level(), 0);
    EXPECT_EQ(game.get_world().get_total_score(), 0);
    EXPECT_EQ(game.get_world().get_lifes(), 3);
    session.tick();
    EXPECT_EQ(session_frame(session), first_frame);
}

// How one designed key can be pressed: a key code, or a special key (the arrows).
struct Press {
    int code;
    bool special;
};

// A scripted game of `ticks` ticks from seed 11, recorded in memory, each designed key pressed
// as `press_for` says; its frames and its recording.
std::pair<std::vector<std::string>, std::string> play_pressing(int ticks,
                                                               Press (*press_for)(char)) {
    Game game;
    Session session(game, 11);
    session.recordings().each_game_in_memory();
    session.start(11);
    std::vector<std::string> frames;
    for (int t = 0; t < ticks; ++t) {
        for (const char* k = keys_at(t); *k != '\0'; ++k) {
            const Press p = press_for(*k);
            p.special ? session.special(p.code) : session.key(static_cast<unsigned char>(p.code));
        }
        if (t == ticks / 2) {  // a pause in the middle, on and off
            const Press p = press_for('p');
            session.key(static_cast<unsigned char>(p.code));
            session.tick();
            session.key(static_cast<unsigned char>(p.code));
        }
        session.tick();
        frames.push_back(session_frame(session));
    }
    return {frames, session.recording()};
}

TEST(Session, ArrowsSpaceAndUpperCaseAreTheDesignedKeysExactly) {
    const auto letters = play_pressing(120, [](char k) { return Press{k, false}; });
    const auto upper = play_pressing(120, [](char k) { return Press{k - 'a' + 'A', false}; });
    const auto arrows = play_pressing(120, [](char k) {
        switch (k) {
            case 'a':
                return Press{GLUT_KEY_LEFT, true};
            case 'd':
                return Press{GLUT_KEY_RIGHT, true};
            case 'w':
                return Press{GLUT_KEY_UP, true};
            case 'q':
                return Press{' ', false};
            default:
                return Press{'P', false};
        }
    });
    ASSERT_NE(letters.second.find("\nk q\n"), std::string::npos);
    EXPECT_EQ(upper.first, letters.first);
    EXPECT_EQ(upper.second, letters.second);
    EXPECT_EQ(arrows.first, letters.first);
    EXPECT_EQ(arrows.second, letters.second);
}

TEST(Session, OtherKeysAndTheDownArrowDoNothing) {
    const KeyMap designed;
    for (const int code : {'s', 'S', 'x', '1', '\t', 'e'}) {
        EXPECT_FALSE(designed.action_of(Key{false, code}).has_value()) << code;
    }
    Game game;
    game.new_game(11);
    Session session(game, 11);
    session.special(GLUT_KEY_DOWN);
    session.special(GLUT_KEY_F1);
    session.key('x');
    session.tick();
    EXPECT_EQ(game.get_world().get_ship()->get_body_angle(), 0);
    EXPECT_FALSE(session.paused());
}

TEST(Session, MShowsMutedInTheCornerUntilPressedAgainPausedOrNot) {
    Game game;
    game.new_game(11);
    Session session(game, 11);
    const auto muted_shown = [&session] {
        session_frame(session);
        for (const gl::Text& t : gl::texts()) {
            if (t.s == "MUTED") {
                return t.color.g == 1 && t.x < -0.9f && t.y > 0.9f;
            }
        }
        return false;
    };
    EXPECT_FALSE(muted_shown());
    session.key('m');
    EXPECT_TRUE(session.muted());
    EXPECT_TRUE(muted_shown());
    session.key('p');
    session.key('M');  // turns off paused too, in upper case too
    EXPECT_FALSE(session.muted());
    EXPECT_FALSE(muted_shown());
}

TEST(Session, AHiddenWindowPausesAndOnlyPResumes) {
    Game game;
    game.new_game(11);
    Session session(game, 11);
    session.pause();
    session.pause();  // pausing twice does not resume
    EXPECT_TRUE(session.paused());
    session.key('q');
    session.key('\r');
    EXPECT_TRUE(session.paused());
    session.key('P');
    EXPECT_FALSE(session.paused());
}

TEST(Viewport, TheFieldIsTheLargestCentredSquare) {
    struct Case {
        int w, h, x, y, side;
    };
    for (const Case c : {Case{500, 500, 0, 0, 500}, Case{1024, 768, 128, 0, 768},
                         Case{300, 700, 0, 200, 300}, Case{0, 10, 0, 5, 0}}) {
        const Viewport v = square_viewport(c.w, c.h);
        EXPECT_EQ(v.x, c.x) << c.w << "x" << c.h;
        EXPECT_EQ(v.y, c.y) << c.w << "x" << c.h;
        EXPECT_EQ(v.side, c.side) << c.w << "x" << c.h;
    }
}

TEST(Pacer, TicksFallDueEveryFiftyMillisecondsWhateverEachCosts) {
    Pacer pacer;
    // The first tick sets the schedule, however late it came. Then on time, late by 7, early
    // wake-up by 1, and a tick costing 30 ms before it re-arms.
    EXPECT_EQ(pacer.delay_to_next(1000), 50);
    EXPECT_EQ(pacer.delay_to_next(1050), 50);
    EXPECT_EQ(pacer.delay_to_next(1107), 43);
    EXPECT_EQ(pacer.delay_to_next(1149), 51);
    EXPECT_EQ(pacer.delay_to_next(1230), 20);
    // A little behind: the next ticks come at once until the schedule is met again.
    EXPECT_EQ(pacer.delay_to_next(1440), 0);  // due 1250, next due 1300
    EXPECT_EQ(pacer.delay_to_next(1441), 0);  // 1350
    EXPECT_EQ(pacer.delay_to_next(1442), 0);  // 1400
    EXPECT_EQ(pacer.delay_to_next(1443), 7);  // 1450
    // Suspended for a second: start again from now instead of racing 20 ticks.
    EXPECT_EQ(pacer.delay_to_next(2600), 50);
    EXPECT_EQ(pacer.delay_to_next(2650), 50);
    // Five ticks behind is still caught up with; a millisecond more is not.
    Pacer at_limit, past_limit;
    at_limit.delay_to_next(0);
    past_limit.delay_to_next(0);
    EXPECT_EQ(at_limit.delay_to_next(300), 0);  // due at 50: 250 late
    EXPECT_EQ(past_limit.delay_to_next(301), 50);
}

// What a command line asks for, field by field: the options not left as they were.
std::string meaning(const Options& o) {
    std::string m;
    const auto say = [&m](bool on, const std::string& what) {
        m += on ? (m.empty() ? "" : " ") + what : "";
    };
    say(o.help, "help");
    say(o.version, "version");
    say(o.seed.has_value(), "seed=" + std::to_string(o.seed.value_or(0)));
    say(!o.record.empty(), "record=" + o.record);
    say(!o.play.empty(), "play=" + o.play);
    say(o.headless, "headless");
    say(o.mute, "mute");
    say(o.volume.has_value(), "volume=" + std::to_string(o.volume.value_or(0)));
    say(o.frames != FramesChoice::kSettings,
        o.frames == FramesChoice::kSmooth ? "frames=smooth" : "frames=designed");
    say(o.palette != PaletteChoice::kSettings,
        o.palette == PaletteChoice::kColourBlind ? "palette=colour-blind" : "palette=designed");
    say(o.scores, "scores");
    say(o.no_scores, "no-scores");
    say(!o.submit.empty(), "submit=" + o.submit);
    say(!o.name.empty(), "name=" + o.name);
    say(!o.server.empty(), "server=" + o.server);
    say(o.leaderboard, "leaderboard");
    say(o.ranked, "ranked");
    say(o.daily, "daily");
    say(!o.board.empty(), "board=" + o.board);
    say(o.live, "live");
    say(o.watch.has_value(), "watch=" + std::to_string(o.watch.value_or(0)));
    say(o.export_key, "export-key");
    say(!o.import_key.empty(), "import-key=" + o.import_key);
    return o.error.empty() ? m : "error: " + o.error;
}

TEST(Options, CommandLinesAndWhatTheyMean) {
    struct Case {
        std::vector<const char*> args;
        const char* means;  // meaning() of the line: its options, or the start of its error
    };
    const Case cases[] = {
        {{}, ""},
        {{"--seed", "42"}, "seed=42"},
        {{"--seed=4294967295"}, "seed=4294967295"},
        {{"--see", "0"}, "seed=0"},
        {{"--se", "0"}, "error: option '--se' is ambiguous"},  // --seed, --server
        {{"-display", ":3", "-geometry", "500x500", "-sync", "--seed", "7"}, "seed=7"},
        {{"--bogus"}, "error: unrecognized option '--bogus'"},
        {{"-x"}, "error: unrecognized option '-x'"},
        {{"--seed"}, "error: option '--seed' requires an argument"},
        {{"-display"}, "error: option '-display' requires an argument"},
        {{"--seed", "abc"}, "error: invalid seed 'abc'"},
        {{"--seed", "-1"}, "error: invalid seed '-1'"},
        {{"--seed", "+1"}, "error: invalid seed '+1'"},
        {{"--seed", "4294967296"}, "error: invalid seed '4294967296'"},
        {{"--seed="}, "error: invalid seed ''"},
        {{"--seed", "00000000042"}, "error: invalid seed '00000000042'"},
        {{"--seed", "1", "extra"}, "error: unexpected argument 'extra'"},
        {{"--", "--seed"}, "error: unexpected argument '--seed'"},
        {{"--h"}, "error: option '--h' is ambiguous"},  // --headless, --help
        {{"--help"}, "help"},
        {{"--version=2"}, "error: option '--version' doesn't allow an argument"},
        {{"--volume", "100", "--mute"}, "mute volume=100"},
        {{"--volume", "101"}, "error: invalid volume '101'"},
        {{"--frames=smooth", "--palette", "colour-blind"}, "frames=smooth palette=colour-blind"},
        {{"--frames=designed", "--palette=designed"}, "frames=designed palette=designed"},
        {{"--frames=fast"}, "error: invalid frames 'fast': expected smooth or designed"},
        {{"--record", "g.replay", "--no-scores"}, "record=g.replay no-scores"},
        {{"--leaderboard", "--server", "http://x:1"}, "server=http://x:1 leaderboard"},
        {{"--leaderboard", "--board=uploaded"}, "leaderboard board=uploaded"},
        {{"--leaderboard", "--board", "mine"},
         "error: invalid board 'mine': expected open, daily or uploaded"},
        {{"--board", "open"}, "error: --board goes with --leaderboard or --live"},
        {{"--live", "--board", "daily", "--server", "http://x:1"},
         "server=http://x:1 board=daily live"},
        {{"--live", "--board", "uploaded"}, "error: --live lists the open and daily"},
        {{"--live", "--leaderboard"}, "error: --scores, --submit, --leaderboard, --live"},
        {{"--watch", "12", "--server", "http://x:1", "--mute"}, "mute server=http://x:1 watch=12"},
        {{"--watch", "0"}, "error: invalid attempt '0'"},
        {{"--watch", "3", "--ranked"}, "error: --watch follows a game played elsewhere"},
        {{"--watch", "3", "--live"}, "error: --scores, --submit, --leaderboard, --live"},
        {{"--submit", "g.replay", "--name", "Ana", "--server=http://x:1"},
         "submit=g.replay name=Ana server=http://x:1"},
        {{"--submit", "g.replay"}, "error: --submit FILE and --name NAME go together"},
        {{"--name", "Ana"}, "error: --name goes with --submit or --ranked"},
        {{"--server", "http://x:1"},
         "error: --server goes with --submit, --leaderboard, --live, --watch or --ranked"},
        {{"--ranked", "--name", "Ana", "--server", "http://x:1", "--record", "g.replay"},
         "record=g.replay name=Ana server=http://x:1 ranked"},
        {{"--daily", "--mute"}, "mute ranked daily"},
        {{"--leaderboard", "--daily"}, "leaderboard daily"},
        {{"--ranked", "--seed", "1"}, "error: --ranked plays the seed the leaderboard deals"},
        {{"--daily", "--play", "g.replay"}, "error: --ranked plays the seed the leaderboard deals"},
        {{"--ranked", "--scores"},
         "error: --scores, --submit, --leaderboard, --live, --export-key"},
        {{"--export-key", "--import-key", "VK1-X"},
         "error: --scores, --submit, --leaderboard, --live, --export-key"},
        {{"--export-key"}, "export-key"},
        {{"--import-key", "VK1-X"}, "import-key=VK1-X"},
        {{"--scores", "--leaderboard"},
         "error: --scores, --submit, --leaderboard, --live, --export-key"},
        {{"--scores", "--seed", "1"},
         "error: --scores, --submit, --leaderboard, --live, --export-key"},
        {{"--scores"}, "scores"},
        {{"--play", "g.replay", "--headless"}, "play=g.replay headless"},
        {{"--play", "g.replay", "--record", "h.replay"},
         "error: --play and --record cannot be used together"},
        {{"--play", "g.replay", "--seed", "1"}, "error: --seed cannot be used with --play"},
        {{"--headless"}, "error: --headless needs --play FILE"},
    };
    for (const Case& c : cases) {
        std::vector<const char*> argv{"velmora"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        const std::string got = meaning(parse_options(static_cast<int>(argv.size()), argv.data()));
        const std::string want = c.means;
        const std::string line = argv.size() > 1 ? argv[1] : "(none)";
        // An error is matched by its start: the rest says where to look.
        EXPECT_EQ(want.rfind("error: ", 0) == 0 ? got.substr(0, want.size()) : got, want) << line;
    }
}

}  // namespace
