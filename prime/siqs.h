#pragma once
// Complete factorisation by the self-initialising quadratic sieve, for
// composites of up to 100 digits. Small factors, perfect powers and prime
// inputs are settled before any sieving; composite parts below 2^64 go to
// Pollard's rho, larger ones to the sieve, whose factors are split further
// until every part is prime.

#include <atomic>
#include <vector>

#include "bigint/bigint.h"
#include "prime/progress.h"
#include "prime/run_state.h"

/// The largest number of decimal digits of a composite part the sieve takes.
inline constexpr int SIQS_MAX_DIGITS = 100;

/// What a caller may choose.
struct SiqsParams {
    int threads = 0;  ///< sieving threads; 0 = one per core
};

/// Counts from the sieve runs of one factorisation, summed over the runs.
struct SiqsStats {
    int runs = 0;                ///< composite parts sieved
    int factorBase = 0;          ///< primes in the factor base (largest run)
    int multiplier = 0;          ///< Knuth-Schroeppel multiplier (largest run)
    long long polynomials = 0;   ///< polynomials sieved
    long long fulls = 0;         ///< relations without a large prime
    long long partials = 0;      ///< relations with one large prime
    long long doublePartials = 0;///< relations with two large primes
    long long cycles = 0;        ///< combined relations found among the partials
    long long discarded = 0;     ///< relations that failed their check (a fault if not 0)
    int matrixRows = 0;          ///< rows of the filtered matrix (largest run)
    int matrixCols = 0;          ///< columns of the filtered matrix (largest run)
    long long matrixWeight = 0;  ///< its non-zero entries
    double sieveSeconds = 0;     ///< wall time of the sieving
    double matrixSeconds = 0;    ///< wall time of filtering and linear algebra
    double sqrtSeconds = 0;      ///< wall time of the square roots
};

struct SiqsResult {
    enum Status {
        FACTORED,   ///< `primes` holds the complete factorisation of a composite
        PRIME,      ///< the target's magnitude is prime (`primes` holds it)
        ABORTED,    ///< the run state asked for an abort
        TOO_LARGE,  ///< a composite part has more than SIQS_MAX_DIGITS digits
        BAD_TARGET  ///< 0, +-1 or an invalid value
    };
    Status status = BAD_TARGET;
    /// The prime factors in ascending order, with multiplicity (FACTORED,
    /// PRIME; for TOO_LARGE the primes split off before the refusal).
    std::vector<BigInt> primes;
    /// The composite part refused (TOO_LARGE), else 0.
    BigInt tooLargePart;
    SiqsStats stats;
};

/// Factors |n| completely. Returns within 50 ms once `state` reads
/// RUN_ABORT; reports "MPQS ..." texts through `progress` (may be null).
/// Helper threads are created from the calling thread.
SiqsResult FactorSiqs(const BigInt& n, const SiqsParams& params, const std::atomic<int>& state,
                      Progress* progress);

/// Whether a factor found is prime, by proof: the one judgement every final
/// factor passes through.
bool IsPrimeFactor(const BigInt& p);
