// Invaders: the hexagon, the 26-tick fire timer, the turning and the aimed line of fire.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cmath>

#include "gl_recorder.h"
#include "objects/invader.h"
#include "test_shape.h"

namespace {

constexpr float kTol = 1e-5f;
constexpr float kPi = 3.14159265f;

// The direction a bullet was pushed in, from its first step at rest.
float pushed_direction(Bullet& b) {
    b.update();
    const Vector v = b.get_velocity();
    return std::atan2(v.y, v.x);
}

// The angle between two directions, in [0, pi].
float gap(float a, float b) {
    return std::fabs(std::remainder(a - b, 2 * kPi));
}

// Up to 26 updates, until the invader fires: its new bullet, or null if it held its fire.
Bullet* step_until_shot(Invader& inv, BulletList& bullets) {
    const size_t before = bullets.size();
    for (int i = 0; i < 26 && bullets.size() == before; ++i) {
        inv.update();
    }
    return bullets.size() > before ? bullets.back().get() : nullptr;
}

TEST(Invader, IsAFilledHexagonOfSevenPoints) {
    BulletList bullets;
    Invader inv(0, 0, &bullets, 0.05f);
    inv.set_radius(0.5f);  // stored only: the outline keeps its points
    gl::reset();
    inv.draw();
    const gl::Primitive& p = gl::recording().primitives.at(0);
    EXPECT_EQ(p.mode, GL_POLYGON);
    ASSERT_EQ(p.vertices.size(), 7u);
    EXPECT_NEAR(p.vertices[0].x, 0.05f, kTol);
    EXPECT_NEAR(p.vertices[0].y, 0, kTol);
    EXPECT_NEAR(p.vertices[3].x, -0.05f, kTol);
    EXPECT_NEAR(p.vertices[3].y, 0, kTol);
    EXPECT_NEAR(p.vertices[6].x, p.vertices[0].x, kTol);
    EXPECT_EQ(inv.get_mass(), 1000.0f);
}

TEST(Invader, FiresOnThe26thUpdateAndEvery26After) {
    BulletList bullets;
    Invader inv(0, 0, &bullets, 0.05f);
    for (int i = 0; i < 25; ++i) {
        inv.update();
    }
    EXPECT_TRUE(bullets.empty());
    inv.update();
    EXPECT_EQ(bullets.size(), 1u);
    for (int i = 0; i < 25; ++i) {
        inv.update();
    }
    EXPECT_EQ(bullets.size(), 1u);
    inv.update();
    EXPECT_EQ(bullets.size(), 2u);
}

TEST(Invader, PlainLineOfFireCyclesInSevenShots) {
    BulletList bullets;
    Invader inv(0.2f, -0.3f, &bullets, 0.05f);
    const float expected[] = {60, 120, 180, 240, 300, 360, 0, 60};
    for (float degrees : expected) {
        Bullet* b = step_until_shot(inv, bullets);
        ASSERT_NE(b, nullptr) << degrees;
        EXPECT_LT(gap(pushed_direction(*b), degrees * kPi / 180), 1e-4f) << degrees;
    }
    EXPECT_EQ(bullets.size(), 8u);
    // No target: no push on the invader itself.
    EXPECT_EQ(inv.get_velocity().x, 0);
    EXPECT_EQ(inv.get_velocity().y, 0);
}

TEST(Invader, BulletsAreGreenFromTheInvaderWithAPushOfHalf) {
    BulletList bullets;
    Invader inv(0.2f, -0.3f, &bullets, 0.05f);
    inv.set_velocity(0.01f, 0);
    Bullet* shot = step_until_shot(inv, bullets);
    ASSERT_NE(shot, nullptr);
    Bullet& b = *shot;
    EXPECT_EQ(b.get_origin(), 1);
    // Fired after this tick's step, from where the invader is now.
    EXPECT_FLOAT_EQ(b.get_position().x, inv.get_position().x);
    EXPECT_FLOAT_EQ(b.get_position().y, -0.3f);
    b.update();
    EXPECT_NEAR(mod(b.get_velocity()), 0.05f, 1e-7f);  // 0.5 over a mass of 10
    gl::reset();
    b.draw();
    const gl::Color c = gl::recording().primitives.at(0).color;
    EXPECT_EQ(c.r, 0);
    EXPECT_EQ(c.g, 1);
    EXPECT_EQ(c.b, 0);
}

TEST(Invader, AimedAtATargetOnItsLeftAndAwayFromOneOnItsRight) {
    TestShape target(0, 0);
    BulletList bullets;
    // Target at smaller x: the shot points at it.
    Invader east(1, 0.5f, &bullets, 0.03f);
    east.target = &target;
    Bullet* shot = step_until_shot(east, bullets);
    ASSERT_NE(shot, nullptr);
    EXPECT_LT(gap(pushed_direction(*shot), std::atan2(-0.5f, -1.0f)), 1e-4f);

    // Target at larger x: the same angle, arctan(0.5) + pi, points away from it.
    Invader west(-1, -0.5f, &bullets, 0.03f);
    west.target = &target;
    shot = step_until_shot(west, bullets);
    ASSERT_NE(shot, nullptr);
    EXPECT_LT(gap(pushed_direction(*shot), std::atan(0.5f) + kPi), 1e-4f);
}

TEST(Invader, AimedShotPushesTheInvaderOnceAlongTheLine) {
    TestShape target(0, 0);
    BulletList bullets;
    Invader inv(1, 0.5f, &bullets, 0.03f);
    inv.target = &target;
    ASSERT_NE(step_until_shot(inv, bullets), nullptr);
    inv.update();  // the push acts in the next step: 0.2 over a mass of 1000
    EXPECT_NEAR(mod(inv.get_velocity()), 0.0002f, 1e-9f);
    EXPECT_LT(inv.get_velocity().x, 0);
    inv.update();
    EXPECT_NEAR(mod(inv.get_velocity()), 0.0002f, 1e-9f);
}

TEST(Invader, TargetStraightAboveOrBelowFiresVerticallyAway) {
    TestShape above(0.3f, 0.9f);
    BulletList bullets;
    Invader inv(0.3f, 0, &bullets, 0.03f);
    inv.target = &above;
    Bullet* shot = step_until_shot(inv, bullets);
    ASSERT_NE(shot, nullptr);
    EXPECT_LT(gap(pushed_direction(*shot), 3 * kPi / 2), 1e-4f);
}

TEST(Invader, TargetOnTheInvaderKeepsTheLastLineAndAddsNoNaN) {
    BulletList bullets;
    Invader inv(0.25f, 0.25f, &bullets, 0.03f);
    TestShape target(0.25f, 0.25f);
    inv.target = &target;
    Bullet* shot = step_until_shot(inv, bullets);  // first shot: still the initial line, angle 0
    ASSERT_NE(shot, nullptr);
    Bullet& b = *shot;
    b.update();
    EXPECT_FALSE(std::isnan(b.get_velocity().x));
    EXPECT_NEAR(b.get_velocity().x, 0.05f, 1e-7f);
    EXPECT_NEAR(b.get_velocity().y, 0, 1e-7f);
    inv.update();
    EXPECT_FALSE(std::isnan(inv.get_velocity().x));
    EXPECT_NEAR(inv.get_velocity().x, 0.0002f, 1e-9f);

    // After an aimed shot, a target on the invader reuses that shot's line.
    BulletList more;
    TestShape left(-1, 0.25f);
    Invader inv2(0.25f, 0.25f, &more, 0.03f);
    inv2.target = &left;
    ASSERT_NE(step_until_shot(inv2, more), nullptr);
    left.move_to(inv2.get_position().x, inv2.get_position().y);
    for (int i = 0; i < 26; ++i) {
        left.move_to(inv2.get_position().x, inv2.get_position().y);
        inv2.update();
    }
    ASSERT_EQ(more.size(), 2u);
    EXPECT_LT(gap(pushed_direction(*more.back()), kPi), 1e-4f);
}

}  // namespace
