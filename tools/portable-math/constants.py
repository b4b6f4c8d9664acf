#!/usr/bin/env python3
# Prints the constants of src/numerics/PortableMath.cpp, computed in 1600-bit
# fixed-point integer arithmetic: the bits of 2/pi, pi/2 in 33-bit parts,
# pi/2 and pi as double-doubles, and atan(i/64) for i = 0..64 as double-doubles.
from fractions import Fraction
from math import isqrt

BITS = 1600
ONE = 1 << BITS


def atan_fixed(x):
    """atan(x / ONE) * ONE for 0 <= x <= ONE: two halvings, then the series."""
    for _ in range(2):
        # atan x = 2 atan(x / (1 + sqrt(1 + x^2)))
        x = x * ONE // (ONE + isqrt(ONE * ONE + x * x))
    total, power, n, x2 = 0, x, 1, x * x // ONE
    while power:
        total += power // n if n % 4 == 1 else -(power // n)
        power = power * x2 // ONE
        n += 2
    return 4 * total


def to_double(v):
    """Fraction v rounded to the nearest double."""
    return float(v)


def double_double(v):
    hi = to_double(v)
    return hi, to_double(v - Fraction(hi))


def truncated(v, bits):
    """v (> 0) cut to its leading `bits` significant bits."""
    e = v.numerator.bit_length() - v.denominator.bit_length()
    scale = Fraction(2) ** (bits - 1 - e)
    while v * scale >= 2**bits:
        scale /= 2
    while v * scale < 2 ** (bits - 1):
        scale *= 2
    return Fraction(int(v * scale)) / scale


pi = Fraction(4 * atan_fixed(ONE), ONE)
print("two/pi words:")
t = 2 / pi
words = []
for j in range(20):
    t *= 2**64
    w = int(t)
    words.append(w)
    t -= w
for i in range(0, 20, 2):
    print("    0x%016XULL, 0x%016XULL," % (words[i], words[i + 1]))
p = pi / 2
p1 = truncated(p, 33)
p2 = truncated(p - p1, 33)
p3 = truncated(p - p1 - p2, 33)
p4 = to_double(p - p1 - p2 - p3)
for name, v in (("P1", p1), ("P2", p2), ("P3", p3), ("P4", p4)):
    print(name, float(v).hex())
print("pio2", [x.hex() for x in double_double(pi / 2)])
print("pi", [x.hex() for x in double_double(pi)])
print("2/pi", to_double(2 / pi).hex())
print("atan table:")
for i in range(65):
    hi, lo = double_double(Fraction(atan_fixed(i * ONE // 64), ONE))
    print("    {%s, %s}," % (hi.hex(), lo.hex()))
