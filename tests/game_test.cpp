// The game rule (levels, game over, keys after the end) and the head-up text it draws.
#include <gtest/gtest.h>

#include <GL/freeglut.h>

#include <string>

#include "game/hud.h"
#include "gl_recorder.h"
#include "math/random.h"
#include "world_builder.h"

namespace {

constexpr float kTol = 1e-6f;

class GameRule : public ::testing::Test {
  protected:
    GameRule() : world(GameProbe::world(game)) { vmath::srand(77); }

    // One small rock and a ship bullet already lying across its first corner: the next step
    // destroys it whole.
    void last_rock_about_to_be_shot() {
        empty_world(world);
        Asteroid* rock = add_rock(world, 0.5f, 0.5f, 0.08f, 1, 3);
        const Vector c = rock->get_points_transf().at(0);
        add_bullet(world, c.x, c.y, {0.5f, 0}, 0);
    }

    Game game;
    UniverseG& world;
};

TEST_F(GameRule, ClearingALevelSetsUpTheNext) {
    last_rock_about_to_be_shot();
    game.update();
    EXPECT_EQ(GameProbe::level(game), 1);
    EXPECT_EQ(world.get_asteroids().size(), 3u);
    EXPECT_EQ(GameProbe::game_over(game), 0);
}

TEST_F(GameRule, LosingTheLastLifeAsTheLastRockGoesEndsWithoutANewLevel) {
    empty_world(world);
    WorldProbe::lifes(world) = 1;
    Ship* ship = ship_in_play_at(world, 0, 0);
    // An invader's bullet across the ship's upper edge, and a rock whose first corner sits on
    // that bullet: the one bullet costs the last life and destroys the last rock.
    Asteroid* rock = add_rock(world, 0, 0, 0.08f, 1, 3);
    const Vector offset = rock->get_points_transf().at(0);
    place(*rock, 0.03f - offset.x, 0.01f - offset.y);
    rock->draw();
    add_bullet(world, 0.03f, 0.01f, {0.5f, 0}, 1);

    game.update();
    EXPECT_EQ(world.get_lifes(), 0);
    EXPECT_TRUE(world.get_asteroids().empty());
    EXPECT_EQ(GameProbe::level(game), 0);
    EXPECT_EQ(GameProbe::game_over(game), 1);
    EXPECT_EQ(ship->get_state(), 2);
}

TEST_F(GameRule, ClearingLevelNineSetsUpLevelTenAndEndsTheGameAtOnce) {
    GameProbe::level(game) = 9;
    last_rock_about_to_be_shot();
    game.update();
    EXPECT_EQ(GameProbe::level(game), 10);
    ASSERT_EQ(world.get_asteroids().size(), 12u);
    EXPECT_EQ(GameProbe::game_over(game), 1);
    EXPECT_EQ(world.get_ship()->get_state(), 1);  // not put out of play

    // Frozen: the world is no longer stepped, but turning still turns the ship.
    const Vector rock_at = world.get_asteroids().front()->get_position();
    const float angle = world.get_ship()->get_body_angle();
    game.ship_left();
    game.ship_shot();
    game.update();
    EXPECT_EQ(world.get_asteroids().front()->get_position().x, rock_at.x);
    EXPECT_NEAR(world.get_ship()->get_body_angle(), angle + 0.1f, kTol);
    EXPECT_EQ(WorldProbe::bullets(world).size(), 1u);  // handed to the world, never moved
}

TEST_F(GameRule, AfterTheLivesAreGoneKeysDoNothing) {
    WorldProbe::lifes(world) = 1;
    empty_world(world);
    ship_in_play_at(world, 0, 0);
    add_bullet(world, 0.03f, 0.01f, {0.5f, 0}, 1);
    add_rock(world, 0.8f, 0.8f, 0.2f, 1);
    game.update();
    ASSERT_EQ(GameProbe::game_over(game), 1);
    const size_t bullets = WorldProbe::bullets(world).size();
    game.ship_left();
    game.ship_right();
    game.ship_up();
    game.ship_shot();
    game.update();
    EXPECT_EQ(world.get_ship()->get_body_angle(), 0);
    EXPECT_EQ(WorldProbe::bullets(world).size(), bullets);
    EXPECT_EQ(world.get_ship()->get_velocity().x, 0);
}

TEST_F(GameRule, RunningGameStepsTheWorldOncePerTick) {
    game.update();
    EXPECT_EQ(WorldProbe::invaders(world).size(), 1u);  // the first step makes one
    EXPECT_EQ(WorldProbe::plain_timer(world), 0);
    game.update();
    EXPECT_EQ(WorldProbe::plain_timer(world), 1);
}

// --- Head-up text ----------------------------------------------------------------------------

struct Hud : GameRule {
    std::vector<gl::Text> draw_text() {
        gl::reset();
        game.draw();
        return gl::texts();
    }
    // The last string drawn, the speed while the game runs; empty when nothing was drawn.
    std::string last_text() {
        const std::vector<gl::Text> text = draw_text();
        return text.empty() ? "" : text.back().s;
    }
};

bool same_color(gl::Color a, gl::Color b) {
    return a.r == b.r && a.g == b.g && a.b == b.b;
}

TEST_F(Hud, ShowsTheFourGreenLabelsAndNumbersWhileRunning) {
    const std::vector<gl::Text> text = draw_text();
    struct Expected {
        const char* s;
        float x, y;
    };
    const Expected lines[] = {{"Level:", 0, -0.7f},     {"0", 0.3f, -0.7f},
                              {"Score:", 0, -0.8f},     {"0", 0.3f, -0.8f},
                              {"Lifes:", -0.4f, -0.8f}, {"3", -0.15f, -0.8f},
                              {"Speed:", -0.4f, -0.9f}, {"0", -0.15f, -0.9f}};
    ASSERT_EQ(text.size(), 8u);
    for (size_t i = 0; i < text.size(); ++i) {
        EXPECT_EQ(text[i].s, lines[i].s);
        EXPECT_NEAR(text[i].x, lines[i].x, kTol) << lines[i].s;
        EXPECT_NEAR(text[i].y, lines[i].y, kTol) << lines[i].s;
        EXPECT_TRUE(same_color(text[i].color, gl::Color{0, 1, 0})) << lines[i].s;
    }
}

TEST_F(Hud, TextComesBeforeTheWorldInTheNineByFifteenFont) {
    gl::reset();
    game.draw();
    const gl::Recording& rec = gl::recording();
    ASSERT_FALSE(rec.glyphs.empty());
    for (const gl::Glyph& g : rec.glyphs) {
        EXPECT_EQ(g.font, GLUT_BITMAP_9_BY_15);
    }
    size_t last_text = 0, first_shape = rec.calls.size();
    for (size_t i = 0; i < rec.calls.size(); ++i) {
        if (rec.calls[i] == "glutBitmapCharacter") {
            last_text = i;
        }
        if (rec.calls[i] == "glBegin" && first_shape == rec.calls.size()) {
            first_shape = i;
        }
    }
    EXPECT_LT(last_text, first_shape);
}

TEST_F(Hud, GameOverIsRedAndShownExactlyWhenTheGameHasEnded) {
    for (const gl::Text& t : draw_text()) {
        EXPECT_NE(t.s, "GAME OVER");
    }
    GameProbe::game_over(game) = 1;
    const std::vector<gl::Text> text = draw_text();
    ASSERT_EQ(text.size(), 9u);
    EXPECT_EQ(text[0].s, "GAME OVER");
    EXPECT_NEAR(text[0].x, -0.25f, kTol);
    EXPECT_EQ(text[0].y, 0);
    EXPECT_TRUE(same_color(text[0].color, gl::Color{1, 0, 0}));
    EXPECT_TRUE(same_color(text[1].color, gl::Color{0, 1, 0}));
}

TEST_F(Hud, NumbersAreWrittenAsADefaultStreamWritesThem) {
    struct Case {
        float vx;
        const char* shown;
    };
    for (const Case c : {Case{0.00001f, "1e-05"}, Case{0.0123456789f, "0.0123457"},
                         Case{0.0001f, "0.0001"}, Case{-0.25f, "0.25"}}) {
        world.get_ship()->set_velocity(c.vx, 0);
        EXPECT_EQ(last_text(), c.shown);
    }
    world.get_ship()->set_velocity(0.03f, 0.04f);
    EXPECT_EQ(last_text(), "0.05");

    WorldProbe::total_score(world) = -12;
    GameProbe::level(game) = 10;
    const std::vector<gl::Text> text = draw_text();
    ASSERT_GE(text.size(), 4u);
    EXPECT_EQ(text[1].s, "10");
    EXPECT_EQ(text[3].s, "-12");
}

TEST(HudText, CharactersStepByFourHundredthsAndEmptyDrawsNothing) {
    gl::reset();
    desenhar_str(0.1f, -0.3f, "");
    EXPECT_TRUE(gl::recording().calls.empty());
    desenhar_str(0.1f, -0.3f, "ab c");
    const std::vector<gl::Glyph>& g = gl::recording().glyphs;
    ASSERT_EQ(g.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(g[i].x, 0.1f + 0.04f * i, kTol);
        EXPECT_EQ(g[i].y, -0.3f);
    }
    EXPECT_EQ(g[2].c, ' ');
    const std::vector<std::string> calls{"glRasterPos2f", "glutBitmapCharacter"};
    EXPECT_EQ(
        std::vector<std::string>(gl::recording().calls.begin(), gl::recording().calls.begin() + 2),
        calls);
}

}  // namespace
