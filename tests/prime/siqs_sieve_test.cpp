// The sieve's relations checked one by one with GMP: Y^2 - kN is the sign
// and product recorded, the large primes are primes above the factor base,
// for whole-interval and bucket sieving, with one and two large primes.

#include <gmp.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>

#include "prime/siqs_internal.h"
#include "prime/siqs_relations.h"
#include "bench/gmp_prime.h"

namespace {

using gmp::Mpz;
using siqs::u32;
using siqs::u64;

/// n = a balanced semiprime of `digits` digits from GMP's generator.
void Semiprime(Mpz& n, int digits, unsigned long seed) {
    gmp_randstate_t rng;
    gmp_randinit_mt(rng);
    gmp_randseed_ui(rng, seed);
    Mpz p, q, low;
    mpz_ui_pow_ui(low, 10, static_cast<unsigned long>(digits / 2 - 1));
    for (Mpz* x : {&p, &q}) {
        mpz_urandomm(*x, rng, low);
        mpz_mul_ui(*x, *x, 9);
        mpz_add(*x, *x, low);
        mpz_nextprime(*x, *x);
    }
    mpz_mul(n, p, q);
    gmp_randclear(rng);
}

TEST(SiqsSieve, RelationsMatchTheirFactorisations) {
    struct Row {
        int digits;
        int fbSize;
        int blocksPerSide;  // up to 4 whole-interval, from 5 on buckets
        int lpMult;
        bool dlp;
        int threads;
    };
    const Row rows[] = {
        {40, 400, 1, 50, false, 1},
        {45, 900, 2, 80, false, 2},
        {45, 900, 6, 80, false, 2},   // buckets
        {50, 1500, 1, 100, true, 2},  // two large primes
        {50, 1500, 5, 100, true, 1},  // both
        {24, 120, 1, 30, false, 1},   // a small factor base: no primes above a block
    };
    const std::atomic<int> active{RUN_ACTIVE};
    for (const Row& r : rows) {
        Mpz n;
        Semiprime(n, r.digits, 40 + r.digits + r.blocksPerSide);
        siqs::Params params;
        params.fbSize = r.fbSize;
        params.blocksPerSide = r.blocksPerSide;
        params.lpMult = r.lpMult;
        params.dlp = r.dlp;
        params.sieveFrom = 11;
        siqs::FactorBase fb;
        const siqs::Num num = siqs::ToNum(n.Big());
        ASSERT_EQ(siqs::BuildFactorBase(num, params, active, fb), siqs::FB_BUILT) << r.digits;
        siqs::RelationStore store(r.fbSize / 2);
        SiqsStats stats;
        ASSERT_TRUE(siqs::Sieve(fb, store, r.threads, active, nullptr, stats, 0));
        ASSERT_GE(store.Found(), store.Needed());
        EXPECT_EQ(stats.discarded, 0);
        if (r.dlp) {
            EXPECT_GT(store.DoublePartials(), 0) << r.digits;
        }

        Mpz kn, y, lhs, rhs, t;
        mpz_mul_ui(kn, n, fb.k);
        for (size_t i = 0; i < store.Count(); ++i) {
            const u32* rel = store.Relation(i);
            mpz_set_ui(y, 0);
            for (int w = 5; w >= 0; --w) {
                mpz_mul_2exp(y, y, 32);
                mpz_add_ui(y, y, rel[3 + w]);
            }
            mpz_mul(lhs, y, y);
            mpz_sub(lhs, lhs, kn);
            mpz_set_ui(rhs, 1);
            const u32* idx = rel + siqs::REL_HEADER;
            ASSERT_TRUE(std::is_sorted(idx, idx + rel[0]));
            for (u32 k = 0; k < rel[0]; ++k) {
                if (idx[k] == 0) {
                    mpz_neg(rhs, rhs);
                } else {
                    mpz_mul_ui(rhs, rhs, fb.prime[idx[k]]);
                }
            }
            const u32 lp1 = rel[1], lp2 = rel[2];
            ASSERT_LE(lp1, lp2);
            for (u32 lp : {lp1, lp2}) {
                if (lp == 1) continue;
                mpz_set_ui(t, lp);
                EXPECT_NE(mpz_probab_prime_p(t, 25), 0) << lp;
                EXPECT_GT(lp, fb.largestPrime);
                EXPECT_LE(lp, fb.lpMax);
                mpz_mul_ui(rhs, rhs, lp);
            }
            if (!r.dlp) {
                EXPECT_EQ(lp1, 1u);
            }
            ASSERT_EQ(mpz_cmp(lhs, rhs), 0) << r.digits << " relation " << i;
        }
    }
}

}  // namespace
