#pragma once

namespace kestrovan {

// Sine, cosine and two-argument arctangent that give the same bits on every
// IEEE-754 machine: plain double arithmetic in a fixed order (no extended
// precision, no fused multiply-add), at most 1 ulp from the true value for
// every double argument.

// sin(X) for X in rad; sin(+-0) = +-0, NaN for NaN and +-infinity.
double Sin(double X);

// cos(X) for X in rad; NaN for NaN and +-infinity.
double Cos(double X);

// sin(X) and cos(X) from one argument reduction; the same bits as Sin and Cos.
void SinCos(double X, double& SinX, double& CosX);

// Angle (rad, in [-pi, pi]) of the vector (X, Y) from the x axis, with the
// signed zeros and infinities of C's atan2.
double Atan2(double Y, double X);

// X * 2pi with the bits that x86's 80-bit extended arithmetic gives to
// (double)((long double)X * 2 * pi): the exact product of X and 2pi rounded
// to a 64-bit significand (nearest, ties to even), with 2pi itself the
// 64-bit-significand constant 0xC90FDAA22168C235 * 2^-61, then rounded again
// to double (nearest, ties to even, subnormal and infinite results as a
// double store gives them). Formed in integer arithmetic, so every machine
// gives these bits. +-0, +-infinity and NaN give X itself.
double ExtendedTwoPiTimes(double X);

}  // namespace kestrovan
