// Double-double arithmetic: a value carried as the unevaluated sum hi + lo of two doubles, good
// to about 106 bits. Built from IEEE double additions and multiplications alone (products are
// split by Dekker's method rather than fused), so every platform gets the same bits.
#pragma once

#include <cstdint>
#include <cstring>

namespace vmath {

struct DD {
    double hi;
    double lo;
};

// a + b exactly, whatever their sizes.
inline DD two_sum(double a, double b) {
    const double s = a + b;
    const double bb = s - a;
    return DD{s, (a - (s - bb)) + (b - bb)};
}

// a + b exactly, for |a| >= |b| (or a == 0).
inline DD fast_two_sum(double a, double b) {
    const double s = a + b;
    return DD{s, b - (s - a)};
}

// a as two halves of 26 bits each, so that their products are exact.
inline DD split(double a) {
    const double t = 134217729.0 * a;  // 2^27 + 1
    const double hi = t - (t - a);
    return DD{hi, a - hi};
}

// a * b exactly (short of underflow).
inline DD two_prod(double a, double b) {
    const double p = a * b;
    const DD x = split(a);
    const DD y = split(b);
    return DD{p, ((x.hi * y.hi - p) + x.hi * y.lo + x.lo * y.hi) + x.lo * y.lo};
}

inline DD add(DD a, DD b) {
    DD s = two_sum(a.hi, b.hi);
    const DD t = two_sum(a.lo, b.lo);
    s = fast_two_sum(s.hi, s.lo + t.hi);
    return fast_two_sum(s.hi, s.lo + t.lo);
}

inline DD mul(DD a, DD b) {
    const DD p = two_prod(a.hi, b.hi);
    return fast_two_sum(p.hi, p.lo + (a.hi * b.lo + a.lo * b.hi));
}

inline uint64_t bits_of(double x) {
    uint64_t u;
    std::memcpy(&u, &x, sizeof u);
    return u;
}

inline double from_bits(uint64_t u) {
    double x;
    std::memcpy(&x, &u, sizeof x);
    return x;
}

// 2^k for -1022 <= k <= 1023, built from its bits.
inline double power_of_two(int k) {
    return from_bits(static_cast<uint64_t>(1023 + k) << 52);
}

}  // namespace vmath
