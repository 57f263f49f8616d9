#include "math/reduce.h"

#include <cfloat>

// Every float and double operation must round once, to its own format: no x87 extended
// precision (nor fused multiply-adds, which the build turns off).
static_assert(FLT_EVAL_METHOD == 0, "the game's math needs float and double evaluated as such");

namespace vmath {
namespace {

#include "math/constants.inc"

constexpr int kWindowLimbs = 8;  // 256 bits of x * 2/pi below the two bits of the quadrant
constexpr int kWindowBits = 32 * kWindowLimbs;

uint64_t limb(const uint32_t* limbs, int i) {
    return i >= 0 && i < kWindowLimbs ? limbs[i] : 0;
}

// 64 bits of the little-endian number `limbs`, bit `top` the most significant; bits below 0
// read as zeros.
uint64_t bits_from(const uint32_t* limbs, int top) {
    if (top < 0) {
        return 0;
    }
    const int low = top - 63;
    if (low < 0) {
        const uint64_t all = limb(limbs, 0) | (limb(limbs, 1) << 32);
        const uint64_t kept = top == 63 ? all : all & ((uint64_t{1} << (top + 1)) - 1);
        return kept << (63 - top);
    }
    const int w = low / 32;
    const int s = low % 32;
    const uint64_t two = limb(limbs, w) | (limb(limbs, w + 1) << 32);
    return s == 0 ? two : (two >> s) | (limb(limbs, w + 2) << (64 - s));
}

// The highest set bit of the little-endian number, or -1 for zero.
int highest_bit(const uint32_t* limbs) {
    for (int i = kWindowLimbs - 1; i >= 0; --i) {
        if (limbs[i] != 0) {
            return 32 * i + 31 - __builtin_clz(limbs[i]);
        }
    }
    return -1;
}

}  // namespace

Reduced reduce_medium(double x) {
    // Round to nearest by the 1.5 * 2^52 shift: exact in round-to-nearest, no library call.
    constexpr double kShift = 0x1.8p52;
    const double k = (x * kTwoOverPi + kShift) - kShift;
    const double t = x - k * kHalfPi1;  // exact: both are multiples of 2^-32 below 2^10
    const DD u = two_sum(t, -(k * kHalfPi2));
    const DD r = fast_two_sum(u.hi, u.lo - k * kHalfPi3);
    return Reduced{static_cast<int>(k) & 3, r};
}

Reduced reduce_large(uint64_t mantissa, int exponent) {
    // x * 2/pi = mantissa * sum of b_i 2^(exponent - i) over the bits b_i of 2/pi; those with
    // i <= exponent - 2 add multiples of 4, whole turns, and are left out. The window starts at
    // bit exponent - 1, which sits at bit exponent + 62 of the table.
    const int start = exponent + 62;
    const int word = start / 32;
    const int shift = start % 32;
    uint32_t window[kWindowLimbs];  // little-endian
    for (int k = 0; k < kWindowLimbs; ++k) {
        const uint32_t high = kTwoOverPiBits[word + k];
        const uint32_t low = kTwoOverPiBits[word + k + 1];
        window[kWindowLimbs - 1 - k] = shift == 0 ? high : (high << shift) | (low >> (32 - shift));
    }

    // The product's low 256 bits: x * 2/pi mod 4, in units of 2^-254.
    const uint32_t m0 = static_cast<uint32_t>(mantissa);
    const uint32_t m1 = static_cast<uint32_t>(mantissa >> 32);
    uint32_t product[kWindowLimbs];
    uint64_t carry = 0;
    for (int i = 0; i < kWindowLimbs; ++i) {
        const uint64_t t = uint64_t{m0} * window[i] + carry;
        product[i] = static_cast<uint32_t>(t);
        carry = t >> 32;
    }
    carry = 0;
    for (int i = 1; i < kWindowLimbs; ++i) {
        const uint64_t t = uint64_t{m1} * window[i - 1] + product[i] + carry;
        product[i] = static_cast<uint32_t>(t);
        carry = t >> 32;
    }

    // The two top bits count quarter turns; the rest is the fraction, taken as the nearer
    // quarter turn plus a signed remainder of at most half a quarter turn.
    int quadrant = static_cast<int>(product[kWindowLimbs - 1] >> 30);
    product[kWindowLimbs - 1] &= 0x3fffffffu;
    const bool past_half = (product[kWindowLimbs - 1] >> 29) & 1u;
    if (past_half) {
        // 2^254 - fraction: the two's complement, masked to the fraction's bits.
        uint64_t borrow = 1;
        for (uint32_t& limb : product) {
            const uint64_t t = uint64_t{static_cast<uint32_t>(~limb)} + borrow;
            limb = static_cast<uint32_t>(t);
            borrow = t >> 32;
        }
        product[kWindowLimbs - 1] &= 0x3fffffffu;
        quadrant = (quadrant + 1) & 3;
    }

    const int top = highest_bit(product);
    if (top < 0) {
        return Reduced{quadrant, DD{0, 0}};
    }
    // The fraction's leading 53 bits as hi, the next 64 (rounded to 53) as lo, in quarter turns.
    const uint64_t lead = bits_from(product, top);
    const uint64_t next = bits_from(product, top - 64);
    const double hi = static_cast<double>(lead >> 11) * power_of_two(top - 52 - (kWindowBits - 2));
    const double lo = static_cast<double>(((lead & 0x7ff) << 53) | (next >> 11)) *
                      power_of_two(top - 116 - (kWindowBits - 2));
    DD r = mul(fast_two_sum(hi, lo), DD{kHalfPiHi, kHalfPiLo});
    if (past_half) {
        r = DD{-r.hi, -r.lo};
    }
    return Reduced{quadrant, r};
}

}  // namespace vmath
