#pragma once
// The next and the previous probable prime of a number: a sieve over a
// window of odd candidates by the primes below 2^16, then Baillie-PSW on the
// survivors in order (exact below 2^64, no known exception above).

#include <atomic>

#include "bigint/bigint.h"
#include "prime/progress.h"

/// Results at or above 2^PRIME_SEARCH_BITS are refused as too large.
inline constexpr int PRIME_SEARCH_BITS = 1600;

struct PrimeSearch {
    enum Status {
        FOUND,      ///< value holds the prime
        NONE,       ///< no prime below the number (PreviousPrime of n <= 2)
        TOO_LARGE,  ///< the prime would be 2^1600 or more (or n is invalid)
        ABORTED,    ///< the run state asked to stop
    };
    Status status;
    BigInt value;  ///< the prime when FOUND, else 0
};

/// The least probable prime above n; 2 for every n below 2. Reports
/// "次の素数: +D" (how far past n the search is) through `progress`, which
/// may be null, and returns ABORTED within milliseconds of `state` reading
/// RUN_ABORT.
PrimeSearch NextPrime(const BigInt& n, const std::atomic<int>& state, Progress* progress);

/// The greatest probable prime below n; NONE for n <= 2. Progress texts
/// "前の素数: -D".
PrimeSearch PreviousPrime(const BigInt& n, const std::atomic<int>& state, Progress* progress);
