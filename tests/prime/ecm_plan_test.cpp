// The shared tables of an elliptic-curve run against GMP's primes: the
// segmented sieve, the count of stage-1 chains, and the stage-2 pairing.

#include "prime/ecm_plan.h"

#include <gmp.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <numeric>
#include <vector>

#include "prime/run_state.h"
#include "tests/support/gmp.h"

namespace {

// The primes in [lo, hi] by GMP.
std::vector<uint64_t> GmpPrimes(uint64_t lo, uint64_t hi) {
    std::vector<uint64_t> out;
    gmp::Mpz p(static_cast<long>(lo > 0 ? lo - 1 : 0));
    for (mpz_nextprime(p, p); mpz_cmp_ui(p, hi) <= 0; mpz_nextprime(p, p)) out.push_back(mpz_get_ui(p));
    return out;
}

const std::atomic<int> ACTIVE{RUN_ACTIVE};

// Ranges around the ends, the segment joins (every 65536 odd numbers from 3)
// and large starts.
TEST(EcmPrimeSieve, AgreesWithGmp) {
    const std::pair<uint64_t, uint64_t> rows[] = {{0, 200}, {1, 1}, {2, 2}, {3, 3}, {4, 4}, {0, 1}, {8, 10}, {11, 13},
                                                  {65400, 65700}, {131000, 131200}, {0, 300000}, {1000000000, 1000002000},
                                                  {4294967196, 4294967396}, {999999990000, 1000000000000}};
    for (const auto& [lo, hi] : rows) {
        EcmPrimeSieve sieve(lo, hi);
        std::vector<uint64_t> ours;
        for (uint64_t p; (p = sieve.Next()) != 0;) ours.push_back(p);
        EXPECT_EQ(ours, GmpPrimes(lo, hi)) << lo << " ... " << hi;
        EXPECT_EQ(sieve.Next(), 0u) << "stays at the end";
    }
}

// Stage 1: one chain per power p^e <= B1 of each odd prime, 2 to the
// largest power below B1.
TEST(EcmPlan, StageOneCountsEveryPrimePower) {
    for (uint64_t b1 : {3ull, 4ull, 10ull, 27ull, 1000ull, 50000ull}) {
        const auto plan = EcmPlan::Make(b1, b1, ACTIVE);
        ASSERT_TRUE(plan);
        int powers = 0, twos = 0, ends = 0;
        for (uint64_t p : GmpPrimes(3, b1))
            for (uint64_t q = p; q <= b1; q *= p) ++powers;
        while ((2ull << twos) <= b1) ++twos;
        for (uint8_t code : plan->chains) ends += code == 0;
        EXPECT_EQ(plan->storedChains, powers) << b1;
        EXPECT_EQ(ends, powers) << b1;
        EXPECT_EQ(plan->twos, twos) << b1;
        EXPECT_EQ(plan->rows, 0u) << "no stage 2 for B2 = B1";
    }
}

// Stage 2: every prime in (B1, B2] has its pair (j, i) marked, every marked
// pair holds such a prime, and the baby steps are the odd i below D / 2
// prime to D.
TEST(EcmPlan, StageTwoPairsEveryPrime) {
    const std::pair<uint64_t, uint64_t> rows[] = {{3, 100}, {10, 1000}, {1000, 100000}, {11000, 1100000}, {100, 101}, {50000, 50100}};
    for (const auto& [b1, b2] : rows) {
        SCOPED_TRACE(std::to_string(b1) + " " + std::to_string(b2));
        const auto plan = EcmPlan::Make(b1, b2, ACTIVE);
        ASSERT_TRUE(plan);
        const uint64_t d = plan->d;
        ASSERT_TRUE(d > 0 && d % 2 == 0);
        EXPECT_LE(d / 2, b1) << "primes above B1 are prime to D and reach j >= 1";
        std::vector<uint32_t> babies;
        for (uint32_t i = 1; i < d / 2; i += 2)
            if (std::gcd<uint64_t>(i, d) == 1) babies.push_back(i);
        EXPECT_EQ(plan->babies, babies);
        // Each marked pair against GMP's primes: those it holds, once each.
        const std::vector<uint64_t> primes = GmpPrimes(b1 + 1, b2);
        std::vector<uint64_t> paired;
        uint64_t marked = 0;
        for (uint64_t row = 0; row < plan->rows; ++row) {
            for (size_t b = 0; b < babies.size(); ++b) {
                if (!plan->Marked(row, static_cast<int>(b))) continue;
                ++marked;
                const uint64_t j = plan->jFirst + row, before = paired.size();
                for (uint64_t q : {j * d - babies[b], j * d + babies[b]})
                    if (std::binary_search(primes.begin(), primes.end(), q)) paired.push_back(q);
                EXPECT_GT(paired.size(), before) << "j " << j << " i " << babies[b] << " holds no prime";
            }
        }
        std::sort(paired.begin(), paired.end());
        paired.erase(std::unique(paired.begin(), paired.end()), paired.end());
        EXPECT_EQ(paired, primes) << "every prime paired";
        EXPECT_EQ(plan->products, marked);
        EXPECT_LE(plan->products, primes.size());
        if (!primes.empty()) { EXPECT_LT(plan->products, primes.size() * 95 / 100 + 2) << "pairs share products"; }
    }
}

TEST(EcmPlan, AbortedWhileBuilding) {
    const std::atomic<int> aborted{RUN_ABORT};
    EXPECT_FALSE(EcmPlan::Make(1000000, 100000000, aborted));
    EXPECT_TRUE(EcmPlan::Make(1000, 100000, ACTIVE));
}

}  // namespace
