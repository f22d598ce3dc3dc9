#pragma once
// The second elliptic-curve engine: Suyama's curves in Montgomery's x-only
// form, stage 1 along Lucas chains, the standard stage-2 continuation with
// prime pairing, and curves spread over threads. Exact for every target up
// to the full width of BigInt.
//
// Runs are deterministic: curve k of a run always uses EcmSigma(seed, k),
// and the result is the factor of the first curve (in that order) that
// finds one, whatever the number of threads.
//
// A factoring strategy runs levels of rising B1 (2000, 11000, 50000,
// 250000, 1e6, 3e6, ... each with its number of curves) as one RunEcm per
// level, each with its own seed and a label: the progress line then reads
// "level 3/8 B1=250000: 12/430 curves, stage 2".

#include <atomic>
#include <cstdint>
#include <string>

#include "bigint/bigint.h"
#include "prime/progress.h"

/// The range of the bounds and of the number of curves.
inline constexpr uint64_t ECM_MIN_B1 = 3;
inline constexpr uint64_t ECM_MAX_B1 = 1000000000;
inline constexpr uint64_t ECM_MAX_B2 = 10000000000;
inline constexpr int ECM_MAX_CURVES = 1000000;

struct EcmParams {
    uint64_t b1 = 50000;
    uint64_t b2 = 0;  ///< 0: EcmDefaultB2(b1); b2 <= b1: no stage 2
    int curves = 1000;
    uint64_t seed = 0;
    int threads = 0;  ///< 0: one per core
    /// Leads the progress line in place of "ECM", e.g. "level 3/8".
    std::string label;
};

struct EcmResult {
    BigInt factor;      ///< a non-trivial factor (perhaps composite), 0 for none
    int curvesRun = 0;  ///< curves finished; with a factor, the index of its curve + 1
    bool aborted = false;
    int stage = 0;       ///< the stage that found the factor (1 or 2), 0 for none
    uint64_t sigma = 0;  ///< the sigma of the curve that found it
};

/// Runs up to params.curves curves on |n| and stops at the first factor.
/// An even n > 2 gives 2 and a square its root at once (x-only curves
/// never split p^2); n < 4 and primes give none. Returns with
/// aborted set within 50 ms of the state turning to RUN_ABORT. Progress
/// texts ("ECM B1=50000: 12/1000 curves, stage 2") go to `progress` when it
/// is given.
EcmResult RunEcm(const BigInt& n, const EcmParams& params, const std::atomic<int>& state,
                 Progress* progress);

/// The sigma of curve k of a run with `seed` (at least 6).
uint64_t EcmSigma(uint64_t seed, int curve);

/// B2 for a given B1 when none is given: 100 B1, at most ECM_MAX_B2.
uint64_t EcmDefaultB2(uint64_t b1);

/// One curve of sigma on |n| (odd, above 3) at bounds b1 (within the range
/// above) and b2: a factor (0 for none) and the stage that found it.
struct EcmCurveResult {
    BigInt factor;
    int stage = 0;
    bool aborted = false;
};
EcmCurveResult RunEcmCurve(const BigInt& n, uint64_t sigma, uint64_t b1, uint64_t b2,
                           const std::atomic<int>& state);
