#pragma once
// Whole algorithms on word magnitudes (see words.h): integer square root,
// modular exponentiation, and Lehmer's gcd and inverse.
// Inputs and outputs are normalised word arrays; lengths are returned.

#include "bigint/words.h"

namespace kw {

/// r = a >> bits; returns the normalised length. r may equal a.
int ShiftRightBits(u64* r, const u64* a, int an, int bits);
/// r = a << bits (r has room for an + bits/64 + 1 words); returns the length.
int ShiftLeftBits(u64* r, const u64* a, int an, int bits);

/// r = floor(sqrt(a)); returns the length of r.
int ISqrt(u64* r, const u64* a, int an);

/// r = a^e mod m for a < m, m > 1 (any parity) with mn <= WORDS words. The
/// exponent bits are e[0..en) words.
/// Returns the length of r.
int ModPow(u64* r, const u64* a, int an, const u64* e, int en, const u64* m, int mn);

/// g = gcd(a, b) for a >= b > 0; returns the length of g.
int Gcd(u64* g, const u64* a, int an, const u64* b, int bn);

/// Extended Euclid on u > r > 0 as left by one division step of |x| by m:
/// u = m, r = |x| mod m, the cofactor of u is 0 and that of r is 1, with one
/// step done. Runs the Euclidean remainder sequence to its end and returns
/// the length of the last non-zero remainder in g; *cof receives the
/// magnitude of its cofactor and *negative whether the cofactor (relative to
/// |x|) is negative.
int GcdExt(u64* g, u64* cof, int* cofn, bool* negative, const u64* u, int un, const u64* r, int rn);

}  // namespace kw
