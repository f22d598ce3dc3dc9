// The modular kernels against GMP for every word count, odd and even moduli.

#include <gmp.h>
#include <gtest/gtest.h>

#include "bigint/montgomery.h"
#include "tests/support/gmp.h"

namespace {

using gmp::Mpz;
using kw::u64;
using kw::WORDS;

// A modulus of 1 + i % WORDS words (at least 2): random below the full width,
// or all ones (carries through every word) when `ones`; even when `even`.
Mpz Modulus(gmp_randstate_t rng, int i, bool ones, bool even, bool fullWidth) {
    const unsigned long bits = 64ul * static_cast<unsigned long>(1 + i % WORDS) - (fullWidth ? 0 : gmp_urandomm_ui(rng, 64));
    Mpz m;
    mpz_urandomb(m, rng, bits);
    if (ones) mpz_set_ui(m, 0), mpz_setbit(m, bits), mpz_sub_ui(m, m, 1);
    mpz_setbit(m, bits - 1);
    if (even) mpz_clrbit(m, 0);
    if (mpz_cmp_ui(m, 2) < 0) mpz_set_ui(m, even ? 2 : 3);
    return m;
}

TEST(Montgomery, EveryOperationAgreesWithGmp) {
    gmp_randstate_t rng;
    gmp_randinit_mt(rng);
    gmp_randseed_ui(rng, 2026);
    Mpz a, b, e, want;
    for (int i = 0; i < 3000; ++i) {
        const Mpz m = Modulus(rng, i, i % 7 == 0, i % 2 == 0, false);
        mpz_urandomm(a, rng, m);
        if (i % 11 == 0) mpz_sub_ui(a, m, 1);  // the largest residue
        mpz_urandomm(b, rng, m);
        mpz_urandomb(e, rng, 1 + gmp_urandomm_ui(rng, 300));
        if (mpz_sgn(e) == 0) mpz_set_ui(e, 1);
        u64 mw[WORDS], aw[WORDS], bw[WORDS], ew[WORDS], x[WORDS], y[WORDS], r[WORDS], plain[WORDS];
        m.ToWords(mw, WORDS), a.ToWords(aw, WORDS), b.ToWords(bw, WORDS), e.ToWords(ew, WORDS);
        const int n = static_cast<int>((m.Bits() + 63) / 64);
        const kw::Montgomery mont(mw, n);
        mont.To(x, aw, n);
        mont.To(y, bw, n);
        auto same = [&](const char* op) {
            mont.From(plain, r);
            mpz_mod(want, want, m);
            return ::testing::AssertionResult(mpz_cmp(Mpz::Words(plain, n), want) == 0)
                   << op << " modulo 0x" << gmp::Text(m, 16) << ", a = 0x" << gmp::Text(a, 16);
        };
        mont.Mul(r, x, y), mpz_mul(want, a, b);
        ASSERT_TRUE(same("mul"));
        mont.Sqr(r, x), mpz_mul(want, a, a);
        ASSERT_TRUE(same("sqr"));
        mont.Add(r, x, y), mpz_add(want, a, b);
        ASSERT_TRUE(same("add"));
        mont.Sub(r, x, y), mpz_sub(want, a, b);
        ASSERT_TRUE(same("sub"));
        mont.Pow(r, x, ew, static_cast<int>(e.Bits())), mpz_powm(want, a, e, m);
        ASSERT_TRUE(same("pow"));
    }
    gmp_randclear(rng);
}

// Sums of up to 70 products accumulated at double width, reduced once: the
// residue of the sum (divided by R = 2^(64 n) in Montgomery form).
TEST(Montgomery, LazySumsOfProductsAgreeWithGmp) {
    gmp_randstate_t rng;
    gmp_randinit_mt(rng);
    gmp_randseed_ui(rng, 1987);
    Mpz a, b, sum, want;
    for (int i = 0; i < 600; ++i) {
        // All ones: the sum reaches 70 m^2, the longest tail.
        const Mpz m = Modulus(rng, i, i % 3 == 0, i % 5 == 4, i % 3 == 0);
        const int n = static_cast<int>((m.Bits() + 63) / 64);
        u64 mw[WORDS], aw[WORDS], bw[WORDS], r[WORDS], t[kw::WORDS2 + 1] = {};
        m.ToWords(mw, WORDS);
        const kw::Montgomery mont(mw, n);
        const int count = 1 + static_cast<int>(gmp_urandomm_ui(rng, 70));
        mpz_set_ui(sum, 0);
        for (int j = 0; j < count; ++j) {
            mpz_urandomm(a, rng, m);
            mpz_urandomm(b, rng, m);
            if ((i + j) % 4 == 0) mpz_sub_ui(a, m, 1), mpz_sub_ui(b, m, 1);  // the largest residues
            a.ToWords(aw, WORDS), b.ToWords(bw, WORDS);
            mont.AddMulWide(t, aw, bw);
            mpz_addmul(sum, a, b);
        }
        ASSERT_EQ(mpz_cmp(Mpz::Words(t, mont.WideSize()), sum), 0) << count << " products modulo 0x" << gmp::Text(m, 16);
        mont.Reduce(r, t);
        mpz_set(want, sum);
        if (mont.IsMontgomery()) {
            Mpz R = gmp::Pow2(64u * static_cast<unsigned>(n));
            mpz_invert(R, R, m);
            mpz_mul(want, want, R);
        }
        mpz_mod(want, want, m);
        ASSERT_EQ(mpz_cmp(Mpz::Words(r, n), want), 0) << count << " products modulo 0x" << gmp::Text(m, 16);
    }
    gmp_randclear(rng);
}

}  // namespace
