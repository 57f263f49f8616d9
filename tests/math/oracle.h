// The exact oracle for the game's math: GNU MPFR, rounding to nearest in the float and double
// formats themselves (subnormals included), so its answer is the correctly rounded one.
#pragma once

#include <mpfr.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "math/trig.h"

namespace oracle {

enum class Fn { kSin, kCos, kAtan };

inline const char* name(Fn f) {
    return f == Fn::kSin ? "sin" : f == Fn::kCos ? "cos" : "atan";
}

inline int apply(Fn f, mpfr_t y, const mpfr_t x) {
    switch (f) {
        case Fn::kSin:
            return mpfr_sin(y, x, MPFR_RNDN);
        case Fn::kCos:
            return mpfr_cos(y, x, MPFR_RNDN);
        default:
            return mpfr_atan(y, x, MPFR_RNDN);
    }
}

// f(x) correctly rounded to float. Sets MPFR's exponent range for floats in this thread.
inline float exact(Fn f, float x) {
    mpfr_set_emin(-148);  // the smallest subnormal float is 0.1b * 2^-148
    mpfr_set_emax(128);
    mpfr_t mx, my;
    mpfr_init2(mx, 24);
    mpfr_init2(my, 24);
    mpfr_set_flt(mx, x, MPFR_RNDN);
    const int t = apply(f, my, mx);
    mpfr_subnormalize(my, t, MPFR_RNDN);
    const float y = mpfr_get_flt(my, MPFR_RNDN);
    mpfr_clear(mx);
    mpfr_clear(my);
    return y;
}

// f(x) correctly rounded to double.
inline double exact(Fn f, double x) {
    mpfr_set_emin(-1073);
    mpfr_set_emax(1024);
    mpfr_t mx, my;
    mpfr_init2(mx, 53);
    mpfr_init2(my, 53);
    mpfr_set_d(mx, x, MPFR_RNDN);
    const int t = apply(f, my, mx);
    mpfr_subnormalize(my, t, MPFR_RNDN);
    const double y = mpfr_get_d(my, MPFR_RNDN);
    mpfr_clear(mx);
    mpfr_clear(my);
    return y;
}

// The game's own function f at x, the one the oracle checks.
inline float game(Fn f, float x) {
    return f == Fn::kSin ? vmath::sin(x) : f == Fn::kCos ? vmath::cos(x) : vmath::atan(x);
}

inline float float_from(uint32_t u) {
    float x;
    std::memcpy(&x, &u, sizeof x);
    return x;
}

// The same value, or both NaN.
inline bool same(float a, float b) {
    return (a != a && b != b) || std::memcmp(&a, &b, sizeof a) == 0;
}
inline bool same(double a, double b) {
    return (a != a && b != b) || std::memcmp(&a, &b, sizeof a) == 0;
}

}  // namespace oracle
