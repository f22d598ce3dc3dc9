// Pollard rho and p-1: the documented orders, and GMP step-by-step references.

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

TEST(Rho, KnownRows) {
    std::atomic<int> active{RUN_ACTIVE};
    struct Row { const char* n; int trials; int b; uint32_t a; int32_t c; const char* expected; };
    const Row rows[] = {
        {"8051", 4, 2, 2, 1, "97"},       // three steps, then the closing gcd
        {"-8051", 4, 2, 2, 1, "97"},      // a negative target is searched as its magnitude
        {"8051", 10000, 2, 2, 1, "0"},    // both cycles close before the first gcd
        {"8051", 1, 2, 2, 1, "0"},        // no step, no gcd
        {"15", 10, 2, 0, 0, "-2"},        // constant sequence
        {"15", 10, 2, 1, 0, "-2"},
        {"15", 10, 2, 0, -1, "-2"},       // 0, 14, 0, ...
        {"2305843009213693951", 10000, 2, 2, 1, "0"},  // 2^61 - 1 is prime
        {"0", 10, 2, 2, 1, "-1"},
        {"1", 10, 2, 2, 1, "-1"},
        {"-1", 10, 2, 2, 1, "-1"},
        {"8051", 10, 1, 2, 1, "-2"},
        {"8051", 10, 257, 2, 1, "-2"},
        {"8051", 0, 2, 2, 1, "-2"},
        {"8051", 100001, 2, 2, 1, "-2"},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(E().Rho(FromDecimal(r.n), r.trials, r.b, r.a, r.c, active), FromDecimal(r.expected))
            << "Rho(" << r.n << ", " << r.trials << ", " << r.b << ", " << r.a << ", " << r.c << ")";
    }
}

TEST(Rho, AgreesWithStepwiseReference) {
    std::atomic<int> active{RUN_ACTIVE};
    gmp_randstate_t rng;
    gmp_randinit_default(rng);
    gmp_randseed_ui(rng, 99);
    Mpz p, q, n, expected;
    for (int i = 0; i < 120; ++i) {
        mpz_urandomb(p.v, rng, 10 + static_cast<unsigned long>(i % 24));
        mpz_nextprime(p.v, p.v);
        // Up to 13 words: some targets just below 2^800.
        mpz_urandomb(q.v, rng, i % 10 == 3 ? 790 - 24 : 30 + static_cast<unsigned long>(i % 90));
        mpz_nextprime(q.v, q.v);
        mpz_mul(n.v, p.v, q.v);
        if (i % 5 == 0) mpz_mul_ui(n.v, n.v, 2);  // even targets take the plain BigInt walk
        const int trials = 50 + 97 * (i % 40);
        const int b = i % 9 == 4 ? 255 : 2 + i % 4;
        const uint32_t a = i % 7 == 0 ? 2147483653u : static_cast<uint32_t>(gmp_urandomm_ui(rng, 1000));  // 2^31 + 5: positive
        const int32_t c = static_cast<int32_t>(gmp_urandomm_ui(rng, 2000)) - 1000;
        gmpref::Rho(expected.v, n.v, trials, b, a, c);
        ASSERT_EQ(E().Rho(n.Big(), trials, b, a, c, active), expected.Big())
            << "Rho(" << gmpref::Decimal(n.v) << ", " << trials << ", " << b << ", " << a << ", " << c << ")";
    }
    gmp_randclear(rng);
}

TEST(Pm1, KnownRows) {
    std::atomic<int> active{RUN_ACTIVE};
    RecordingPresenter boxes;
    struct Row { const char* n; int e1; int e2; int B2; const char* expected; };
    const Row rows[] = {
        {"15", 2, 1, 262144, "0"},   // both factors complete at the prime 2
        {"0", 16, 1, 262144, "-1"},
        {"1", 16, 1, 262144, "-1"},
        {"-1", 16, 1, 262144, "-1"},
        {"15", 1, 1, 262144, "-2"},
        {"15", 257, 1, 262144, "-2"},
        {"15", 16, 0, 262144, "-2"},
        {"15", 16, 5, 262144, "-2"},
        {"15", 16, 1, 16777217, "-2"},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(E().Pm1(FromDecimal(r.n), r.e1, r.e2, r.B2, active), FromDecimal(r.expected))
            << "Pm1(" << r.n << ", " << r.e1 << ", " << r.e2 << ", " << r.B2 << ")";
    }
    EXPECT_TRUE(boxes.Texts().empty()) << "parameter codes come without a message";
}

TEST(Pm1, StageOneAndStageTwoFactors) {
    std::atomic<int> active{RUN_ACTIVE};
    // r: a prime whose r - 1 = 2 * (a prime above 16777216), never completed.
    Mpz r, t, p, n, expected;
    mpz_set_ui(t.v, 20000000);
    for (;;) {
        mpz_nextprime(t.v, t.v);
        mpz_mul_ui(r.v, t.v, 2);
        mpz_add_ui(r.v, r.v, 1);
        if (mpz_probab_prime_p(r.v, 30)) break;
    }
    // 97: p - 1 = 2^5 * 3; with e1 = 2 the power of 2 is never complete.
    mpz_mul_ui(n.v, r.v, 97);
    EXPECT_EQ(E().Pm1(n.Big(), 2, 1, 262144, active), BigInt(0));
    EXPECT_EQ(E().Pm1(n.Big(), 5, 1, 262144, active), BigInt(97));

    // p - 1 = 2 * 3 * 5 * q with q the first prime above 300000: found in stage 2 only.
    mpz_set_ui(t.v, 300000);
    for (;;) {
        mpz_nextprime(t.v, t.v);
        mpz_mul_ui(p.v, t.v, 30);
        mpz_add_ui(p.v, p.v, 1);
        if (mpz_probab_prime_p(p.v, 30)) break;
    }
    const unsigned long q = mpz_get_ui(t.v);
    mpz_mul(n.v, p.v, r.v);
    EXPECT_EQ(E().Pm1(n.Big(), 16, 1, 262144, active), BigInt(0)) << "stage 2 empty";
    EXPECT_EQ(E().Pm1(n.Big(), 16, 1, static_cast<int>(q) - 1, active), BigInt(0)) << "bound below q";
    EXPECT_EQ(E().Pm1(n.Big(), 16, 1, static_cast<int>(q), active), p.Big()) << "found at q = " << q;
    mpz_neg(n.v, n.v);
    EXPECT_EQ(E().Pm1(n.Big(), 16, 1, static_cast<int>(q), active), p.Big()) << "negative target";
}

TEST(Pm1, AgreesWithStepwiseReference) {
    std::atomic<int> active{RUN_ACTIVE};
    gmp_randstate_t rng;
    gmp_randinit_default(rng);
    gmp_randseed_ui(rng, 5150);
    Mpz p, q, n, expected, smooth;
    for (int i = 0; i < 6; ++i) {
        // p - 1 smooth over random table primes (sometimes one above 2^18), q random.
        for (;;) {
            mpz_set_ui(smooth.v, 2);
            for (int k = 0; k < 3 + i % 4; ++k) mpz_mul_ui(smooth.v, smooth.v, static_cast<unsigned long>(E().primes[gmp_urandomm_ui(rng, 22999)]));
            if (i % 3 == 0) mpz_mul_ui(smooth.v, smooth.v, 262147 + 2 * gmp_urandomm_ui(rng, 20000));
            mpz_add_ui(p.v, smooth.v, 1);
            if (mpz_probab_prime_p(p.v, 30)) break;
        }
        mpz_urandomb(q.v, rng, 40 + static_cast<unsigned long>(i * 9));
        mpz_nextprime(q.v, q.v);
        mpz_mul(n.v, p.v, q.v);
        const int e1 = 2 + (i * 5) % 15;
        const int e2 = 1 + i % 4;
        const int B2 = 262144 + 20000 * (i % 5);
        gmpref::Pm1(expected.v, n.v, e1, e2, B2, E().primes, PRIME_COUNT);
        ASSERT_EQ(E().Pm1(n.Big(), e1, e2, B2, active), expected.Big())
            << "Pm1(" << gmpref::Decimal(n.v) << ", " << e1 << ", " << e2 << ", " << B2 << ")";
    }
    gmp_randclear(rng);
}

}  // namespace

namespace {

// Addends as large as the target or larger leave the range: the walk then
// runs on plain BigInt values with PowerMod refusing the negative ones.
TEST(Rho, AddendBeyondTheTargetTakesTheLiteralWalk) {
    std::atomic<int> active{RUN_ACTIVE};
    struct Row { const char* n; int trials; uint32_t a; int32_t c; const char* expected; };
    // Each of these addends walks the same sequence modulo 8051 as c = 1, whose
    // results are 97 after three steps and 0 once both cycles have closed.
    const Row rows[] = {
        {"8051", 4, 2, 8052, "97"},      // n + 1: one subtraction brings it back
        {"8051", 200, 2, 8052, "0"},
        {"8051", 4, 2, -8050, "97"},     // 1 - n: lifted once by n
        {"8051", 200, 2, -8050, "0"},
        {"8051", 4, 2, 16103, "97"},     // 2n + 1: every value stays n above its residue
        {"8051", 200, 2, 16103, "0"},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(E().Rho(FromDecimal(r.n), r.trials, 2, r.a, r.c, active), FromDecimal(r.expected))
            << r.n << " c " << r.c;
    }
}

}  // namespace
