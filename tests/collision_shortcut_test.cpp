// The collision tests skip edges that cannot cross; these cases check, over many random and
// near-degenerate layouts, that they answer exactly as testing every edge pair would.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "test_shape.h"

namespace {

bool every_edge(const std::vector<Vector>& outline, Vector a, Vector b) {
    const size_t n = outline.size();
    for (size_t i = 0; i < n; ++i) {
        if (intersection_segments(a, b, outline[i], outline[(i + 1) % n])) {
            return true;
        }
    }
    return false;
}

class Layouts {
  public:
    explicit Layouts(unsigned seed) : rng(seed) {}

    float in(float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(rng); }
    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); }

    // A ragged outline of 2 to 13 points around (x, y), drawn so it has a world outline.
    TestShape outline() {
        const int n = 2 + pick(12);
        std::vector<Vector> pts;
        const float r = in(0.01f, 0.3f);
        for (int i = 0; i < n; ++i) {
            const float a = 6.2831853f * i / n;
            const float k = in(0.5f, 1.0f);
            pts.push_back(Vector{r * k * std::cos(a), r * k * std::sin(a)});
        }
        TestShape s(in(-1.1f, 1.1f), in(-1.1f, 1.1f), pts);
        s.turn_to(in(0, 7));
        s.draw();
        return s;
    }

    // A segment chosen to stress the shortcuts: random, through a corner, along an edge's line
    // (collinear, overlapping or not), or off such a line by a hair.
    std::pair<Vector, Vector> segment(const std::vector<Vector>& w) {
        const Vector c = w[pick(static_cast<int>(w.size()))];
        const Vector d = w[pick(static_cast<int>(w.size()))];
        switch (pick(5)) {
            case 0:
                return {Vector{in(-1.2f, 1.2f), in(-1.2f, 1.2f)},
                        Vector{in(-1.2f, 1.2f), in(-1.2f, 1.2f)}};
            case 1:
                return {c, Vector{c.x + in(-0.1f, 0.1f), c.y + in(-0.1f, 0.1f)}};
            case 2: {
                const float s0 = in(-3, 3), s1 = in(-3, 3);
                return {Vector{c.x + (d.x - c.x) * s0, c.y + (d.y - c.y) * s0},
                        Vector{c.x + (d.x - c.x) * s1, c.y + (d.y - c.y) * s1}};
            }
            case 3: {
                const float hair = in(-1e-6f, 1e-6f);
                return {Vector{c.x + hair, c.y - hair}, Vector{d.x + 2 * (d.x - c.x), d.y}};
            }
            default:
                return {Vector{c.x, c.y}, Vector{c.x, c.y}};
        }
    }

    std::mt19937 rng;
};

TEST(CollisionShortcuts, SegmentTestAgreesWithEveryEdgeTested) {
    Layouts gen(12345);
    int hits = 0;
    for (int i = 0; i < 20000; ++i) {
        const TestShape s = gen.outline();
        const std::vector<Vector> w = s.get_points_transf();
        for (int j = 0; j < 10; ++j) {
            const auto [a, b] = gen.segment(w);
            const bool expected = every_edge(w, a, b);
            ASSERT_EQ(s.intersection_seg(a, b), expected) << "case " << i << "." << j;
            hits += expected ? 1 : 0;
        }
    }
    EXPECT_GT(hits, 10000);  // the layouts really do cross, often
}

TEST(CollisionShortcuts, ShapeTestAgreesWithEveryEdgePairTested) {
    Layouts gen(777);
    for (int i = 0; i < 20000; ++i) {
        const TestShape s = gen.outline();
        TestShape t = gen.outline();
        t.move_to(s.get_position().x + gen.in(-0.3f, 0.3f),
                  s.get_position().y + gen.in(-0.3f, 0.3f));
        t.draw();
        const std::vector<Vector> theirs = t.get_points_transf();
        bool expected = false;
        for (size_t j = 0; j < theirs.size() && !expected; ++j) {
            expected =
                every_edge(s.get_points_transf(), theirs[j], theirs[(j + 1) % theirs.size()]);
        }
        ASSERT_EQ(s.intersection_sh(&t), expected) << "case " << i;
    }
}

TEST(CollisionShortcuts, NonFiniteOutlinesAreTestedEdgeByEdge) {
    const float inf = INFINITY;
    TestShape s(0, 0, {{0, 0}, {inf, 0}, {0.5f, 0.5f}});
    s.draw();
    const std::vector<Vector> w = s.get_points_transf();
    const Vector probes[][2] = {
        {{0.1f, -1}, {0.1f, 1}}, {{-1, 0.25f}, {1, 0.25f}}, {{0.4f, 0.4f}, {0.6f, 0.6f}}};
    for (const auto& p : probes) {
        EXPECT_EQ(s.intersection_seg(p[0], p[1]), every_edge(w, p[0], p[1]));
    }
}

}  // namespace
