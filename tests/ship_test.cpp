// The ship: turning, thrust, edge wrap, and the blink counted in draws.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include "gl_recorder.h"
#include "objects/ship.h"
#include "probes.h"

namespace {

constexpr float kTol = 1e-5f;

// Draws the ship n times and counts how many of those draws drew it.
int draws_shown(Ship& ship, int n) {
    int shown = 0;
    for (int i = 0; i < n; ++i) {
        gl::reset();
        ship.draw();
        shown += static_cast<int>(gl::recording().primitives.size());
    }
    return shown;
}

TEST(Ship, IsATriangleNosedAlongItsAngle) {
    gl::reset();
    Ship ship(0.2f, -0.3f);
    EXPECT_EQ(ship.get_state(), 0);
    EXPECT_EQ(ship.get_mass(), 1000.0f);
    ship.draw();
    const gl::Primitive& p = gl::recording().primitives.at(0);
    EXPECT_EQ(p.mode, GL_LINE_LOOP);
    ASSERT_EQ(p.vertices.size(), 3u);
    EXPECT_NEAR(p.vertices[0].x, 0.15f, kTol);
    EXPECT_NEAR(p.vertices[0].y, -0.35f, kTol);
    EXPECT_NEAR(p.vertices[1].x, 0.25f, kTol);  // the nose
    EXPECT_NEAR(p.vertices[1].y, -0.3f, kTol);
    EXPECT_NEAR(p.vertices[2].x, 0.15f, kTol);
    EXPECT_NEAR(p.vertices[2].y, -0.25f, kTol);
}

TEST(Ship, TurnsInTenthsOfARadianWithoutWrapping) {
    Ship ship(0, 0);
    for (int i = 0; i < 10; ++i) {
        ship.left();
    }
    EXPECT_NEAR(ship.get_body_angle(), 1.0f, kTol);
    for (int i = 0; i < 10; ++i) {
        ship.right();
    }
    EXPECT_NEAR(ship.get_body_angle(), 0.0f, kTol);
    for (int i = 0; i < 63; ++i) {
        ship.left();
    }
    EXPECT_NEAR(ship.get_body_angle(), 6.3f, 1e-4f);
}

TEST(Ship, ThrustsAreSummedIntoTheNextStep) {
    Ship ship(0, 0);
    ship.up();
    ship.up();
    ship.update();
    // Two thrusts of 5 at angle 0 over mass 1000, no resistance on a bare ship.
    EXPECT_FLOAT_EQ(ship.get_aceleration().x, 10.0f / 1000);
    EXPECT_FLOAT_EQ(ship.get_velocity().x, 0.01f);
    EXPECT_NEAR(ship.get_aceleration().y, 0, kTol);
}

TEST(Ship, WrapsYThenXStrictlyDroppingTheOvershoot) {
    Ship ship(0.99f, 0.99f);
    ship.set_velocity(0.03f, 0.03f);
    ship.update();  // crosses the corner: both coordinates wrap
    EXPECT_EQ(ship.get_position().x, -1.0f);
    EXPECT_EQ(ship.get_position().y, -1.0f);
    EXPECT_FLOAT_EQ(ship.get_velocity().x, 0.03f);
}

TEST(Ship, OutOfPlayIgnoresCommandsAndNeitherMovesNorDraws) {
    Ship ship(0.1f, 0.1f);
    ship.set_velocity(0.02f, 0);
    ship.set_state(2);
    ship.left();
    ship.right();
    ship.up();
    ship.update();
    EXPECT_EQ(ship.get_body_angle(), 0);
    EXPECT_EQ(ship.get_position().x, 0.1f);
    EXPECT_EQ(ship.get_aceleration().x, 0);
    EXPECT_EQ(draws_shown(ship, 10), 0);
    EXPECT_TRUE(ship.get_points_transf().empty());
    ship.set_state(0);
    ship.update();  // no thrust was queued while out of play
    EXPECT_EQ(ship.get_aceleration().x, 0);
}

TEST(Ship, BlinkShowsEveryFifthDrawAndEndsOnThe101st) {
    Ship ship(0, 0);
    ship.set_state(1);
    EXPECT_EQ(draws_shown(ship, 4), 0);
    EXPECT_EQ(draws_shown(ship, 1), 1);  // the 5th
    EXPECT_EQ(draws_shown(ship, 95), 19);
    EXPECT_EQ(ship.get_state(), 1);
    EXPECT_EQ(draws_shown(ship, 1), 1);  // the 101st ends the blink and draws
    EXPECT_EQ(ship.get_state(), 0);
    EXPECT_EQ(draws_shown(ship, 3), 3);
}

TEST(Ship, ANewBlinkContinuesTheRunningCount) {
    Ship ship(0, 0);
    ship.set_state(1);
    draws_shown(ship, 60);
    ship.set_state(1);
    draws_shown(ship, 40);
    EXPECT_EQ(ship.get_state(), 1);
    draws_shown(ship, 1);  // 41 draws after the restart, not 101
    EXPECT_EQ(ship.get_state(), 0);
    // The next blink starts again from 0.
    ship.set_state(1);
    EXPECT_EQ(draws_shown(ship, 100), 20);
    EXPECT_EQ(ship.get_state(), 1);
}

TEST(Ship, HiddenDrawKeepsTheLastOutline) {
    Ship ship(0, 0);
    ship.draw();
    place(ship, 0.5f, 0.5f);
    ship.set_state(1);
    ship.draw();  // hidden: the outline stays at the origin
    EXPECT_NEAR(ship.get_points_transf().at(1).x, 0.05f, kTol);
}

TEST(Ship, UnknownStateDrawsNothing) {
    Ship ship(0, 0);
    ship.set_state(7);
    EXPECT_EQ(draws_shown(ship, 5), 0);
}

}  // namespace
