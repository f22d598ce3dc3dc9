// The word kernels behind BigInt (words.h, word_algorithms.h, montgomery.h)
// against GMP on operands shaped so that carries, borrows, saturated
// quotient estimates and their rare corrections happen: runs of all-ones
// and all-zero words, single bits, 0x7FFF... and 0x8000... words.

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "bigint/montgomery.h"
#include "bigint/word_algorithms.h"
#include "tests/support/gmp.h"

namespace {

using gmp::Mpz;
using kw::u64;
using kw::WORDS;
using kw::WORDS2;
using Words = std::vector<u64>;

/// n words of one shape, the top word non-zero.
Words Shaped(std::mt19937_64& rng, int n) {
    Words w(static_cast<size_t>(n));
    const int shape = static_cast<int>(rng() % 6);
    for (u64& x : w) {
        switch (shape) {
            case 0: x = ~u64{0}; break;
            case 1: x = rng() % 3 == 0 ? ~u64{0} : 0; break;
            case 2: x = u64{1} << (rng() % 64); break;
            case 3: x = rng() % 2 ? 0x8000000000000000u : 0x7FFFFFFFFFFFFFFFu; break;
            default: x = rng();
        }
    }
    if (n > 0 && w.back() == 0) w.back() = 1 + (rng() % 3 == 0 ? ~u64{0} - 1 : rng() >> 1);
    return w;
}

Mpz Z(const Words& w) { return Mpz::Words(w.data(), static_cast<int>(w.size())); }
Mpz Z(const u64* w, int n) { return Mpz::Words(w, n); }
std::string Hex(const Mpz& v) { return gmp::Text(v, 16); }
int Size(const Words& w) { return static_cast<int>(w.size()); }

TEST(Words, ProductsAndDivisionsAgreeWithGmp) {
    std::mt19937_64 rng(1616);
    for (int it = 0; it < 20000; ++it) {
        const int an = 1 + static_cast<int>(rng() % WORDS), bn = 1 + static_cast<int>(rng() % an);
        Words a = Shaped(rng, an), b = Shaped(rng, bn);
        u64 p[WORDS2];
        Mpz want;
        mpz_mul(want, Z(a), Z(b));
        kw::Mul(p, a.data(), an, b.data(), bn);
        ASSERT_EQ(Hex(Z(p, an + bn)), Hex(want)) << Hex(Z(a)) << " * " << Hex(Z(b));
        mpz_mul(want, Z(a), Z(a));
        kw::Sqr(p, a.data(), an);
        ASSERT_EQ(Hex(Z(p, 2 * an)), Hex(want)) << Hex(Z(a)) << "^2";

        // A dividend up to twice as long; sometimes with the divisor's top
        // words on top, so the quotient estimate saturates.
        Words u = Shaped(rng, bn + static_cast<int>(rng() % (WORDS2 - bn - 1)));
        if (rng() % 4 == 0) {
            for (int i = 0; i < bn; ++i) u[u.size() - 1 - static_cast<size_t>(i)] = b[static_cast<size_t>(bn - 1 - i)];
        }
        u64 q[WORDS2], r[WORDS2];
        kw::DivRem(q, r, u.data(), Size(u), b.data(), bn);
        Mpz wq, wr;
        mpz_tdiv_qr(wq, wr, Z(u), Z(b));
        ASSERT_EQ(Hex(Z(q, Size(u) - bn + 1)), Hex(wq)) << Hex(Z(u)) << " / " << Hex(Z(b));
        ASSERT_EQ(Hex(Z(r, bn)), Hex(wr)) << Hex(Z(u)) << " % " << Hex(Z(b));
        const u64 d = it % 5 == 0 ? b[0] | 1 : b.back();
        const u64 r1 = kw::DivRem1(q, a.data(), an, d);
        ASSERT_EQ(r1, mpz_tdiv_q_ui(wq, Z(a), d)) << Hex(Z(a)) << " % " << d;
        ASSERT_EQ(Hex(Z(q, an)), Hex(wq)) << Hex(Z(a)) << " / " << d;
    }
}

TEST(Words, SquareRootModularPowerAndGcdAgreeWithGmp) {
    std::mt19937_64 rng(808);
    for (int it = 0; it < 4000; ++it) {
        const int n = 1 + static_cast<int>(rng() % WORDS);
        Words a = Shaped(rng, n);
        if (it % 3 == 0) {  // a perfect square, or one off it
            Words h = Shaped(rng, (n + 1) / 2);
            Mpz s;
            mpz_mul(s, Z(h), Z(h));
            if (it % 2) mpz_add_ui(s, s, 1);
            a.assign(2 * h.size(), 0);
            s.ToWords(a.data(), Size(a));
        }
        u64 r[WORDS2] = {};
        Mpz want;
        mpz_sqrt(want, Z(a));
        ASSERT_EQ(Hex(Z(r, kw::ISqrt(r, a.data(), kw::Norm(a.data(), Size(a))))), Hex(want)) << Hex(Z(a));

        // a^e mod m, odd (Montgomery) and even moduli.
        Words m = Shaped(rng, 1 + static_cast<int>(rng() % (WORDS / 2)));
        if (it % 2) m[0] |= 1;
        if (m.size() == 1 && m[0] < 2) m[0] = 3;
        const Words e = Shaped(rng, static_cast<int>(rng() % 14));
        Mpz base;
        mpz_mod(base, Z(a), Z(m));
        u64 bw[WORDS] = {};
        base.ToWords(bw, WORDS);
        mpz_powm(want, base, Z(e), Z(m));
        const int pn = kw::ModPow(r, bw, kw::Norm(bw, WORDS), e.data(), kw::Norm(e.data(), Size(e)), m.data(), Size(m));
        ASSERT_EQ(Hex(Z(r, pn)), Hex(want)) << Hex(base) << "^" << Hex(Z(e)) << " mod " << Hex(Z(m));

        // gcd(a, b) for a >= b > 0, often with a large common factor.
        Words b = Shaped(rng, n);
        Mpz x = Z(a), y = Z(b);
        if (it % 3 == 1) {
            const Mpz f = Z(Shaped(rng, 1 + static_cast<int>(rng() % 4)));
            mpz_mul(x, x, f), mpz_mul(y, y, f);
            mpz_tdiv_r_2exp(x, x, 64 * WORDS - 64), mpz_tdiv_r_2exp(y, y, 64 * WORDS - 64);
        }
        if (mpz_cmp(x, y) < 0) mpz_swap(x, y);
        if (mpz_sgn(y) == 0) continue;
        u64 xw[WORDS], yw[WORDS], g[WORDS + 1];
        x.ToWords(xw, WORDS), y.ToWords(yw, WORDS);
        mpz_gcd(want, x, y);
        const int gn = kw::Gcd(g, xw, kw::Norm(xw, WORDS), yw, kw::Norm(yw, WORDS));
        ASSERT_EQ(Hex(Z(g, gn)), Hex(want)) << "gcd(" << Hex(x) << ", " << Hex(y) << ")";
    }
}

TEST(Words, GcdExtCofactorIsTheInverse) {
    std::mt19937_64 rng(1577);
    for (int it = 0; it < 4000; ++it) {
        const int n = 1 + static_cast<int>(rng() % (WORDS - 1));
        const Mpz m = Z(Shaped(rng, n)), x = Z(Shaped(rng, n));
        Mpz rem, g, c, check;
        mpz_tdiv_r(rem, x, m);
        if (mpz_sgn(rem) == 0) continue;
        u64 mw[WORDS], rw[WORDS], gw[WORDS + 1], cw[WORDS + 2];
        m.ToWords(mw, WORDS), rem.ToWords(rw, WORDS);
        int cn = 0;
        bool negative = false;
        const int gn = kw::GcdExt(gw, cw, &cn, &negative, mw, n, rw, kw::Norm(rw, WORDS));
        mpz_gcd(g, m, rem);
        ASSERT_EQ(Hex(Z(gw, gn)), Hex(g)) << Hex(m) << " " << Hex(rem);
        // c x = g (mod m) with |c| <= m / (2 g), as the remainder sequence guarantees.
        c = Z(cw, cn);
        if (negative) mpz_neg(c, c);
        mpz_mul(check, c, x);
        mpz_sub(check, check, g);
        ASSERT_TRUE(mpz_divisible_p(check, m)) << "m " << Hex(m) << " x " << Hex(x) << " c " << Hex(c);
        mpz_abs(check, c);
        mpz_mul_2exp(check, check, 1);
        mpz_mul(check, check, g);
        ASSERT_LE(mpz_cmp(check, m), 0) << "m " << Hex(m) << " x " << Hex(x) << " c " << Hex(c);
    }
}

TEST(Words, MontgomeryAgreesWithGmpForEveryWordCount) {
    std::mt19937_64 rng(2026);
    for (int it = 0; it < 3000; ++it) {
        const int n = 1 + it % WORDS;
        Words mw = Shaped(rng, n);
        if (it % 7 == 0) mw.assign(static_cast<size_t>(n), ~u64{0});  // carries through every word
        if (it % 2 == 0) mw[0] &= ~u64{1};                             // even moduli keep plain residues
        if (n == 1 && mw[0] < 2) mw[0] = 2;
        const Mpz m = Z(mw);
        Mpz a, b, e = Z(Shaped(rng, 1 + static_cast<int>(rng() % 5)));
        mpz_tdiv_r(a, Z(Shaped(rng, n)), m);
        if (it % 11 == 0) mpz_sub_ui(a, m, 1);  // the largest residue
        mpz_tdiv_r(b, Z(Shaped(rng, n)), m);
        u64 aw[WORDS], bw[WORDS], ew[WORDS], x[WORDS], y[WORDS], r[WORDS], plain[WORDS];
        a.ToWords(aw, WORDS), b.ToWords(bw, WORDS), e.ToWords(ew, WORDS);
        const kw::Montgomery mont(mw.data(), n);
        mont.To(x, aw, n);
        mont.To(y, bw, n);
        for (const char* op : {"mul", "sqr", "add", "sub", "pow"}) {
            const std::string o = op;
            Mpz want;
            if (o == "mul") mont.Mul(r, x, y), mpz_mul(want, a, b);
            if (o == "sqr") mont.Sqr(r, x), mpz_mul(want, a, a);
            if (o == "add") mont.Add(r, x, y), mpz_add(want, a, b);
            if (o == "sub") mont.Sub(r, x, y), mpz_sub(want, a, b);
            if (o == "pow") mont.Pow(r, x, ew, static_cast<int>(e.Bits())), mpz_powm(want, a, e, m);
            mpz_mod(want, want, m);
            mont.From(plain, r);
            ASSERT_EQ(Hex(Z(plain, n)), Hex(want)) << op << " modulo " << Hex(m) << ", a = " << Hex(a);
        }
    }
}

}  // namespace
