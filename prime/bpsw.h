#pragma once
// The Baillie-PSW probable-prime test: a strong probable-prime test to base
// 2, then a strong Lucas test with Selfridge's parameters (the first D of
// 5, -7, 9, -11, ... with Jacobi symbol (D/n) = -1, P = 1, Q = (1 - D) / 4).
// No composite below 2^64 passes it, and none is known above. Runs on the
// Montgomery kernels of the words in use.

#include "bigint/bigint.h"
#include "bigint/words.h"

/// Whether the magnitude n[0..words) is a Baillie-PSW probable prime.
/// 0 and 1 are not.
bool IsBpswProbablePrime(const kw::u64* n, int words);

/// The same for a BigInt: values below 2 (negatives included) and invalid
/// values are not probable primes.
bool IsBpswProbablePrime(const BigInt& n);

/// The Jacobi symbol (a/m) of machine words, m odd and positive.
int JacobiSmall(kw::u64 a, kw::u64 m);

/// The strong probable-prime test to base 2 alone, for an odd n > 2.
bool IsStrongProbablePrimeBase2(const kw::u64* n, int words);

/// The strong Lucas test with Selfridge's parameters alone, for an odd n > 2
/// with no factor below 100. False for a perfect square.
bool IsStrongLucasProbablePrime(const kw::u64* n, int words);
