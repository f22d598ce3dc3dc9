// The Montgomery kernels of the rho and p-1 walks against GMP, for every word count.

#include <gmp.h>
#include <gtest/gtest.h>

#include "prime/montgomery.h"
#include "tests/prime/gmp_reference.h"

namespace {

using gmpref::Mpz;

// Plain value of a Montgomery-form word array: x R^-1 mod n.
BigInt Plain(const MontgomeryModulus& m, const uint64_t* x) {
    MontgomeryModulus::Words one{1};
    MontgomeryModulus::Words r{};
    m.Mul(x, one, r);
    return MontgomeryModulus::ToBigInt(r);
}

TEST(Montgomery, ProductsSquaresSumsAndDifferencesAgreeWithGmp) {
    gmp_randstate_t rng;
    gmp_randinit_default(rng);
    gmp_randseed_ui(rng, 808);
    Mpz n, a, b, expected;
    for (int i = 0; i < 2600; ++i) {
        const unsigned long bits = 1 + static_cast<unsigned long>(i % 800);  // 1 .. 13 words
        mpz_urandomb(n.v, rng, bits);
        if (i % 7 == 0) {  // all ones: carries through every word
            mpz_set_ui(n.v, 0);
            mpz_setbit(n.v, bits);
            mpz_sub_ui(n.v, n.v, 1);
        }
        mpz_setbit(n.v, 0);
        if (mpz_cmp_ui(n.v, 3) < 0) mpz_set_ui(n.v, 3);
        mpz_urandomm(a.v, rng, n.v);
        mpz_urandomm(b.v, rng, n.v);
        if (i % 11 == 0) mpz_sub_ui(a.v, n.v, 1);  // n - 1, the largest residue
        const MontgomeryModulus m(n.Big());
        MontgomeryModulus::Words x{}, y{}, r{};
        m.FromBigInt(a.Big(), x);
        m.FromBigInt(b.Big(), y);

        m.Mul(x, y, r);
        mpz_mul(expected.v, a.v, b.v);
        mpz_mod(expected.v, expected.v, n.v);
        ASSERT_EQ(Plain(m, r), expected.Big()) << "product, n = " << gmpref::Decimal(n.v);

        m.Sqr(x, r);
        mpz_mul(expected.v, a.v, a.v);
        mpz_mod(expected.v, expected.v, n.v);
        ASSERT_EQ(Plain(m, r), expected.Big()) << "square, n = " << gmpref::Decimal(n.v);

        m.Add(x, y, r);
        mpz_add(expected.v, a.v, b.v);
        mpz_mod(expected.v, expected.v, n.v);
        ASSERT_EQ(Plain(m, r), expected.Big()) << "sum, n = " << gmpref::Decimal(n.v);

        m.Sub(x, y, r);
        mpz_sub(expected.v, a.v, b.v);
        mpz_mod(expected.v, expected.v, n.v);
        ASSERT_EQ(Plain(m, r), expected.Big()) << "difference, n = " << gmpref::Decimal(n.v);
    }
    gmp_randclear(rng);
}

}  // namespace
