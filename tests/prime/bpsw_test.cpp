// Baillie-PSW: the table of pseudoprimes to each half, every small n against
// a sieve, and random numbers of up to 1616 bits against GMP.

#include <gmp.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <vector>

#include "bigint/bigint_words.h"
#include "prime/bpsw.h"
#include "tests/support/gmp.h"

namespace {

using kw::u64;

std::vector<u64> Words(const mpz_t v) {
    std::vector<u64> w(kw::WORDS, 0);
    size_t count = 0;
    mpz_export(w.data(), &count, -1, 8, 0, 0, v);
    w.resize(count);
    return w;
}

TEST(Bpsw, EachHalfOnItsPseudoprimes) {
    std::ifstream in(KALVORA_TEST_DATA "/bpsw.vec");
    ASSERT_TRUE(in) << "missing bpsw.vec";
    std::string line;
    int rows = 0;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        unsigned long long n;
        int base2, lucas, whole;
        fields >> n >> base2 >> lucas >> whole;
        const u64 w = n;
        EXPECT_EQ(IsStrongProbablePrimeBase2(&w, 1), base2 == 1) << n;
        EXPECT_EQ(IsStrongLucasProbablePrime(&w, 1), lucas == 1) << n;
        EXPECT_EQ(IsBpswProbablePrime(&w, 1), whole == 1) << n;
        ++rows;
    }
    EXPECT_GT(rows, 40);
}

TEST(Bpsw, EverySmallNumberAgreesWithASieve) {
    constexpr u64 LIMIT = 300000;
    std::vector<bool> composite(LIMIT, false);
    composite[0] = composite[1] = true;
    for (u64 p = 2; p * p < LIMIT; ++p)
        if (!composite[p])
            for (u64 m = p * p; m < LIMIT; m += p) composite[m] = true;
    for (u64 n = 0; n < LIMIT; ++n) ASSERT_EQ(IsBpswProbablePrime(&n, 1), !composite[n]) << n;
}

TEST(Bpsw, RandomNumbersAgreeWithGmp) {
    gmp_randstate_t rng;
    gmp_randinit_mt(rng);
    gmp_randseed_ui(rng, 1616);
    mpz_t n, p, q;
    mpz_inits(n, p, q, nullptr);
    for (int i = 0; i < 200; ++i) {
        const unsigned long bits = 2 + static_cast<unsigned long>(i * 5 % 1615);
        mpz_urandomb(n, rng, bits);
        switch (i % 4) {
        case 0: mpz_nextprime(n, n); break;                  // a prime
        case 1: mpz_setbit(n, 0); break;                     // a random odd number
        case 2:                                              // a product of two primes
            mpz_urandomb(p, rng, bits / 2 + 1);
            mpz_nextprime(p, p);
            mpz_nextprime(q, p);
            mpz_mul(n, p, q);
            break;
        default:                                             // a square of a prime
            mpz_urandomb(p, rng, bits / 2 + 1);
            mpz_nextprime(p, p);
            mpz_mul(n, p, p);
        }
        if (mpz_sizeinbase(n, 2) > 1616) continue;
        const std::vector<u64> w = Words(n);
        const bool expected = mpz_probab_prime_p(n, 25) != 0;
        ASSERT_EQ(IsBpswProbablePrime(w.data(), static_cast<int>(w.size())), expected) << gmp::Text(n);
        ASSERT_EQ(IsBpswProbablePrime(gmp::ToBig(n)), expected) << gmp::Text(n);
    }
    mpz_clears(n, p, q, nullptr);
    gmp_randclear(rng);
}

TEST(Bpsw, NegativeAndInvalidValuesAreNotPrime) {
    BigInt invalid(7);
    invalid.SetStatus(1);
    for (const BigInt& v : {BigInt(-7), BigInt(0), BigInt(1), invalid}) EXPECT_FALSE(IsBpswProbablePrime(v));
}

}  // namespace
