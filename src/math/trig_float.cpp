// Single precision, correctly rounded: each function works in double to well under a
// thousandth of a float's ulp and rounds once, to float. Where the exact value lies so close to
// the midpoint between two floats that this is not enough, the answer comes from a short list
// of such inputs, found by sweeping all 2^32 floats against an exact oracle (make check-math).
#include <cstdint>
#include <cstring>

#include "math/double_double.h"
#include "math/reduce.h"
#include "math/trig.h"

namespace vmath {
namespace {

#include "math/constants.inc"

uint32_t float_bits(float x) {
    uint32_t u;
    std::memcpy(&u, &x, sizeof u);
    return u;
}

float float_from(uint32_t u) {
    float x;
    std::memcpy(&x, &u, sizeof x);
    return x;
}

// sin(r + lo) for |r| up to a little over pi/4 and lo a correction far below r's ulp: Taylor
// to r^17 (the next term is below 2^-63 of the result), lo entering through sin' = cos ~ 1.
double sin_kernel(double r, double lo) {
    const double* c = kInverseFactorialHi;
    const double z = r * r;
    const double p =
        -c[3] +
        z * (c[5] +
             z * (-c[7] + z * (c[9] + z * (-c[11] + z * (c[13] + z * (-c[15] + z * c[17]))))));
    return r + (lo + r * z * p);
}

// cos(r + lo) likewise, to r^18, lo entering through cos' = -sin ~ -r.
double cos_kernel(double r, double lo) {
    const double* c = kInverseFactorialHi;
    const double z = r * r;
    const double q =
        c[4] +
        z * (-c[6] +
             z * (c[8] + z * (-c[10] + z * (c[12] + z * (-c[14] + z * (c[16] - z * c[18]))))));
    return 1.0 - (0.5 * z - (z * z * q - r * lo));
}

// |x| as quadrant and remainder; x finite.
Reduced reduce(float x) {
    const double ax = x < 0 ? -static_cast<double>(x) : static_cast<double>(x);
    if (ax <= 0x1.921fb4p-1) {  // the largest float below pi/4
        return Reduced{0, DD{ax, 0}};
    }
    if (ax < 1024) {
        return reduce_medium(ax);
    }
    const uint32_t u = float_bits(x);
    const uint64_t mantissa = (u & 0x7fffffu) | 0x800000u;
    return reduce_large(mantissa, static_cast<int>((u >> 23) & 0xff) - 150);
}

bool sign_bit(float x) {
    return (float_bits(x) >> 31) != 0;
}

// An input whose exact value lies closer to a midpoint between two floats than the double
// evaluation can tell, and its correctly rounded answer.
struct Exception {
    uint32_t input;
    uint32_t answer;
};

// Found by the full sweep (make check-math), which checks them with the rest.
constexpr Exception kSinExceptions[] = {
    {0x46199998u, 0xbeb1fa5du},  // sin(0x1.33333p+13) = -0x1.63f4bap-2
    {0xc6199998u, 0x3eb1fa5du},
};
constexpr Exception kCosExceptions[] = {
    {0x5f18b878u, 0x3f7f14bbu},  // cos(0x1.3170fp+63) = 0x1.fe2976p-1
    {0xdf18b878u, 0x3f7f14bbu},
    {0x6115cb11u, 0x3f78142fu},  // cos(0x1.2b9622p+67) = 0x1.f0285ep-1
    {0xe115cb11u, 0x3f78142fu},
};
constexpr Exception kAtanExceptions[] = {
    {0x3d8d6b23u, 0x3d8d31c3u},  // atan(0x1.1ad646p-4) = 0x1.1a6386p-4
    {0xbd8d6b23u, 0xbd8d31c3u},
};

// v rounded to float, unless x is one of the exceptions. Only a double lying within 2^-20 of a
// float ulp of a midpoint (its 29 bits below the float's last one near 1000...0) can be one,
// which spares the search almost always.
template <size_t N>
float rounded(double v, float x, const Exception (&exceptions)[N]) {
    const uint32_t below = static_cast<uint32_t>(bits_of(v) & 0x1fffffffu);
    const uint32_t off = below > 0x10000000u ? below - 0x10000000u : 0x10000000u - below;
    if (off < 0x200u) {
        for (const Exception& e : exceptions) {
            if (e.input == float_bits(x)) {
                return float_from(e.answer);
            }
        }
    }
    return static_cast<float>(v);
}

bool finite(float x) {
    return (float_bits(x) & 0x7f800000u) != 0x7f800000u;
}

// Below 2^-12 in size, sin x and cos x lie within half an ulp of x and of 1 (x^3/6 and x^2/2
// fall short of it), so they round to x and 1: the bodies that never turn draw at angle 0.
bool tiny(float x) {
    return (float_bits(x) & 0x7fffffffu) < 0x39800000u;
}

}  // namespace

float sin(float x) {
    if (tiny(x)) {
        return x;
    }
    if (!finite(x)) {
        return x - x;  // NaN, for NaN and for the infinities
    }
    const Reduced red = reduce(x);
    double v = (red.quadrant & 1) ? cos_kernel(red.r.hi, red.r.lo) : sin_kernel(red.r.hi, red.r.lo);
    if (red.quadrant & 2) {
        v = -v;
    }
    return rounded(sign_bit(x) ? -v : v, x, kSinExceptions);
}

float cos(float x) {
    if (tiny(x)) {
        return 1;
    }
    if (!finite(x)) {
        return x - x;
    }
    const Reduced red = reduce(x);
    double v = (red.quadrant & 1) ? sin_kernel(red.r.hi, red.r.lo) : cos_kernel(red.r.hi, red.r.lo);
    if (((red.quadrant + 1) & 2) != 0) {
        v = -v;
    }
    return rounded(v, x, kCosExceptions);
}

float atan(float x) {
    if (x != x) {
        return x + x;
    }
    // atan(a) = atan(j/8) + atan(t), t = (a - j/8) / (1 + a j/8), with j/8 the eighth nearest
    // to a, so |t| <= 1/16; beyond 1, atan(a) = pi/2 - atan(1/a).
    double a = x < 0 ? -static_cast<double>(x) : static_cast<double>(x);
    const bool inverted = a > 1;
    if (inverted) {
        a = 1 / a;
    }
    const int j = static_cast<int>(a * 8 + 0.5);
    const double c = j * 0.125;
    const double t = (a - c) / (1 + a * c);  // a - c is exact
    const double z = t * t;
    // Taylor to t^17: the next term is below 2^-76 of the result.
    const double p =
        -1.0 / 3 +
        z * (1.0 / 5 +
             z * (-1.0 / 7 +
                  z * (1.0 / 9 + z * (-1.0 / 11 + z * (1.0 / 13 + z * (-1.0 / 15 + z / 17))))));
    double v = kAtanEighthsHi[j] + (kAtanEighthsLo[j] + (t + t * z * p));
    if (inverted) {
        v = (kHalfPiHi - v) + kHalfPiLo;
    }
    return rounded(sign_bit(x) ? -v : v, x, kAtanExceptions);
}

}  // namespace vmath
