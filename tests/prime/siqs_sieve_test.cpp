// The sieve's relations checked one by one with GMP: Y^2 - kN is the sign
// and product recorded, the large primes are primes above the factor base,
// for whole-interval and bucket sieving, with one and two large primes.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>

#include "prime/siqs_internal.h"
#include "prime/siqs_relations.h"
#include "tests/support/gmp.h"

namespace {

using siqs::u32;

TEST(SiqsSieve, RelationsMatchTheirFactorisations) {
    // Balanced semiprimes of 24, 40, 45 and 50 digits from data/siqs.vec.
    const std::string n24 = "4644312395337636885780043", n40 = "2498628522731428565561621651142451065223";
    const std::string n45 = "170372778940218806569544030974008510803104279";
    const std::string n50 = "43691118312242543337641087768063491283565544362697";
    const struct {
        std::string n;
        siqs::Params params;  // up to 4 blocks per side whole-interval, from 5 on buckets
        int threads;
    } rows[] = {
        {n40, {400, 1, 50, false, 11}, 1},
        {n45, {900, 2, 80, false, 11}, 2},
        {n45, {900, 6, 80, false, 11}, 2},
        {n50, {1500, 1, 100, true, 11}, 2},
        {n50, {1500, 5, 100, true, 11}, 1},
        {n24, {120, 1, 30, false, 11}, 1},  // a small factor base: no primes above a block
    };
    const std::atomic<int> active{RUN_ACTIVE};
    for (const auto& r : rows) {
        const std::string label = r.n + ", " + std::to_string(r.params.blocksPerSide) + " blocks per side";
        const gmp::Mpz n = gmp::Parse(r.n);
        siqs::FactorBase fb;
        ASSERT_EQ(siqs::BuildFactorBase(siqs::ToNum(n.Big()), r.params, active, fb), siqs::FB_BUILT) << label;
        siqs::RelationStore store(r.params.fbSize / 2);
        SiqsStats stats;
        ASSERT_TRUE(siqs::Sieve(fb, store, r.threads, active, nullptr, stats, 0)) << label;
        ASSERT_GE(store.Found(), store.Needed()) << label;
        EXPECT_EQ(stats.discarded, 0) << label;
        EXPECT_EQ(store.DoublePartials() > 0, r.params.dlp) << label;
        gmp::Mpz kn, y, lhs, rhs;
        mpz_mul_ui(kn, n, fb.k);
        for (size_t i = 0; i < store.Count(); ++i) {
            const u32* rel = store.Relation(i);
            mpz_import(y, 2 * siqs::Y_WORDS, -1, sizeof(u32), 0, 0, rel + 3);
            mpz_mul(lhs, y, y);
            mpz_sub(lhs, lhs, kn);
            mpz_set_ui(rhs, 1);
            const u32* idx = rel + siqs::REL_HEADER;
            ASSERT_TRUE(std::is_sorted(idx, idx + rel[0])) << label;
            for (u32 k = 0; k < rel[0]; ++k) mpz_mul_si(rhs, rhs, idx[k] == 0 ? -1 : static_cast<long>(fb.prime[idx[k]]));
            ASSERT_LE(rel[1], rel[2]) << label;
            EXPECT_TRUE(r.params.dlp || rel[1] == 1) << label;  // one large prime at most
            for (const u32 lp : {rel[1], rel[2]}) {
                if (lp == 1) continue;
                EXPECT_NE(mpz_probab_prime_p(gmp::Mpz(lp), 25), 0) << lp;
                EXPECT_GT(lp, fb.largestPrime) << label;
                EXPECT_LE(lp, fb.lpMax) << label;
                mpz_mul_ui(rhs, rhs, lp);
            }
            ASSERT_EQ(mpz_cmp(lhs, rhs), 0) << label << ", relation " << i;
        }
    }
}

}  // namespace
