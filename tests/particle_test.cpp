// Particles: the star outline and the jump back home with the velocity kept.
#include <gtest/gtest.h>

#include "objects/particle.h"

namespace {

constexpr float kTol = 1e-7f;

TEST(Particle, IsASixPointStar) {
    Particle p(0, 0, 1000, 0.005f);
    p.draw();
    const std::vector<Vector> pts = p.get_points_transf();
    const Vector expected[] = {{-0.0025f, 0.0025f},  {0.0025f, -0.0025f}, {0.0025f, 0.0025f},
                               {-0.0025f, -0.0025f}, {-0.0025f, 0},       {0.0025f, 0}};
    ASSERT_EQ(pts.size(), 6u);
    for (int i = 0; i < 6; ++i) {
        EXPECT_NEAR(pts[i].x, expected[i].x, kTol) << i;
        EXPECT_NEAR(pts[i].y, expected[i].y, kTol) << i;
    }
}

TEST(Particle, GoesHomeThroughAnyEdgeKeepingItsVelocity) {
    // Each velocity takes a particle at (0.3, -0.7) just past one edge in one step.
    const Vector exits[] = {{0, 1.71f}, {0, -0.31f}, {0.71f, 0}, {-1.31f, 0}};
    for (const Vector v : exits) {
        Particle p(0.3f, -0.7f, 1000, 0.005f);
        p.set_velocity(v.x, v.y);
        p.update();
        EXPECT_EQ(p.get_position().x, 0.3f);
        EXPECT_EQ(p.get_position().y, -0.7f);
        EXPECT_EQ(p.get_velocity().x, v.x);
        EXPECT_EQ(p.get_velocity().y, v.y);
    }
}

}  // namespace
