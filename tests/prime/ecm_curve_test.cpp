// The x-only Montgomery-curve arithmetic against an affine GMP model of the
// same curve (the Weierstrass additions of bench/gmp_prime.h, with y,
// slopes and inverses), Suyama's curves against their formulas, and the
// inverse and gcd on residues.

#include "prime/ecm_curve.h"

#include <gmp.h>
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "bench/gmp_prime.h"

namespace {

using gmp::Mpz;
using kw::u64;
using kw::WORDS;

// A prime of exactly `bits` bits.
Mpz RandomPrime(int bits, gmp_randstate_t rng) {
    Mpz p;
    do {
        mpz_urandomb(p, rng, static_cast<mp_bitcnt_t>(bits));
        mpz_setbit(p, static_cast<mp_bitcnt_t>(bits - 1));
        mpz_nextprime(p, p);
    } while (p.Bits() != static_cast<size_t>(bits));
    return p;
}

// The modulus of a test: GMP's value and our field on it.
struct Field {
    Mpz p;
    int n;
    kw::Montgomery mont;
    explicit Field(const Mpz& modulus) : p(modulus), n(static_cast<int>(mpz_size(modulus))) {
        u64 w[WORDS];
        p.ToWords(w, WORDS);
        mont = kw::Montgomery(w, n);
    }
    void Residue(u64* r, const mpz_t v) const {
        Mpz t;
        u64 w[WORDS];
        mpz_mod(t, v, p);
        t.ToWords(w, WORDS);
        mont.To(r, w, n);
    }
    Mpz Plain(const u64* r) const {
        u64 w[WORDS];
        mont.From(w, r);
        return Mpz::Words(w, n);
    }
    /// num / den mod p.
    Mpz Frac(const mpz_t num, const mpz_t den) const {
        Mpz r;
        EXPECT_NE(mpz_invert(r, den, p), 0);
        mpz_mul(r, r, num);
        mpz_mod(r, r, p);
        return r;
    }
    /// x of our point as a plain residue, or "inf" for Z = 0.
    std::string X(const EcmPoint& q) const {
        const Mpz z = Plain(q.z);
        return mpz_sgn(z) == 0 ? "inf" : gmp::Text(Frac(Plain(q.x), z));
    }
};

// A random curve B y^2 = x^3 + A x^2 + x through (x0, 1) (B chosen so), and
// its model v^2 = u^3 + a u + b with x = B u - A / 3, y = B v.
struct RandomCurve {
    const Field& f;
    Mpz A, B, a, shift;     // shift = A / 3
    gmpref::Point start;    // (x0, 1) on the model
    u64 a24[WORDS];         // (A + 2) / 4
    EcmPoint point;         // (x0, 1), Z = 1
    RandomCurve(const Field& field, gmp_randstate_t rng) : f(field) {
        Mpz x0, t;
        mpz_urandomm(A, rng, f.p);
        mpz_urandomm(x0, rng, f.p);
        mpz_add(B, x0, A), mpz_mul(B, B, x0), mpz_add_ui(B, B, 1), mpz_mul(B, B, x0), mpz_mod(B, B, f.p);
        shift = f.Frac(A, Mpz(3));
        mpz_add(t, x0, shift);
        start.x = f.Frac(t, B);
        start.y = f.Frac(Mpz(1), B);
        mpz_mul(t, A, A), mpz_ui_sub(t, 3, t);
        mpz_mul(a, B, B), mpz_mul_ui(a, a, 3);
        a = f.Frac(t, a);
        mpz_add_ui(t, A, 2);
        f.Residue(a24, f.Frac(t, Mpz(4)));
        f.Residue(point.x, x0);
        kw::Copy(point.z, f.mont.One(), f.n);
    }
    /// x of k (x0, 1) by the model's double and add, or "inf".
    std::string X(const mpz_t k) const {
        gmpref::Point acc, t;
        acc.infinity = true;
        auto add = [&](const gmpref::Point& q) {
            gmpref::AddPoints(t, acc, q, a, f.p);
            mpz_mod(t.x, t.x, f.p), mpz_mod(t.y, t.y, f.p);
            acc.Set(t);
        };
        for (long bit = static_cast<long>(mpz_sizeinbase(k, 2)) - 1; bit >= 0 && mpz_sgn(k) != 0; --bit) {
            add(acc);
            if (mpz_tstbit(k, static_cast<mp_bitcnt_t>(bit))) add(start);
        }
        if (acc.infinity) return "inf";
        mpz_mul(t.x, acc.x, B), mpz_sub(t.x, t.x, shift), mpz_mod(t.x, t.x, f.p);
        return gmp::Text(t.x);
    }
    std::string X(u64 k) const { return X(gmp::Parse(std::to_string(k))); }
};

// Every operation on random curves modulo primes of one to 26 words, the
// top of the range included.
TEST(EcmCurveArithmetic, AgreesWithTheAffineModel) {
    gmp_randstate_t rng;
    gmp_randinit_mt(rng);
    gmp_randseed_ui(rng, 1414);
    for (int bits : {20, 64, 65, 127, 192, 521, 1024, 1600, 1616}) {
        const Field f(RandomPrime(bits, rng));
        for (int trial = 0; trial < 3; ++trial) {
            SCOPED_TRACE("bits " + std::to_string(bits) + ", curve " + std::to_string(trial));
            const RandomCurve c(f, rng);
            const EcmCurve curve(f.mont, c.a24);
            EcmPoint two, three, five, eight, r, next;
            curve.Double(two, c.point);
            EXPECT_EQ(f.X(two), c.X(2)) << "2P";
            curve.Add(three, two, c.point, c.point);
            EXPECT_EQ(f.X(three), c.X(3)) << "2P + P";
            curve.Add(five, three, two, c.point);
            EXPECT_EQ(f.X(five), c.X(5)) << "3P + 2P";
            curve.Add(eight, five, three, two);
            EXPECT_EQ(f.X(eight), c.X(8)) << "5P + 3P, difference 2P";
            // The result may overwrite the difference, or either term.
            r = two;
            curve.Add(r, five, three, r);
            EXPECT_EQ(f.X(r), c.X(8)) << "into the difference";
            r = five;
            curve.Add(r, r, three, two);
            EXPECT_EQ(f.X(r), c.X(8)) << "into the first term";
            r = c.point;
            curve.Double(r, r);
            EXPECT_EQ(f.X(r), c.X(2)) << "doubling in place";
            // The ladder, with (k + 1) P beside k P.
            for (int kbits : {0, 1, 2, 3, 17, 64, 65, 200}) {
                Mpz k;
                if (kbits > 0) mpz_urandomb(k, rng, static_cast<mp_bitcnt_t>(kbits)), mpz_setbit(k, static_cast<mp_bitcnt_t>(kbits - 1));
                u64 words[4];
                k.ToWords(words, 4);
                curve.Multiply(r, c.point, words, 4, &next);
                EXPECT_EQ(f.X(r), c.X(k)) << "k = " << gmp::Text(k);
                mpz_add_ui(k, k, 1);
                EXPECT_EQ(f.X(next), c.X(k)) << "k + 1 = " << gmp::Text(k);
            }
            // Lucas chains for primes, small and large.
            for (u64 q : {3ull, 5ull, 7ull, 11ull, 13ull, 101ull, 1009ull, 65537ull, 2147483647ull, 1000000007ull, 2305843009213693951ull}) {
                std::vector<uint8_t> chain;
                EcmAppendChain(q, 10, chain);
                ASSERT_EQ(chain.back(), ECM_CHAIN_END);
                r = c.point;
                EXPECT_EQ(curve.RunChain(r, chain.data()), chain.data() + chain.size()) << q;
                EXPECT_EQ(f.X(r), c.X(q)) << "chain for " << q;
            }
        }
    }
    gmp_randclear(rng);
}

// Every try of the chain maker gives a correct chain, for every odd prime
// below 7000 (on one curve modulo a 61-bit prime), and these chains use
// every rule (rule 8 first for 6151) and the swap; the chains of the primes
// up to 50000 cost under 9 multiplications per bit (a ladder: 10).
TEST(EcmCurveArithmetic, ChainsForEveryMultiplier) {
    const Field f(gmp::Parse("2^61-1"));
    gmp_randstate_t rng;
    gmp_randinit_mt(rng);
    gmp_randseed_ui(rng, 77);
    const RandomCurve c(f, rng);
    gmp_randclear(rng);
    const EcmCurve curve(f.mont, c.a24);
    std::vector<bool> used(2 * ECM_CHAIN_SWAP, false);
    double cost = 0, bits = 0;
    for (Mpz prime(3L); mpz_cmp_ui(prime, 50000) < 0; mpz_nextprime(prime, prime)) {
        const u64 q = mpz_get_ui(prime);
        std::vector<uint8_t> chain;
        cost += EcmAppendChain(q, 10, chain);
        bits += std::log2(static_cast<double>(q));
        if (q > 7000) continue;
        const std::string want = c.X(q);
        for (int tries = 1; tries <= 10; ++tries) {
            chain.clear();
            EcmAppendChain(q, tries, chain);
            for (uint8_t code : chain) used[code] = true;
            EcmPoint r = c.point;
            curve.RunChain(r, chain.data());
            ASSERT_EQ(f.X(r), want) << q << " with " << tries << " tries";
        }
    }
    for (uint8_t rule = 1; rule <= 8; ++rule) EXPECT_TRUE(used[rule] || used[rule | ECM_CHAIN_SWAP]) << "rule " << int(rule);
    EXPECT_TRUE(used[1 | ECM_CHAIN_SWAP]);
    EXPECT_LT(cost / bits, 9.0);
}

// Suyama's curve of sigma: a24 and x0 against the formulas in GMP, or the
// gcd of n and the denominator.
TEST(EcmCurveArithmetic, SuyamaCurves) {
    for (const char* modulus : {"1000000007", "2^61-1", "2^127-1",
                                "115792089237316195423570985008687907853269984665640564039457584007908834671663"}) {
        const Field f(gmp::Parse(modulus));
        for (u64 sigma : {6ull, 7ull, 11ull, 12345ull, 9223372036854775807ull, 18446744073709551615ull}) {
            SCOPED_TRACE(std::string(modulus) + ", sigma " + std::to_string(sigma));
            const Mpz s = gmp::Parse(std::to_string(sigma));
            Mpz u, v, u3, t, num, den;
            mpz_mul(u, s, s), mpz_sub_ui(u, u, 5);  // u = sigma^2 - 5
            mpz_mul_ui(v, s, 4);                    // v = 4 sigma
            mpz_pow_ui(u3, u, 3), mpz_pow_ui(t, v, 3);
            const Mpz x0 = f.Frac(u3, t);  // u^3 / v^3
            // a24 = (v - u)^3 (3u + v) / (16 u^3 v)
            mpz_sub(num, v, u), mpz_pow_ui(num, num, 3), mpz_mul_ui(t, u, 3), mpz_add(t, t, v), mpz_mul(num, num, t);
            mpz_mul(den, u3, v), mpz_mul_ui(den, den, 16);
            const EcmSuyamaCurve c = EcmCurveFromSigma(f.mont, sigma);
            ASSERT_TRUE(c.ok);
            EXPECT_EQ(f.X(c.start), gmp::Text(x0));
            EXPECT_EQ(gmp::Text(f.Plain(c.a24)), gmp::Text(f.Frac(num, den)));
        }
    }
    // A sigma whose denominator 16 u^3 v shares a prime with n gives that
    // prime's gcd instead of a curve.
    const struct { const char* n; u64 sigma; const char* gcd; } rows[] = {
        {"1000000016000000063", 1000000007, "1000000007"},  // p | v
        {"1000000016000000063", 1000000009, "1000000009"},
        {"1000000007", 1000000007, "1000000007"},  // the whole modulus
        {"15", 5, "5"},                            // u = 20 and v = 20, both = 0 mod 5
        {"33", 4, "11"},                           // u = 11
        {"2305843009213693951", 2305843009213693951ull, "2305843009213693951"},
    };
    for (const auto& row : rows) {
        const Field f(gmp::Parse(row.n));
        const EcmSuyamaCurve c = EcmCurveFromSigma(f.mont, row.sigma);
        EXPECT_FALSE(c.ok) << row.n;
        EXPECT_EQ(gmp::Text(Mpz::Words(c.gcd, c.gcdWords)), row.gcd) << row.n << " sigma " << row.sigma;
    }
}

// Inverses of random residues, and the gcd when there is none: a multiple
// of p gives p, zero gives n.
TEST(EcmCurveArithmetic, InverseAndGcd) {
    gmp_randstate_t rng;
    gmp_randinit_mt(rng);
    gmp_randseed_ui(rng, 99);
    for (int bits : {30, 64, 200, 1616}) {
        const Mpz p = RandomPrime(bits / 2 + 1, rng);
        Mpz n = RandomPrime(bits / 2 + 1, rng), a, want;
        mpz_mul(n, n, p);
        const Field f(n);
        SCOPED_TRACE("bits " + std::to_string(bits));
        u64 r[WORDS], ra[WORDS], gw[WORDS + 1];
        int gn = 0;
        for (int trial = 0; trial < 21; ++trial) {
            mpz_urandomm(a, rng, n);
            if (trial == 20) mpz_set_ui(a, 0);
            f.Residue(ra, a);
            const bool invertible = mpz_invert(want, a, n) != 0;
            ASSERT_EQ(EcmInvert(f.mont, r, ra, gw, &gn), invertible);
            if (invertible) { EXPECT_EQ(gmp::Text(f.Plain(r)), gmp::Text(want)); }
            if (trial < 20) mpz_mul(a, a, p), mpz_mod(a, a, n);  // no inverse
            if (trial < 20 && mpz_sgn(a) == 0) continue;
            f.Residue(ra, a);
            const std::string gcd = gmp::Text(trial == 20 ? n : p);
            ASSERT_FALSE(EcmInvert(f.mont, r, ra, gw, &gn));
            EXPECT_EQ(gmp::Text(Mpz::Words(gw, gn)), gcd);
            gn = EcmGcd(f.mont, ra, gw);
            EXPECT_EQ(gmp::Text(Mpz::Words(gw, gn)), gcd);
        }
    }
    gmp_randclear(rng);
}

}  // namespace
