// Double precision: the whole evaluation in double-double, to about 2^-90 of the result, and
// one rounding at the end. That is within one ulp always, and the nearest double unless the
// exact value lies within about 2^-37 ulp of a midpoint. The game calls these only while it
// builds an asteroid's outline, so their cost does not matter.
#include <cstdint>

#include "math/double_double.h"
#include "math/reduce.h"
#include "math/trig.h"

namespace vmath {
namespace {

#include "math/constants.inc"

// (-1)^k / (2k + first)!, the Taylor coefficient of z^k in sin(r)/r (first 1) or cos(r)
// (first 0), z = r^2.
DD coefficient(int k, int first) {
    const int n = 2 * k + first;
    const DD c{kInverseFactorialHi[n], kInverseFactorialLo[n]};
    return (k & 1) ? DD{-c.hi, -c.lo} : c;
}

// Sum of coefficient(k) z^k for k = 0 .. last, by Horner's rule.
DD series(DD z, int last, int first) {
    DD p = coefficient(last, first);
    for (int k = last - 1; k >= 0; --k) {
        p = add(mul(p, z), coefficient(k, first));
    }
    return p;
}

// For |r| up to a little over pi/4: sin to r^23, cos to r^22; the first term left out is below
// 2^-87 of the result.
DD sin_dd(DD r) {
    return mul(r, series(mul(r, r), 11, 1));
}

DD cos_dd(DD r) {
    return series(mul(r, r), 11, 0);
}

// |x| as quadrant and remainder; x finite.
Reduced reduce(double x) {
    const uint64_t u = bits_of(x) & ~(uint64_t{1} << 63);
    const double ax = from_bits(u);
    if (ax <= 0x1.921fb54442d18p-1) {  // pi/4 rounded down
        return Reduced{0, DD{ax, 0}};
    }
    const uint64_t mantissa = (u & ((uint64_t{1} << 52) - 1)) | (uint64_t{1} << 52);
    return reduce_large(mantissa, static_cast<int>(u >> 52) - 1075);
}

bool finite(double x) {
    return ((bits_of(x) >> 52) & 0x7ff) != 0x7ff;
}

bool sign_bit(double x) {
    return (bits_of(x) >> 63) != 0;
}

}  // namespace

double sin(double x) {
    if (!finite(x)) {
        return x - x;
    }
    const Reduced red = reduce(x);
    double v = ((red.quadrant & 1) ? cos_dd(red.r) : sin_dd(red.r)).hi;
    if (red.quadrant & 2) {
        v = -v;
    }
    return sign_bit(x) ? -v : v;
}

double cos(double x) {
    if (!finite(x)) {
        return x - x;
    }
    const Reduced red = reduce(x);
    double v = ((red.quadrant & 1) ? sin_dd(red.r) : cos_dd(red.r)).hi;
    if (((red.quadrant + 1) & 2) != 0) {
        v = -v;
    }
    return v;
}

}  // namespace vmath
