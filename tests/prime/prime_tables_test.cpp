// The small-prime tables and the ECM multipliers against GMP.

#include <gmp.h>
#include <gtest/gtest.h>

#include "prime/prime_engine.h"
#include "tests/prime/gmp_reference.h"

namespace {

const PrimeEngine& E() { return g_primeEngine; }

TEST(PrimeTables, ListHoldsExactlyThePrimesBelow2To18) {
    int count = 0;
    for (unsigned long k = 0; k < static_cast<unsigned long>(SIEVE_LIMIT); ++k) {
        mpz_t v;
        mpz_init_set_ui(v, k);
        if (mpz_probab_prime_p(v, 25) != 0) {
            ASSERT_LT(count, PRIME_COUNT) << "more primes than the table holds at " << k;
            ASSERT_EQ(E().primes[count], static_cast<int32_t>(k)) << "position " << count;
            ++count;
        }
        mpz_clear(v);
    }
    EXPECT_EQ(count, PRIME_COUNT);
}

TEST(PrimeTables, FixedEntries) {
    EXPECT_EQ(E().primes[0], 2);
    EXPECT_EQ(E().primes[1], 3);
    EXPECT_EQ(E().primes[2], 5);
    EXPECT_EQ(E().primes[3], 7);
    EXPECT_EQ(E().primes[PRIME_COUNT - 1], LAST_PRIME);
    EXPECT_EQ(LAST_PRIME, 262139);
    struct Row { int k; int index; };
    const Row rows[] = {
        {0, 0}, {1, 0}, {2, 0}, {3, 1}, {4, 2}, {5, 2}, {6, 3}, {7, 3}, {8, 4},
        {262139, 22999},  // the last table prime
        {262140, 22999}, {262143, 22999},  // above it: capped at the last position
    };
    for (const Row& r : rows) EXPECT_EQ(E().primeIndex[r.k], r.index) << "primeIndex[" << r.k << "]";
}

TEST(PrimeTables, IndexPointsAtTheSmallestPrimeNotBelow) {
    for (int k = 0; k <= LAST_PRIME; ++k) {
        const int i = E().primeIndex[k];
        ASSERT_GE(E().primes[i], k) << k;
        if (i > 0) {
            ASSERT_LT(E().primes[i - 1], k) << k;
        }
    }
    for (int k = LAST_PRIME + 1; k < SIEVE_LIMIT; ++k) ASSERT_EQ(E().primeIndex[k], PRIME_COUNT - 1) << k;
    // Stepping from one prime to the next.
    for (int i = 0; i + 1 < PRIME_COUNT; ++i) ASSERT_EQ(E().primes[E().primeIndex[E().primes[i]] + 1], E().primes[i + 1]);
}

TEST(EcmMultipliers, AreLcmOfOneToBInHex) {
    EXPECT_EQ(E().EcmMultiplier(100), "CCE3C7D6C0F418730ED656FD0B0ED388C0");
    struct Row { int bound; size_t digits; };
    const Row rows[] = {{100, 34}, {1000, 360}, {10000, 36 * 100 + 12}, {100000, 360 * 100 + 86}};
    for (const Row& r : rows) {
        const std::string& text = E().EcmMultiplier(r.bound);
        EXPECT_EQ(text.size(), r.digits) << "B = " << r.bound;
        EXPECT_EQ(text, gmpref::LcmHex(static_cast<unsigned long>(r.bound))) << "B = " << r.bound;
    }
}

TEST(EcmMultipliers, SmoothnessChoosesTheNextBound) {
    struct Row { int smoothness; int bound; };
    const Row rows[] = {
        {0, 100}, {-5, 100}, {100, 100}, {101, 1000}, {150, 1000}, {1000, 1000},
        {1001, 10000}, {10000, 10000}, {10001, 100000}, {100000, 100000}, {2000000, 100000},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(&E().EcmMultiplier(r.smoothness), &E().EcmMultiplier(r.bound)) << r.smoothness;
    }
}

}  // namespace
