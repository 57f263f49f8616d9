// Vector arithmetic, angle() without quadrant correction, and the segment-crossing test.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "geometry/vector.h"

namespace {

constexpr float kTol = 1e-6f;
constexpr float kPi = 3.14159265f;

TEST(Vector, ArithmeticAndLength) {
    Vector v{3, 4};
    EXPECT_FLOAT_EQ(mod(v), 5.0f);
    EXPECT_FLOAT_EQ((Vector{1, 2} * Vector{3, 4}), 11.0f);
    const Vector d = Vector{5, 7} - Vector{2, 3};
    EXPECT_FLOAT_EQ(d.x, 3);
    EXPECT_FLOAT_EQ(d.y, 4);
    const Vector k = 2.0f * Vector{1.5f, -2};
    EXPECT_FLOAT_EQ(k.x, 3);
    EXPECT_FLOAT_EQ(k.y, -4);
    v += Vector{1, 1};
    v /= 2;
    EXPECT_FLOAT_EQ(v.x, 2);
    EXPECT_FLOAT_EQ(v.y, 2.5f);
    v.init();
    EXPECT_EQ(v.x, 0);
    EXPECT_EQ(v.y, 0);
}

TEST(Vector, DivisionByZeroFollowsIeee) {
    Vector v{1, 0};
    v /= 0;
    EXPECT_TRUE(std::isinf(v.x));
    EXPECT_TRUE(std::isnan(v.y));
}

TEST(Angle, VerticalVectorsAreToldApartBySign) {
    EXPECT_EQ(angle(Vector{0, 2}), 1.5707964f);
    EXPECT_EQ(angle(Vector{0, -2}), 4.712389f);
    EXPECT_EQ(angle(Vector{0, 0}), 0.0f);
    EXPECT_EQ(angle(Vector{-0.0f, 3}), 1.5707964f);
}

TEST(Angle, HasNoQuadrantCorrection) {
    EXPECT_EQ(angle(Vector{-3, 0}), 0.0f);
    EXPECT_NEAR(angle(Vector{1, 1}), kPi / 4, kTol);
    EXPECT_NEAR(angle(Vector{-1, -1}), kPi / 4, kTol);
    EXPECT_NEAR(angle(Vector{-1, 1}), -kPi / 4, kTol);
    EXPECT_NEAR(angle(Vector{1, -1}), -kPi / 4, kTol);
}

TEST(IntersectionSegments, CrossingAndTouchingCount) {
    EXPECT_TRUE(intersection_segments({0, 0}, {1, 1}, {0, 1}, {1, 0}));
    // Shared endpoint.
    EXPECT_TRUE(intersection_segments({0, 0}, {1, 0}, {1, 0}, {2, 1}));
    // T-junction: an endpoint lies on the other segment.
    EXPECT_TRUE(intersection_segments({0, 0}, {2, 0}, {1, 0}, {1, 1}));
    // Symmetric in its two segments.
    EXPECT_TRUE(intersection_segments({0, 1}, {1, 0}, {0, 0}, {1, 1}));
}

TEST(IntersectionSegments, ParallelCollinearAndApartDoNot) {
    EXPECT_FALSE(intersection_segments({0, 0}, {1, 0}, {0, 1}, {1, 1}));
    // Collinear and overlapping: horizontal, vertical, diagonal.
    EXPECT_FALSE(intersection_segments({0, 0}, {1, 0}, {0.5f, 0}, {2, 0}));
    EXPECT_FALSE(intersection_segments({0, 0}, {0, 1}, {0, 0.5f}, {0, 2}));
    EXPECT_FALSE(intersection_segments({0, 0}, {1, 1}, {0.5f, 0.5f}, {2, 2}));
    // The lines cross, the segments do not.
    EXPECT_FALSE(intersection_segments({0, 0}, {1, 0}, {1.5f, -1}, {1.5f, 1}));
}

TEST(IntersectionSegments, ZeroLengthSegmentNeverCounts) {
    EXPECT_FALSE(intersection_segments({0.5f, 0}, {0.5f, 0}, {0, -1}, {1, 1}));
    EXPECT_FALSE(intersection_segments({0, -1}, {1, 1}, {0.5f, 0}, {0.5f, 0}));
    EXPECT_FALSE(intersection_segments({0, 0}, {0, 0}, {0, 0}, {0, 0}));
}

TEST(IntersectionSegments, NonFiniteInputGivesFalse) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    EXPECT_FALSE(intersection_segments({nan, 0}, {1, 1}, {0, 1}, {1, 0}));
    EXPECT_FALSE(intersection_segments({-inf, 0}, {inf, 0}, {0, -1}, {0, 1}));
}

}  // namespace
