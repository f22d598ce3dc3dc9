// The shared tables of an elliptic-curve run against GMP's primes: the
// segmented sieve, the count of stage-1 chains, and the stage-2 pairing.

#include "prime/ecm_plan.h"

#include <gmp.h>
#include <gtest/gtest.h>

#include <atomic>
#include <numeric>
#include <vector>

#include "prime/run_state.h"
#include "bench/gmp_prime.h"

namespace {

using gmp::Mpz;

// The primes in [lo, hi] by GMP.
std::vector<uint64_t> GmpPrimes(uint64_t lo, uint64_t hi) {
    std::vector<uint64_t> out;
    Mpz p;
    mpz_set_ui(p, lo > 0 ? lo - 1 : 0);
    for (mpz_nextprime(p, p); mpz_cmp_ui(p, hi) <= 0; mpz_nextprime(p, p))
        out.push_back(mpz_get_ui(p));
    return out;
}

bool IsPrime(uint64_t v) {
    Mpz p;
    mpz_set_ui(p, v);
    return mpz_probab_prime_p(p, 30) != 0;
}

// Ranges around the ends, the segment joins (every 65536 odd numbers from 3)
// and large starts.
TEST(EcmPrimeSieve, AgreesWithGmp) {
    struct Row {
        uint64_t lo, hi;
    };
    const Row rows[] = {
        {0, 200},
        {1, 1},
        {2, 2},
        {3, 3},
        {4, 4},
        {0, 1},
        {8, 10},
        {11, 13},
        {65400, 65700},
        {131000, 131200},
        {0, 300000},
        {1000000000, 1000002000},
        {4294967196, 4294967396},
        {999999990000, 1000000000000},
    };
    for (const Row& r : rows) {
        EcmPrimeSieve sieve(r.lo, r.hi);
        std::vector<uint64_t> ours;
        for (uint64_t p; (p = sieve.Next()) != 0;) ours.push_back(p);
        EXPECT_EQ(ours, GmpPrimes(r.lo, r.hi)) << r.lo << " ... " << r.hi;
        EXPECT_EQ(sieve.Next(), 0u) << "stays at the end";
    }
}

// Stage 1: one chain per power p^e <= B1 of each odd prime, 2 to the
// largest power below B1.
TEST(EcmPlan, StageOneCountsEveryPrimePower) {
    const std::atomic<int> active{RUN_ACTIVE};
    for (uint64_t b1 : {3ull, 4ull, 10ull, 27ull, 1000ull, 50000ull}) {
        const auto plan = EcmPlan::Make(b1, b1, active);
        ASSERT_TRUE(plan);
        int powers = 0;
        for (uint64_t p : GmpPrimes(3, b1))
            for (uint64_t q = p; q <= b1; q *= p) ++powers;
        int twos = 0;
        while ((2ull << twos) <= b1) ++twos;
        EXPECT_EQ(plan->storedChains, powers) << b1;
        EXPECT_EQ(plan->twos, twos) << b1;
        EXPECT_EQ(plan->rows, 0u) << "no stage 2 for B2 = B1";
        int ends = 0;
        for (uint8_t code : plan->chains) ends += code == 0;
        EXPECT_EQ(ends, powers) << b1;
    }
}

// Stage 2: every prime in (B1, B2] has its pair (j, i) marked, every marked
// pair holds such a prime, and the baby steps are the odd i below D / 2
// prime to D.
TEST(EcmPlan, StageTwoPairsEveryPrime) {
    const std::atomic<int> active{RUN_ACTIVE};
    struct Row {
        uint64_t b1, b2;
    };
    const Row rows[] = {{3, 100},         {10, 1000}, {1000, 100000},
                        {11000, 1100000}, {100, 101}, {50000, 50100}};
    for (const Row& r : rows) {
        SCOPED_TRACE(std::to_string(r.b1) + " " + std::to_string(r.b2));
        const auto plan = EcmPlan::Make(r.b1, r.b2, active);
        ASSERT_TRUE(plan);
        const uint64_t d = plan->d;
        ASSERT_GT(d, 0u);
        EXPECT_EQ(d % 2, 0u);
        EXPECT_LE(d / 2, r.b1) << "primes above B1 are prime to D and reach j >= 1";
        std::vector<uint32_t> babies;
        for (uint32_t i = 1; i < d / 2; i += 2)
            if (std::gcd<uint64_t>(i, d) == 1) babies.push_back(i);
        EXPECT_EQ(plan->babies, babies);

        const std::vector<uint64_t> primes = GmpPrimes(r.b1 + 1, r.b2);
        uint64_t marked = 0;
        for (uint64_t q : primes) {
            bool found = false;
            for (size_t b = 0; b < babies.size() && !found; ++b) {
                const uint64_t i = babies[b];
                for (uint64_t j : {(q + i) / d, (q - i) / d}) {
                    if ((j * d + i == q || j * d - i == q) && j >= plan->jFirst &&
                        j - plan->jFirst < plan->rows)
                        found = found || plan->Marked(j - plan->jFirst, static_cast<int>(b));
                }
            }
            EXPECT_TRUE(found) << "prime " << q << " not paired";
        }
        for (uint64_t row = 0; row < plan->rows; ++row) {
            const uint64_t j = plan->jFirst + row;
            for (size_t b = 0; b < babies.size(); ++b) {
                if (!plan->Marked(row, static_cast<int>(b))) continue;
                ++marked;
                const uint64_t up = j * d + babies[b], down = j * d - babies[b];
                const bool upIn = up > r.b1 && up <= r.b2 && IsPrime(up);
                const bool downIn = down > r.b1 && down <= r.b2 && IsPrime(down);
                EXPECT_TRUE(upIn || downIn) << "j " << j << " i " << babies[b] << " holds no prime";
            }
        }
        EXPECT_EQ(plan->products, marked);
        EXPECT_LE(plan->products, primes.size());
        if (!primes.empty()) {
            EXPECT_LT(plan->products, primes.size() * 95 / 100 + 2) << "pairs share products";
        }
    }
}

TEST(EcmPlan, AbortedWhileBuilding) {
    const std::atomic<int> aborted{RUN_ABORT};
    EXPECT_FALSE(EcmPlan::Make(1000000, 100000000, aborted));
    const std::atomic<int> active{RUN_ACTIVE};
    EXPECT_TRUE(EcmPlan::Make(1000, 100000, active));
}

}  // namespace
