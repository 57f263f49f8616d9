// The game's own math against GNU MPFR: a million random floats per function and every hard
// case the full sweep (make check-math) found must come out correctly rounded; the double
// functions within an ulp, and exactly right where the game calls them.
#include <gtest/gtest.h>
#include <mpfr.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "math/oracle.h"
#include "math/trig.h"

namespace {

using oracle::float_from;
using oracle::Fn;
using oracle::game;

std::string show(float x) {
    char text[64];
    std::snprintf(text, sizeof text, "%a", static_cast<double>(x));
    return text;
}

const Fn kAll[] = {Fn::kSin, Fn::kCos, Fn::kAtan};

TEST(GameMath, FloatFunctionsAreCorrectlyRoundedOnAMillionRandomInputsEach) {
    std::mt19937 bits(20261207);
    for (const Fn f : kAll) {
        int wrong = 0;
        for (int i = 0; i < 1000000; ++i) {
            // Half over every bit pattern, half over the game's own range (|x| < 8).
            uint32_t u = bits();
            if (i % 2 == 1) {
                u = (u & 0x80ffffffu) | ((0x72u + (u >> 24) % 11) << 23);  // 2^-13 to 2^3
            }
            const float x = float_from(u);
            const float want = oracle::exact(f, x);
            if (!oracle::same(game(f, x), want) && ++wrong <= 5) {
                ADD_FAILURE() << oracle::name(f) << "(" << show(x) << ") = " << show(game(f, x))
                              << ", exactly " << show(want);
            }
        }
        EXPECT_EQ(wrong, 0) << oracle::name(f);
    }
}

TEST(GameMath, EveryHardCaseOfTheSweepIsCorrectlyRounded) {
    std::ifstream in(VELMORA_MATH_DIR "/hard-cases.txt");
    ASSERT_TRUE(in) << "no hard-cases.txt";
    std::string name, input, value;
    int cases = 0;
    while (in >> name >> input >> value) {
        const Fn f = name == "sin" ? Fn::kSin : name == "cos" ? Fn::kCos : Fn::kAtan;
        const float x = float_from(static_cast<uint32_t>(std::stoul(input, nullptr, 16)));
        const float want = oracle::exact(f, x);
        EXPECT_EQ(show(want), value) << "the list disagrees with MPFR at " << name << " " << input;
        EXPECT_TRUE(oracle::same(game(f, x), want))
            << name << "(" << show(x) << ") = " << show(game(f, x)) << ", exactly " << show(want);
        ++cases;
    }
    EXPECT_GT(cases, 100);
}

TEST(GameMath, SpecialInputsFollowTheCStandard) {
    const float inf = INFINITY;
    const float nan = NAN;
    struct Case {
        float x;
        float sin, cos, atan;
    } cases[] = {
        {0.0f, 0.0f, 1.0f, 0.0f},
        {-0.0f, -0.0f, 1.0f, -0.0f},
        {inf, nan, nan, 0x1.921fb6p0f},
        {-inf, nan, nan, -0x1.921fb6p0f},
        {nan, nan, nan, nan},
        {0x1p-149f, 0x1p-149f, 1.0f, 0x1p-149f},
        {-0x1p-149f, -0x1p-149f, 1.0f, -0x1p-149f},
        {0x1.fffffep127f, oracle::exact(Fn::kSin, 0x1.fffffep127f),
         oracle::exact(Fn::kCos, 0x1.fffffep127f), 0x1.921fb6p0f},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(oracle::same(vmath::sin(c.x), c.sin)) << "sin " << show(c.x);
        EXPECT_TRUE(oracle::same(vmath::cos(c.x), c.cos)) << "cos " << show(c.x);
        EXPECT_TRUE(oracle::same(vmath::atan(c.x), c.atan)) << "atan " << show(c.x);
        if (c.x == 0) {  // signed zeros keep their sign
            EXPECT_EQ(std::signbit(vmath::sin(c.x)), std::signbit(c.x));
            EXPECT_EQ(std::signbit(vmath::atan(c.x)), std::signbit(c.x));
        }
    }
}

// Ulps between a and b, both finite doubles of the same sign or zero.
double ulps_apart(double a, double b) {
    const double gap = std::fabs(std::nextafter(b, INFINITY) - b);
    return std::fabs(a - b) / gap;
}

TEST(GameMath, DoubleSinAndCosStayWithinAnUlpAndAreExactWhereTheGameCallsThem) {
    // The asteroid outline's thirteen angles, 0 to 360 degrees in steps of 30, as it computes
    // them.
    for (float a = 0; a <= 360; a += 30) {
        const double theta = a / 180.0 * 3.14159265;
        EXPECT_TRUE(oracle::same(vmath::sin(theta), oracle::exact(Fn::kSin, theta))) << a;
        EXPECT_TRUE(oracle::same(vmath::cos(theta), oracle::exact(Fn::kCos, theta))) << a;
    }
    std::mt19937_64 bits(7);
    int not_nearest = 0;
    double worst = 0;
    for (int i = 0; i < 200000; ++i) {
        // Over [0, 2pi) mostly, the game's range; every fifth anywhere.
        double x = static_cast<double>(bits() >> 11) * 0x1p-53 * 6.283185307179586;
        if (i % 5 == 0) {
            const uint64_t u = bits();
            std::memcpy(&x, &u, sizeof x);
            if (!std::isfinite(x)) {
                continue;
            }
        }
        for (const Fn f : {Fn::kSin, Fn::kCos}) {
            const double mine = f == Fn::kSin ? vmath::sin(x) : vmath::cos(x);
            const double want = oracle::exact(f, x);
            worst = std::max(worst, ulps_apart(mine, want));
            not_nearest += !oracle::same(mine, want);
        }
    }
    EXPECT_LE(worst, 1.0);
    EXPECT_EQ(not_nearest, 0);
}

// The constants written into the source, against MPFR's, all of them: the bits of 2/pi the
// argument reduction reads, pi/2 in its forms, atan(j/8) and 1/n!.
namespace table {
#include "math/constants.inc"
}

// v, already at high precision, as the double-double hi + lo nearest to it.
void expect_dd(mpfr_t v, double hi, double lo, const std::string& what) {
    mpfr_t rest;
    mpfr_init2(rest, 1600);
    EXPECT_EQ(mpfr_get_d(v, MPFR_RNDN), hi) << what;
    mpfr_sub_d(rest, v, hi, MPFR_RNDN);
    EXPECT_EQ(mpfr_get_d(rest, MPFR_RNDN), lo) << what;
    mpfr_clear(rest);
}

TEST(GameMath, TheBuiltInConstantsAreTheMathematicalOnes) {
    mpfr_set_emin(mpfr_get_emin_min());
    mpfr_set_emax(mpfr_get_emax_max());
    mpfr_t pi, v, w;
    mpfr_inits2(1600, pi, v, w, static_cast<mpfr_ptr>(nullptr));
    mpfr_const_pi(pi, MPFR_RNDN);

    // The words of 2/pi: 2/pi * 2^(32 k - 64) mod 2^32 for word k.
    mpfr_ui_div(v, 2, pi, MPFR_RNDN);
    for (int k = 0; k < 44; ++k) {
        mpfr_mul_2si(w, v, 32 * (k + 1) - 64, MPFR_RNDN);
        mpfr_floor(w, w);
        mpfr_fmod_ui(w, w, 1ul << 32, MPFR_RNDN);
        EXPECT_EQ(mpfr_get_ui(w, MPFR_RNDN), table::kTwoOverPiBits[k]) << "word " << k;
    }
    EXPECT_EQ(mpfr_get_d(v, MPFR_RNDN), table::kTwoOverPi);

    mpfr_div_2ui(v, pi, 1, MPFR_RNDN);
    expect_dd(v, table::kHalfPiHi, table::kHalfPiLo, "pi/2");
    // The three parts add up to pi/2 but for what a double cannot hold.
    mpfr_sub_d(w, v, table::kHalfPi1, MPFR_RNDN);
    mpfr_sub_d(w, w, table::kHalfPi2, MPFR_RNDN);
    EXPECT_EQ(mpfr_get_d(w, MPFR_RNDN), table::kHalfPi3);
    EXPECT_EQ(table::kHalfPi1, std::ldexp(std::floor(std::ldexp(table::kHalfPiHi, 32)), -32));

    for (int j = 0; j <= 8; ++j) {
        mpfr_set_ui(w, j, MPFR_RNDN);
        mpfr_div_ui(w, w, 8, MPFR_RNDN);
        mpfr_atan(v, w, MPFR_RNDN);
        expect_dd(v, table::kAtanEighthsHi[j], table::kAtanEighthsLo[j],
                  "atan(" + std::to_string(j) + "/8)");
    }
    mpfr_set_ui(w, 1, MPFR_RNDN);
    for (int n = 0; n < 26; ++n) {
        if (n > 0) {
            mpfr_mul_ui(w, w, n, MPFR_RNDN);
        }
        mpfr_ui_div(v, 1, w, MPFR_RNDN);
        expect_dd(v, table::kInverseFactorialHi[n], table::kInverseFactorialLo[n],
                  "1/" + std::to_string(n) + "!");
    }
    mpfr_clears(pi, v, w, static_cast<mpfr_ptr>(nullptr));
}

}  // namespace
