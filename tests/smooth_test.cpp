// The pictures between the frames, carried on from each frame by velocity; and in every
// setting, the frames at the ticks and every check value the designed ones, with nothing in the
// game changed by the pictures between.
#include <gtest/gtest.h>

#include <GL/freeglut.h>
#include <GL/gl.h>

#include <cmath>
#include <string>
#include <vector>

#include "app/picture.h"
#include "app/session.h"
#include "frames.h"
#include "game/snapshot.h"
#include "gl_recorder.h"
#include "replay/check_value.h"

namespace {

std::vector<std::vector<Vector>> outlines(int mode) {
    std::vector<std::vector<Vector>> out;
    for (const gl::Primitive& p : gl::primitives_of(mode)) {
        out.push_back(p.vertices);
    }
    return out;
}

// A game from seed 3 some ticks in, its last frame made unseen and the picture's start taken.
Game& framed_game(Picture& picture) {
    static Game game;
    game.new_game(3);
    for (int t = 0; t < 40; ++t) {
        game.update();
        game.frame_unseen();
    }
    picture.framed(game);
    return game;
}

// (At a tick the picture is the frame itself: the settings test below compares them.)
TEST(Picture, BetweenFramesEachBodyIsCarriedByItsVelocity) {
    Picture picture;
    Game& game = framed_game(picture);
    gl::reset();
    game.show_still();
    const auto designed = outlines(GL_LINE_LOOP);
    // Half a tick on, every asteroid's outline is where half its velocity takes it: no
    // vertex of it is drawn anywhere else (a wrap shows at the next frame, not as a streak).
    std::vector<Vector> moves;
    for (const Asteroid* rock : game.get_world().get_asteroids()) {
        moves.push_back(rock->get_velocity());
    }
    gl::reset();
    picture.draw(game, 0.5f, Look{});
    const auto halfway = outlines(GL_LINE_LOOP);
    size_t matched = 0;
    for (size_t i = 0; i < designed.size() && i < halfway.size(); ++i) {
        for (const Vector v : moves) {
            bool all = true;
            for (size_t j = 0; j < designed[i].size(); ++j) {
                all = all && std::abs(halfway[i][j].x - designed[i][j].x - v.x / 2) < 1e-6f &&
                      std::abs(halfway[i][j].y - designed[i][j].y - v.y / 2) < 1e-6f;
            }
            matched += all && (v.x != 0 || v.y != 0) ? 1 : 0;
        }
    }
    EXPECT_EQ(matched, moves.size());
}

// A frame's outlines but its bullets' (in either palette), and how many bullets it drew.
std::string all_but_bullets(const gl::Recording& drawn) {
    const auto is = [](gl::Color c, Color b) { return c.r == b.r && c.g == b.g && c.b == b.b; };
    std::string out;
    int bullets = 0;
    for (const gl::Primitive& p : drawn.primitives) {
        const bool bullet = is(p.color, {1, 0.3f, 0.3f}) || is(p.color, {0, 1, 0}) ||
                            is(p.color, Picture::kShipShot) || is(p.color, Picture::kInvaderShot);
        gl::Recording one;
        one.primitives.push_back(p);
        bullets += bullet ? 1 : 0;
        out += bullet ? "" : gl::outlines_text(one);
    }
    return std::to_string(bullets) + " bullets; " + out;
}

// A row of settings: how the field is shown, and with which keys.
struct Shown {
    const char* name;
    bool smooth;
    Look look;
    bool remapped;
};

TEST(Settings, EveryFrameAtATickAndEveryCheckValueAreTheDesignedOnesInEverySetting) {
    std::vector<std::string> frames;
    std::vector<std::string> bodies;
    std::vector<uint32_t> checks;  // each tick's, as recordings keep them
    Game straight;
    straight.new_game(11);
    for (int f = 0; f < kFramesBeforeFirstTick; ++f) {
        straight.frame_unseen();
    }
    for (int t = 0; t < 120; ++t) {
        for (const char* k = keys_at(t); *k != '\0'; ++k) {
            ship_command(straight, static_cast<unsigned char>(*k));
        }
        straight.update();
        frames.push_back(designed_frame(straight));
        bodies.push_back(all_but_bullets(gl::recording()));
        checks.push_back(check_value(straight));
    }
    Look colour_blind;
    colour_blind.colour_blind = true;
    Look wide;
    wide.line_px = 3;
    wide.side_px = 1500;
    const Shown rows[] = {
        {"designed, keys of the player's", false, Look{}, true},
        {"smooth", true, Look{}, false},
        {"smooth, keys of the player's", true, Look{}, true},
        {"colour-blind", false, colour_blind, false},
        {"smooth, colour-blind, keys of the player's", true, colour_blind, true},
        {"smooth, wide lines", true, wide, false},
    };
    KeyMap chosen;
    std::string error;
    ASSERT_TRUE(chosen.bind(Action::kLeft, Key{false, 'j'}, error) &&
                chosen.bind(Action::kFire, Key{false, 'k'}, error));
    const KeyMap designed;
    for (const Shown& row : rows) {
        SCOPED_TRACE(row.name);
        Game game;
        game.new_game(11);
        Session session(game, 11);
        long now = 0;
        session.show_as(row.smooth, row.look, [&now] { return now; });
        if (row.remapped) {
            session.use_keys(chosen);
        }
        for (size_t t = 0; t < frames.size(); ++t) {
            for (const char* k = keys_at(static_cast<int>(t)); *k != '\0'; ++k) {
                const Key key = session.keys_of(*designed.action_of(Key{false, *k}));
                key.special ? session.special(key.code)
                            : session.key(static_cast<unsigned char>(key.code));
            }
            now = static_cast<long>(t) * 50;
            session.tick();
            const std::string frame = session_frame(session);
            // The designed look draws the frame call for call; the palette, all but the bullets.
            if (row.look.line_px == 1 && !row.look.colour_blind) {
                ASSERT_TRUE(frame == frames[t]) << "tick " << t;
            } else if (row.look.line_px == 1) {
                ASSERT_EQ(all_but_bullets(gl::recording()), bodies[t]) << "tick " << t;
            }
            if (row.smooth) {
                now += 30;  // and a picture between, which changes nothing in the game
                const std::string before = GameSnapshot::save(game);
                session_frame(session);
                ASSERT_TRUE(GameSnapshot::save(game) == before) << "tick " << t;
            }
            ASSERT_EQ(check_value(game), checks[t]) << "tick " << t;
        }
    }
}

}  // namespace
