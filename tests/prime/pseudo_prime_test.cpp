// IsPseudoPrime: known rows and GMP's primality test as the oracle.

#include <gmp.h>
#include <gtest/gtest.h>

#include "prime/prime_engine.h"
#include "tests/prime/gmp_reference.h"

namespace {

using gmpref::FromDecimal;
using gmpref::Mpz;

TEST(IsPseudoPrime, KnownRows) {
    struct Row { const char* n; int trials; int expected; };
    const Row rows[] = {
        {"2", 1, 1},             // the first base itself
        {"3", 1, 1},
        {"7", 30, 1},            // a base: equal at the fourth trial
        {"4", 20, 0},            // shares the base 2
        {"9", 20, 0},            // fails the base 2
        {"561", 20, 0},          // Carmichael number
        {"2047", 1, 1},          // 23 * 89 passes the base 2 alone
        {"2047", 2, 0},
        {"25326001", 3, 1},      // strong pseudo-prime to 2, 3, 5
        {"25326001", 4, 0},
        {"3215031751", 4, 1},    // strong pseudo-prime to 2, 3, 5, 7
        {"3215031751", 5, 0},
        {"0", 20, 0},
        {"1", 20, 0},            // no odd part in n - 1: not a candidate
        {"-7", 20, 0},
        {"-2", 20, 0},
        {"-1", 20, 0},
        {"65537", 30, 1},
        {"4294967297", 30, 0},   // 641 * 6700417
        {"2305843009213693951", 30, 1},  // 2^61 - 1
        {"340282366920938463463374607431768211457", 30, 0},  // 2^128 + 1
        {"170141183460469231731687303715884105727", 30, 1},  // 2^127 - 1
    };
    for (const Row& r : rows) {
        EXPECT_EQ(g_primeEngine.IsPseudoPrime(FromDecimal(r.n), r.trials), r.expected) << r.n << " trials " << r.trials;
    }
}

TEST(IsPseudoPrime, LargeTwoPowerInNMinusOne) {
    // n - 1 = 2^s d with a large s: every square of condition B is taken.
    Mpz n;
    for (unsigned shift = 60; shift < 700; shift += 37) {
        for (unsigned long mult = 1; mult < 40; mult += 2) {
            mpz_set_ui(n.v, mult);
            mpz_mul_2exp(n.v, n.v, shift);
            mpz_add_ui(n.v, n.v, 1);
            const int oracle = mpz_probab_prime_p(n.v, 40) != 0;
            ASSERT_EQ(g_primeEngine.IsPseudoPrime(n.Big(), 30), oracle) << mult << " * 2^" << shift << " + 1";
        }
    }
}

TEST(IsPseudoPrime, AgreesWithGmpOnRandomOddNumbers) {
    const unsigned long seed = 20261206;
    gmp_randstate_t rng;
    gmp_randinit_default(rng);
    gmp_randseed_ui(rng, seed);
    Mpz n, p, q;
    for (int i = 0; i < 450; ++i) {
        const unsigned long bits = 3 + static_cast<unsigned long>(i) * 797 / 450;
        switch (i % 3) {
            case 0:  // a random odd number
                mpz_urandomb(n.v, rng, bits);
                mpz_setbit(n.v, 0);
                break;
            case 1:  // a random prime
                mpz_urandomb(n.v, rng, bits);
                mpz_nextprime(n.v, n.v);
                break;
            default:  // a product of two primes
                mpz_urandomb(p.v, rng, bits / 2 + 2);
                mpz_nextprime(p.v, p.v);
                mpz_urandomb(q.v, rng, bits / 2 + 2);
                mpz_nextprime(q.v, q.v);
                mpz_mul(n.v, p.v, q.v);
                break;
        }
        if (mpz_cmp_ui(n.v, 2) < 0 || mpz_sizeinbase(n.v, 2) > 800) continue;
        const int oracle = mpz_probab_prime_p(n.v, 40) != 0;
        const int stepwise = gmpref::IsPseudoPrime(n.v, 30, g_primeEngine.primes);
        ASSERT_EQ(g_primeEngine.IsPseudoPrime(n.Big(), 30), oracle) << "seed " << seed << " n " << gmpref::Decimal(n.v);
        ASSERT_EQ(stepwise, oracle) << gmpref::Decimal(n.v);
    }
    gmp_randclear(rng);
}

}  // namespace
