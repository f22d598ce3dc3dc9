// The prime engine on targets of 800 to 1616 bits, where the product of two
// residues no longer fits a BigInt: every routine against GMP versions of the
// same steps (unbounded width), and no overflow diagnostics on the way.

#include <gmp.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "prime/prime_engine.h"
#include "tests/prime/gmp_ecm_reference.h"
#include "bench/gmp_prime.h"
#include "tests/support/box_recorder.h"

namespace {

using gmp::Mpz;

const PrimeEngine& E() { return g_primeEngine; }

// A seeded GMP generator for one test.
struct Rng {
    gmp_randstate_t state;
    explicit Rng(unsigned long seed) {
        gmp_randinit_default(state);
        gmp_randseed_ui(state, seed);
    }
    ~Rng() { gmp_randclear(state); }
};

// A random prime of exactly `bits` bits.
void RandomPrime(mpz_t p, Rng& rng, unsigned long bits) {
    do {
        mpz_urandomb(p, rng.state, bits);
        mpz_setbit(p, bits - 1);
        mpz_nextprime(p, p);
    } while (mpz_sizeinbase(p, 2) != bits);
}

void AddSigned(mpz_t n, long addend) {
    if (addend >= 0) {
        mpz_add_ui(n, n, static_cast<unsigned long>(addend));
    } else {
        mpz_sub_ui(n, n, static_cast<unsigned long>(-addend));
    }
}

void PowerOfTwoPlus(mpz_t n, unsigned long exponent, long addend) {
    mpz_ui_pow_ui(n, 2, exponent);
    AddSigned(n, addend);
}

// --- Pseudo-prime test ------------------------------------------------------------------

TEST(FullRange, PseudoPrimeAgreesWithGmp) {
    Rng rng(1616);
    // Every row: our verdict with 30 bases equals the same steps in GMP and
    // GMP's own test; a strong pseudoprime to base 2 passes the base 2 alone.
    auto check = [](const std::string& what, const mpz_t n, bool strongPseudoprimeToBase2) {
        ASSERT_LE(mpz_sizeinbase(n, 2), 1616u) << what;
        const BigInt big = gmp::ToBig(n);
        const int ours = E().IsPseudoPrime(big, 30);
        EXPECT_EQ(ours, gmpref::IsPseudoPrime(n, 30, E().primes)) << what;
        EXPECT_EQ(ours, mpz_probab_prime_p(n, 30) != 0 ? 1 : 0) << what;
        if (strongPseudoprimeToBase2) {
            EXPECT_EQ(gmpref::IsPseudoPrime(n, 1, E().primes), 1) << what << ": not a strong pseudoprime";
            EXPECT_EQ(E().IsPseudoPrime(big, 1), 1) << what << ", base 2 alone";
        }
    };
    Mpz n, p, q;
    for (unsigned long bits : {810ul, 1024ul, 1500ul, 1616ul}) {
        RandomPrime(n, rng, bits);
        check("prime of " + std::to_string(bits) + " bits", n, false);
        RandomPrime(p, rng, bits / 2);
        RandomPrime(q, rng, bits - bits / 2);
        mpz_mul(n, p, q);
        if (mpz_sizeinbase(n, 2) <= 1616) check("two primes, " + std::to_string(bits) + " bits", n, false);
    }
    PowerOfTwoPlus(n, 1279, -1);
    check("2^1279 - 1, a Mersenne prime", n, false);
    PowerOfTwoPlus(n, 1200, 0);
    mpz_mul_ui(n, n, 196);
    mpz_add_ui(n, n, 1);
    check("196 * 2^1200 + 1: prime, 1202 squarings for condition B", n, false);
    mpz_sub_ui(n, n, 1);
    check("196 * 2^1200: even", n, false);
    for (unsigned long e : {811ul, 1201ul, 1609ul}) {
        PowerOfTwoPlus(n, e, -1);
        check("2^" + std::to_string(e) + " - 1, composite", n, true);
    }
    PowerOfTwoPlus(n, 1024, 1);
    check("2^1024 + 1, composite Fermat number", n, true);

    std::ifstream data(KALVORA_TEST_DATA "/wide_carmichael.vec");
    ASSERT_TRUE(data) << "wide_carmichael.vec";
    int carmichaels = 0;
    for (std::string line; std::getline(data, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::string k;
        size_t bits = 0;
        fields >> k >> bits;
        Mpz kk(k.c_str()), f;
        mpz_set_ui(n, 1);
        for (unsigned long m : {6ul, 12ul, 18ul}) {
            mpz_mul_ui(f, kk, m);
            mpz_add_ui(f, f, 1);
            ASSERT_NE(mpz_probab_prime_p(f, 25), 0) << "the data row's factor " << m << "k + 1";
            mpz_mul(n, n, f);
        }
        ASSERT_EQ(mpz_sizeinbase(n, 2), bits) << k;
        check("Carmichael number of " + std::to_string(bits) + " bits", n, false);
        ++carmichaels;
    }
    EXPECT_EQ(carmichaels, 4);
}

TEST(FullRange, PseudoPrimeAbortsFromAnotherThread) {
    // 2^1279 - 1 is prime: with every table prime as a base it runs for many seconds.
    Mpz n;
    PowerOfTwoPlus(n, 1279, -1);
    const BigInt big = n.Big();
    std::atomic<int> state{RUN_ACTIVE};
    std::chrono::steady_clock::time_point flipped;
    std::thread flipper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        flipped = std::chrono::steady_clock::now();
        state.store(RUN_ABORT);
    });
    const int result = E().IsPseudoPrime(big, PRIME_COUNT, state);
    const auto returned = std::chrono::steady_clock::now();
    flipper.join();
    EXPECT_EQ(result, 0);
    // A bound for a loaded machine, far below the uninterrupted run.
    EXPECT_LT(std::chrono::duration<double>(returned - flipped).count(), 2.0);

    std::atomic<int> aborted{RUN_ABORT};
    EXPECT_EQ(E().IsPseudoPrime(big, 30, aborted), 0) << "an abort before the first base";
}

// --- Rho ---------------------------------------------------------------------------------

TEST(FullRange, RhoAgreesWithGmp) {
    std::atomic<int> active{RUN_ACTIVE};
    Rng rng(800);
    struct Row { const char* what; unsigned long bits; bool even; int trials; int b; uint32_t a; int32_t c; };
    // A 16-bit prime times a prime filling the width: rho meets the small one.
    const Row rows[] = {
        {"just above the old limit", 810, false, 3000, 2, 2, 1},
        {"even target", 1000, true, 3000, 2, 3, -7},
        {"start value above 2^31", 1200, false, 2000, 3, 2147483653u, 5},
        {"the full width", 1616, false, 3000, 2, 2, 1},
        {"exponent 255", 1590, false, 400, 255, 7, -1000},
    };
    Mpz p, q, n, expected;
    int found = 0;
    for (const Row& r : rows) {
        RandomPrime(p, rng, 16);
        RandomPrime(q, rng, r.bits - 16 - (r.even ? 1 : 0));
        mpz_mul(n, p, q);
        if (r.even) mpz_mul_2exp(n, n, 1);
        ASSERT_LE(mpz_sizeinbase(n, 2), 1616u) << r.what;
        gmpref::Rho(expected, n, r.trials, r.b, r.a, r.c);
        EXPECT_EQ(E().Rho(n.Big(), r.trials, r.b, r.a, r.c, active), expected.Big()) << r.what;
        if (mpz_cmp_ui(expected, 1) > 0) ++found;
    }
    EXPECT_GE(found, 3) << "the rows should find their planted factors";

    PowerOfTwoPlus(n, 1279, -1);
    EXPECT_EQ(E().Rho(n.Big(), 300, 2, 2, 1, active), BigInt(0)) << "a wide prime";
}

// The start test raises a to the b-th power as an ordinary power: beyond the
// width for these rows, taken exactly all the same.
TEST(FullRange, RhoStartTestWithAPowerBeyondTheWidth) {
    std::atomic<int> active{RUN_ACTIVE};
    // With c = back(n), 1000^256 + c = 1000 modulo n: the sequence from 1000 is constant.
    auto back = [](unsigned long modulus) {
        Mpz n, base("1000"), r;
        mpz_set_ui(n, modulus);
        mpz_powm_ui(r, base, 256, n);
        return 1000 - static_cast<int32_t>(mpz_get_ui(r));
    };
    struct Row { const char* what; unsigned long n; int32_t c; };
    const Row rows[] = {
        {"X[1] = X[0]", 1000003, back(1000003)},
        {"one more: the walk runs", 1000003, back(1000003) + 1},
        {"addend above the target: the documented walk", 8051, 3 * 8051 + 1000},
        {"addend above the target, X[1] = X[0]", 8051, back(8051) + 2 * 8051},
    };
    Mpz target, expected;
    for (const Row& r : rows) {
        mpz_set_ui(target, r.n);
        gmpref::Rho(expected, target, 500, 256, 1000, r.c);
        EXPECT_EQ(E().Rho(target.Big(), 500, 256, 1000, r.c, active), expected.Big()) << r.what;
        EXPECT_EQ(E().RhoStartReturns(target.Big(), 500, 256, 1000, r.c), mpz_cmp_si(expected, -2) == 0) << r.what;
    }
    EXPECT_GT(8051 + 2 * 8051 + back(8051), 8051) << "the last row's addend exceeds its target";
    // c < -n with an odd exponent: 2^3 + c lifted and reduced is -623, then
    // (-623)^3 + c gives -1264 (Python, exact powers). A power that lost its
    // sign would lead back to 2.
    EXPECT_FALSE(E().RhoStartReturns(BigInt(8051), 10, 3, 2, -8682));
}

// --- p-1 ---------------------------------------------------------------------------------

// A prime p with p - 1 = 2 * factor * (four odd primes below `below` drawn at random).
void SmoothPrime(mpz_t p, Rng& rng, int below, unsigned long factor) {
    for (;;) {
        mpz_set_ui(p, 2 * factor);
        for (int k = 0; k < 4; ++k) {
            const unsigned long odd = 1 + gmp_urandomm_ui(rng.state, static_cast<unsigned long>(E().primeIndex[below] - 1));
            mpz_mul_ui(p, p, static_cast<unsigned long>(E().primes[odd]));
        }
        mpz_add_ui(p, p, 1);
        if (mpz_probab_prime_p(p, 30)) return;
    }
}

TEST(FullRange, Pm1AgreesWithGmp) {
    std::atomic<int> active{RUN_ACTIVE};
    Rng rng(1600);
    struct Row { const char* what; unsigned long bits; bool even; int e1; int e2; int B2; unsigned long factor; };
    const Row rows[] = {
        {"stage 1", 1000, false, 16, 1, 262144, 1},
        {"stage 1, even target of the full width", 1615, true, 16, 1, 262144, 1},
        // 271^200 is beyond the width: the powers from 271 on are exact all the same.
        {"exponent 200, completed at 271", 1300, false, 200, 1, 262144, 271 * 271},
        // 262151 is prime: p - 1 is completed in stage 2 only.
        {"stage 2", 850, false, 2, 2, 262160, 262151},
    };
    Mpz p, q, n, expected;
    for (const Row& r : rows) {
        SmoothPrime(p, rng, 260, r.factor);
        RandomPrime(q, rng, r.bits - mpz_sizeinbase(p, 2) - (r.even ? 1 : 0));
        mpz_mul(n, p, q);
        if (r.even) mpz_mul_2exp(n, n, 1);
        gmpref::Pm1(expected, n, r.e1, r.e2, r.B2, E().primes, PRIME_COUNT);
        EXPECT_EQ(mpz_cmp(expected, p), 0) << r.what << ": the row should find its planted factor";
        EXPECT_EQ(E().Pm1(n.Big(), r.e1, r.e2, r.B2, active), expected.Big()) << r.what;
    }
    // 2 has the order 48 = 2^4 * 3 modulo 97: the exponent e1 = 4 covers it, e1 = 3 does not.
    RandomPrime(q, rng, 100);
    mpz_mul_ui(n, q, 97);
    for (int e1 : {3, 4}) {
        gmpref::Pm1(expected, n, e1, 1, 262144, E().primes, PRIME_COUNT);
        EXPECT_EQ(mpz_cmp_ui(expected, e1 == 4 ? 97 : 0), 0) << "e1 " << e1;
        EXPECT_EQ(E().Pm1(n.Big(), e1, 1, 262144, active), expected.Big()) << "e1 " << e1;
    }
}

// --- Elliptic curves ---------------------------------------------------------------------

EllipticPoint ToPoint(const gmpref::Point& p) {
    EllipticPoint r;
    r.infinity = p.infinity ? 1 : 0;
    r.x = p.x.Big();
    r.y = p.y.Big();
    return r;
}

// AddPoints against GMP; a failed point's denominator beyond 1616 bits is
// carried as its remainder modulo N (the same gcd with N).
void ExpectSameSum(const std::string& what, const gmpref::Point& p1, const gmpref::Point& p2, const mpz_t a,
                   const mpz_t N) {
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
        if (i % 9 == 5) mpz_neg(N, N);   // the remainder only looks at |N|
        coordinate(a);
        coordinate(p1.x);
        coordinate(p1.y);
        if (i % 3 == 0) {
            p2.Set(p1);  // doubling
        } else {
            coordinate(p2.x);
            coordinate(p2.y);
        }
        if (i % 25 == 1) mpz_set(p2.x, p1.x);  // same x, other y
        if (i % 25 == 2) mpz_neg(p2.y, p1.y);  // P + (-P)
        if (i % 25 == 4) mpz_neg(p2.x, p1.x);  // x2 = -x1 is another x
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
        mpz_setbit(N, bits - 1);
        mpz_setbit(N, 0);
        const long tie = i % 3 - 1;
        unsigned long delta = 1 + gmp_urandomm_ui(rng.state, 1000);
        while (mpz_gcd_ui(nullptr, N, delta) != 1 || mpz_gcd_ui(nullptr, N, delta + 1) != 1) ++delta;
        mpz_urandomb(a, rng.state, 100);
        if (i % 2 == 0) {
            // x1 + x2 = lambda^2 + tie: x3 = -tie, its sign settled by the square of lambda.
            mpz_urandomb(lambda, rng.state, bits / 2 - 2);
            mpz_mul(t, lambda, lambda);
            AddSigned(t, tie);
            if (mpz_odd_p(t) != static_cast<int>(delta & 1)) ++delta;  // x1 + x2 = 2 x1 + delta
            mpz_sub_ui(p1.x, t, delta);
            mpz_tdiv_q_2exp(p1.x, p1.x, 1);
            mpz_urandomb(p1.y, rng.state, bits - 2);
        } else {
            // y1 = lambda (x1 - x3) - tie: y3 = tie, its sign settled by that product.
            mpz_set_ui(lambda, 1 + static_cast<unsigned long>(i % 4 == 1));
            mpz_urandomb(p1.x, rng.state, bits - 5);
            mpz_mul(x3, lambda, lambda);
            mpz_sub(x3, x3, p1.x);
            mpz_sub(x3, x3, p1.x);
            mpz_sub_ui(x3, x3, delta);
            mpz_sub(run, p1.x, x3);
            mpz_mul(p1.y, lambda, run);
            AddSigned(p1.y, -tie);
        }
        if (i % 4 >= 2) mpz_neg(p1.y, p1.y);
        // y2 - y1 = lambda * delta with x2 - x1 = delta: the slope is lambda.
        mpz_add_ui(p2.x, p1.x, delta);
        mpz_mul_ui(t, lambda, delta);
        mpz_add(p2.y, p1.y, t);
        ExpectSameSum("near tie " + std::to_string(i), p1, p2, a, N);
    }
    // Doubling with a = -(3 x1^2 + tie): the numerator's sign by 3 x1^2.
    for (long tie : {-1L, 0L, 1L}) {
        mpz_urandomb(N, rng.state, 1600);
        mpz_setbit(N, 1599);
        mpz_setbit(N, 0);
        mpz_urandomb(p1.x, rng.state, 800);
        do {  // an invertible denominator 2 y1
            mpz_urandomb(p1.y, rng.state, 1500);
            mpz_gcd(t, p1.y, N);
        } while (mpz_cmp_ui(t, 1) != 0);
        p2.Set(p1);
        mpz_mul(a, p1.x, p1.x);
        mpz_mul_ui(a, a, 3);
        AddSigned(a, tie);
        mpz_neg(a, a);
        ExpectSameSum("doubling, a = -(3 x^2 + " + std::to_string(tie) + ")", p1, p2, a, N);
    }
    // N = 3 m of 1616 bits, y1 = N - 3: the denominator 2 y1 shares 3 with N
    // and has 1617 bits; the failed point carries 2 y1 rem N = N - 6.
    do {
        mpz_urandomb(N, rng.state, 1615);
        mpz_mul_ui(N, N, 3);
    } while (mpz_sizeinbase(N, 2) != 1616);
    mpz_sub_ui(p1.y, N, 3);
    p2.Set(p1);
    ExpectSameSum("a denominator beyond the width", p1, p2, a, N);
    const EllipticPoint failed = E().AddPoints(ToPoint(p1), ToPoint(p2), a.Big(), N.Big());
    mpz_sub_ui(t, N, 6);
    EXPECT_EQ(failed.x, t.Big());
}

// A prime of 12 to 18 bits times a prime filling the width: the curves meet
// the small one (its group orders are 100- or 1000-smooth often enough).
TEST(FullRange, EcmFindsAPlantedFactor) {
    std::atomic<int> active{RUN_ACTIVE};
    BoxRecorder boxes;
    Rng rng(4242);
    struct Row { unsigned long bits; unsigned long factorBits; int smoothness; uint32_t seed; };
    const Row rows[] = {{1000, 14, 100, 7}, {1300, 16, 100, 99}, {1616, 12, 100, 2026}, {1200, 18, 1000, 5}};
    Mpz p, q, n;
    for (const Row& r : rows) {
        RandomPrime(p, rng, r.factorBits);
        RandomPrime(q, rng, r.bits - r.factorBits);
        mpz_mul(n, p, q);
        EXPECT_EQ(E().EcmSeeded(n.Big(), 20, r.smoothness, active, r.seed), p.Big()) << r.bits << " bits";
    }
    EXPECT_TRUE(boxes.Texts().empty());
}

// One curve per seed, from 40 to 1616 bits: whether it meets the small
// factor depends on the curve drawn, so the draws themselves (square root,
// cube root, (a, b)) and the walk are compared with GMP's.
TEST(FullRange, EcmCurvesMatchGmpOneByOne) {
    std::atomic<int> active{RUN_ACTIVE};
    BoxRecorder boxes;
    Rng rng(1729);
    Mpz p, q, n, expected;
    int found = 0;
    for (uint32_t seed = 1; seed <= 40; ++seed) {
        RandomPrime(p, rng, 10 + seed % 7);
        RandomPrime(q, rng, 30 + (seed * 1583) % 1570);
        mpz_mul(n, p, q);
        gmpref::Ecm(expected, n, 1, E().EcmMultiplier(100), seed);
        EXPECT_EQ(E().EcmSeeded(n.Big(), 1, 100, active, seed), expected.Big()) << "seed " << seed;
        if (mpz_cmp_ui(expected, 1) > 0) ++found;
    }
    EXPECT_GT(found, 5) << "the rows should find factors";
    EXPECT_LT(found, 35) << "and curves that find nothing";
}

// Where nothing overflows any more, the arithmetic has nothing to report.
TEST(FullRange, WideRunsWriteNoDiagnostics) {
    std::atomic<int> active{RUN_ACTIVE};
    BoxRecorder boxes;
    Mpz n, N;
    PowerOfTwoPlus(n, 1279, -1);
    PowerOfTwoPlus(N, 1615, 0);
    mpz_add(N, N, n);  // 1616 bits, odd
    const BigInt wide = N.Big();
    gmpref::Point p1, p2;
    mpz_tdiv_q_2exp(p1.x, N, 3);
    mpz_sub_ui(p1.y, N, 5);
    p2.Set(p1);
    testing::internal::CaptureStderr();
    EXPECT_EQ(E().IsPseudoPrime(n.Big(), 3), 1);
    E().IsPseudoPrime(wide, 3);
    E().Rho(wide, 150, 2, 2, 1, active);
    E().AddPoints(ToPoint(p1), ToPoint(p2), BigInt(3), wide);
    E().EcmSeeded(wide, 1, 100, active, 1);
    const std::string lines = testing::internal::GetCapturedStderr();
    EXPECT_EQ(lines, "");
}

}  // namespace
