// Baillie-PSW: the table of pseudoprimes to each half, every small n against
// a sieve, and random numbers of up to 1616 bits against GMP.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <vector>

#include "bigint/bigint_words.h"
#include "prime/bpsw.h"
#include "tests/support/gmp.h"

namespace {

using kw::u64;

TEST(Bpsw, EachHalfOnItsPseudoprimes) {
    std::ifstream in(KALVORA_TEST_DATA "/bpsw.vec");
    int rows = 0;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        u64 n;
        int base2, lucas, whole;
        fields >> n >> base2 >> lucas >> whole;
        EXPECT_EQ(IsStrongProbablePrimeBase2(&n, 1), base2 == 1) << n;
        EXPECT_EQ(IsStrongLucasProbablePrime(&n, 1), lucas == 1) << n;
        EXPECT_EQ(IsBpswProbablePrime(&n, 1), whole == 1) << n;
        ++rows;
    }
    EXPECT_GT(rows, 40);
}

TEST(Bpsw, EverySmallNumberAgreesWithASieve) {
    constexpr u64 LIMIT = 300000;
    std::vector<bool> composite(LIMIT, false);
    composite[0] = composite[1] = true;
    for (u64 p = 2; p * p < LIMIT; ++p)
        for (u64 m = p * p; !composite[p] && m < LIMIT; m += p) composite[m] = true;
    for (u64 n = 0; n < LIMIT; ++n) ASSERT_EQ(IsBpswProbablePrime(&n, 1), !composite[n]) << n;
    BigInt invalid(7);
    invalid.SetStatus(1);
    for (const BigInt& v : {BigInt(-7), BigInt(0), BigInt(1), invalid}) EXPECT_FALSE(IsBpswProbablePrime(v));
}

// Primes, random odd numbers, products of two close primes and squares of primes.
TEST(Bpsw, RandomNumbersAgreeWithGmp) {
    gmp_randstate_t rng;
    gmp_randinit_mt(rng);
    gmp_randseed_ui(rng, 1616);
    gmp::Mpz n, p;
    for (int i = 0; i < 200; ++i) {
        const unsigned long bits = 2 + static_cast<unsigned long>(i * 5 % 1615);
        mpz_urandomb(n, rng, bits);
        mpz_urandomb(p, rng, bits / 2 + 1);
        mpz_nextprime(p, p);
        switch (i % 4) {
        case 0: mpz_nextprime(n, n); break;
        case 1: mpz_setbit(n, 0); break;
        case 2: mpz_nextprime(n, p), mpz_mul(n, n, p); break;
        default: mpz_mul(n, p, p);
        }
        if (n.Bits() > 1616) continue;
        const kw::Mag m = kw::Load(n.Big());
        const bool expected = mpz_probab_prime_p(n, 25) != 0;
        ASSERT_EQ(IsBpswProbablePrime(m.w, m.n), expected) << gmp::Text(n);
        ASSERT_EQ(IsBpswProbablePrime(n.Big()), expected) << gmp::Text(n);
    }
    gmp_randclear(rng);
}

}  // namespace
