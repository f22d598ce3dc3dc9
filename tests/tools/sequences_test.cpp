// The sequence computations against GMP: the four progression quantities
// term by term (an overflow of any documented step shows as too large),
// Lucas-type recurrences against GMP and against the plain stepping (the
// reference for Term's shortcuts), Mersenne-type and Fermat numbers.

#include "tools/sequences.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>

#include "tests/support/box_recorder.h"
#include "tests/support/gmp.h"

namespace {

using gmp::Mpz;
const std::string TOO_LARGE = "値が大きすぎます";

/// F(n) by the plain stepping, one pass of two terms after another.
BigInt LucasTermStepwise(unsigned a, unsigned b, unsigned f0, unsigned f1, unsigned n) {
    if (n <= 1) return static_cast<int>(n == 0 ? f0 : f1);
    const int ia = static_cast<int>(a), ib = static_cast<int>(b);
    BigInt r = static_cast<int>(f0), q = static_cast<int>(f1);
    for (unsigned k = (n - 1) / 2; k > 0; --k) {
        r = q * ia + r * ib;
        q = r * ia + q * ib;
    }
    if (n % 2 == 0) q = q * ia + r * ib;
    return q;
}

/// GMP's text of v, or too large when it needs more than `bits` bits or `overflowed`.
std::string Shown(const Mpz& v, bool overflowed = false, size_t bits = 1616) {
    return overflowed || v.Bits() > bits ? TOO_LARGE : gmp::Text(v);
}

TEST(Progression, AgainstGmpTermByTerm) {
    const int values[] = {-32768, -32767, -1000, -3, -2, -1, 0, 1, 2, 3, 10, 1000, 32766, 32767};
    const int terms[] = {1, 2, 3, 5, 10, 99, 100, 107, 108, 109, 200, 1000};
    Mpz power, full, fullMinusOne, numerator;
    for (int a : values) {
        for (int d : values) {
            Mpz term(a), sum(0L), aTerm(a), aSum(0L);
            int n = 1;
            for (int target : terms) {
                for (; n <= target; ++n) {
                    if (n > 1) {
                        mpz_mul_si(term, term, d);
                        mpz_add(aTerm, aTerm, Mpz(d));
                    }
                    mpz_add(sum, sum, term);
                    mpz_add(aSum, aSum, aTerm);
                }
                SCOPED_TRACE(testing::Message() << "a=" << a << " d=" << d << " n=" << target);
                EXPECT_EQ(ResultText(ArithmeticTerm(a, d, target)), gmp::Text(aTerm));
                EXPECT_EQ(ResultText(ArithmeticSum(a, d, target)), gmp::Text(aSum));
                // G1 = a d^(n-1): too large when d^(n-1) or the product does not fit.
                mpz_ui_pow_ui(power, static_cast<unsigned long>(std::abs(d)), static_cast<unsigned long>(target - 1));
                EXPECT_EQ(ResultText(GeometricTerm(a, d, target)), Shown(term, power.Bits() > 1616));
                // G2 = a (d^n - 1) / (d - 1): d^n, then d^n - 1 (a sum of like
                // signs for a negative d^n, below 2^1600), then the product.
                mpz_set_si(full, d), mpz_pow_ui(full, full, static_cast<unsigned long>(target));
                mpz_sub_ui(fullMinusOne, full, 1);
                mpz_mul_si(numerator, fullMinusOne, a);
                const bool steps = d != 1 && (full.Bits() > 1616 || (mpz_sgn(full) < 0 && fullMinusOne.Bits() > 1600) ||
                                              numerator.Bits() > 1616);
                const GeometricSumResult g = GeometricSum(a, d, target);
                EXPECT_EQ(ResultText(g.sum), Shown(sum, steps));
                EXPECT_FALSE(g.remainderLeft);
            }
        }
    }
    // The largest term number, and n - 1 of INT_MIN wrapping to INT_MAX as in
    // 32-bit register arithmetic.
    const struct {
        int a, d, n;
        const char *a1, *a2, *g1, *g2;
    } rows[] = {
        {5, 0, 32767, "5", "163835", "0", "5"},
        {4, -1, 32767, "-32762", "-536690693", "4", "4"},
        {32767, 32767, 32767, "1073676289", "17591112318976", "値が大きすぎます", "値が大きすぎます"},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(ResultText(ArithmeticTerm(r.a, r.d, r.n)), r.a1);
        EXPECT_EQ(ResultText(ArithmeticSum(r.a, r.d, r.n)), r.a2);
        EXPECT_EQ(ResultText(GeometricTerm(r.a, r.d, r.n)), r.g1);
        EXPECT_EQ(ResultText(GeometricSum(r.a, r.d, r.n).sum), r.g2);
    }
    EXPECT_EQ(ResultText(ArithmeticTerm(0, 1, INT_MIN)), "2147483647");
    EXPECT_EQ(ResultText(GeometricTerm(3, -1, INT_MAX)), "3");   // (-1)^(2^31 - 2)
    EXPECT_EQ(ResultText(GeometricTerm(3, -1, INT_MIN)), "-3");  // (-1)^(2^31 - 1)
    EXPECT_EQ(ResultText(GeometricSum(3, -1, INT_MAX).sum), "3");
    EXPECT_EQ(ResultText(GeometricSum(3, 0, INT_MAX).sum), "3");
}

TEST(Progression, RemainderNoticeShowsThreeBoxesInTurn) {
    BoxRecorder boxes;
    GeometricSumResult g;
    g.numerator = -7;
    g.divisor = 3;
    g.remainderLeft = true;
    ReportGeometricSumRemainder(g);
    ReportGeometricSumRemainder(GeometricSum(3, 2, 5));  // no remainder: nothing shown
    EXPECT_EQ(boxes.Lines(), (std::vector<std::string>{"[Kalvora] 開発者にご連絡下さい(in GeometricSum)", "[Kalvora] -7",
                                                         "[Kalvora] 3"}));
}

TEST(Lucas, AgainstGmpAndThePlainStepping) {
    const LucasSequence seq;
    Mpz f;
    for (unsigned n = 0; n <= 512; ++n) {
        mpz_fib_ui(f, n);
        ASSERT_EQ(ResultText(seq.Term(1, 1, 0, 1, n)), gmp::Text(f)) << "Fibonacci " << n;
        mpz_lucnum_ui(f, n);
        ASSERT_EQ(ResultText(seq.Term(1, 1, 2, 1, n)), gmp::Text(f)) << "Lucas " << n;
    }
    // Every term in GMP: the stepping computes F(2) .. F(n), sums of two
    // non-negative products, and fails once one needs more than 1600 bits.
    for (unsigned a : {0u, 2u, 17u, 32u}) {
        for (unsigned b : {0u, 1u, 3u, 32u}) {
            Mpz prev(256L), cur(3L), next;
            bool overflowed = false;
            for (unsigned n = 2; n <= 512; ++n) {
                mpz_mul_ui(next, cur, a), mpz_addmul_ui(next, prev, b);
                prev = cur, cur = next;
                overflowed = overflowed || cur.Bits() > 1600;
                ASSERT_EQ(ResultText(seq.Term(a, b, 256, 3, n)), Shown(cur, overflowed)) << a << " " << b << " " << n;
            }
        }
    }
    // The shortcuts against the plain stepping, with typed signs (large unsigned values).
    std::mt19937 rng(1234567);
    const unsigned specials[] = {0, 1, 2, 32, 256, 0u - 1, 0u - 2, 0u - 3, 65536, 2147483647u, 2147483648u};
    for (int round = 0; round < 3000; ++round) {
        const unsigned a = round % 3 == 0 ? specials[rng() % 11] : (rng() % 7) - 3;
        const unsigned b = round % 3 == 1 ? specials[rng() % 11] : (rng() % 5) - 2;
        const unsigned f0 = specials[rng() % 11], f1 = rng() % 2 ? specials[rng() % 11] : rng() % 1000;
        const unsigned n = rng() % 600;
        ASSERT_EQ(ResultText(seq.Term(a, b, f0, f1, n)), ResultText(LucasTermStepwise(a, b, f0, f1, n)))
            << "a=" << a << " b=" << b << " f0=" << f0 << " f1=" << f1 << " n=" << n;
    }
    // Term numbers too large to step, on the sequences that never overflow:
    // a = 2, b = -1 is f0 + n (f1 - f0); a = 1, b = -1 and a = 0, b = -1
    // repeat with periods 6 and 4; a = 1, b = 0 is f1 from n = 1 on.
    for (unsigned n : {4294967295u, 4294967294u, 2147483648u, 1000001u, 999998u}) {
        for (const auto& [f0, f1] : std::vector<std::pair<long, long>>{{0, 1}, {7, -3}, {-256, 256}}) {
            const unsigned u0 = static_cast<unsigned>(f0), u1 = static_cast<unsigned>(f1);
            Mpz line(f1 - f0);
            mpz_mul_ui(line, line, n);
            mpz_add(line, line, Mpz(f0));
            EXPECT_EQ(ResultText(seq.Term(2, 0u - 1, u0, u1, n)), gmp::Text(line)) << n;
            EXPECT_EQ(ResultText(seq.Term(1, 0u - 1, u0, u1, n)), ResultText(LucasTermStepwise(1, 0u - 1, u0, u1, n % 6 + 6)));
            EXPECT_EQ(ResultText(seq.Term(0, 0u - 1, u0, u1, n)), ResultText(LucasTermStepwise(0, 0u - 1, u0, u1, n % 4 + 4)));
            EXPECT_EQ(ResultText(seq.Term(1, 0, u0, u1, n)), std::to_string(f1));
            EXPECT_EQ(ResultText(seq.Term(1, 1, u0, u1, n)), TOO_LARGE);
        }
    }
}

TEST(MersenneFermat, AgainstGmp) {
    Mpz v;
    for (unsigned k = 0; k <= 1620; ++k) {
        mpz_set_ui(v, 0), mpz_setbit(v, k), mpz_sub_ui(v, v, 1);
        ASSERT_EQ(ResultText(MersenneNumber(k)), Shown(v, k >= 1616)) << "M(" << k << ")";  // 2^k must fit
    }
    for (unsigned k : {2147483647u, 2147483648u, 4294967295u}) EXPECT_EQ(ResultText(MersenneNumber(k)), TOO_LARGE) << k;
    for (unsigned k = 0; k <= 40; ++k) {
        // From k = 11 on 2^(2^k) needs more bits than there are; from k = 32 on
        // the exponent 2^k itself no longer fits 32 bits: too large, never wrapped.
        mpz_set_ui(v, 1), mpz_mul_2exp(v, v, k < 11 ? 1ul << k : 2000), mpz_add_ui(v, v, 1);
        ASSERT_EQ(ResultText(FermatNumber(k)), Shown(v)) << "F(" << k << ")";
    }
    EXPECT_EQ(ResultText(FermatNumber(4294967295u)), TOO_LARGE);
}

}  // namespace
