// The prime engine on targets of 800 to 1616 bits, where the product of two
// residues no longer fits a BigInt: every routine against GMP versions of the
// same steps (unbounded width), and no overflow diagnostics on the way.

#include <gmp.h>
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <set>
#include <string>

#include "bench/gmp_prime.h"
#include "prime/prime_engine.h"
#include "tests/support/box_recorder.h"

namespace {

using gmp::Mpz;

const PrimeEngine& E() { return g_primeEngine; }
const std::atomic<int> ACTIVE{RUN_ACTIVE};

// A seeded GMP generator for one test.
struct Rng {
    gmp_randstate_t state;
    explicit Rng(unsigned long seed) { gmp_randinit_default(state), gmp_randseed_ui(state, seed); }
    ~Rng() { gmp_randclear(state); }
    /// A random prime of exactly `bits` bits.
    Mpz Prime(unsigned long bits) {
        Mpz p;
        while (p.Bits() != bits) mpz_urandomb(p, state, bits), mpz_setbit(p, bits - 1), mpz_nextprime(p, p);
        return p;
    }
};

// The old elliptic curve method in GMP, draw for draw: the classic rand()
// (next = next * 1103515245 + 12345, draw = next / 65536 % 32768) from the
// seed, the same distinct curves in the same order, each walked by
// gmpref::EcmCurve. A factor, or 1 when every curve failed.
Mpz GmpEcm(const mpz_t N, int trials, const std::string& multiplier, uint32_t seed) {
    auto draw = [&seed]() -> unsigned long { return ((seed = seed * 1103515245u + 12345u) / 65536u) % 32768u; };
    Mpz s, y0, y2, x0, x3, a, b, t, out;
    mpz_sqrt(s, N);
    std::set<std::pair<std::string, std::string>> used;
    for (int curve = 0; curve < trials; ++curve) {
        for (;;) {
            const unsigned long first = draw(), second = draw(), third = draw();
            mpz_set_ui(y0, first * 65536 + second);
            mpz_tdiv_r(y0, y0, s);
            mpz_powm_ui(y0, y0, third, s);
            mpz_mul(y2, y0, y0);
            mpz_root(x0, y2, 3);
            mpz_pow_ui(x3, x0, 3);
            mpz_add(t, x3, x0);
            if (mpz_cmp(t, y2) > 0) mpz_sub_ui(x0, x0, 1), mpz_pow_ui(x3, x0, 3);
            if (mpz_sgn(x0) == 0) continue;
            mpz_sub(a, y2, x3), mpz_tdiv_q(a, a, x0);  // y0^2 = x0^3 + a x0 + b, 0 <= b < x0
            mpz_mul(t, a, x0), mpz_sub(b, y2, x3), mpz_sub(b, b, t);
            if (used.insert({gmp::Text(a), gmp::Text(b)}).second) break;
        }
        if (gmpref::EcmCurve(out, N, a, x0, y0, multiplier)) return out;
    }
    return Mpz(1L);
}

// Our verdict with 30 bases equals the same steps in GMP and GMP's own test;
// a strong pseudoprime to base 2 passes the base 2 alone.
TEST(FullRange, PseudoPrimeAgreesWithGmp) {
    auto check = [](const std::string& what, const Mpz& n, bool base2Pseudoprime = false) {
        ASSERT_LE(n.Bits(), 1616u) << what;
        const int ours = E().IsPseudoPrime(n.Big(), 30);
        EXPECT_EQ(ours, gmpref::IsPseudoPrime(n, 30, E().primes)) << what;
        EXPECT_EQ(ours, mpz_probab_prime_p(n, 30) != 0 ? 1 : 0) << what;
        if (base2Pseudoprime) { EXPECT_TRUE(gmpref::IsPseudoPrime(n, 1, E().primes) == 1 && E().IsPseudoPrime(n.Big(), 1) == 1) << what; }
    };
    Rng rng(1616);
    for (unsigned long bits : {810ul, 1024ul, 1500ul, 1616ul}) {
        check("prime of " + std::to_string(bits) + " bits", rng.Prime(bits));
        Mpz n = rng.Prime(bits / 2);
        mpz_mul(n, n, rng.Prime(bits - bits / 2));
        if (n.Bits() <= 1616) check("two primes, " + std::to_string(bits) + " bits", n);
    }
    check("2^1279 - 1, a Mersenne prime", gmp::Parse("2^1279-1"));
    for (const char* n : {"2^811-1", "2^1201-1", "2^1609-1", "2^1024+1"}) check(std::string(n) + ": composite", gmp::Parse(n), true);
    Mpz n = gmp::Parse("2^1200");
    mpz_mul_ui(n, n, 196);
    check("196 * 2^1200: even", n);
    mpz_add_ui(n, n, 1);
    check("196 * 2^1200 + 1: prime, 1202 squarings for condition B", n);
    // Chernick's Carmichael numbers (6k + 1)(12k + 1)(18k + 1): k and the bits on each data row.
    std::ifstream data(KALVORA_TEST_DATA "/wide_carmichael.vec");
    int carmichaels = 0;
    for (std::string k, bits; data >> k;) {
        if (k[0] == '#' && std::getline(data, k)) continue;
        data >> bits;
        mpz_set_ui(n, 1);
        for (unsigned long m : {6ul, 12ul, 18ul}) {
            Mpz f(k.c_str());
            mpz_mul_ui(f, f, m), mpz_add_ui(f, f, 1);
            ASSERT_NE(mpz_probab_prime_p(f, 25), 0) << "the data row's factor " << m << "k + 1";
            mpz_mul(n, n, f);
        }
        ASSERT_EQ(std::to_string(n.Bits()), bits) << k;
        check("Carmichael number of " + bits + " bits", n);
        ++carmichaels;
    }
    EXPECT_EQ(carmichaels, 4);
    // (The abort while running: FullRangeWorkers.PseudoPrimeTestGivesWayToAbort.)
    const std::atomic<int> aborted{RUN_ABORT};
    EXPECT_EQ(E().IsPseudoPrime(gmp::Parse("2^1279-1").Big(), 30, aborted), 0) << "an abort before the first base";
}

// Rho against GMP: a 16-bit prime times a prime filling the width (rho meets
// the small one), and small targets whose start test raises a to the b-th
// power as an ordinary power, beyond the width, taken exactly all the same.
// With c = back(n), 1000^256 + c = 1000 modulo n: the sequence from 1000 is constant.
TEST(FullRange, RhoAgreesWithGmp) {
    auto back = [](long modulus) {
        Mpz r;
        mpz_powm_ui(r, Mpz(1000L), 256, Mpz(modulus));
        return 1000 - static_cast<int32_t>(mpz_get_ui(r));
    };
    Rng rng(800);
    const struct { const char* what; unsigned long bits; long n; int trials, b; uint32_t a; int32_t c; } rows[] = {
        {"just above the old limit", 810, 1, 3000, 2, 2, 1},
        {"even target", 1000, 2, 3000, 2, 3, -7},
        {"start value above 2^31", 1200, 1, 2000, 3, 2147483653u, 5},
        {"the full width", 1616, 1, 3000, 2, 2, 1},
        {"exponent 255", 1590, 1, 400, 255, 7, -1000},
        {"X[1] = X[0]", 0, 1000003, 500, 256, 1000, back(1000003)},
        {"one more: the walk runs", 0, 1000003, 500, 256, 1000, back(1000003) + 1},
        {"addend above the target: the documented walk", 0, 8051, 500, 256, 1000, 3 * 8051 + 1000},
        {"addend above the target, X[1] = X[0]", 0, 8051, 500, 256, 1000, back(8051) + 2 * 8051},
    };
    int found = 0;
    for (const auto& r : rows) {
        Mpz n(r.n), expected;
        if (r.bits > 0) mpz_mul(n, n, rng.Prime(16)), mpz_mul(n, n, rng.Prime(r.bits - 16 - (r.n == 2)));
        gmpref::Rho(expected, n, r.trials, r.b, r.a, r.c);
        EXPECT_EQ(E().Rho(n.Big(), r.trials, r.b, r.a, r.c, ACTIVE), expected.Big()) << r.what;
        EXPECT_EQ(E().RhoStartReturns(n.Big(), r.trials, r.b, r.a, r.c), mpz_cmp_si(expected, -2) == 0) << r.what;
        found += r.bits > 0 && mpz_cmp_ui(expected, 1) > 0;
    }
    EXPECT_GE(found, 3) << "the rows should find their planted factors";
    EXPECT_GT(back(8051) + 2 * 8051, 0) << "the last row's addend exceeds its target";
    EXPECT_EQ(E().Rho(gmp::Parse("2^1279-1").Big(), 300, 2, 2, 1, ACTIVE), BigInt(0)) << "a wide prime";
    // c < -n with an odd exponent: 2^3 + c lifted and reduced is -623, then
    // (-623)^3 + c gives -1264 (Python, exact powers). A power that lost its
    // sign would lead back to 2.
    EXPECT_FALSE(E().RhoStartReturns(BigInt(8051), 10, 3, 2, -8682));
}

// A prime p with p - 1 = 2 * factor * (four odd primes below `below` drawn at random).
Mpz SmoothPrime(Rng& rng, int below, unsigned long factor) {
    Mpz p;
    while (mpz_probab_prime_p(p, 30) == 0) {
        mpz_set_ui(p, 2 * factor);
        for (int k = 0; k < 4; ++k)
            mpz_mul_ui(p, p, static_cast<unsigned long>(E().primes[1 + gmp_urandomm_ui(rng.state, static_cast<unsigned long>(E().primeIndex[below] - 1))]));
        mpz_add_ui(p, p, 1);
    }
    return p;
}

TEST(FullRange, Pm1AgreesWithGmp) {
    Rng rng(1600);
    const struct { const char* what; unsigned long bits; bool even; int e1, e2, B2; unsigned long factor; } rows[] = {
        {"stage 1", 1000, false, 16, 1, 262144, 1},
        {"stage 1, even target of the full width", 1615, true, 16, 1, 262144, 1},
        // 271^200 is beyond the width: the powers from 271 on are exact all the same.
        {"exponent 200, completed at 271", 1300, false, 200, 1, 262144, 271 * 271},
        // 262151 is prime: p - 1 is completed in stage 2 only.
        {"stage 2", 850, false, 2, 2, 262160, 262151},
        // 2 has the order 48 = 2^4 * 3 modulo 97: the exponent e1 = 4 covers it, e1 = 3 does not.
        {"97 with e1 = 3", 0, false, 3, 1, 262144, 0},
        {"97 with e1 = 4", 0, false, 4, 1, 262144, 0},
    };
    for (const auto& r : rows) {
        const Mpz p = r.bits > 0 ? SmoothPrime(rng, 260, r.factor) : Mpz(97L);
        Mpz n = rng.Prime(r.bits > 0 ? r.bits - p.Bits() - r.even : 100), expected;
        mpz_mul(n, n, p);
        mpz_mul_2exp(n, n, r.even);
        gmpref::Pm1(expected, n, r.e1, r.e2, r.B2, E().primes, PRIME_COUNT);
        EXPECT_EQ(mpz_cmp(expected, r.e1 == 3 ? Mpz(0L) : p), 0) << r.what << ": the row should find its planted factor";
        EXPECT_EQ(E().Pm1(n.Big(), r.e1, r.e2, r.B2, ACTIVE), expected.Big()) << r.what;
    }
}

EllipticPoint ToPoint(const gmpref::Point& p) {
    EllipticPoint r;
    r.infinity = p.infinity ? 1 : 0;
    r.x = p.x.Big();
    r.y = p.y.Big();
    return r;
}

// AddPoints against GMP; a failed point's denominator beyond 1616 bits is
// carried as its remainder modulo N (the same gcd with N).
void ExpectSameSum(const std::string& what, const gmpref::Point& p1, const gmpref::Point& p2, const mpz_t a, const mpz_t N) {
    gmpref::Point r;
    gmpref::AddPoints(r, p1, p2, a, N);
    if (mpz_sizeinbase(r.x, 2) > 1616) mpz_tdiv_r(r.x, r.x, N);
    const EllipticPoint s = E().AddPoints(ToPoint(p1), ToPoint(p2), gmp::ToBig(a), gmp::ToBig(N));
    EXPECT_EQ(s.infinity, r.infinity ? 1 : 0) << what;
    EXPECT_EQ(s.x, r.x.Big()) << what;
    EXPECT_EQ(s.y, r.y.Big()) << what;
}

TEST(FullRange, AddPointsAgreesWithGmpOnRandomPoints) {
    Rng rng(31415);
    Mpz N, a;
    gmpref::Point p1, p2;
    auto coordinate = [&](mpz_t out) {  // any representative in -N < v < N
        mpz_urandomm(out, rng.state, N);
        if (gmp_urandomm_ui(rng.state, 2)) mpz_neg(out, out);
    };
    for (int i = 0; i < 600; ++i) {
        const unsigned long bits = 801 + static_cast<unsigned long>(i) * 815 / 599;  // 801 .. 1616
        mpz_urandomb(N, rng.state, bits);
        mpz_setbit(N, bits - 1);
        if (i % 4 == 1) mpz_setbit(N, 0);
        if (i % 4 == 2) mpz_clrbit(N, 0);  // even moduli: plain residues
        if (i % 9 == 5) mpz_neg(N, N);     // the remainder only looks at |N|
        coordinate(a), coordinate(p1.x), coordinate(p1.y);
        if (i % 3 == 0) p2.Set(p1);  // doubling
        if (i % 3 != 0) coordinate(p2.x), coordinate(p2.y);
        if (i % 25 == 1) mpz_set(p2.x, p1.x);     // same x, other y
        if (i % 25 == 2) mpz_neg(p2.y, p1.y);     // P + (-P)
        if (i % 25 == 4) mpz_neg(p2.x, p1.x);     // x2 = -x1 is another x
        if (i % 50 == 3) mpz_add(p1.y, p1.y, N);  // beyond (-N, N): the formulas hold for any value
        ExpectSameSum("row " + std::to_string(i) + " N " + gmp::Text(N), p1, p2, a, N);
    }
}

// Points whose remainders have dividends near zero: the signs are settled by
// products of equal length with the value they are compared with.
TEST(FullRange, AddPointsSignsOfNearTies) {
    Rng rng(2718);
    Mpz N, a, lambda, t, x3, run;
    gmpref::Point p1, p2;
    for (int i = 0; i < 60; ++i) {
        const unsigned long bits = 1000 + static_cast<unsigned long>(i) * 10;
        mpz_urandomb(N, rng.state, bits);
        mpz_setbit(N, bits - 1), mpz_setbit(N, 0);
        const long tie = i % 3 - 1;
        unsigned long delta = 1 + gmp_urandomm_ui(rng.state, 1000);
        while (mpz_gcd_ui(nullptr, N, delta) != 1 || mpz_gcd_ui(nullptr, N, delta + 1) != 1) ++delta;
        mpz_urandomb(a, rng.state, 100);
        if (i % 2 == 0) {
            // x1 + x2 = lambda^2 + tie: x3 = -tie, its sign settled by the square of lambda.
            mpz_urandomb(lambda, rng.state, bits / 2 - 2);
            mpz_mul(t, lambda, lambda);
            tie < 0 ? mpz_sub_ui(t, t, 1) : mpz_add_ui(t, t, static_cast<unsigned long>(tie));
            if (mpz_odd_p(t) != static_cast<int>(delta & 1)) ++delta;  // x1 + x2 = 2 x1 + delta
            mpz_sub_ui(p1.x, t, delta), mpz_tdiv_q_2exp(p1.x, p1.x, 1);
            mpz_urandomb(p1.y, rng.state, bits - 2);
        } else {
            // y1 = lambda (x1 - x3) - tie: y3 = tie, its sign settled by that product.
            mpz_set_ui(lambda, 1 + static_cast<unsigned long>(i % 4 == 1));
            mpz_urandomb(p1.x, rng.state, bits - 5);
            mpz_mul(x3, lambda, lambda), mpz_sub(x3, x3, p1.x), mpz_sub(x3, x3, p1.x), mpz_sub_ui(x3, x3, delta);
            mpz_sub(run, p1.x, x3), mpz_mul(p1.y, lambda, run);
            tie < 0 ? mpz_add_ui(p1.y, p1.y, 1) : mpz_sub_ui(p1.y, p1.y, static_cast<unsigned long>(tie));
        }
        if (i % 4 >= 2) mpz_neg(p1.y, p1.y);
        // y2 - y1 = lambda * delta with x2 - x1 = delta: the slope is lambda.
        mpz_add_ui(p2.x, p1.x, delta), mpz_mul_ui(t, lambda, delta), mpz_add(p2.y, p1.y, t);
        ExpectSameSum("near tie " + std::to_string(i), p1, p2, a, N);
    }
    // Doubling with a = -(3 x1^2 + tie): the numerator's sign by 3 x1^2.
    for (long tie : {-1L, 0L, 1L}) {
        mpz_urandomb(N, rng.state, 1600);
        mpz_setbit(N, 1599), mpz_setbit(N, 0);
        mpz_urandomb(p1.x, rng.state, 800);
        do {  // an invertible denominator 2 y1
            mpz_urandomb(p1.y, rng.state, 1500);
            mpz_gcd(t, p1.y, N);
        } while (mpz_cmp_ui(t, 1) != 0);
        p2.Set(p1);
        mpz_mul(a, p1.x, p1.x), mpz_mul_ui(a, a, 3), mpz_add(a, a, Mpz(tie)), mpz_neg(a, a);
        ExpectSameSum("doubling, a = -(3 x^2 + " + std::to_string(tie) + ")", p1, p2, a, N);
    }
    // N = 3 m of 1616 bits, y1 = N - 3: the denominator 2 y1 shares 3 with N
    // and has 1617 bits; the failed point carries 2 y1 rem N = N - 6.
    do mpz_urandomb(N, rng.state, 1615), mpz_mul_ui(N, N, 3);
    while (mpz_sizeinbase(N, 2) != 1616);
    mpz_sub_ui(p1.y, N, 3);
    p2.Set(p1);
    ExpectSameSum("a denominator beyond the width", p1, p2, a, N);
    mpz_sub_ui(t, N, 6);
    EXPECT_EQ(E().AddPoints(ToPoint(p1), ToPoint(p2), a.Big(), N.Big()).x, t.Big());
}

// A prime of 10 to 16 bits times a larger one, up to the full width: whether a curve
// meets the small one depends on the curve drawn, so the draws themselves
// (square root, cube root, (a, b)) and the walks are compared with GMP's:
// one curve at the smoothness 100 per seed, every eighth seed three at 1000.
TEST(FullRange, EcmCurvesMatchGmp) {
    BoxRecorder boxes;
    Rng rng(1729);
    int found = 0;
    for (uint32_t seed = 1; seed <= 40; ++seed) {
        const unsigned long small = 10 + seed % 7;
        Mpz n = rng.Prime(small);
        mpz_mul(n, n, rng.Prime(seed == 40 ? 1616 - small : 30 + (seed * 1583) % 1570));
        const int curves = seed % 8 == 0 ? 3 : 1, smoothness = seed % 8 == 0 ? 1000 : 100;
        const Mpz expected = GmpEcm(n, curves, E().EcmMultiplier(smoothness), seed);
        EXPECT_EQ(E().EcmSeeded(n.Big(), curves, smoothness, ACTIVE, seed), expected.Big()) << "seed " << seed;
        found += mpz_cmp_ui(expected, 1) > 0;
    }
    EXPECT_GT(found, 5) << "the rows should find factors";
    EXPECT_LT(found, 35) << "and curves that find nothing";
    EXPECT_TRUE(boxes.Texts().empty());
}

// Where nothing overflows any more, the arithmetic has nothing to report.
TEST(FullRange, WideRunsWriteNoDiagnostics) {
    BoxRecorder boxes;
    const Mpz prime = gmp::Parse("2^1279-1");
    Mpz N = gmp::Parse("2^1615");
    mpz_add(N, N, prime);  // 1616 bits, odd
    const BigInt wide = N.Big();
    gmpref::Point p;
    mpz_tdiv_q_2exp(p.x, N, 3);
    mpz_sub_ui(p.y, N, 5);
    testing::internal::CaptureStderr();
    EXPECT_EQ(E().IsPseudoPrime(prime.Big(), 3), 1);
    E().IsPseudoPrime(wide, 3);
    E().Rho(wide, 150, 2, 2, 1, ACTIVE);
    E().AddPoints(ToPoint(p), ToPoint(p), BigInt(3), wide);
    E().EcmSeeded(wide, 1, 100, ACTIVE, 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

}  // namespace
