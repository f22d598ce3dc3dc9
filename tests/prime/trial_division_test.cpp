// Trial division in machine words and in BigInt, and miniFactor.

#include <gmp.h>
#include <gtest/gtest.h>

#include <atomic>

#include "prime/prime_engine.h"
#include "tests/prime/gmp_reference.h"
#include "tests/prime/recorder.h"

namespace {

using gmpref::FromDecimal;
using gmpref::Mpz;

const PrimeEngine& E() { return g_primeEngine; }

TEST(TrialDivide32, KnownRows) {
    std::atomic<int> active{RUN_ACTIVE};
    struct Row { uint32_t x; int from; int to; int expected; };
    const Row rows[] = {
        {0, 2, 262139, -1},
        {1, 2, 262139, -1},
        {2, 2, 262139, 1},
        {3, 2, 262139, 1},
        {4, 2, 262139, 2},
        {7, 2, 262139, 1},
        {4294967291u, 2, 262139, 1},   // the largest prime below 2^32
        {4294967295u, 2, 262139, 3},
        {4, 100, 262139, 1},           // primes below `from` are not tried
        {202, 100, 262139, 101},
        {196611, 65536, 65536, 65537},    // 3 * 65537: the range 65536 .. 65536 is the prime 65537
        {196611, 65520, 65520, 1},        // the prime 65521 alone, above the square root
        {4294049777u, 2, 262139, 65521},  // 65521 * 65537
        {4293001441u, 2, 262139, 65521},  // 65521^2
        {4293001441u, 2, 65520, 65521},   // 65520 is not prime: the range ends at 65521
        {4293001441u, 2, 65518, 0},       // ends at 65519, below the square root: no verdict
    };
    for (const Row& r : rows) {
        EXPECT_EQ(E().TrialDivide32(r.x, r.from, r.to, active), r.expected) << r.x << " " << r.from << ".." << r.to;
    }
}

TEST(IsPrime32, AgreesWithGmp) {
    Mpz v;
    uint32_t x = 1;
    for (int i = 0; i < 200000; ++i) {
        x = x * 1664525u + 1013904223u;
        const uint32_t candidate = (i % 2 == 0) ? x : static_cast<uint32_t>(i);
        mpz_set_ui(v.v, candidate);
        int expected;
        if (candidate < 2) {
            expected = -1;
        } else if (mpz_probab_prime_p(v.v, 25) != 0) {
            expected = 1;
        } else {
            expected = 0;
            for (int j = 0; j < PRIME_COUNT; ++j) {
                if (candidate % static_cast<uint32_t>(E().primes[j]) == 0) {
                    expected = E().primes[j];
                    break;
                }
            }
        }
        ASSERT_EQ(E().IsPrime32(candidate), expected) << candidate;
    }
}

TEST(TrialDivide, KnownRows) {
    std::atomic<int> active{RUN_ACTIVE};
    struct Row { const char* n; int from; int to; int expected; };
    const Row rows[] = {
        {"-15", 2, 65537, 3},              // the sign is dropped
        {"65537", 2, 65537, 1},
        {"0", 2, 65537, -1},
        {"1", 2, 65537, -1},
        {"-1", 2, 65537, -1},
        {"4295229443", 2, 65536, 65537},   // 65537 * 65539: 65536 reaches the prime 65537
        {"4295229443", 2, 65537, 65537},
        {"4295229443", 2, 65520, 0},       // ends at 65521, below the square root
        {"4294967311", 2, 262139, 1},      // the first prime above 2^32
        {"4294967311", 2, 65537, 1},       // 65537 is above its square root 65536
        {"4294967311", 2, 65521, 0},
        {"4294967296", 2, 65537, 2},
        {"68716855313", 2, 262139, 1},     // a prime below 262139^2
        {"68718952447", 2, 262139, 0},     // a prime above 262139^2: no verdict
        {"68718952447", 2, 65537, 0},
        {"68718952433", 2, 262139, 262139},  // 262139 * 262147
        {"68722098197", 2, 262139, 0},     // 262147 * 262151, no table factor
    };
    for (const Row& r : rows) {
        EXPECT_EQ(E().TrialDivide(FromDecimal(r.n), r.from, r.to, active), r.expected) << r.n << " to " << r.to;
    }
}

// The verdict of trial division computed with GMP, step by step as documented.
int ReferenceTrialDivide(const mpz_t n, int from, int to) {
    Mpz m, r;
    mpz_abs(m.v, n);
    if (mpz_cmp_ui(m.v, 1) <= 0) return -1;
    mpz_sqrt(r.v, m.v);
    const bool narrow = mpz_cmp_ui(m.v, 4294967295u) <= 0;
    for (int i = E().primeIndex[from]; i <= E().primeIndex[to]; ++i) {
        const unsigned long p = static_cast<unsigned long>(E().primes[i]);
        if (mpz_divisible_ui_p(m.v, p)) return narrow && mpz_cmp_ui(m.v, p) == 0 ? 1 : static_cast<int>(p);
        if (mpz_cmp_ui(r.v, p) < 0) return 1;
    }
    return 0;
}

TEST(TrialDivide, AgreesWithStepwiseReference) {
    std::atomic<int> active{RUN_ACTIVE};
    gmp_randstate_t rng;
    gmp_randinit_default(rng);
    gmp_randseed_ui(rng, 77);
    Mpz n, f;
    const int bounds[] = {65537, 100000, 262139, 70000};
    for (int i = 0; i < 400; ++i) {
        mpz_urandomb(n.v, rng, 8 + static_cast<unsigned long>(i % 120));
        if (i % 4 == 1) {  // a cofactor made only of large table primes
            mpz_set_ui(f.v, static_cast<unsigned long>(E().primes[20000 + i]));
            mpz_mul_ui(n.v, f.v, static_cast<unsigned long>(E().primes[22000 + i % 900]));
        }
        if (i % 5 == 2) mpz_neg(n.v, n.v);
        const int bound = bounds[i % 4];
        ASSERT_EQ(E().TrialDivide(n.Big(), 2, bound, active), ReferenceTrialDivide(n.v, 2, bound))
            << gmpref::Decimal(n.v) << " to " << bound;
    }
    gmp_randclear(rng);
}

struct Factor { int prime; int exponent; };

void ExpectList(const FactorEntry* list, std::initializer_list<Factor> expected, const char* what) {
    int i = 0;
    for (const Factor& f : expected) {
        EXPECT_EQ(list[i].prime, f.prime) << what << " entry " << i;
        EXPECT_EQ(list[i].exponent, f.exponent) << what << " entry " << i;
        ++i;
    }
    EXPECT_EQ(list[i].prime, 0) << what << ": list not ended after " << i << " entries";
}

TEST(MiniFactor, KnownRows) {
    std::atomic<int> active{RUN_ACTIVE};
    FactorEntry list[FACTOR_LIST_SIZE];

    EXPECT_EQ(E().miniFactor(BigInt(360), 65537, list, active), 1);
    ExpectList(list, {{2, 3}, {3, 2}, {5, 1}}, "360");

    EXPECT_EQ(E().miniFactor(BigInt(2 * 65537), 65537, list, active), 65537);  // the bound itself is not used
    ExpectList(list, {{2, 1}}, "2 * 65537, bound 65537");

    EXPECT_EQ(E().miniFactor(BigInt(2 * 65537), 65539, list, active), 1);
    ExpectList(list, {{2, 1}, {65537, 1}}, "2 * 65537, bound 65539");

    // 2^40 * 3: the wide phase hands over to machine words below 2^31.
    EXPECT_EQ(E().miniFactor(FromDecimal("3298534883328"), 65537, list, active), 1);
    ExpectList(list, {{2, 40}, {3, 1}}, "2^40 * 3");

    // A prime above the bound stays whole in the wide phase; times 2^70 * 7^3 the
    // small primes come off first.
    Mpz p, n;
    mpz_ui_pow_ui(p.v, 2, 100);
    mpz_nextprime(p.v, p.v);
    EXPECT_EQ(E().miniFactor(p.Big(), 65537, list, active), p.Big());
    EXPECT_EQ(list[0].prime, 0);
    mpz_mul_2exp(n.v, p.v, 70);
    mpz_mul_ui(n.v, n.v, 343);
    EXPECT_EQ(E().miniFactor(n.Big(), 262139, list, active), p.Big());
    ExpectList(list, {{2, 70}, {7, 3}}, "2^70 * 7^3 * p");
}

TEST(MiniFactor, RefusesNonPositiveAndOne) {
    std::atomic<int> active{RUN_ACTIVE};
    FactorEntry list[FACTOR_LIST_SIZE];
    list[0] = {7, 7};
    {
        RecordingPresenter boxes;
        EXPECT_EQ(E().miniFactor(BigInt(1), 65537, list, active), 1);
        EXPECT_EQ(list[0].prime, 0);
        EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"素因数分解の引数が1でした(miniFactor)"});
        EXPECT_EQ(boxes.Captions(), std::vector<std::string>{"Kalvora"});
    }
    for (int n : {0, -6}) {
        list[0] = {7, 7};
        RecordingPresenter boxes;
        EXPECT_EQ(E().miniFactor(BigInt(n), 65537, list, active), 0);
        EXPECT_EQ(list[0].prime, 7) << "the list is not touched for " << n;
        EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"素因数分解の引数が自然数ではありませんでした(miniFactor)"});
    }
}

TEST(MiniFactor, ProductOfListAndCofactorIsTheInput) {
    std::atomic<int> active{RUN_ACTIVE};
    gmp_randstate_t rng;
    gmp_randinit_default(rng);
    gmp_randseed_ui(rng, 4242);
    FactorEntry list[FACTOR_LIST_SIZE];
    Mpz n, big, product, cofactor, t;
    for (int i = 0; i < 60; ++i) {
        const int bound = 65537 + i * 3250;
        // Small factors, some repeated, times a random cofactor.
        mpz_set_ui(n.v, 1);
        for (int k = 0; k < 1 + i % 12; ++k) {
            mpz_mul_ui(n.v, n.v, static_cast<unsigned long>(E().primes[gmp_urandomm_ui(rng, 7000)]));
        }
        mpz_urandomb(big.v, rng, static_cast<unsigned long>(i % 600));
        mpz_add_ui(big.v, big.v, 1);
        mpz_mul(n.v, n.v, big.v);
        ASSERT_LE(mpz_sizeinbase(n.v, 2), 1600u);

        const BigInt c = E().miniFactor(n.Big(), bound, list, active);
        gmpref::ToMpz(c, cofactor.v);
        mpz_set(product.v, cofactor.v);
        int previous = 0;
        for (int e = 0; list[e].prime != 0; ++e) {
            ASSERT_GT(list[e].prime, previous) << "increasing primes";
            ASSERT_LT(list[e].prime, bound);
            ASSERT_GE(list[e].exponent, 1);
            previous = list[e].prime;
            mpz_ui_pow_ui(t.v, static_cast<unsigned long>(list[e].prime), static_cast<unsigned long>(list[e].exponent));
            mpz_mul(product.v, product.v, t.v);
        }
        ASSERT_EQ(mpz_cmp(product.v, n.v), 0) << gmpref::Decimal(n.v);
        for (int j = 0; j < PRIME_COUNT && E().primes[j] < bound; ++j) {
            ASSERT_FALSE(mpz_divisible_ui_p(cofactor.v, static_cast<unsigned long>(E().primes[j])))
                << "cofactor keeps " << E().primes[j] << " of " << gmpref::Decimal(n.v);
        }
    }
    gmp_randclear(rng);
}

}  // namespace
