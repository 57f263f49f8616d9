// Bullets: lying along the push, one-tick push, wrap, and the 50-draw lifetime.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include "gl_recorder.h"
#include "objects/bullet.h"

namespace {

constexpr float kTol = 1e-6f;

TEST(Bullet, LiesAlongTheLineOfItsPush) {
    Vector right{0.5f, 0};
    Vector left{-0.5f, 0};
    Vector down{0, -0.5f};
    Bullet a(0, 0, &right, 0);
    Bullet b(0, 0, &left, 1);
    Bullet c(0, 0, &down, 0);
    EXPECT_EQ(a.get_body_angle(), 0);
    EXPECT_EQ(b.get_body_angle(), 0);  // the opposite direction draws the same segment
    EXPECT_EQ(c.get_body_angle(), 4.712389f);
    EXPECT_EQ(a.get_origin(), 0);
    EXPECT_EQ(b.get_origin(), 1);

    gl::reset();
    c.draw();
    const gl::Primitive& p = gl::recording().primitives.at(0);
    EXPECT_EQ(p.mode, GL_LINES);
    ASSERT_EQ(p.vertices.size(), 2u);
    EXPECT_NEAR(p.vertices[0].x, 0, kTol);
    EXPECT_NEAR(p.vertices[0].y, -0.025f, kTol);
    EXPECT_NEAR(p.vertices[1].y, 0.025f, kTol);
}

TEST(Bullet, PushActsOnTheFirstStepOnly) {
    Vector up{0, 0.5f};
    Bullet b(0, 0, &up, 0);
    up.y = 100;  // the bullet took its own copy
    b.update();
    EXPECT_FLOAT_EQ(b.get_position().y, 0.05f);
    b.update();
    EXPECT_FLOAT_EQ(b.get_position().y, 0.1f);
    EXPECT_FLOAT_EQ(b.get_velocity().y, 0.05f);
}

TEST(Bullet, ReportsItsFiftiethDraw) {
    Vector push{0.5f, 0};
    Bullet b(0, 0, &push, 0);
    for (int i = 1; i < 50; ++i) {
        EXPECT_FALSE(b.draw()) << "draw " << i;
    }
    gl::reset();
    EXPECT_TRUE(b.draw());
    EXPECT_EQ(gl::recording().primitives.size(), 1u);  // the 50th is still drawn
}

}  // namespace
