#pragma once
// The prime console's settings record with its start values: the target, the
// action and method, and the parameters of every method. The main window
// keeps one copy for the whole run; the console works on its own copy, hands
// it back with "終了" and copies it into the control block at "開始".

#include <cstdint>

#include "bigint/bigint.h"

/// Action of the prime console.
enum PrimeAction { ACTION_PSEUDO_PRIME = 0, ACTION_PRIME_TEST = 1, ACTION_FACTOR = 2 };

/// Factoring method of the prime console, in the order of its radio group.
enum FactorMethod {
    METHOD_TRIAL_DIVISION = 0,
    METHOD_RHO = 1,
    METHOD_PM1 = 2,
    METHOD_ECM = 3,
    METHOD_MPQS = 4,
    METHOD_NFS = 5,
    METHOD_FACTORISE = 6
};

/// The prime console's settings record.
struct PrimeSettings {
    BigInt target = 7;
    int mrTrials = 30;
    int action = ACTION_PSEUDO_PRIME;
    int method = METHOD_TRIAL_DIVISION;
    int lowerPriority = 1;
    int trialDivBound = 65537;
    int trialDivFirst = 0;  ///< 1116: the complete factorisation divides up to trialDivBound first
    uint32_t rhoX0 = 2;
    int rhoExponent = 2;
    int rhoTrials = 10000;
    int32_t rhoAddend = 1;
    int pm1SmallExponent = 16;
    int pm1Bound = 1048576;
    int pm1LargeExponent = 1;
    int ecmSmoothness = 1000;
    int ecmTrials = 100;
    int mpqsThreads = 0;  ///< sieving threads of MPQS; 0 = "自動", one per core
};

/// The range of mpqsThreads.
inline constexpr int MPQS_THREADS_MAX = 64;
