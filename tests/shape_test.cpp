// The body: forces, drag, the physics step, drawing and the outline collision tests.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "gl_recorder.h"
#include "math/trig.h"
#include "test_shape.h"

namespace {

constexpr float kTol = 1e-6f;

TEST(ShapeBody, NewShapeIsWhiteAtRestWithNoWorldOutline) {
    gl::reset();
    TestShape s(0, 0, {{0.1f, 0}});
    EXPECT_TRUE(s.get_points_transf().empty());
    EXPECT_EQ(s.get_velocity().x, 0);
    EXPECT_EQ(s.get_velocity().y, 0);
    EXPECT_EQ(s.get_aceleration().x, 0);
    EXPECT_EQ(s.get_body_angle(), 0);
    s.draw();
    const gl::Primitive& p = gl::recording().primitives.at(0);
    EXPECT_EQ(p.color.r, 1);
    EXPECT_EQ(p.color.g, 1);
    EXPECT_EQ(p.color.b, 1);
}

TEST(ShapeBody, DrawRotatesThenTranslatesAndSendsTheSamePoints) {
    gl::reset();
    TestShape s(0.5f, 0, {{0.1f, 0}, {0, 0.2f}});
    s.turn_to(1.5707964f);
    s.set_RGB(0.2f, 0.4f, 0.6f);
    s.draw();
    const std::vector<Vector> world = s.get_points_transf();
    ASSERT_EQ(world.size(), 2u);
    // A quarter turn counter-clockwise about the local origin, then moved to (0.5, 0).
    EXPECT_NEAR(world[0].x, 0.5f, kTol);
    EXPECT_NEAR(world[0].y, 0.1f, kTol);
    EXPECT_NEAR(world[1].x, 0.3f, kTol);
    EXPECT_NEAR(world[1].y, 0.0f, kTol);

    const gl::Recording& rec = gl::recording();
    ASSERT_EQ(rec.primitives.size(), 1u);
    EXPECT_EQ(rec.primitives[0].mode, GL_LINE_LOOP);
    EXPECT_EQ(rec.primitives[0].color.g, 0.4f);
    ASSERT_EQ(rec.primitives[0].vertices.size(), 2u);
    EXPECT_EQ(rec.primitives[0].vertices[1].x, world[1].x);
    EXPECT_EQ(rec.primitives[0].vertices[1].y, world[1].y);
    const std::vector<std::string> order{"glColor3f", "glBegin", "glVertex2f", "glVertex2f",
                                         "glEnd"};
    EXPECT_EQ(rec.calls, order);
}

TEST(ShapeBody, OnlyDrawRebuildsTheWorldOutline) {
    TestShape s(0, 0, {{0.1f, 0}});
    s.draw();
    const std::vector<Vector> taken = s.get_points_transf();
    s.move_to(0.5f, 0.5f);
    s.turn_to(1);
    s.add_point(0.3f, 0.3f);
    s.set_velocity(0.1f, 0);
    s.update();
    std::vector<Vector> now = s.get_points_transf();
    ASSERT_EQ(now.size(), 1u);
    EXPECT_EQ(now[0].x, 0.1f);
    s.draw();
    EXPECT_EQ(s.get_points_transf().size(), 2u);
    // A copy taken earlier does not follow later draws.
    EXPECT_EQ(taken.at(0).x, 0.1f);
}

TEST(ShapeBody, EmptyOutlineDrawsAnEmptyPrimitive) {
    gl::reset();
    TestShape s(0, 0);
    s.draw();
    EXPECT_TRUE(s.get_points_transf().empty());
    const std::vector<std::string> order{"glColor3f", "glBegin", "glEnd"};
    EXPECT_EQ(gl::recording().calls, order);
}

TEST(ShapeForces, OneTickForceActsOnceAndStandingForceEveryStep) {
    TestShape s(0, 0, 2);
    Vector f{0.1f, 0};
    s.add_force(&f, 1);
    f.x = 99;  // the shape kept its own copy
    s.update();
    // Mass 2: acceleration 0.05, velocity 0.05, moved 0.05 in the same step.
    EXPECT_FLOAT_EQ(s.get_aceleration().x, 0.05f);
    EXPECT_FLOAT_EQ(s.get_velocity().x, 0.05f);
    EXPECT_FLOAT_EQ(s.get_position().x, 0.05f);
    s.update();
    EXPECT_EQ(s.get_aceleration().x, 0);
    EXPECT_FLOAT_EQ(s.get_position().x, 0.1f);

    TestShape standing(0, 0, 1);
    Vector g{0, -0.01f};
    standing.add_force(&g, 0);
    standing.update();
    standing.update();
    EXPECT_FLOAT_EQ(standing.get_aceleration().y, -0.01f);
    EXPECT_FLOAT_EQ(standing.get_velocity().y, -0.02f);
}

TEST(ShapeForces, OneTickForcesAreSummedAndOtherKindsIgnored) {
    TestShape s(0, 0, 1);
    Vector a{0.1f, 0};
    Vector b{0, 0.2f};
    Vector ignored{5, 5};
    s.add_force(&a, 1);
    s.add_force(&b, 1);
    s.add_force(&ignored, 2);
    s.add_force(&ignored, -1);
    s.update();
    EXPECT_FLOAT_EQ(s.get_aceleration().x, 0.1f);
    EXPECT_FLOAT_EQ(s.get_aceleration().y, 0.2f);
    s.update();
    EXPECT_EQ(s.get_aceleration().x, 0);
    EXPECT_EQ(s.get_aceleration().y, 0);
}

TEST(ShapeDrag, SlowsByAConstantAlongTheMotion) {
    TestShape s(0, 0, 1);
    s.add_force_res(0.1f);
    s.set_velocity(0.3f, 0.4f);  // speed 0.5
    s.update();
    EXPECT_NEAR(s.get_velocity().x, 0.24f, kTol);
    EXPECT_NEAR(s.get_velocity().y, 0.32f, kTol);
    // Moving left and down: the missing quadrant correction must not turn drag into push.
    TestShape back(0, 0, 1);
    back.add_force_res(0.1f);
    back.set_velocity(-0.3f, -0.4f);
    back.update();
    EXPECT_NEAR(back.get_velocity().x, -0.24f, kTol);
    EXPECT_NEAR(back.get_velocity().y, -0.32f, kTol);
}

TEST(ShapeDrag, StopsDeadAtOrBelowTheDrag) {
    TestShape s(0.2f, 0.2f, 1);
    s.add_force_res(0.1f);
    s.set_velocity(0.03f, 0.04f);
    s.update();
    EXPECT_EQ(s.get_velocity().x, 0);
    EXPECT_EQ(s.get_velocity().y, 0);
    EXPECT_EQ(s.get_position().x, 0.2f);
    EXPECT_EQ(s.get_position().y, 0.2f);
}

TEST(ShapeDrag, AWeakPushDoesNotMoveAResistedBody) {
    TestShape s(0, 0, 1);
    s.add_force_res(0.1f);
    Vector weak{0.05f, 0};
    s.add_force(&weak, 1);
    s.update();
    EXPECT_EQ(s.get_position().x, 0);
    Vector strong{0.3f, 0};
    s.add_force(&strong, 1);
    s.update();
    EXPECT_NEAR(s.get_velocity().x, 0.2f, kTol);
}

TEST(ShapeDrag, OnlyTheSizeOfTheResistanceSumMatters) {
    TestShape plus(0, 0, 1), minus(0, 0, 1), mixed(0, 0, 1), none(0, 0, 1);
    plus.add_force_res(0.01f);
    minus.add_force_res(-0.01f);
    mixed.add_force_res(0.02f);
    mixed.add_force_res(-0.01f);
    for (TestShape* s : {&plus, &minus, &mixed, &none}) {
        s->set_velocity(0.06f, -0.08f);
        s->update();
    }
    EXPECT_EQ(minus.get_velocity().x, plus.get_velocity().x);
    EXPECT_EQ(minus.get_velocity().y, plus.get_velocity().y);
    EXPECT_NEAR(mixed.get_velocity().x, plus.get_velocity().x, kTol);
    EXPECT_NEAR(plus.get_velocity().x, 0.054f, kTol);
    EXPECT_EQ(none.get_velocity().x, 0.06f);
    EXPECT_EQ(none.get_velocity().y, -0.08f);
}

// The drag as the step is designed, every time through the angle, its cosine and sine.
Vector designed_drag_step(Vector v, float mass, const std::vector<float>& resistances) {
    const float phi = angle(v);
    const float c = vmath::cos(phi);
    const float s = vmath::sin(phi);
    float k = 0;
    for (const float r : resistances) {
        k += r;
    }
    const Vector drag{std::fabs(k * c / mass), std::fabs(k * s / mass)};
    const auto slow = [](float u, float d) {
        return std::fabs(u) > d ? (u > 0 ? u - d : u + d) : 0.0f;
    };
    return Vector{slow(v.x, drag.x), slow(v.y, drag.y)};
}

TEST(ShapeDrag, SkippingTheAngleWithoutResistanceChangesNoBit) {
    const float inf = INFINITY;
    const float nan = NAN;
    const Vector velocities[] = {{0.3f, -0.4f}, {-0.0f, 0.0f},  {0, -2},  {1e-40f, 3e-41f},
                                 {inf, 1},      {inf, inf},     {nan, 0}, {0, nan},
                                 {-5, inf},     {3e38f, -3e38f}};
    const float masses[] = {1, 1000, 0, -2, inf, nan, 1e-38f};
    const std::vector<float> resistances[] = {{}, {0}, {-0.0f}, {0.02f, -0.02f}, {0.5f}};
    for (const Vector v : velocities) {
        for (const float m : masses) {
            for (const auto& res : resistances) {
                TestShape s(0, 0, m);
                for (const float r : res) {
                    s.add_force_res(r);
                }
                s.set_velocity(v.x, v.y);
                s.calculate_velocity();
                const Vector want = designed_drag_step(v, m, res);
                const Vector got = s.get_velocity();
                EXPECT_EQ(std::memcmp(&got, &want, sizeof got), 0)
                    << "velocity (" << v.x << ", " << v.y << "), mass " << m << ", " << res.size()
                    << " resistances: (" << got.x << ", " << got.y << ") instead of (" << want.x
                    << ", " << want.y << ")";
            }
        }
    }
}

// --- Collision ------------------------------------------------------------------------------

TEST(ShapeCollision, OverlappingSquaresCollideWhicheverIsAsked) {
    // Unit squares 0.5 apart on both axes: their edges cross.
    const TestShape a = drawn_square(0, 0, 1);
    const TestShape b = drawn_square(0.5f, 0.5f, 1);
    EXPECT_TRUE(a.intersection_sh(&b));
    EXPECT_TRUE(b.intersection_sh(&a));
}

TEST(ShapeCollision, ContainmentIsNotACollision) {
    const TestShape big = drawn_square(0, 0, 1);
    const TestShape small = drawn_square(0.4f, 0.4f, 0.2f);
    EXPECT_FALSE(big.intersection_sh(&small));
    EXPECT_FALSE(small.intersection_sh(&big));
    EXPECT_FALSE(big.intersection_seg({0.2f, 0.2f}, {0.8f, 0.7f}));
}

TEST(ShapeCollision, TouchingCornersAndSharedEdgesCount) {
    const TestShape a = drawn_square(0, 0, 1);
    const TestShape corner = drawn_square(1, 1, 1);
    const TestShape beside = drawn_square(1, 0, 1);
    EXPECT_TRUE(a.intersection_sh(&corner));
    EXPECT_TRUE(a.intersection_sh(&beside));
}

TEST(ShapeCollision, ClosingEdgeIsTested) {
    // An open L of three points: only the closing edge (1,1)-(0,0) lies on the diagonal.
    TestShape l(0, 0, {{0, 0}, {1, 0}, {1, 1}});
    l.draw();
    EXPECT_TRUE(l.intersection_seg({0.2f, 0.6f}, {0.6f, 0.2f}));
}

TEST(ShapeCollision, NeverDrawnCollidesWithNothing) {
    const TestShape a = drawn_square(0, 0, 1);
    TestShape ghost(0, 0, {{0, 0}, {1, 0}, {1, 1}, {0, 1}});
    EXPECT_FALSE(ghost.intersection_seg({-1, 0.5f}, {2, 0.5f}));
    EXPECT_FALSE(a.intersection_sh(&ghost));
    EXPECT_FALSE(ghost.intersection_sh(&a));
}

TEST(ShapeCollision, TestsWhereTheShapeWasLastDrawn) {
    TestShape a = drawn_square(0, 0, 1);
    a.move_to(5, 5);
    EXPECT_TRUE(a.intersection_seg({-1, 0.5f}, {2, 0.5f}));
}

TEST(ShapeCollision, TwoPointOutlineCrossesLikeASegment) {
    TestShape bullet(0.5f, 0.5f, {{-0.6f, 0}, {0.6f, 0}});
    bullet.draw();
    const TestShape square = drawn_square(0, 0, 1);
    EXPECT_TRUE(square.intersection_sh(&bullet));
    EXPECT_TRUE(bullet.intersection_sh(&square));
}

}  // namespace
