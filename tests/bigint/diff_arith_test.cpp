// Differential tests of construction, comparison, addition, subtraction,
// multiplication, shifts, division and remainder: BigInt against the
// step-by-step reference (every field, every output byte) and against GMP
// (values and the overflow limits).

#include <gtest/gtest.h>

#include <climits>

#include "tests/bigint/test_support.h"

namespace bigint_test {
namespace {

// An operand for the differential loops: mostly valid, sometimes invalid
// (status 1) to check propagation.
BigInt Operand(Rng& rng, unsigned maxBits = 1616) {
    BigInt x = RandomBig(rng, maxBits);
    if (Uniform(rng, 0, 24) == 0) x.status = 1;
    return x;
}

int RandomInt(Rng& rng) {
    static constexpr int kEdges[] = {0, 1, -1, 2, -2, 65535, 65536, -65535, -65536, 65537,
                                     INT_MAX, INT_MIN, INT_MIN + 1, 0x7FFF, 0x8000, -0x8000};
    if (Uniform(rng, 0, 2) == 0) return kEdges[Uniform(rng, 0, std::size(kEdges) - 1)];
    return static_cast<int>(static_cast<uint32_t>(rng()) >> Uniform(rng, 0, 31)) * (Uniform(rng, 0, 1) ? -1 : 1);
}

bool Valid(const BigInt& x) { return x.status == 0; }

TEST(BigIntDifferential, ConstructionFromIntAndMachineConversions) {
    const uint64_t seed = TestSeed();
    SCOPED_TRACE(SeedNote(seed));
    Rng rng(seed);
    for (int it = 0; it < Iterations(4000); ++it) {
        const int v = RandomInt(rng);
        const BigInt a(v);
        BigInt b;
        const BigInt returned = (b = v);
        ASSERT_TRUE(SameFields(a, RefBigInt(v))) << v;
        ASSERT_TRUE(SameFields(b, RefBigInt(v))) << v;
        ASSERT_TRUE(SameFields(returned, RefBigInt(v))) << v;
        ASSERT_TRUE(HasValue(a, Mpz(v))) << v;

        const BigInt x = RandomBig(rng);
        ASSERT_EQ(x.ToInt(), ToRef(x).ToInt()) << Describe(x);
        ASSERT_EQ(x.Low32(), ToRef(x).Low32()) << Describe(x);
        // Low32 is the low 32 bits of the magnitude.
        Mpz low = ToMpz(x);
        mpz_abs(low, low);
        mpz_tdiv_r_2exp(low, low, 32);
        ASSERT_EQ(x.Low32(), mpz_get_ui(low)) << Describe(x);
    }
}

TEST(BigIntDifferential, Comparisons) {
    const uint64_t seed = TestSeed();
    SCOPED_TRACE(SeedNote(seed));
    Rng rng(seed);
    for (int it = 0; it < Iterations(6000); ++it) {
        const BigInt a = Operand(rng);
        // Often compare with a close relative so that equal tops and equal limbs are common.
        BigInt b = Operand(rng);
        switch (Uniform(rng, 0, 3)) {
            case 0:
                b = a;
                break;
            case 1:
                b = a;
                b.limbs[Uniform(rng, 0, a.top)] ^= static_cast<uint16_t>(1u << Uniform(rng, 0, 15));
                while (b.top > 0 && b.limbs[b.top] == 0) --b.top;
                break;
            case 2:
                b = a;
                b.sign = b.sign ? 0 : 1;
                break;
            default:
                break;
        }
        const RefBigInt ra = ToRef(a), rb = ToRef(b);
        const std::string ctx = Describe(a) + " vs " + Describe(b);
        ASSERT_EQ(a.CompareMagnitude(b), ra.CompareMagnitude(rb)) << ctx;
        ASSERT_EQ(a == b, ra == rb) << ctx;
        ASSERT_EQ(a != b, ra != rb) << ctx;
        ASSERT_EQ(a > b, ra > rb) << ctx;
        ASSERT_EQ(a < b, ra < rb) << ctx;
        ASSERT_EQ(a >= b, ra >= rb) << ctx;
        ASSERT_EQ(a <= b, ra <= rb) << ctx;
        const int v = RandomInt(rng);
        ASSERT_EQ(a == v, ra == v) << ctx << " int " << v;
        ASSERT_EQ(a != v, ra != v) << ctx << " int " << v;
        ASSERT_EQ(a > v, ra > v) << ctx << " int " << v;
        ASSERT_EQ(a < v, ra < v) << ctx << " int " << v;
        ASSERT_EQ(a >= v, ra >= v) << ctx << " int " << v;
        ASSERT_EQ(a <= v, ra <= v) << ctx << " int " << v;
        // For valid values that are not negative zeros the order is the integers' order.
        const bool negZeroA = a.sign && a.top == 0 && a.limbs[0] == 0;
        const bool negZeroB = b.sign && b.top == 0 && b.limbs[0] == 0;
        if (Valid(a) && Valid(b) && !negZeroA && !negZeroB) {
            const int c = mpz_cmp(ToMpz(a), ToMpz(b));
            ASSERT_EQ(a < b, c < 0) << ctx;
            ASSERT_EQ(a == b, c == 0) << ctx;
        }
    }
}

TEST(BigIntDifferential, AdditionAndSubtraction) {
    const uint64_t seed = TestSeed();
    SCOPED_TRACE(SeedNote(seed));
    Rng rng(seed);
    const Mpz limit = Pow2(1600);
    for (int it = 0; it < Iterations(6000); ++it) {
        const BigInt a = Operand(rng);
        const BigInt b = Uniform(rng, 0, 4) == 0 ? BigInt(RandomInt(rng)) : Operand(rng);
        const RefBigInt ra = ToRef(a), rb = ToRef(b);
        const std::string ctx = Describe(a) + " , " + Describe(b);

        Twin sum = RunBoth([&] { return a + b; }, [&] { return ra + rb; });
        ASSERT_TRUE(SameOutcome(sum.ours, sum.ourOut, sum.ref, sum.refOut)) << "+ " << ctx;
        Twin diff = RunBoth([&] { return a - b; }, [&] { return ra - rb; });
        ASSERT_TRUE(SameOutcome(diff.ours, diff.ourOut, diff.ref, diff.refOut)) << "- " << ctx;

        const bool negZero = (a.sign && a.top == 0 && a.limbs[0] == 0) || (b.sign && b.top == 0 && b.limbs[0] == 0);
        if (Valid(a) && Valid(b) && !negZero) {
            // Like signs overflow exactly when |a| + |b| >= 2^1600.
            Mpz s, d, absA = ToMpz(a), absB = ToMpz(b);
            mpz_add(s, ToMpz(a), ToMpz(b));
            mpz_sub(d, ToMpz(a), ToMpz(b));
            mpz_abs(absA, absA);
            mpz_abs(absB, absB);
            Mpz magSum;
            mpz_add(magSum, absA, absB);
            const bool like = (a.sign != 0) == (b.sign != 0);
            const bool sumOverflows = like && mpz_cmp(magSum, limit) >= 0;
            const bool diffOverflows = !like && mpz_cmp(magSum, limit) >= 0;
            if (sumOverflows) {
                ASSERT_EQ(sum.ours.status, 1) << ctx;
                ASSERT_EQ(sum.ourOut.err, OopsLine("+")) << ctx;
            } else {
                ASSERT_TRUE(HasValue(sum.ours, s)) << "+ " << ctx;
                ASSERT_TRUE(sum.ourOut.err.empty()) << ctx;
            }
            if (diffOverflows)
                ASSERT_EQ(diff.ours.status, 1) << ctx;
            else
                ASSERT_TRUE(HasValue(diff.ours, d)) << "- " << ctx;
        } else if (!Valid(a) || !Valid(b)) {
            ASSERT_EQ(sum.ours.status, 1);
            ASSERT_EQ(diff.ours.status, 1);
        }

        // Compound forms and increments behave as the plain operators.
        BigInt c = a;
        RefBigInt rc = ra;
        Twin compound = RunBoth([&] { return c += b; }, [&] { return rc += rb; });
        ASSERT_TRUE(SameOutcome(compound.ours, compound.ourOut, compound.ref, compound.refOut)) << "+= " << ctx;
        ASSERT_TRUE(SameFields(c, rc)) << "+= " << ctx;
        c = a;
        rc = ra;
        compound = RunBoth([&] { return c -= b; }, [&] { return rc -= rb; });
        ASSERT_TRUE(SameOutcome(compound.ours, compound.ourOut, compound.ref, compound.refOut)) << "-= " << ctx;
        ASSERT_TRUE(SameFields(c, rc)) << "-= " << ctx;
        c = a;
        rc = ra;
        Twin post = RunBoth([&] { return c++; }, [&] { return rc++; });
        ASSERT_TRUE(SameOutcome(post.ours, post.ourOut, post.ref, post.refOut)) << "x++ " << ctx;
        ASSERT_TRUE(SameFields(c, rc)) << "x++ " << ctx;
        Twin pre = RunBoth([&] { return --c; }, [&] { return --rc; });
        ASSERT_TRUE(SameOutcome(pre.ours, pre.ourOut, pre.ref, pre.refOut)) << "--x " << ctx;
        ASSERT_TRUE(SameFields(c, rc)) << "--x " << ctx;
        pre = RunBoth([&] { return ++c; }, [&] { return ++rc; });
        ASSERT_TRUE(SameOutcome(pre.ours, pre.ourOut, pre.ref, pre.refOut)) << "++x " << ctx;
        post = RunBoth([&] { return c--; }, [&] { return rc--; });
        ASSERT_TRUE(SameOutcome(post.ours, post.ourOut, post.ref, post.refOut)) << "x-- " << ctx;
        ASSERT_TRUE(SameFields(c, rc)) << "x-- " << ctx;
    }
}

TEST(BigIntDifferential, Multiplication) {
    const uint64_t seed = TestSeed();
    SCOPED_TRACE(SeedNote(seed));
    Rng rng(seed);
    const Mpz limit = Pow2(1616);
    for (int it = 0; it < Iterations(4000); ++it) {
        // Sizes that straddle the limit: total length near 1616 bits is the interesting band.
        const unsigned bitsA = static_cast<unsigned>(Uniform(rng, 1, 1616));
        const unsigned bitsB = Uniform(rng, 0, 1) ? 1617 - bitsA + static_cast<unsigned>(Uniform(rng, 0, 20))
                                                  : static_cast<unsigned>(Uniform(rng, 1, 1616));
        const BigInt a = Operand(rng, bitsA);
        const BigInt b = Uniform(rng, 0, 5) == 0 ? BigInt(RandomInt(rng)) : Operand(rng, std::min(bitsB, 1616u));
        const RefBigInt ra = ToRef(a), rb = ToRef(b);
        const std::string ctx = Describe(a) + " * " + Describe(b);
        Twin p = RunBoth([&] { return a * b; }, [&] { return ra * rb; });
        ASSERT_TRUE(SameOutcome(p.ours, p.ourOut, p.ref, p.refOut, false)) << ctx;
        if (Valid(a) && Valid(b)) {
            Mpz prod;
            mpz_mul(prod, ToMpz(a), ToMpz(b));
            Mpz mag;
            mpz_abs(mag, prod);
            if (mpz_cmp(mag, limit) >= 0)
                ASSERT_EQ(p.ours.status, 1) << ctx;
            else
                ASSERT_TRUE(HasValue(p.ours, prod)) << ctx;
        }
        BigInt c = a;
        RefBigInt rc = ra;
        Twin compound = RunBoth([&] { return c *= b; }, [&] { return rc *= rb; });
        ASSERT_TRUE(SameOutcome(compound.ours, compound.ourOut, compound.ref, compound.refOut, false)) << ctx;
        ASSERT_EQ(c.status, rc.status) << ctx;
    }
}

uint16_t RandomShift(Rng& rng) {
    switch (Uniform(rng, 0, 4)) {
        case 0:
            return static_cast<uint16_t>(Uniform(rng, 0, 40));
        case 1:
            return static_cast<uint16_t>(16 * Uniform(rng, 0, 102));
        case 2:
            return static_cast<uint16_t>(Uniform(rng, 1580, 1700));
        case 3:
            return static_cast<uint16_t>(Uniform(rng, 65500, 65535));
        default:
            return static_cast<uint16_t>(Uniform(rng, 0, 1616));
    }
}

TEST(BigIntDifferential, Shifts) {
    const uint64_t seed = TestSeed();
    SCOPED_TRACE(SeedNote(seed));
    Rng rng(seed);
    const Mpz limit = Pow2(1616);
    for (int it = 0; it < Iterations(6000); ++it) {
        const BigInt a = Operand(rng);
        const uint16_t n = RandomShift(rng);
        const RefBigInt ra = ToRef(a);
        const std::string ctx = Describe(a) + " shifted by " + std::to_string(n);
        Twin left = RunBoth([&] { return a << n; }, [&] { return ra << n; });
        ASSERT_TRUE(SameOutcome(left.ours, left.ourOut, left.ref, left.refOut)) << "<< " << ctx;
        Twin right = RunBoth([&] { return a >> n; }, [&] { return ra >> n; });
        ASSERT_TRUE(SameOutcome(right.ours, right.ourOut, right.ref, right.refOut)) << ">> " << ctx;
        BigInt c = a;
        RefBigInt rc = ra;
        Twin compound = RunBoth([&] { return c <<= n; }, [&] { return rc <<= n; });
        ASSERT_TRUE(SameOutcome(compound.ours, compound.ourOut, compound.ref, compound.refOut)) << "<<= " << ctx;
        ASSERT_TRUE(SameFields(c, rc));
        c = a;
        rc = ra;
        compound = RunBoth([&] { return c >>= n; }, [&] { return rc >>= n; });
        ASSERT_TRUE(SameOutcome(compound.ours, compound.ourOut, compound.ref, compound.refOut)) << ">>= " << ctx;
        ASSERT_TRUE(SameFields(c, rc));

        if (Valid(a)) {
            Mpz mag = ToMpz(a);
            mpz_abs(mag, mag);
            Mpz up, down;
            mpz_mul_2exp(up, mag, n);
            mpz_tdiv_q_2exp(down, mag, n);
            if (mpz_sgn(mag) != 0 && mpz_cmp(up, limit) >= 0) {
                ASSERT_EQ(left.ours.status, 1) << ctx;
            } else {
                ASSERT_EQ(left.ours.status, 0) << ctx;
                ASSERT_EQ(left.ours.sign, a.sign) << ctx;
                Mpz got = ToMpz(left.ours);
                mpz_abs(got, got);
                ASSERT_EQ(mpz_cmp(got, up), 0) << ctx;
            }
            Mpz got = ToMpz(right.ours);
            mpz_abs(got, got);
            ASSERT_EQ(mpz_cmp(got, down), 0) << ctx;
            ASSERT_TRUE(IsNormal(right.ours)) << ctx;
        }
    }
}

// A divisor for the division loops: the shortcuts (+-1, +-2, 0) and divisors
// of every length, including ones that align with a 1616-bit dividend.
BigInt Divisor(Rng& rng, const BigInt& a) {
    switch (Uniform(rng, 0, 9)) {
        case 0: {
            static constexpr int kSmall[] = {0, 1, -1, 2, -2, 3, -3, 65535, 65536, -65536};
            BigInt b(kSmall[Uniform(rng, 0, std::size(kSmall) - 1)]);
            if (Uniform(rng, 0, 9) == 0) b.sign = 1;  // -0 as divisor
            return b;
        }
        case 1: {
            // |a| shifted right: a quotient of a few bits.
            BigInt b = a >> static_cast<uint16_t>(Uniform(rng, 0, 20));
            b.status = 0;
            b.sign = static_cast<int32_t>(Uniform(rng, 0, 1));
            return b;
        }
        case 2:
            return a;
        default:
            return Operand(rng);
    }
}

TEST(BigIntDifferential, DivisionAndRemainder) {
    const uint64_t seed = TestSeed();
    SCOPED_TRACE(SeedNote(seed));
    Rng rng(seed);
    for (int it = 0; it < Iterations(2500); ++it) {
        const BigInt a = Operand(rng);
        const BigInt b = Divisor(rng, a);
        const RefBigInt ra = ToRef(a), rb = ToRef(b);
        const std::string ctx = Describe(a) + " / " + Describe(b);
        Twin q = RunBoth([&] { return a / b; }, [&] { return ra / rb; });
        ASSERT_TRUE(SameOutcome(q.ours, q.ourOut, q.ref, q.refOut)) << "/ " << ctx;
        Twin r = RunBoth([&] { return a % b; }, [&] { return ra % rb; });
        ASSERT_TRUE(SameOutcome(r.ours, r.ourOut, r.ref, r.refOut)) << "% " << ctx;
        BigInt c = a;
        RefBigInt rc = ra;
        Twin compound = RunBoth([&] { return c /= b; }, [&] { return rc /= rb; });
        ASSERT_TRUE(SameOutcome(compound.ours, compound.ourOut, compound.ref, compound.refOut)) << "/= " << ctx;
        c = a;
        rc = ra;
        compound = RunBoth([&] { return c %= b; }, [&] { return rc %= rb; });
        ASSERT_TRUE(SameOutcome(compound.ours, compound.ourOut, compound.ref, compound.refOut)) << "%= " << ctx;

        const bool zeroDivisor = b.top == 0 && b.limbs[0] == 0;
        if (Valid(a) && Valid(b) && !zeroDivisor) {
            Mpz qq, rr;
            mpz_tdiv_qr(qq, rr, ToMpz(a), ToMpz(b));
            const bool negZeroA = a.sign && a.top == 0 && a.limbs[0] == 0;
            // Exceptions of the shortcuts: |a| < |b| returns a itself (sign kept), and
            // x / 1 returns x itself; with a negative zero these keep the sign 1.
            if (!negZeroA) {
                ASSERT_TRUE(HasValue(q.ours, qq)) << "/ " << ctx;
                ASSERT_TRUE(HasValue(r.ours, rr)) << "% " << ctx;
            }
        }
        if (Valid(a) && Valid(b) && zeroDivisor && a.CompareMagnitude(b) != 2) {
            ASSERT_EQ(q.ours.status, 1);
            ASSERT_EQ(q.ourOut.boxes.size(), 1u) << ctx;
        }
    }
}

}  // namespace
}  // namespace bigint_test
