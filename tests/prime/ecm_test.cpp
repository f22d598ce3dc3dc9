// Elliptic curve arithmetic against GMP, and the elliptic curve method.

#include <gmp.h>
#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <utility>

#include "prime/prime_engine.h"
#include "tests/prime/gmp_reference.h"
#include "tests/prime/recorder.h"

namespace {

using gmpref::FromDecimal;
using gmpref::Mpz;

const PrimeEngine& E() { return g_primeEngine; }

EllipticPoint Pt(int x, int y) {
    EllipticPoint p;
    p.x = x;
    p.y = y;
    return p;
}

TEST(AddPoints, KnownRows) {
    const BigInt N(15);
    const BigInt a(1);
    struct Row { const char* what; EllipticPoint p1; EllipticPoint p2; int infinity; int x; int y; };
    EllipticPoint inf;
    inf.infinity = 1;
    EllipticPoint failed = Pt(6, 0);
    failed.infinity = 1;
    const Row rows[] = {
        {"denominator 3 has no inverse", Pt(1, 1), Pt(4, 3), 1, 3, 0},
        {"P + (-P) is infinity, not failed", Pt(2, 4), Pt(2, -4), 1, 0, 0},
        {"P + (-P) with the other representative", Pt(2, 4), Pt(2, 11), 1, 0, 0},
        {"doubling y = 0 is infinity", Pt(7, 0), Pt(7, 0), 1, 0, 0},
        {"-2 and 13 are different x", Pt(-2, 1), Pt(13, 4), 1, 15, 0},
        {"infinity + infinity", inf, inf, 1, 0, 0},
        {"infinity + P is P", inf, Pt(2, 4), 0, 2, 4},
        {"P + failed is P", Pt(2, 4), failed, 0, 2, 4},
        // (2, 3) + (4, 7): lambda = 4 * 2^-1 = 2, x3 = 4 - 2 - 4 = -2, y3 = 2 * (2 + 2) - 3 = 5
        {"distinct points", Pt(2, 3), Pt(4, 7), 0, -2, 5},
        // 2 (1, 2): lambda = (3 + 1) * 4^-1 = 1, x3 = 1 - 2 = -1, y3 = (1 + 1) - 2 = 0
        {"doubling", Pt(1, 2), Pt(1, 2), 0, -1, 0},
    };
    for (const Row& r : rows) {
        const EllipticPoint s = E().AddPoints(r.p1, r.p2, a, N);
        EXPECT_EQ(s.infinity, r.infinity) << r.what;
        EXPECT_EQ(s.x, BigInt(r.x)) << r.what;
        EXPECT_EQ(s.y, BigInt(r.y)) << r.what;
    }
}

TEST(AddPoints, AgreesWithGmpOnRandomPoints) {
    gmp_randstate_t rng;
    gmp_randinit_default(rng);
    gmp_randseed_ui(rng, 31337);
    Mpz N, a, half;
    gmpref::Point p1, p2, r;
    auto coordinate = [&](mpz_t out) {  // any representative in -N < v < N
        mpz_urandomm(out, rng, N.v);
        if (gmp_urandomm_ui(rng, 2)) mpz_neg(out, out);
    };
    for (int i = 0; i < 3000; ++i) {
        mpz_urandomb(N.v, rng, 8 + static_cast<unsigned long>(i % 780));
        mpz_setbit(N.v, 3);
        coordinate(a.v);
        coordinate(p1.x.v);
        coordinate(p1.y.v);
        if (i % 3 == 0) {  // doubling
            mpz_set(p2.x.v, p1.x.v);
            mpz_set(p2.y.v, p1.y.v);
        } else {
            coordinate(p2.x.v);
            coordinate(p2.y.v);
        }
        if (i % 50 == 1) mpz_set(p2.x.v, p1.x.v);  // same x, other y
        EllipticPoint q1, q2;
        q1.x = p1.x.Big();
        q1.y = p1.y.Big();
        q2.x = p2.x.Big();
        q2.y = p2.y.Big();
        gmpref::AddPoints(r, p1, p2, a.v, N.v);
        const EllipticPoint s = E().AddPoints(q1, q2, a.Big(), N.Big());
        ASSERT_EQ(s.infinity, r.infinity ? 1 : 0) << i;
        ASSERT_EQ(s.x, r.x.Big()) << i << " N " << gmpref::Decimal(N.v);
        ASSERT_EQ(s.y, r.y.Big()) << i;
    }
    gmp_randclear(rng);
}

TEST(Ecm, PrimeTargetGivesOne) {
    std::atomic<int> active{RUN_ACTIVE};
    RecordingPresenter boxes;
    EXPECT_EQ(E().Ecm(FromDecimal("1000000007"), 5, 100, active), BigInt(1));
    EXPECT_EQ(E().Ecm(FromDecimal("2305843009213693951"), 3, 1000, active), BigInt(1));
}

TEST(Ecm, FindsATenDigitFactorOfAFortyDigitNumber) {
    std::atomic<int> active{RUN_ACTIVE};
    RecordingPresenter boxes;
    Mpz p, q, n, g;
    mpz_set_str(p.v, "4000000007", 10);
    mpz_nextprime(p.v, p.v);
    mpz_set_str(q.v, "300000000000000000000000000000", 10);  // 30 digits
    mpz_nextprime(q.v, q.v);
    mpz_mul(n.v, p.v, q.v);
    ASSERT_EQ(gmpref::Decimal(n.v).size(), 40u);
    const BigInt found = E().Ecm(n.Big(), 400, 10000, active);
    gmpref::ToMpz(found, g.v);
    ASSERT_GT(mpz_cmp_ui(g.v, 1), 0) << "no factor in 400 curves";
    EXPECT_TRUE(mpz_cmp(g.v, p.v) == 0 || mpz_cmp(g.v, q.v) == 0) << gmpref::Decimal(g.v);
}

TEST(Ecm, MoreCurvesThanAllowedShowsTheLimitOnce) {
    std::atomic<int> active{RUN_ACTIVE};
    RecordingPresenter boxes;
    // 8051 has a handful of curves only: the call ends once they are used.
    const BigInt r = E().Ecm(BigInt(8051), 20000, 100, active);
    EXPECT_TRUE(r == 1 || r == 83 || r == 97);
    const std::vector<std::string> texts = boxes.Texts();
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts[0], "最大繰り返し数は10000回です。");
    EXPECT_EQ(std::count(texts.begin(), texts.end(), texts[0]), 1);
}

TEST(Ecm, TargetsWithoutCurvesEndAtOnce) {
    std::atomic<int> active{RUN_ACTIVE};
    RecordingPresenter boxes;
    // Below 9 every start point has y0 = 0 or 1; a negative target has no square root.
    for (const char* n : {"0", "1", "2", "8", "-35"}) EXPECT_EQ(E().Ecm(FromDecimal(n), 100, 100, active), BigInt(1)) << n;
    EXPECT_TRUE(boxes.Texts().empty());
}

TEST(Ecm, SmallTargetsWithFewCurvesTerminate) {
    std::atomic<int> active{RUN_ACTIVE};
    RecordingPresenter boxes;
    for (int n : {9, 15, 35, 77, 221, 10403}) {
        const BigInt r = E().Ecm(BigInt(n), 10000, 100, active);
        EXPECT_TRUE(r == 1 || (r > 1 && r < n && n % r.ToInt() == 0)) << n;
    }
}

}  // namespace

namespace {

// rand() of the classic C library: next = next * 1103515245 + 12345, draw = (next / 65536) % 32768.
class ClassicRand {
public:
    explicit ClassicRand(uint32_t seed) : m_next(seed) {}
    unsigned long Next() {
        m_next = m_next * 1103515245u + 12345u;
        return (m_next / 65536u) % 32768u;
    }

private:
    uint32_t m_next;
};

// The whole method in GMP: the same draws, curves, order and walk.
void ReferenceEcm(mpz_t out, const mpz_t N, int trials, const std::string& multiplier, uint32_t seed) {
    ClassicRand rng(seed);
    Mpz s, y0, y2, x0, x3, a, b, t;
    mpz_sqrt(s.v, N);
    std::set<std::pair<std::string, std::string>> used;
    for (int curve = 0; curve < trials; ++curve) {
        for (;;) {
            const unsigned long first = rng.Next(), second = rng.Next(), third = rng.Next();
            mpz_set_ui(y0.v, first * 65536 + second);
            mpz_tdiv_r(y0.v, y0.v, s.v);
            mpz_powm_ui(y0.v, y0.v, third, s.v);
            mpz_mul(y2.v, y0.v, y0.v);
            mpz_root(x0.v, y2.v, 3);
            mpz_pow_ui(x3.v, x0.v, 3);
            mpz_add(t.v, x3.v, x0.v);
            if (mpz_cmp(t.v, y2.v) > 0) {
                mpz_sub_ui(x0.v, x0.v, 1);
                mpz_pow_ui(x3.v, x0.v, 3);
            }
            if (mpz_sgn(x0.v) == 0) continue;
            mpz_sub(a.v, y2.v, x3.v);
            mpz_tdiv_q(a.v, a.v, x0.v);
            mpz_mul(t.v, a.v, x0.v);
            mpz_sub(b.v, y2.v, x3.v);
            mpz_sub(b.v, b.v, t.v);
            if (used.insert({gmpref::Decimal(a.v), gmpref::Decimal(b.v)}).second) break;
        }
        if (gmpref::EcmCurve(out, N, a.v, x0.v, y0.v, multiplier)) return;
    }
    mpz_set_ui(out, 1);
}

TEST(Ecm, AgreesWithGmpOnTheSameDraws) {
    std::atomic<int> active{RUN_ACTIVE};
    RecordingPresenter boxes;
    gmp_randstate_t rng;
    gmp_randinit_default(rng);
    gmp_randseed_ui(rng, 1234);
    Mpz p, q, n, expected;
    int found = 0;
    for (int i = 0; i < 24; ++i) {
        mpz_urandomb(p.v, rng, 14 + static_cast<unsigned long>(i % 8) * 3);
        mpz_nextprime(p.v, p.v);
        mpz_urandomb(q.v, rng, 40 + static_cast<unsigned long>(i % 5) * 20);
        mpz_nextprime(q.v, q.v);
        mpz_mul(n.v, p.v, q.v);
        const int smoothness = i % 3 == 0 ? 100 : 1000;
        const uint32_t seed = 1000u + static_cast<uint32_t>(i) * 7919u;
        ReferenceEcm(expected.v, n.v, 20, g_primeEngine.EcmMultiplier(smoothness), seed);
        ASSERT_EQ(E().EcmSeeded(n.Big(), 20, smoothness, active, seed), expected.Big())
            << gmpref::Decimal(n.v) << " seed " << seed << " B " << smoothness;
        if (mpz_cmp_ui(expected.v, 1) > 0) ++found;
    }
    gmp_randclear(rng);
    EXPECT_GT(found, 6) << "the rows should exercise found factors";
    EXPECT_LT(found, 24) << "and curves that find nothing";
}

}  // namespace
