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
        session.record_in_memory();
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
    session.record_in_memory();
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

TEST(Options, CommandLinesAndWhatTheyMean) {
    struct Case {
        std::vector<const char*> args;
        const char* error;  // empty when the line is good
        long seed;          // -1 for none
    };
    const Case cases[] = {
        {{}, "", -1},
        {{"--seed", "42"}, "", 42},
        {{"--seed=4294967295"}, "", 4294967295L},
        {{"--see", "0"}, "", 0},
        {{"--se", "0"}, "option '--se' is ambiguous", -1},  // --seed, --server
        {{"-display", ":3", "-geometry", "500x500", "-sync", "--seed", "7"}, "", 7},
        {{"--bogus"}, "unrecognized option '--bogus'", -1},
        {{"-x"}, "unrecognized option '-x'", -1},
        {{"--seed"}, "option '--seed' requires an argument", -1},
        {{"-display"}, "option '-display' requires an argument", -1},
        {{"--seed", "abc"}, "invalid seed 'abc'", -1},
        {{"--seed", "-1"}, "invalid seed '-1'", -1},
        {{"--seed", "+1"}, "invalid seed '+1'", -1},
        {{"--seed", "4294967296"}, "invalid seed '4294967296'", -1},
        {{"--seed="}, "invalid seed ''", -1},
        {{"--seed", "1", "extra"}, "unexpected argument 'extra'", -1},
        {{"--", "--seed"}, "unexpected argument '--seed'", -1},
        {{"--h"}, "option '--h' is ambiguous", -1},
        {{"--version=2"}, "option '--version' doesn't allow an argument", -1},
        {{"--volume", "100", "--mute"}, "", -1},
        {{"--volume", "101"}, "invalid volume '101'", -1},
        {{"--leaderboard", "--server", "http://x:1"}, "", -1},
        {{"--submit", "g.replay", "--name", "Ana", "--server=http://x:1"}, "", -1},
        {{"--submit", "g.replay"}, "--submit FILE and --name NAME go together", -1},
        {{"--name", "Ana"}, "--name goes with --submit or --ranked", -1},
        {{"--server", "http://x:1"}, "--server goes with --submit, --leaderboard or --ranked", -1},
        {{"--ranked", "--name", "Ana", "--server", "http://x:1", "--record", "g.replay"}, "", -1},
        {{"--daily", "--mute"}, "", -1},
        {{"--leaderboard", "--daily"}, "", -1},
        {{"--ranked", "--seed", "1"}, "--ranked plays the seed the leaderboard deals", -1},
        {{"--daily", "--play", "g.replay"}, "--ranked plays the seed the leaderboard deals", -1},
        {{"--ranked", "--scores"}, "--scores, --submit, --leaderboard, --export-key", -1},
        {{"--export-key", "--import-key", "VK1-X"},
         "--scores, --submit, --leaderboard, --export-key",
         -1},
        {{"--import-key", "VK1-X"}, "", -1},
        {{"--scores", "--leaderboard"}, "--scores, --submit, --leaderboard, --export-key", -1},
        {{"--scores", "--seed", "1"}, "--scores, --submit, --leaderboard, --export-key", -1},
        {{"--seed", "00000000042"}, "invalid seed '00000000042'", -1},
        {{"--play", "g.replay", "--headless"}, "", -1},
        {{"--play", "g.replay", "--record", "h.replay"}, "--play and --record cannot be", -1},
        {{"--play", "g.replay", "--seed", "1"}, "--seed cannot be used with --play", -1},
        {{"--headless"}, "--headless needs --play FILE", -1},
    };
    for (const Case& c : cases) {
        std::vector<const char*> argv{"velmora"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        const Options o = parse_options(static_cast<int>(argv.size()), argv.data());
        const std::string line = argv.size() > 1 ? argv[1] : "(none)";
        EXPECT_EQ(o.error.substr(0, std::string(c.error).size()), c.error) << line;
        EXPECT_EQ(o.error.empty(), std::string(c.error).empty()) << line << ": " << o.error;
        if (c.seed >= 0) {
            ASSERT_TRUE(o.seed.has_value()) << line;
            EXPECT_EQ(*o.seed, static_cast<unsigned>(c.seed));
        }
    }
    const char* help[] = {"velmora", "--help"};
    EXPECT_TRUE(parse_options(2, help).help);
}

}  // namespace
