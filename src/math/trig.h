// The game's own math: every transcendental function the simulation uses, written for the game
// so that a seed and the same keys play the same game, bit for bit, on every platform it is
// built for. Only IEEE-754 basic operations in round-to-nearest and integer arithmetic go into
// them (the build forbids fused multiply-adds and fast-math), never a platform's math library.
//
// The single-precision functions are correctly rounded for every float (the nearest float to
// the exact value; NaN for NaN and, for sin and cos, for the infinities). The double-precision
// ones stay within one ulp of the exact value.
#pragma once

namespace vmath {

float sin(float x);
float cos(float x);
// In [-pi/2, pi/2]: +-pi/2, rounded, for the infinities.
float atan(float x);

double sin(double x);
double cos(double x);

}  // namespace vmath
