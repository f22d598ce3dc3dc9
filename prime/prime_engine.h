#pragma once
// PrimeEngine: the small-prime tables and the number-theoretic searches of
// the prime console (pseudo-prime test, trial division, Pollard rho, p-1 and
// the elliptic curve method). One static instance, built before main(),
// read-only afterwards; every routine keeps its working values in the call.

#include <atomic>
#include <cstdint>
#include <string>

#include "bigint/bigint.h"
#include "prime/run_state.h"

/// Every table prime is below this bound (2^18).
inline constexpr int SIEVE_LIMIT = 262144;
/// Number of primes below SIEVE_LIMIT.
inline constexpr int PRIME_COUNT = 23000;
/// The largest prime below SIEVE_LIMIT, primes[PRIME_COUNT - 1].
inline constexpr int LAST_PRIME = 262139;
/// Entries of a factor list; the list ends at the first zero prime.
inline constexpr int FACTOR_LIST_SIZE = 1024;
/// Most curves one Ecm call tries.
inline constexpr int ECM_MAX_TRIALS = 10000;

/// The non-negative BigInt of an unsigned 32-bit number (the int constructor stops at 2^31 - 1).
inline BigInt FromUint32(uint32_t v) {
    BigInt r;
    r.SetLimb(static_cast<int>(v & 0xFFFFu), 0);
    r.SetLimb(static_cast<int>(v >> 16), 1);
    r.SetTop(v >= 65536u ? 1 : 0);
    return r;
}

/// One (prime, exponent) pair of a factor list.
struct FactorEntry {
    int32_t prime;
    int32_t exponent;
};

/// An affine point; infinity 1 with x != 0 marks a failed addition carrying its denominator.
struct EllipticPoint {
    int32_t infinity = 0;
    BigInt x;
    BigInt y;
};

class PrimeEngine {
public:
    PrimeEngine();
    virtual ~PrimeEngine();
    PrimeEngine(const PrimeEngine&) = delete;
    PrimeEngine& operator=(const PrimeEngine&) = delete;

    /// The primes below 2^18 in increasing order.
    int32_t primes[PRIME_COUNT];
    /// primeIndex[k]: the number of primes below k, at most PRIME_COUNT - 1.
    int32_t primeIndex[SIEVE_LIMIT];

    /// Shows `text` in the application's message box and waits until it is dismissed.
    void ShowMessage(const char* text) const;

    /// Miller-Rabin with the first `trials` table primes as bases: 1 pseudo-prime, 0 composite
    /// (also 0 once the run state reads RUN_ABORT, checked before every base).
    int IsPseudoPrime(BigInt n, int trials, const std::atomic<int>& state) const;
    /// IsPseudoPrime with a run state that never asks for an abort.
    int IsPseudoPrime(BigInt n, int trials) const;

    /// Divides out the table primes below `bound`; fills `list` and returns the cofactor
    /// (0 for n <= 0 or after an abort).
    BigInt miniFactor(BigInt n, int bound, FactorEntry* list, const std::atomic<int>& state) const;
    /// Smallest table prime of primes[primeIndex[from]] .. primes[primeIndex[to]] dividing |n|:
    /// -1 for 0 and 1, 1 no factor up to the square root, p a factor, 0 no verdict or abort.
    int TrialDivide(BigInt n, int from, int to, const std::atomic<int>& state) const;
    /// TrialDivide on a machine word.
    int TrialDivide32(uint32_t x, int from, int to, const std::atomic<int>& state) const;
    /// TrialDivide32 over the whole table: 1 for a prime below 2^32, else its smallest factor.
    int IsPrime32(uint32_t x) const;

    /// Pollard rho on X[0] = a, X[i+1] = X[i]^b + c: a factor, 0, -1 or -2.
    BigInt Rho(BigInt n, int trials, int b, uint32_t a, int32_t c, const std::atomic<int>& state) const;
    /// Whether Rho's -2 for these arguments comes from the start test (the
    /// sequence returns to a after one or two steps) rather than from a
    /// parameter or target out of range.
    bool RhoStartReturns(BigInt n, int trials, int b, uint32_t a, int32_t c) const;
    /// Two-stage p-1 with exponents e1 (primes below 2^18) and e2 (primes up to B2).
    BigInt Pm1(BigInt n, int e1, int e2, int B2, const std::atomic<int>& state) const;

    /// Adds two points on y^2 = x^3 + a x + b modulo N (doubling when P1 == P2).
    EllipticPoint AddPoints(EllipticPoint P1, EllipticPoint P2, const BigInt& a, const BigInt& N) const;
    /// Elliptic curve method: a factor, 1 when every curve failed, 0 on abort.
    /// The draws come from a generator seeded with the time in seconds.
    BigInt Ecm(BigInt N, int trials, int smoothness, const std::atomic<int>& state) const;
    /// Ecm with the draws' generator seeded with `seed`.
    BigInt EcmSeeded(BigInt N, int trials, int smoothness, const std::atomic<int>& state, uint32_t seed) const;

    /// The multiplier lcm(1..B) as upper-case hexadecimal text, B chosen from `smoothness`
    /// (<= 100, <= 1000, <= 10000, else 100000).
    const std::string& EcmMultiplier(int smoothness) const;

private:
    int TrialDivide32Unchecked(uint32_t x, int from, int to, const std::atomic<int>* state) const;
    void BuildTables();
    void BuildEcmMultipliers();

    std::string m_ecmMultiplier[4];
};

/// The process-wide engine.
extern PrimeEngine g_primeEngine;
