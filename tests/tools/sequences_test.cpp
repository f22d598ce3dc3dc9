// The sequence computations against GMP: the progression quantities with the
// overflow of every intermediate step modelled, Fibonacci and Lucas numbers,
// general Lucas-type recurrences one term at a time, the shortcuts for huge
// term numbers, Mersenne-type and Fermat numbers.
#include "tools/sequences.h"

#include <gmp.h>
#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "bigint/message_box.h"

namespace {

// F(n) by the plain stepping, one pass of two terms after another.
BigInt LucasTermStepwise(unsigned a, unsigned b, unsigned f0, unsigned f1, unsigned n) {
    if (n == 0) return static_cast<int>(f0);
    if (n == 1) return static_cast<int>(f1);
    const int ia = static_cast<int>(a), ib = static_cast<int>(b);
    BigInt r = static_cast<int>(f0), q = static_cast<int>(f1);
    for (unsigned k = (n - 1) / 2; k > 0; --k) {
        r = q * ia + r * ib;
        q = r * ia + q * ib;
    }
    if (n % 2 == 0) q = q * ia + r * ib;
    return q;
}


const std::string TOO_LARGE = "値が大きすぎます";

// --- GMP helpers ---------------------------------------------------------------

class Mpz {
public:
    Mpz() { mpz_init(v); }
    explicit Mpz(long x) { mpz_init_set_si(v, x); }
    Mpz(const Mpz& o) { mpz_init_set(v, o.v); }
    Mpz& operator=(const Mpz& o) {
        mpz_set(v, o.v);
        return *this;
    }
    ~Mpz() { mpz_clear(v); }
    std::string Text() const {
        std::vector<char> buf(mpz_sizeinbase(v, 10) + 2);
        return mpz_get_str(buf.data(), 10, v);
    }
    /// Whether a product this large overflows: it needs more than the 1616
    /// bits of BigInt's magnitude.
    bool Overflows() const { return mpz_sizeinbase(v, 2) > 1616 && mpz_sgn(v) != 0; }
    /// Whether a sum of like signs this large overflows: it needs more than
    /// 100 limbs (1600 bits).
    bool OverflowsSum() const { return mpz_sizeinbase(v, 2) > 1600 && mpz_sgn(v) != 0; }
    mpz_t v;
};

Mpz Mul(const Mpz& a, long b) {
    Mpz r;
    mpz_mul_si(r.v, a.v, b);
    return r;
}
Mpz Add(const Mpz& a, const Mpz& b) {
    Mpz r;
    mpz_add(r.v, a.v, b.v);
    return r;
}
Mpz Pow(long base, unsigned long e) {
    Mpz r(base);
    mpz_pow_ui(r.v, r.v, e);
    return r;
}

// A result of the documented steps: too large when any step overflowed.
std::string Shown(const Mpz& value, bool overflowed) {
    return overflowed || value.Overflows() ? TOO_LARGE : value.Text();
}

// --- Progressions -------------------------------------------------------------

struct ProgressionRow {
    int a, d, n;
    const char* arithTerm;
    const char* arithSum;
    const char* geomTerm;
    const char* geomSum;
};

TEST(Progression, DocumentedExamples) {
    const ProgressionRow rows[] = {
        {1, 1, 1, "1", "1", "1", "1"},            // start values
        {3, 2, 5, "11", "35", "48", "93"},
        {7, 1, 100, "106", "5650", "7", "700"},    // d = 1: geometric sum a n
        {5, 0, 1, "5", "5", "5", "5"},
        {5, 0, 2, "5", "10", "0", "5"},           // d = 0: sum stays a
        {5, 0, 32767, "5", "163835", "0", "5"},
        {4, -1, 2, "3", "7", "-4", "0"},          // d = -1: even n sums to 0
        {4, -1, 3, "2", "9", "4", "4"},           //          odd n sums to a
        {4, -1, 32767, "-32762", "-536690693", "4", "4"},
        {-32768, -32768, 2, "-65536", "-98304", "1073741824", "1073709056"},
        {32767, 32767, 32767, "1073676289", "17591112318976", "値が大きすぎます", "値が大きすぎます"},
        {0, 32767, 32767, "1073643522", "17590038642687", "値が大きすぎます", "値が大きすぎます"},
    };
    for (const ProgressionRow& r : rows) {
        SCOPED_TRACE(testing::Message() << "a=" << r.a << " d=" << r.d << " n=" << r.n);
        EXPECT_EQ(ResultText(ArithmeticTerm(r.a, r.d, r.n)), r.arithTerm);
        EXPECT_EQ(ResultText(ArithmeticSum(r.a, r.d, r.n)), r.arithSum);
        EXPECT_EQ(ResultText(GeometricTerm(r.a, r.d, r.n)), r.geomTerm);
        const GeometricSumResult g = GeometricSum(r.a, r.d, r.n);
        EXPECT_EQ(ResultText(g.sum), r.geomSum);
        EXPECT_FALSE(g.remainderLeft);
    }
}

// Whether G2's steps overflow for d != 1: d^n needs more than 1616 bits; or
// d^n is negative and d^n - 1, a sum of like signs, needs more than 1600;
// or the product a (d^n - 1) needs more than 1616.
bool GeometricSumStepsOverflow(int a, int d, int n) {
    if (d == 1) return false;
    const Mpz full = Pow(d, static_cast<unsigned long>(n));
    Mpz fullMinusOne = full;
    mpz_sub_ui(fullMinusOne.v, fullMinusOne.v, 1);
    return full.Overflows() || (mpz_sgn(full.v) < 0 && fullMinusOne.OverflowsSum()) ||
           Mul(fullMinusOne, a).Overflows();
}

// The four quantities by summing term after term in GMP; a result is too
// large when a step of the documented computation overflows: d^(n-1) or its
// product with a (G1), or a step of G2 as above.
TEST(Progression, AgainstGmpOnBoundaryInputs) {
    const int values[] = {-32768, -32767, -1000, -3, -2, -1, 0, 1, 2, 3, 10, 1000, 32766, 32767};
    const int terms[] = {1, 2, 3, 4, 5, 10, 99, 100, 107, 108, 109, 200, 1000};
    for (int a : values) {
        for (int d : values) {
            Mpz term(a), sum(0), aTerm(a), aSum(0);
            int n = 1;
            for (int target : terms) {
                for (; n <= target; ++n) {
                    if (n > 1) {
                        term = Mul(term, d);
                        aTerm = Add(aTerm, Mpz(d));
                    }
                    sum = Add(sum, term);
                    aSum = Add(aSum, aTerm);
                }
                SCOPED_TRACE(testing::Message() << "a=" << a << " d=" << d << " n=" << target);
                EXPECT_EQ(ResultText(ArithmeticTerm(a, d, target)), aTerm.Text());
                EXPECT_EQ(ResultText(ArithmeticSum(a, d, target)), aSum.Text());

                const Mpz power = Pow(d, static_cast<unsigned long>(target - 1));
                EXPECT_EQ(ResultText(GeometricTerm(a, d, target)), Shown(term, power.Overflows()));

                const GeometricSumResult g = GeometricSum(a, d, target);
                EXPECT_EQ(ResultText(g.sum), Shown(sum, GeometricSumStepsOverflow(a, d, target)));
                EXPECT_FALSE(g.remainderLeft);
            }
        }
    }
}

TEST(Progression, GeometricSumWithNegativeRatiosAgainstGmp) {
    // Alternating signs, up to the last n whose sum still fits.
    for (int d : {-2, -3, -7, -255, -32768}) {
        for (int a : {1, -1, 5, 32767, -32768}) {
            Mpz term(a), sum(0);
            for (int n = 1; n <= 1700; ++n) {
                if (n > 1) term = Mul(term, d);
                sum = Add(sum, term);
                const std::string expected = Shown(sum, GeometricSumStepsOverflow(a, d, n));
                ASSERT_EQ(ResultText(GeometricSum(a, d, n).sum), expected)
                    << "a=" << a << " d=" << d << " n=" << n;
                if (expected == TOO_LARGE) break;
            }
        }
    }
}

TEST(Progression, GeometricSumDivisorAndNumerator) {
    const GeometricSumResult g = GeometricSum(3, 2, 5);  // 3 (2^5 - 1) / (2 - 1)
    EXPECT_EQ(ResultText(g.numerator), "93");
    EXPECT_EQ(ResultText(g.divisor), "1");
    const GeometricSumResult h = GeometricSum(2, -3, 3);  // 2 ((-3)^3 - 1) / (-3 - 1)
    EXPECT_EQ(ResultText(h.numerator), "-56");
    EXPECT_EQ(ResultText(h.divisor), "-4");
    EXPECT_EQ(ResultText(h.sum), "14");
    const GeometricSumResult one = GeometricSum(7, 1, 100);  // the d = 1 branch
    EXPECT_EQ(ResultText(one.numerator), "1");
    EXPECT_EQ(ResultText(one.divisor), "1");
}

TEST(Progression, TermNumbersAtTheIntLimitsDoNotOverflowTheMachineInteger) {
    // n - 1 of INT_MIN wraps to INT_MAX as in 32-bit register arithmetic.
    EXPECT_EQ(ResultText(ArithmeticTerm(0, 1, INT_MIN)), "2147483647");
    EXPECT_EQ(ResultText(ArithmeticTerm(5, -1, INT_MAX)), "-2147483641");
    EXPECT_EQ(ResultText(GeometricTerm(3, 1, INT_MAX)), "3");
    EXPECT_EQ(ResultText(GeometricTerm(3, -1, INT_MAX)), "3");   // (-1)^(2^31 - 2)
    EXPECT_EQ(ResultText(GeometricTerm(3, -1, INT_MIN)), "-3");  // (-1)^(2^31 - 1)
    EXPECT_EQ(ResultText(GeometricSum(3, 0, INT_MAX).sum), "3");
    EXPECT_EQ(ResultText(GeometricSum(3, -1, INT_MAX).sum), "3");
}

class RecordingPresenter : public MessageBoxPresenter {
public:
    void ShowMessageBox(const std::string& text, const std::string& caption) override {
        boxes.emplace_back(text, caption);
    }
    std::vector<std::pair<std::string, std::string>> boxes;
};

TEST(Progression, RemainderNoticeShowsThreeBoxesInTurn) {
    RecordingPresenter recorder;
    InstallMessageBoxPresenter(&recorder);
    GeometricSumResult g;
    g.sum = 1;
    g.numerator = -7;
    g.divisor = 3;
    g.remainderLeft = true;
    ReportGeometricSumRemainder(g);
    ReportGeometricSumRemainder(GeometricSum(3, 2, 5));  // no remainder: nothing shown
    InstallMessageBoxPresenter(nullptr);
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"開発者にご連絡下さい(in GeometricSum)", "Kalvora"}, {"-7", "Kalvora"}, {"3", "Kalvora"}};
    EXPECT_EQ(recorder.boxes, expected);
}

// --- Lucas-type sequences -----------------------------------------------------

struct LucasRow {
    unsigned a, b, f0, f1, n;
    const char* expected;
};

TEST(Lucas, DocumentedExamples) {
    const LucasRow rows[] = {
        {1, 1, 0, 1, 2, "1"},  // start values
        {1, 1, 0, 1, 10, "55"},
        {1, 1, 0, 1, 15, "610"},
        {1, 1, 0, 1, 0, "0"},
        {1, 1, 0, 1, 1, "1"},
        {1, 1, 2, 1, 10, "123"},
        {1, 1, 2, 1, 0, "2"},
        {2, 0, 0, 1, 11, "1024"},
        {0, 3, 5, 7, 10, "1215"},  // a = 0: F(2k) = b^k f0
        {0, 3, 5, 7, 11, "1701"},  //        F(2k+1) = b^k f1
        {0, 0, 5, 7, 2, "0"},
        {32, 32, 256, 256, 512, "値が大きすぎます"},
        {32, 32, 256, 256, 4294967295u, "値が大きすぎます"},
        {1, 1, 0, 0, 512, "0"},
    };
    const LucasSequence seq;
    for (const LucasRow& r : rows) {
        EXPECT_EQ(ResultText(seq.Term(r.a, r.b, r.f0, r.f1, r.n)), r.expected)
            << "a=" << r.a << " b=" << r.b << " f0=" << r.f0 << " f1=" << r.f1 << " n=" << r.n;
    }
}

TEST(Lucas, FibonacciAndLucasNumbersTo512AgainstGmp) {
    const LucasSequence seq;
    Mpz expected;
    for (unsigned n = 0; n <= 512; ++n) {
        mpz_fib_ui(expected.v, n);
        ASSERT_EQ(ResultText(seq.Term(1, 1, 0, 1, n)), expected.Text()) << "Fibonacci n=" << n;
        mpz_lucnum_ui(expected.v, n);
        ASSERT_EQ(ResultText(seq.Term(1, 1, 2, 1, n)), expected.Text()) << "Lucas n=" << n;
    }
}

// Every term up to n, one at a time in GMP; the two-terms-per-pass stepping
// computes F(2) .. F(n), each a sum of two non-negative products, so it
// overflows exactly when one of them needs more than 1600 bits (a sum of
// like signs, even with a zero, must fit in 100 limbs).
TEST(Lucas, ValidRangeAgainstGmpTermByTerm) {
    const unsigned coefficients[] = {0, 1, 2, 3, 17, 32};
    const unsigned starts[][2] = {{0, 1}, {1, 0}, {256, 256}, {255, 3}};
    const LucasSequence seq;
    for (unsigned a : coefficients) {
        for (unsigned b : coefficients) {
            for (const auto& s : starts) {
                Mpz prev(s[0]), cur(s[1]);
                bool overflowed = false;
                for (unsigned n = 0; n <= 512; ++n) {
                    std::string expected;
                    if (n == 0) {
                        expected = prev.Text();
                    } else {
                        if (n >= 2) {
                            Mpz next = Add(Mul(cur, a), Mul(prev, b));
                            prev = cur;
                            cur = next;
                            overflowed = overflowed || cur.OverflowsSum();
                        }
                        expected = overflowed ? TOO_LARGE : cur.Text();
                    }
                    // Every term is stepped in GMP; Term is asked at the small
                    // numbers and around the powers of two.
                    const bool sampled = n <= 24 || n % 64 <= 1 || n % 64 == 63 || n >= 509;
                    if (!sampled) continue;
                    ASSERT_EQ(ResultText(seq.Term(a, b, s[0], s[1], n)), expected)
                        << "a=" << a << " b=" << b << " f0=" << s[0] << " f1=" << s[1] << " n=" << n;
                }
            }
        }
    }
}

// The shortcuts of Term against the plain stepping, on inputs that only
// typing can produce (signs become large unsigned values) and on the
// coefficient pairs whose sequences are periodic or grow linearly.
TEST(Lucas, TermMatchesPlainSteppingIncludingTypedSigns) {
    const unsigned seed = 1234567;
    std::mt19937 rng(seed);
    const unsigned specials[] = {0, 1, 2, 3, 32, 256, static_cast<unsigned>(-1), static_cast<unsigned>(-2),
                                 static_cast<unsigned>(-3), 65536, 2147483647u, 2147483648u};
    const LucasSequence seq;
    for (int round = 0; round < 3000; ++round) {
        const unsigned a = round % 3 == 0 ? specials[rng() % std::size(specials)] : (rng() % 7) - 3;
        const unsigned b = round % 3 == 1 ? specials[rng() % std::size(specials)] : (rng() % 5) - 2;
        const unsigned f0 = specials[rng() % std::size(specials)];
        const unsigned f1 = rng() % 2 ? specials[rng() % std::size(specials)] : rng() % 1000;
        const unsigned n = rng() % 600;
        const BigInt fast = seq.Term(a, b, f0, f1, n);
        const BigInt slow = LucasTermStepwise(a, b, f0, f1, n);
        ASSERT_EQ(ResultText(fast), ResultText(slow))
            << "seed " << seed << " a=" << a << " b=" << b << " f0=" << f0 << " f1=" << f1 << " n=" << n;
    }
}

struct LongRow {
    unsigned a, b, f0, f1, n;
};

// Closed forms for the sequences that never overflow, at term numbers too
// large to step: a = 2, b = -1 gives f0 + n (f1 - f0); a = -2, b = -1 gives
// (-1)^n (f0 - n (f0 + f1)); a = 1, b = -1 repeats with period 6;
// a = 0, b = -1 with period 4; a = 1, b = 0 is f1 from n = 1 on.
TEST(Lucas, HugeTermNumbersOfNonOverflowingSequences) {
    const unsigned M1 = static_cast<unsigned>(-1);
    const unsigned M2 = static_cast<unsigned>(-2);
    const unsigned bigNs[] = {4294967295u, 4294967294u, 2147483648u, 2147483647u, 1000001u, 999998u};
    const LucasSequence seq;
    for (unsigned n : bigNs) {
        for (const auto& [f0, f1] : std::vector<std::pair<int, int>>{{0, 1}, {7, -3}, {-256, 256}, {5, 5}}) {
            SCOPED_TRACE(testing::Message() << "n=" << n << " f0=" << f0 << " f1=" << f1);
            const unsigned uf0 = static_cast<unsigned>(f0), uf1 = static_cast<unsigned>(f1);
            Mpz lin(f1 - f0);
            mpz_mul_ui(lin.v, lin.v, n);
            mpz_add(lin.v, lin.v, Mpz(f0).v);
            EXPECT_EQ(ResultText(seq.Term(2, M1, uf0, uf1, n)), lin.Text());

            Mpz alt(f0 + f1);
            mpz_mul_ui(alt.v, alt.v, n);
            mpz_sub(alt.v, Mpz(f0).v, alt.v);
            if (n % 2) mpz_neg(alt.v, alt.v);
            EXPECT_EQ(ResultText(seq.Term(M2, M1, uf0, uf1, n)), alt.Text());

            // Period 6 and 4: the term at n equals the term at n mod period
            // (plus a period, so that n >= 2 takes the stepping path).
            EXPECT_EQ(ResultText(seq.Term(1, M1, uf0, uf1, n)),
                      ResultText(LucasTermStepwise(1, M1, uf0, uf1, n % 6 + 6)));
            EXPECT_EQ(ResultText(seq.Term(0, M1, uf0, uf1, n)),
                      ResultText(LucasTermStepwise(0, M1, uf0, uf1, n % 4 + 4)));
            EXPECT_EQ(ResultText(seq.Term(1, 0, uf0, uf1, n)), Mpz(f1).Text());
            EXPECT_EQ(ResultText(seq.Term(0, 1, uf0, uf1, n)), Mpz(n % 2 ? f1 : f0).Text());
            EXPECT_EQ(ResultText(seq.Term(32, 32, 0, 0, n)), "0");
            EXPECT_EQ(ResultText(seq.Term(1, 1, uf0, uf1, n)), f0 == 0 && f1 == 0 ? "0" : TOO_LARGE);
        }
    }
}

// --- Mersenne-type and Fermat numbers -------------------------------------------

TEST(MersenneFermat, DocumentedExamples) {
    const std::pair<unsigned, const char*> mersenne[] = {
        {0, "0"}, {1, "1"}, {2, "3"}, {7, "127"}, {31, "2147483647"}, {32, "4294967295"},
    };
    for (const auto& [k, text] : mersenne) EXPECT_EQ(ResultText(MersenneNumber(k)), text) << "M(" << k << ")";
    const std::pair<unsigned, const char*> fermat[] = {
        {0, "3"}, {1, "5"}, {2, "17"}, {3, "257"}, {4, "65537"}, {5, "4294967297"},
    };
    for (const auto& [k, text] : fermat) EXPECT_EQ(ResultText(FermatNumber(k)), text) << "F(" << k << ")";
}

TEST(MersenneFermat, AgainstGmp) {
    for (unsigned k = 0; k <= 1615; ++k) {
        Mpz m = Pow(2, k);
        mpz_sub_ui(m.v, m.v, 1);
        ASSERT_EQ(ResultText(MersenneNumber(k)), m.Text()) << "M(" << k << ")";
    }
    Mpz m800 = Pow(2, 800);
    mpz_sub_ui(m800.v, m800.v, 1);
    EXPECT_EQ(m800.Text().size(), 241u);
    EXPECT_EQ(ResultText(MersenneNumber(800)), m800.Text());
    for (unsigned k = 0; k <= 10; ++k) {
        Mpz f = Pow(2, 1ul << k);
        mpz_add_ui(f.v, f.v, 1);
        ASSERT_EQ(ResultText(FermatNumber(k)), f.Text()) << "F(" << k << ")";
        if (k == 9) {
            EXPECT_EQ(f.Text().size(), 155u);
        }
    }
}

TEST(MersenneFermat, TooLargeBeyondTheWidth) {
    // 2^1616 itself no longer fits, so the decrement starts from an error.
    for (unsigned k : {1616u, 1617u, 5000u, 2147483647u, 2147483648u, 4294967295u}) {
        EXPECT_EQ(ResultText(MersenneNumber(k)), TOO_LARGE) << "M(" << k << ")";
    }
    // From k = 32 on the exponent 2^k no longer fits 32 bits: too large, never
    // the value of a wrapped exponent.
    for (unsigned k : {11u, 12u, 31u, 32u, 33u, 64u, 4294967295u}) {
        EXPECT_EQ(ResultText(FermatNumber(k)), TOO_LARGE) << "F(" << k << ")";
    }
}

}  // namespace
