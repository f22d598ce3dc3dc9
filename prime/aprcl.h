#pragma once
// The primality proof: small numbers and trial division, the Baillie-PSW
// probable-prime test, and for a probable prime above 2^64 the
// Adleman-Pomerance-Rumely test with Jacobi sums in the form of Cohen and
// Lenstra (Cohen, "A Course in Computational Algebraic Number Theory",
// 9.1.28). Every "prime" it answers is proven; "composite" is proven too,
// except that a prime could in principle fail to meet the test's condition
// on the powers of one p (probability below p^-200), which is answered
// composite.

#include <atomic>
#include <cstdint>

#include "bigint/bigint.h"
#include "bigint/words.h"
#include "prime/progress.h"

/// What a proof found.
enum class ProofResult { Composite, Prime, Aborted };

/// Whether n is prime. Negative numbers, 0 and 1 are not; an invalid value
/// (status 1) is not either. Uses `threads` threads for the Jacobi-sum checks
/// (0 or less: one per core), created from the calling thread. Returns
/// Aborted within a few milliseconds of `state` reading RUN_ABORT. Reports
/// "APR-CL: done/total" through `progress` (may be null).
ProofResult ProvePrime(const BigInt& n, const std::atomic<int>& state, Progress* progress, int threads = 1);

/// The Jacobi-sum test alone, without the probable-prime test in front, on
/// an odd n[0..words) >= 2^64. A composite n that passes every check would
/// be reported prime only if the theorem behind the test were false.
ProofResult JacobiSumTest(const kw::u64* n, int words, const std::atomic<int>& state, Progress* progress,
                          int threads = 1);

/// The parameter t the test uses for n of `bits` bits (64 .. 1616): e(t)^2
/// exceeds every such n.
uint32_t JacobiSumParameter(int bits);
