// The modular kernels against GMP for every word count, odd and even moduli.

#include <gmp.h>
#include <gtest/gtest.h>

#include "bigint/montgomery.h"
#include "tests/support/gmp.h"

namespace {

using gmp::Mpz;
using kw::u64;
using kw::WORDS;

Mpz FromWords(const u64* w, int n) { return Mpz::Words(w, n); }
void ToWords(const Mpz& v, u64* w) { v.ToWords(w, WORDS); }

TEST(Montgomery, EveryOperationAgreesWithGmp) {
    gmp_randstate_t rng;
    gmp_randinit_mt(rng);
    gmp_randseed_ui(rng, 2026);
    Mpz m, a, b, e, want, got;
    for (int i = 0; i < 3000; ++i) {
        const int words = 1 + i % WORDS;
        const unsigned long bits = 64ul * static_cast<unsigned long>(words) - gmp_urandomm_ui(rng, 64);
        mpz_urandomb(m, rng, bits);
        if (i % 7 == 0) {  // all ones: carries through every word
            mpz_set_ui(m, 0);
            mpz_setbit(m, bits);
            mpz_sub_ui(m, m, 1);
        }
        mpz_setbit(m, bits - 1);
        if (i % 2 == 0) mpz_clrbit(m, 0);  // even moduli keep plain residues
        if (mpz_cmp_ui(m, 2) < 0) mpz_set_ui(m, 2);
        mpz_urandomm(a, rng, m);
        if (i % 11 == 0) mpz_sub_ui(a, m, 1);  // the largest residue
        mpz_urandomm(b, rng, m);
        mpz_urandomb(e, rng, 1 + gmp_urandomm_ui(rng, 300));
        if (mpz_sgn(e) == 0) mpz_set_ui(e, 1);

        u64 mw[WORDS], aw[WORDS], bw[WORDS], ew[WORDS], x[WORDS], y[WORDS], r[WORDS], plain[WORDS];
        ToWords(m, mw);
        ToWords(a, aw);
        ToWords(b, bw);
        ToWords(e, ew);
        const int n = static_cast<int>((mpz_sizeinbase(m, 2) + 63) / 64);
        const kw::Montgomery mont(mw, n);
        mont.To(x, aw, n);
        mont.To(y, bw, n);
        const struct {
            const char* op;
            void (*gmp)(mpz_ptr, mpz_srcptr, mpz_srcptr, mpz_srcptr, mpz_srcptr);
        } rows[] = {
            {"mul", [](mpz_ptr w, mpz_srcptr p, mpz_srcptr q, mpz_srcptr, mpz_srcptr) { mpz_mul(w, p, q); }},
            {"sqr", [](mpz_ptr w, mpz_srcptr p, mpz_srcptr, mpz_srcptr, mpz_srcptr) { mpz_mul(w, p, p); }},
            {"add", [](mpz_ptr w, mpz_srcptr p, mpz_srcptr q, mpz_srcptr, mpz_srcptr) { mpz_add(w, p, q); }},
            {"sub", [](mpz_ptr w, mpz_srcptr p, mpz_srcptr q, mpz_srcptr, mpz_srcptr) { mpz_sub(w, p, q); }},
            {"pow", [](mpz_ptr w, mpz_srcptr p, mpz_srcptr, mpz_srcptr ex, mpz_srcptr mod) { mpz_powm(w, p, ex, mod); }},
        };
        for (const auto& row : rows) {
            const std::string op = row.op;
            if (op == "mul") mont.Mul(r, x, y);
            if (op == "sqr") mont.Sqr(r, x);
            if (op == "add") mont.Add(r, x, y);
            if (op == "sub") mont.Sub(r, x, y);
            if (op == "pow") mont.Pow(r, x, ew, static_cast<int>(mpz_sizeinbase(e, 2)));
            mont.From(plain, r);
            row.gmp(want, a, b, e, m);
            mpz_mod(want, want, m);
            got = FromWords(plain, n);
            ASSERT_EQ(mpz_cmp(got, want), 0) << op << " modulo 0x" << gmp::Text(m, 16) << ", a = 0x" << gmp::Text(a, 16);
        }
    }
    gmp_randclear(rng);
}

// Sums of up to 70 products accumulated at double width, reduced once: the
// residue of the sum, whatever the word count, parity or fullness of m.
TEST(Montgomery, LazySumsOfProductsAgreeWithGmp) {
    gmp_randstate_t rng;
    gmp_randinit_mt(rng);
    gmp_randseed_ui(rng, 1987);
    Mpz m, a, b, sum, want, got, product;
    for (int i = 0; i < 600; ++i) {
        const int words = 1 + i % WORDS;
        const unsigned long bits = 64ul * static_cast<unsigned long>(words) - (i % 3 == 0 ? 0 : gmp_urandomm_ui(rng, 64));
        mpz_urandomb(m, rng, bits);
        if (i % 3 == 0) {  // all ones: the sum reaches 70 m^2, the longest tail
            mpz_set_ui(m, 0);
            mpz_setbit(m, bits);
            mpz_sub_ui(m, m, 1);
        }
        mpz_setbit(m, bits - 1);
        if (i % 5 == 4) mpz_clrbit(m, 0);
        if (mpz_cmp_ui(m, 2) < 0) mpz_set_ui(m, 3);
        const int n = static_cast<int>((mpz_sizeinbase(m, 2) + 63) / 64);
        u64 mw[WORDS], aw[WORDS], bw[WORDS], r[WORDS], plain[WORDS];
        ToWords(m, mw);
        const kw::Montgomery mont(mw, n);
        const int count = 1 + static_cast<int>(gmp_urandomm_ui(rng, 70));
        u64 t[kw::WORDS2 + 1] = {};
        mpz_set_ui(sum, 0);
        for (int j = 0; j < count; ++j) {
            mpz_urandomm(a, rng, m);
            mpz_urandomm(b, rng, m);
            if ((i + j) % 4 == 0) mpz_sub_ui(a, m, 1);  // the largest residues
            if ((i + j) % 4 == 0) mpz_sub_ui(b, m, 1);
            ToWords(a, aw);
            ToWords(b, bw);
            mont.AddMulWide(t, aw, bw);
            mpz_mul(product, a, b);
            mpz_add(sum, sum, product);
        }
        got = FromWords(t, mont.WideSize());
        ASSERT_EQ(mpz_cmp(got, sum), 0) << "accumulator, " << count << " products modulo 0x" << gmp::Text(m, 16);
        mont.Reduce(r, t);
        // Montgomery form divides by R = 2^(64 n); plain residues do not.
        mpz_set(want, sum);
        if (mont.IsMontgomery()) {
            Mpz R;
            mpz_setbit(R, 64ul * static_cast<unsigned long>(n));
            mpz_invert(R, R, m);
            mpz_mul(want, want, R);
        }
        mpz_mod(want, want, m);
        kw::Copy(plain, r, n);
        got = FromWords(plain, n);
        ASSERT_EQ(mpz_cmp(got, want), 0) << count << " products modulo 0x" << gmp::Text(m, 16);
    }
    gmp_randclear(rng);
}

}  // namespace
