// Argument reduction for sin and cos: x = quadrant * pi/2 + r, |r| at most about pi/4, with r as
// a double-double so that the cancellation in x - k pi/2 costs no accuracy.
#pragma once

#include <cstdint>

#include "math/double_double.h"

namespace vmath {

struct Reduced {
    int quadrant;  // 0 to 3
    DD r;          // radians
};

// For 0 <= x < 1024 whose float value it is: pi/2 in three parts (Cody and Waite), the first
// two short enough that their multiples by the quadrant count are exact.
Reduced reduce_medium(double x);

// For any finite x = mantissa * 2^exponent > pi/4, mantissa below 2^53: the bits of 2/pi that
// matter for x (Payne and Hanek) in a 256-bit window, multiplied out in whole numbers.
Reduced reduce_large(uint64_t mantissa, int exponent);

}  // namespace vmath
