// Asteroids: the random dented outline from exactly 13 rand() values, the push, the wrap.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "math/random.h"
#include "objects/asteroid.h"
#include "test_shape.h"

namespace {

constexpr float kTol = 1e-6f;

// The thirteen dents (0..10 tenths) an asteroid built right after srand(seed) will use.
std::vector<int> dents_for_seed(unsigned seed) {
    vmath::srand(seed);
    std::vector<int> k;
    for (int i = 0; i < 13; ++i) {
        k.push_back(vmath::rand() % 11);
    }
    return k;
}

std::vector<Vector> drawn_outline(Asteroid& rock) {
    rock.draw();
    return rock.get_points_transf();
}

TEST(Asteroid, OutlineIsThirteenDentedPointsFromThirteenRandValues) {
    for (unsigned seed : {1u, 7u, 2024u}) {
        const std::vector<int> k = dents_for_seed(seed);
        vmath::srand(seed);
        Vector push{0, 0};
        Asteroid rock(0, 0, 0.2f, &push);
        const int next_after = vmath::rand();
        vmath::srand(seed);
        for (int i = 0; i < 13; ++i) {
            vmath::rand();
        }
        EXPECT_EQ(next_after, vmath::rand()) << "the constructor must draw exactly 13 values";

        const std::vector<Vector> pts = drawn_outline(rock);
        ASSERT_EQ(pts.size(), 13u);
        for (int i = 0; i < 13; ++i) {
            // Radius 0.1; the dent moves the point by j along both -x and -y.
            const double j = k[i] / 10.0 * 0.05;
            const double theta = i * 30 * M_PI / 180;
            EXPECT_NEAR(pts[i].x, 0.1 * std::cos(theta) - j, kTol) << "point " << i;
            EXPECT_NEAR(pts[i].y, 0.1 * std::sin(theta) - j, kTol) << "point " << i;
        }
    }
}

TEST(Asteroid, FullDentsGiveACircleShiftedDownAndLeft) {
    // Find a seed whose 13 values are all large enough to see the shift, then check the
    // point at 90 degrees lands on (-j, r - j).
    for (unsigned seed = 1; seed < 200000; ++seed) {
        const std::vector<int> k = dents_for_seed(seed);
        if (k[3] != 10) {
            continue;
        }
        vmath::srand(seed);
        Vector push{0, 0};
        Asteroid rock(0, 0, 0.2f, &push);
        const std::vector<Vector> pts = drawn_outline(rock);
        EXPECT_NEAR(pts[3].x, -0.05f, kTol);
        EXPECT_NEAR(pts[3].y, 0.05f, kTol);
        return;
    }
    FAIL() << "no seed found";
}

TEST(Asteroid, PushMovesItOnceAndItKeepsThatVelocity) {
    Vector push{150, 0};
    Asteroid rock(0, 0, 0.2f, &push);
    push.x = 0;
    rock.update();
    EXPECT_FLOAT_EQ(rock.get_velocity().x, 0.015f);
    rock.update();
    EXPECT_FLOAT_EQ(rock.get_velocity().x, 0.015f);
    EXPECT_FLOAT_EQ(rock.get_position().x, 0.03f);
}

TEST(Asteroid, MassSetBeforeTheFirstStepScalesThePush) {
    Vector push{150, 0};
    Asteroid rock(0, 0, 0.2f, &push);
    rock.set_mass(1000);
    rock.set_velocity(0.01f, 0);
    rock.update();
    EXPECT_FLOAT_EQ(rock.get_velocity().x, 0.16f);
    EXPECT_EQ(rock.get_diameter(), 0.2f);
}

}  // namespace
