#pragma once
// The persistent inputs of the tools that the main window keeps for the whole
// run, with their start values. A tool dialog takes a copy and hands it back
// only when it ends with "終了".

#include <cstdint>

#include "bigint/bigint.h"

/// Progression tool: first term, difference (ratio), the four term numbers, link flag.
struct ProgressionInputs {
    int first = 1;
    int difference = 1;
    int arithTerm = 1;   ///< n1, arithmetic term
    int geomTerm = 1;    ///< n2, geometric term
    int arithSum = 1;    ///< n3, arithmetic sum
    int geomSum = 1;     ///< n4, geometric sum
    int linked = 0;
};

/// Lucas-type sequence tool: F(0) = f0, F(1) = f1, F(n+1) = a F(n) + b F(n-1).
struct LucasInputs {
    unsigned a = 1;
    unsigned b = 1;
    unsigned f0 = 0;
    unsigned f1 = 1;
    unsigned n = 2;
};

/// Mersenne and Fermat number tool.
struct MersenneFermatInputs {
    unsigned mersenneExponent = 0;
    unsigned fermatIndex = 0;
};

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
    uint32_t rhoX0 = 2;
    int rhoExponent = 2;
    int rhoTrials = 10000;
    int32_t rhoAddend = 1;
    int pm1SmallExponent = 16;
    int pm1Bound = 1048576;
    int pm1LargeExponent = 1;
    int ecmSmoothness = 1000;
    int ecmTrials = 100;
};
