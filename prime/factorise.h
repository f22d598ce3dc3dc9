#pragma once
// The complete factorisation: trial division, perfect powers, Pollard rho
// and p-1 with the console's parameters, the elliptic curve method at rising
// bounds on all cores, and the quadratic sieve for parts of up to 100
// digits once the curves have made a factor of a third of their size
// unlikely. Every prime it reports is proven; an abort leaves the parts not
// yet split in the result.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "bigint/bigint.h"
#include "prime/progress.h"
#include "prime/run_state.h"

/// Primes up to this bound are divided out when no bound of its own is asked for.
inline constexpr int FACTORISE_TRIAL_BOUND = 10000;

/// The stages, in the order they run on a composite part.
enum FactoriseStage {
    STAGE_TRIAL,
    STAGE_POWER,
    STAGE_RHO,
    STAGE_PM1,
    STAGE_ECM,
    STAGE_SIQS,
    STAGE_COUNT
};

/// The console's parameters of the methods the strategy runs.
struct FactoriseSettings {
    bool trialDivFirst = false;  ///< divide up to trialDivBound (else FACTORISE_TRIAL_BOUND)
    int trialDivBound = 65537;   ///< 2 .. 262139
    uint32_t rhoX0 = 2;          ///< rho: X[0]
    int rhoExponent = 2;         ///< rho: X[i+1] = X[i]^b + c, b
    int32_t rhoAddend = 1;       ///< rho: c
    int rhoTrials = 10000;       ///< rho: iterations
    int pm1SmallExponent = 16;   ///< p-1: power of the primes below 2^18
    int pm1Bound = 1048576;      ///< p-1: bound of the primes of stage 2
    int pm1LargeExponent = 1;    ///< p-1: power of the primes of stage 2
    int threads = 0;             ///< curves, sieve and proofs; 0 = one per core
    uint64_t seed = 0;           ///< the curves' seed: the same seed, the same run
    /// Called (when set) as a stage starts on a part, on the calling thread.
    std::function<void(FactoriseStage stage, const BigInt& part)> stageStarted;
};

/// A part left unsplit: its value (> 1) and its exponent in the target.
struct FactorisePart {
    BigInt value;
    int exponent = 1;
    bool composite = true;  ///< false: its proof was interrupted
};

struct FactoriseResult {
    enum Status {
        COMPLETE,   ///< `primes` is the whole factorisation of |n|
        ABORTED,    ///< the run state asked for an abort; `parts` holds what is unsplit
        BAD_TARGET  ///< 0 or an invalid value
    };
    Status status = BAD_TARGET;
    bool negative = false;
    /// The proven primes, ascending, with multiplicity.
    std::vector<BigInt> primes;
    /// The unsplit parts (ABORTED), ascending.
    std::vector<FactorisePart> parts;
    /// Factors split off by each stage (for the record and the tests).
    int splitsBy[STAGE_COUNT] = {};
};

/// Factors n completely. Returns within 50 ms once `state` reads RUN_ABORT.
/// The progress line names the stage ("試し割り", "ρ法", "p-1法", "ECM level
/// 3/11 B1=50000: 12/300 curves, stage 1", the sieve's relations). Helper
/// threads are created from the calling thread.
FactoriseResult Factorise(const BigInt& n, const FactoriseSettings& settings, const std::atomic<int>& state,
                          Progress* progress);

/// The result as the console shows it: "2^3 * 3 * 101", "-1 * 5", the
/// unsplit parts last as "1000000016000000063(合成数)"; empty for 1.
std::string FactorisationText(const FactoriseResult& result);

/// The decimal text of a value of any size within the BigInt range.
std::string DecimalOf(const BigInt& v);
