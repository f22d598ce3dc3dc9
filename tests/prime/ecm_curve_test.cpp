// The x-only Montgomery-curve arithmetic against an affine GMP model of the
// same curve (with y, slopes and inverses), Suyama's curves against their
// formulas, and the inverse and gcd on residues.

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

void ToWords(const mpz_t v, u64* w, int n) {
    kw::Zero(w, n);
    mpz_export(w, nullptr, -1, sizeof(u64), 0, 0, v);
}

void FromWords(mpz_t v, const u64* w, int n) {
    mpz_import(v, static_cast<size_t>(n), -1, sizeof(u64), 0, 0, w);
}

// The modulus of a test: GMP's value and our field on it.
struct Field {
    Mpz p;
    int n = 0;
    kw::Montgomery mont;
    explicit Field(const mpz_t modulus) {
        mpz_set(p, modulus);
        n = static_cast<int>(mpz_size(modulus));
        u64 w[WORDS];
        ToWords(modulus, w, n);
        mont = kw::Montgomery(w, n);
    }
    void Residue(u64* r, const mpz_t v) const {
        u64 w[WORDS];
        Mpz t;
        mpz_mod(t, v, p);
        ToWords(t, w, n);
        mont.To(r, w, n);
    }
    void Plain(mpz_t v, const u64* r) const {
        u64 w[WORDS];
        mont.From(w, r);
        FromWords(v, w, n);
    }
};

// The affine model: B y^2 = x^3 + A x^2 + x modulo a prime p, on the
// affine points of the GMP reference.
using ModelPoint = gmpref::Point;

struct Model {
    mpz_srcptr p;
    Mpz a, b;

    void Reduce(mpz_t v) const { mpz_mod(v, v, p); }

    // r = s + t by slopes (the chord, or the tangent for s = t).
    void Add(ModelPoint& r, const ModelPoint& s, const ModelPoint& t) const {
        if (s.infinity) return r.Set(t);
        if (t.infinity) return r.Set(s);
        Mpz lambda, num, den, x3, y3;
        if (mpz_cmp(s.x, t.x) == 0) {
            mpz_add(num, s.y, t.y);
            Reduce(num);
            if (mpz_sgn(num) == 0) {
                r.infinity = true;
                return;
            }
            // (3x^2 + 2Ax + 1) / (2By)
            mpz_mul(num, s.x, s.x);
            mpz_mul_ui(num, num, 3);
            mpz_mul(den, a, s.x);
            mpz_addmul_ui(num, den, 2);
            mpz_add_ui(num, num, 1);
            mpz_mul(den, b, s.y);
            mpz_mul_ui(den, den, 2);
        } else {
            mpz_sub(num, t.y, s.y);
            mpz_sub(den, t.x, s.x);
        }
        Reduce(den);
        ASSERT_NE(mpz_invert(den, den, p), 0);
        mpz_mul(lambda, num, den);
        Reduce(lambda);
        // x3 = B lambda^2 - A - x1 - x2, y3 = lambda (x1 - x3) - y1
        mpz_mul(x3, lambda, lambda);
        mpz_mul(x3, x3, b);
        mpz_sub(x3, x3, a);
        mpz_sub(x3, x3, s.x);
        mpz_sub(x3, x3, t.x);
        Reduce(x3);
        mpz_sub(y3, s.x, x3);
        mpz_mul(y3, y3, lambda);
        mpz_sub(y3, y3, s.y);
        Reduce(y3);
        r.infinity = false;
        mpz_set(r.x, x3);
        mpz_set(r.y, y3);
    }

    // r = k s, double and add from the top bit.
    void Multiply(ModelPoint& r, const ModelPoint& s, const mpz_t k) const {
        ModelPoint acc;
        acc.infinity = true;
        for (long bit = static_cast<long>(mpz_sizeinbase(k, 2)) - 1; bit >= 0 && mpz_sgn(k) != 0;
             --bit) {
            Add(acc, acc, acc);
            if (mpz_tstbit(k, static_cast<mp_bitcnt_t>(bit))) Add(acc, acc, s);
        }
        r.Set(acc);
    }
};

// A random curve through a random point: A random, x random, B chosen so
// that (x, 1) lies on the curve.
struct RandomCurve {
    Model model;
    ModelPoint start;
    u64 a24[WORDS];
    EcmPoint point;  // the start point, Z = 1
    RandomCurve(const Field& f, gmp_randstate_t rng) : model{f.p, {}, {}} {
        mpz_urandomm(model.a, rng, f.p);
        mpz_urandomm(start.x, rng, f.p);
        mpz_set_ui(start.y, 1);
        // B = x^3 + A x^2 + x
        mpz_add(model.b, start.x, model.a);
        mpz_mul(model.b, model.b, start.x);
        mpz_add_ui(model.b, model.b, 1);
        mpz_mul(model.b, model.b, start.x);
        model.Reduce(model.b);
        // a24 = (A + 2) / 4
        Mpz t, four;
        mpz_add_ui(t, model.a, 2);
        mpz_set_ui(four, 4);
        mpz_invert(four, four, f.p);
        mpz_mul(t, t, four);
        f.Residue(a24, t);
        f.Residue(point.x, start.x);
        kw::Copy(point.z, f.mont.One(), f.n);
    }
};

// x of our point as a plain residue, or "inf" for Z = 0.
std::string OurX(const Field& f, const EcmPoint& q) {
    Mpz x, z;
    f.Plain(x, q.x);
    f.Plain(z, q.z);
    if (mpz_sgn(z) == 0) return "inf";
    if (mpz_invert(z, z, f.p) == 0) return "no inverse";
    mpz_mul(x, x, z);
    mpz_mod(x, x, f.p);
    return gmp::Text(x);
}

std::string ModelX(const ModelPoint& q) { return q.infinity ? "inf" : gmp::Text(q.x); }

// A prime of exactly `bits` bits.
void RandomPrime(mpz_t p, int bits, gmp_randstate_t rng) {
    do {
        mpz_urandomb(p, rng, static_cast<mp_bitcnt_t>(bits));
        mpz_setbit(p, static_cast<mp_bitcnt_t>(bits - 1));
        mpz_nextprime(p, p);
    } while (mpz_sizeinbase(p, 2) != static_cast<size_t>(bits));
}

void ModelMultiple(const Model& m, ModelPoint& r, const ModelPoint& s, unsigned long k) {
    Mpz kk;
    mpz_set_ui(kk, k);
    m.Multiply(r, s, kk);
}

// Every operation on random curves modulo primes of one to 26 words, the
// top of the range included.
TEST(EcmCurveArithmetic, AgreesWithTheAffineModel) {
    const int sizes[] = {20, 64, 65, 127, 192, 521, 1024, 1600, 1616};
    gmp_randstate_t rng;
    gmp_randinit_mt(rng);
    gmp_randseed_ui(rng, 1414);
    for (int bits : sizes) {
        Mpz p;
        RandomPrime(p, bits, rng);
        const Field f(p);
        for (int trial = 0; trial < 3; ++trial) {
            SCOPED_TRACE("bits " + std::to_string(bits) + ", curve " + std::to_string(trial));
            RandomCurve c(f, rng);
            const EcmCurve curve(f.mont, c.a24);
            ModelPoint want, p2, p3, p5;
            ModelMultiple(c.model, p2, c.start, 2);
            ModelMultiple(c.model, p3, c.start, 3);
            ModelMultiple(c.model, p5, c.start, 5);

            EcmPoint two, three, five, eight, r;
            curve.Double(two, c.point);
            EXPECT_EQ(OurX(f, two), ModelX(p2)) << "2P";
            curve.Add(three, two, c.point, c.point);
            EXPECT_EQ(OurX(f, three), ModelX(p3)) << "2P + P";
            curve.Add(five, three, two, c.point);
            EXPECT_EQ(OurX(f, five), ModelX(p5)) << "3P + 2P";
            curve.Add(eight, five, three, two);
            ModelMultiple(c.model, want, c.start, 8);
            EXPECT_EQ(OurX(f, eight), ModelX(want)) << "5P + 3P, difference 2P";
            // The result may overwrite the difference, or either term.
            r = two;
            curve.Add(r, five, three, r);
            EXPECT_EQ(OurX(f, r), ModelX(want)) << "into the difference";
            r = five;
            curve.Add(r, r, three, two);
            EXPECT_EQ(OurX(f, r), ModelX(want)) << "into the first term";
            r = c.point;
            curve.Double(r, r);
            EXPECT_EQ(OurX(f, r), ModelX(p2)) << "doubling in place";

            // The ladder, with (k + 1) P beside k P.
            for (int kbits : {1, 2, 3, 17, 64, 65, 200}) {
                Mpz k, k1;
                mpz_urandomb(k, rng, static_cast<mp_bitcnt_t>(kbits));
                mpz_setbit(k, static_cast<mp_bitcnt_t>(kbits - 1));
                u64 kw[8] = {};
                mpz_export(kw, nullptr, -1, sizeof(u64), 0, 0, k);
                EcmPoint next;
                curve.Multiply(r, c.point, kw, 4, &next);
                c.model.Multiply(want, c.start, k);
                EXPECT_EQ(OurX(f, r), ModelX(want)) << "k = " << gmp::Text(k);
                mpz_add_ui(k1, k, 1);
                c.model.Multiply(want, c.start, k1);
                EXPECT_EQ(OurX(f, next), ModelX(want)) << "k + 1 = " << gmp::Text(k1);
            }
            const u64 zero = 0;
            curve.Multiply(r, c.point, &zero, 1);
            EXPECT_EQ(OurX(f, r), "inf") << "0 P";

            // Lucas chains for primes, small and large.
            for (u64 q : std::vector<u64>{3, 5, 7, 11, 13, 101, 1009, 65537, 2147483647, 1000000007,
                                          2305843009213693951}) {
                std::vector<uint8_t> chain;
                EcmAppendChain(q, 10, chain);
                ASSERT_EQ(chain.back(), ECM_CHAIN_END);
                r = c.point;
                const uint8_t* after = curve.RunChain(r, chain.data());
                EXPECT_EQ(after, chain.data() + chain.size()) << q;
                ModelMultiple(c.model, want, c.start, q);
                EXPECT_EQ(OurX(f, r), ModelX(want)) << "chain for " << q;
            }
        }
    }
    gmp_randclear(rng);
}

// Every try of the chain maker gives a correct chain, for every odd prime
// below 7000 (on one curve modulo a 61-bit prime), and these chains use
// every rule (rule 8 first for 6151) and the swap; the chains of the primes up to 50000
// cost under 9 multiplications per bit (a ladder: 10).
TEST(EcmCurveArithmetic, ChainsForEveryMultiplier) {
    Mpz p("2305843009213693951");
    const Field f(p);
    gmp_randstate_t rng;
    gmp_randinit_mt(rng);
    gmp_randseed_ui(rng, 77);
    RandomCurve c(f, rng);
    const EcmCurve curve(f.mont, c.a24);
    ModelPoint want;
    Mpz q("3");
    std::vector<bool> used(2 * ECM_CHAIN_SWAP, false);
    for (; mpz_cmp_ui(q, 7000) < 0; mpz_nextprime(q, q)) {
        const unsigned long k = mpz_get_ui(q);
        c.model.Multiply(want, c.start, q);
        for (int tries = 1; tries <= 10; ++tries) {
            std::vector<uint8_t> chain;
            EcmAppendChain(k, tries, chain);
            for (uint8_t code : chain) used[code] = true;
            EcmPoint r = c.point;
            curve.RunChain(r, chain.data());
            ASSERT_EQ(OurX(f, r), ModelX(want)) << k << " with " << tries << " tries";
        }
    }
    for (uint8_t rule = 1; rule <= 8; ++rule)
        EXPECT_TRUE(used[rule] || used[rule | ECM_CHAIN_SWAP]) << "rule " << int(rule);
    EXPECT_TRUE(used[1 | ECM_CHAIN_SWAP]);
    double cost = 0, bits = 0;
    for (mpz_set_ui(q, 3); mpz_cmp_ui(q, 50000) < 0; mpz_nextprime(q, q)) {
        std::vector<uint8_t> chain;
        cost += EcmAppendChain(mpz_get_ui(q), 10, chain);
        bits += std::log2(mpz_get_d(q));
    }
    EXPECT_LT(cost / bits, 9.0);
    gmp_randclear(rng);
}

// Suyama's curve of sigma: a24 and x0 against the formulas in GMP.
TEST(EcmCurveArithmetic, SuyamaCurves) {
    const char* const moduli[] = {
        "1000000007", "2305843009213693951",
        "170141183460469231731687303715884105727",  // 2^127 - 1
        "115792089237316195423570985008687907853269984665640564039457584007908834671663"};
    const u64 sigmas[] = {6, 7, 11, 12345, 9223372036854775807ull, 18446744073709551615ull};
    for (const char* modulus : moduli) {
        Mpz p(modulus);
        const Field f(p);
        for (u64 sigma : sigmas) {
            SCOPED_TRACE(std::string(modulus) + ", sigma " + std::to_string(sigma));
            Mpz s, u, v, t, x0, num, den, a24;
            mpz_import(s, 1, -1, sizeof(u64), 0, 0, &sigma);
            mpz_mul(u, s, s);
            mpz_sub_ui(u, u, 5);
            mpz_mul_ui(v, s, 4);
            // x0 = u^3 / v^3
            mpz_pow_ui(x0, u, 3);
            mpz_pow_ui(t, v, 3);
            ASSERT_NE(mpz_invert(t, t, p), 0);
            mpz_mul(x0, x0, t);
            mpz_mod(x0, x0, p);
            // a24 = (v - u)^3 (3u + v) / (16 u^3 v)
            mpz_sub(num, v, u);
            mpz_pow_ui(num, num, 3);
            mpz_mul_ui(t, u, 3);
            mpz_add(t, t, v);
            mpz_mul(num, num, t);
            mpz_pow_ui(den, u, 3);
            mpz_mul(den, den, v);
            mpz_mul_ui(den, den, 16);
            ASSERT_NE(mpz_invert(den, den, p), 0);
            mpz_mul(a24, num, den);
            mpz_mod(a24, a24, p);

            const EcmSuyamaCurve c = EcmCurveFromSigma(f.mont, sigma);
            ASSERT_TRUE(c.ok);
            EXPECT_EQ(OurX(f, c.start), gmp::Text(x0));
            Mpz ours;
            f.Plain(ours, c.a24);
            EXPECT_EQ(gmp::Text(ours), gmp::Text(a24));
        }
    }
}

// A sigma whose denominator 16 u^3 v shares a prime with n gives that
// prime's gcd instead of a curve.
TEST(EcmCurveArithmetic, SuyamaDenominatorWithoutInverse) {
    struct Row {
        const char* n;
        u64 sigma;
        const char* gcd;
    };
    const Row rows[] = {
        {"1000000016000000063", 1000000007, "1000000007"},  // p | v
        {"1000000016000000063", 1000000009, "1000000009"},
        {"1000000007", 1000000007, "1000000007"},  // the whole modulus
        {"15", 5, "5"},                            // u = 20 and v = 20, both = 0 mod 5
        {"33", 4, "11"},                           // u = 11
        {"2305843009213693951", 2305843009213693951ull, "2305843009213693951"},
    };
    for (const Row& row : rows) {
        Mpz n(row.n);
        const Field f(n);
        const EcmSuyamaCurve c = EcmCurveFromSigma(f.mont, row.sigma);
        EXPECT_FALSE(c.ok) << row.n;
        Mpz g;
        FromWords(g, c.gcd, c.gcdWords);
        EXPECT_EQ(gmp::Text(g), row.gcd) << row.n << " sigma " << row.sigma;
    }
}

// Inverses of random residues, and the gcd when there is none.
TEST(EcmCurveArithmetic, InverseAndGcd) {
    gmp_randstate_t rng;
    gmp_randinit_mt(rng);
    gmp_randseed_ui(rng, 99);
    for (int bits : {30, 64, 200, 1616}) {
        Mpz p, q, n;
        RandomPrime(p, bits / 2 + 1, rng);
        RandomPrime(q, bits / 2 + 1, rng);
        mpz_mul(n, p, q);
        const Field f(n);
        SCOPED_TRACE("bits " + std::to_string(bits));
        for (int trial = 0; trial < 20; ++trial) {
            Mpz a, want, got, g;
            mpz_urandomm(a, rng, n);
            u64 r[WORDS], ra[WORDS], gw[WORDS + 1];
            int gn = 0;
            f.Residue(ra, a);
            const bool invertible = mpz_invert(want, a, n) != 0;
            ASSERT_EQ(EcmInvert(f.mont, r, ra, gw, &gn), invertible);
            if (invertible) {
                f.Plain(got, r);
                EXPECT_EQ(gmp::Text(got), gmp::Text(want));
            }
            // A multiple of p: gcd p, no inverse.
            mpz_mul(a, a, p);
            mpz_mod(a, a, n);
            if (mpz_sgn(a) == 0) continue;
            f.Residue(ra, a);
            ASSERT_FALSE(EcmInvert(f.mont, r, ra, gw, &gn));
            FromWords(g, gw, gn);
            EXPECT_EQ(gmp::Text(g), gmp::Text(p));
            gn = EcmGcd(f.mont, ra, gw);
            FromWords(g, gw, gn);
            EXPECT_EQ(gmp::Text(g), gmp::Text(p));
        }
        // Zero: gcd n.
        u64 zero[WORDS] = {}, r[WORDS], gw[WORDS + 1];
        int gn = 0;
        EXPECT_FALSE(EcmInvert(f.mont, r, zero, gw, &gn));
        Mpz g;
        FromWords(g, gw, gn);
        EXPECT_EQ(gmp::Text(g), gmp::Text(n));
        gn = EcmGcd(f.mont, zero, gw);
        FromWords(g, gw, gn);
        EXPECT_EQ(gmp::Text(g), gmp::Text(n));
    }
    gmp_randclear(rng);
}

}  // namespace
