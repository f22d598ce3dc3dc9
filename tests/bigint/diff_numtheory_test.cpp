// Differential tests of the number-theoretic members: powers, modular
// powers, the cached reduction, inverse, gcd and lcm, factorial and
// binomials, bitwise operations and roots. Against the reference for every
// field and output byte, against GMP for the values.

#include <gtest/gtest.h>

#include <climits>

#include "tests/bigint/test_support.h"

namespace bigint_test {
namespace {

bool Valid(const BigInt& x) { return x.status == 0; }
bool IsZero(const BigInt& x) { return x.top == 0 && x.limbs[0] == 0; }

BigInt MaybeInvalid(Rng& rng, BigInt x) {
    if (Uniform(rng, 0, 30) == 0) x.status = 1;
    return x;
}

Mpz Abs(const Mpz& v) {
    Mpz a;
    mpz_abs(a, v);
    return a;
}

TEST(BigIntDifferential, Power) {
    const uint64_t seed = TestSeed();
    SCOPED_TRACE(SeedNote(seed));
    Rng rng(seed);
    for (int it = 0; it < Iterations(1500); ++it) {
        BigInt b = MaybeInvalid(rng, RandomBig(rng, static_cast<unsigned>(Uniform(rng, 1, 1616))));
        if (Uniform(rng, 0, 6) == 0) b = BigInt(static_cast<int>(Uniform(rng, -3, 3)));
        int e;
        switch (Uniform(rng, 0, 5)) {
            case 0:
                e = static_cast<int>(Uniform(rng, -5, 5));
                break;
            case 1:
                e = static_cast<int>(Uniform(rng, 65530, 65540));
                break;
            case 2:
                e = static_cast<int>(Uniform(rng, 1, 1700));
                break;
            default:
                e = static_cast<int>(Uniform(rng, 0, 1616 / (1 + mpz_sizeinbase(ToMpz(b), 2))) + Uniform(rng, 0, 3));
                break;
        }
        BigInt be(e);
        if (Uniform(rng, 0, 9) == 0) be = MaybeInvalid(rng, RandomBig(rng));  // any exponent, even huge
        const RefBigInt rb = ToRef(b), rbe = ToRef(be);
        const std::string ctx = Describe(b) + " ^ " + Describe(be);
        Twin p = RunBoth([&] { return b.Power(be); }, [&] { return rb.Power(rbe); });
        ASSERT_TRUE(SameOutcome(p.ours, p.ourOut, p.ref, p.refOut)) << ctx;
        Twin pi = RunBoth([&] { return b.Power(e); }, [&] { return rb.Power(e); });
        ASSERT_TRUE(SameOutcome(pi.ours, pi.ourOut, pi.ref, pi.refOut)) << ctx << " (int " << e << ")";

        if (Valid(b) && e >= 0 && e < 5000) {
            Mpz v;
            mpz_pow_ui(v, ToMpz(b), static_cast<unsigned long>(e));
            if (mpz_sizeinbase(v, 2) > 1616 && mpz_sgn(v) != 0)
                ASSERT_EQ(pi.ours.status, 1) << ctx;
            else
                ASSERT_TRUE(HasValue(pi.ours, v)) << ctx;
        }
    }
}

// A modulus: small, around 2^808 (where squares start to overflow), large, or odd ones out.
BigInt Modulus(Rng& rng) {
    switch (Uniform(rng, 0, 9)) {
        case 0:
            return BigInt(static_cast<int>(Uniform(rng, -3, 3)));
        case 1:
            return BigFromMpz(RandomMagnitude(rng, static_cast<unsigned>(Uniform(rng, 800, 816))));
        case 2:
            return BigFromMpz(RandomMagnitude(rng, static_cast<unsigned>(Uniform(rng, 1590, 1616))));
        case 3:
            return RandomBig(rng, static_cast<unsigned>(Uniform(rng, 1, 1616)));  // negative ones too
        default:
            return BigFromMpz(RandomMagnitude(rng, static_cast<unsigned>(Uniform(rng, 1, 808))));
    }
}

TEST(BigIntDifferential, PowerModAndPowerModCachedShortExponents) {
    const uint64_t seed = TestSeed();
    SCOPED_TRACE(SeedNote(seed));
    Rng rng(seed);
    for (int it = 0; it < Iterations(150); ++it) {
        const BigInt m = MaybeInvalid(rng, Modulus(rng));
        const BigInt b = MaybeInvalid(rng, RandomBig(rng, static_cast<unsigned>(Uniform(rng, 1, 1616))));
        BigInt e = MaybeInvalid(rng, RandomBig(rng, static_cast<unsigned>(Uniform(rng, 1, 24))));
        if (Uniform(rng, 0, 3) != 0) e.sign = 0;
        const RefBigInt rb = ToRef(b), re = ToRef(e), rm = ToRef(m);
        const std::string ctx = Describe(b) + " ^ " + Describe(e) + " mod " + Describe(m);
        Twin plain = RunBoth([&] { return b.PowerMod(e, m); }, [&] { return rb.PowerMod(re, rm); });
        ASSERT_TRUE(SameOutcome(plain.ours, plain.ourOut, plain.ref, plain.refOut)) << "PowerMod " << ctx;
        Twin cached = RunBoth([&] { return b.PowerModCached(e, m); }, [&] { return rb.PowerModCached(re, rm); });
        ASSERT_TRUE(SameOutcome(cached.ours, cached.ourOut, cached.ref, cached.refOut))
            << "PowerModCached " << ctx;
        const bool domainOk = Valid(b) && Valid(e) && Valid(m) && b.sign == 0 && e.sign == 0 && m.sign == 0 && !IsZero(m);
        if (domainOk && mpz_sizeinbase(ToMpz(m), 2) <= 807) {
            Mpz v;
            mpz_powm(v, ToMpz(b), ToMpz(e), ToMpz(m));
            ASSERT_TRUE(HasValue(plain.ours, v)) << ctx;
            ASSERT_TRUE(HasValue(cached.ours, v)) << ctx;
            ASSERT_TRUE(plain.ourOut.err.empty()) << ctx;
        }
        if (!domainOk) {
            ASSERT_EQ(plain.ours.status, 1) << ctx;
            ASSERT_EQ(cached.ours.status, 1) << ctx;
        }
    }
}

// Moduli of 807 to 809 bits: the squares reach 2^1615 (the remainder's
// trial-shift line) or 2^1616 (an overflow), which a fast modular power must
// reproduce exactly as the plain steps do.
TEST(BigIntDifferential, PowerModAtTheSquareLimit) {
    const uint64_t seed = TestSeed();
    SCOPED_TRACE(SeedNote(seed));
    Rng rng(seed);
    int withLines = 0;
    for (int it = 0; it < Iterations(24); ++it) {
        const unsigned bits = static_cast<unsigned>(Uniform(rng, 807, 809));
        Mpz mm = RandomMagnitude(rng, bits);
        mpz_setbit(mm, bits - 1);
        const BigInt m = BigFromMpz(mm);
        const BigInt b = BigFromMpz(RandomMagnitude(rng, static_cast<unsigned>(Uniform(rng, 700, 1615))));
        const BigInt e = BigFromMpz(RandomMagnitude(rng, static_cast<unsigned>(Uniform(rng, 2, 40))));
        const RefBigInt rb = ToRef(b), re = ToRef(e), rm = ToRef(m);
        const std::string ctx = Describe(b) + " ^ " + Describe(e) + " mod " + Describe(m);
        Twin plain = RunBoth([&] { return b.PowerMod(e, m); }, [&] { return rb.PowerMod(re, rm); });
        ASSERT_TRUE(SameOutcome(plain.ours, plain.ourOut, plain.ref, plain.refOut)) << "PowerMod " << ctx;
        Twin cached = RunBoth([&] { return b.PowerModCached(e, m); }, [&] { return rb.PowerModCached(re, rm); });
        ASSERT_TRUE(SameOutcome(cached.ours, cached.ourOut, cached.ref, cached.refOut)) << "PowerModCached " << ctx;
        if (plain.ours.status == 0) {
            Mpz v;
            mpz_powm(v, ToMpz(b), ToMpz(e), mm);
            ASSERT_TRUE(HasValue(plain.ours, v)) << ctx;
        }
        withLines += plain.ourOut.err.empty() ? 0 : 1;
    }
    // Most of these runs write lines; a run of this test that saw none tested little.
    if (Iterations(24) >= 12) {
        EXPECT_GT(withLines, 0);
    }
}

TEST(BigIntDifferential, PowerModFullSizeAgainstGmp) {
    const uint64_t seed = TestSeed();
    SCOPED_TRACE(SeedNote(seed));
    Rng rng(seed);
    for (int it = 0; it < Iterations(60); ++it) {
        const unsigned bits = static_cast<unsigned>(Uniform(rng, 2, 807));
        BigInt m = BigFromMpz(RandomMagnitude(rng, bits));
        if (IsZero(m)) m = BigInt(7);
        // A base below 2^1615: its first reduction writes no line.
        const BigInt b = BigFromMpz(RandomMagnitude(rng, 1615));
        const BigInt e = BigFromMpz(RandomMagnitude(rng, 1616));
        Mpz v;
        mpz_powm(v, ToMpz(b), ToMpz(e), ToMpz(m));
        const std::string ctx = Describe(b) + " ^ " + Describe(e) + " mod " + Describe(m);
        Output out = Capture([&] {
            ASSERT_TRUE(HasValue(b.PowerMod(e, m), v)) << "PowerMod " << ctx;
            ASSERT_TRUE(HasValue(b.PowerModCached(e, m), v)) << "PowerModCached " << ctx;
        });
        ASSERT_TRUE(out.err.empty() && out.out.empty()) << out.Describe();
    }
}

TEST(BigIntDifferential, ModCached) {
    const uint64_t seed = TestSeed();
    SCOPED_TRACE(SeedNote(seed));
    Rng rng(seed);
    BigInt previous(7);
    for (int it = 0; it < Iterations(120); ++it) {
        const BigInt m = MaybeInvalid(rng, Modulus(rng));
        const RefBigInt rm = ToRef(m);
        {
            // Back and forth between two moduli: each switch rebuilds the table.
            const BigInt x = RandomBig(rng);
            const RefBigInt rx = ToRef(x), rp = ToRef(previous);
            Twin back = RunBoth([&] { return x.ModCached(previous); }, [&] { return rx.ModCached(rp); });
            ASSERT_TRUE(SameOutcome(back.ours, back.ourOut, back.ref, back.refOut))
                << Describe(x) << " mod the previous " << Describe(previous);
            previous = m;
        }
        // Several values per modulus: the table is built once and then reused.
        for (int k = 0; k < 6; ++k) {
            BigInt x = MaybeInvalid(rng, RandomBig(rng));
            if (k == 0) x = m;
            const RefBigInt rx = ToRef(x);
            const std::string ctx = Describe(x) + " mod " + Describe(m);
            Twin r = RunBoth([&] { return x.ModCached(m); }, [&] { return rx.ModCached(rm); });
            ASSERT_TRUE(SameOutcome(r.ours, r.ourOut, r.ref, r.refOut)) << ctx;
            if (Valid(x) && Valid(m) && !IsZero(m) && mpz_sizeinbase(ToMpz(m), 2) <= 1570) {
                Mpz v;
                if (x.CompareMagnitude(m) == 2) {
                    ASSERT_TRUE(SameFields(r.ours, rx)) << "a smaller x comes back as it is: " << ctx;
                } else {
                    mpz_tdiv_r(v, Abs(ToMpz(x)), Abs(ToMpz(m)));
                    ASSERT_TRUE(HasValue(r.ours, v)) << ctx;
                }
            }
        }
    }
}

TEST(BigIntDifferential, GcdAndLcm) {
    const uint64_t seed = TestSeed();
    SCOPED_TRACE(SeedNote(seed));
    Rng rng(seed);
    for (int it = 0; it < Iterations(400); ++it) {
        BigInt x = MaybeInvalid(rng, RandomBig(rng));
        BigInt y = MaybeInvalid(rng, RandomBig(rng, static_cast<unsigned>(Uniform(rng, 1, 1616))));
        if (Uniform(rng, 0, 4) == 0) {
            // Share a large factor so the gcd is not 1.
            const Mpz f = RandomMagnitude(rng, 500);
            Mpz a, b;
            mpz_mul(a, f, RandomMagnitude(rng, 500));
            mpz_mul(b, f, RandomMagnitude(rng, 500));
            x = BigFromMpz(a);
            y = BigFromMpz(b);
        }
        const RefBigInt rx = ToRef(x), ry = ToRef(y);
        const std::string ctx = Describe(x) + " , " + Describe(y);
        Twin g = RunBoth([&] { return x.Gcd(y); }, [&] { return rx.Gcd(ry); });
        // Gcd hands back one of its working copies, status included.
        ASSERT_TRUE(SameOutcome(g.ours, g.ourOut, g.ref, g.refOut, true)) << "Gcd " << ctx;
        Twin l = RunBoth([&] { return x.Lcm(y); }, [&] { return rx.Lcm(ry); });
        ASSERT_TRUE(SameOutcome(l.ours, l.ourOut, l.ref, l.refOut)) << "Lcm " << ctx;
        if (Valid(x) && Valid(y)) {
            Mpz v;
            mpz_gcd(v, ToMpz(x), ToMpz(y));
            ASSERT_TRUE(HasValue(g.ours, v)) << ctx;
            Mpz prod;
            mpz_mul(prod, Abs(ToMpz(x)), Abs(ToMpz(y)));
            if (mpz_sgn(prod) != 0 && mpz_sizeinbase(prod, 2) <= 1616) {
                mpz_lcm(v, ToMpz(x), ToMpz(y));
                ASSERT_TRUE(HasValue(l.ours, v)) << ctx;
            }
        }
    }
}

TEST(BigIntDifferential, ModInverse) {
    const uint64_t seed = TestSeed();
    SCOPED_TRACE(SeedNote(seed));
    Rng rng(seed);
    for (int it = 0; it < Iterations(400); ++it) {
        const BigInt a = MaybeInvalid(rng, RandomBig(rng, static_cast<unsigned>(Uniform(rng, 1, 1616))));
        const BigInt m = MaybeInvalid(rng, Modulus(rng));
        const RefBigInt ra = ToRef(a), rm = ToRef(m);
        const std::string ctx = Describe(a) + " mod " + Describe(m);
        BigInt target = RandomBig(rng);
        RefBigInt refTarget;
        BigInt returned;
        Twin inv = RunBoth(
            [&] {
                returned = target.ModInverse(a, m);
                return target;
            },
            [&] { return refTarget.ModInverse(ra, rm); });
        ASSERT_TRUE(SameOutcome(inv.ours, inv.ourOut, inv.ref, inv.refOut, false)) << ctx;
        ASSERT_TRUE(SameFields(returned, ToRef(target))) << "returns a copy of the object";
        // The coefficients stay below |m|, so their sums fit while |m| < 2^1598;
        // above that the extended Euclid may overflow (status 1) but never lies.
        const bool fits = mpz_sizeinbase(ToMpz(m), 2) < 1598;
        if (Valid(a) && Valid(m) && mpz_cmpabs_ui(ToMpz(m), 1) > 0 && (fits || target.status == 0)) {
            Mpz v;
            if (mpz_invert(v, ToMpz(a), Abs(ToMpz(m))) == 0) mpz_set_ui(v, 0);
            ASSERT_TRUE(HasValue(target, v)) << ctx;
        }
    }
}

TEST(BigIntDifferential, FactorialPermutationsCombinations) {
    const uint64_t seed = TestSeed();
    SCOPED_TRACE(SeedNote(seed));
    Rng rng(seed);
    for (int it = 0; it < Iterations(300); ++it) {
        BigInt n(static_cast<int>(Uniform(rng, -3, 300)));
        if (Uniform(rng, 0, 9) == 0) n = BigInt(static_cast<int>(Uniform(rng, 65530, 65540)));
        if (Uniform(rng, 0, 19) == 0) {
            n = BigInt(0);
            n.sign = 1;
        }
        n = MaybeInvalid(rng, n);
        const RefBigInt rn = ToRef(n);
        Twin f = RunBoth([&] { return n.Factorial(); }, [&] { return rn.Factorial(); });
        ASSERT_TRUE(SameOutcome(f.ours, f.ourOut, f.ref, f.refOut)) << "Factorial " << Describe(n);
        if (Valid(n) && n.sign == 0 && n.top == 0 && n.limbs[0] <= 247) {
            Mpz v;
            mpz_fac_ui(v, n.limbs[0]);
            ASSERT_TRUE(HasValue(f.ours, v)) << Describe(n);
        } else {
            ASSERT_EQ(f.ours.status, 1) << Describe(n);
        }

        int nn = static_cast<int>(Uniform(rng, -3, 700));
        int r = static_cast<int>(Uniform(rng, -2, nn + 3));
        if (Uniform(rng, 0, 9) == 0) {
            nn = INT_MAX - static_cast<int>(Uniform(rng, 0, 5));
            r = static_cast<int>(Uniform(rng, 1, 12));
        }
        if (Uniform(rng, 0, 19) == 0) r = nn;
        const std::string ctx = std::to_string(nn) + " , " + std::to_string(r);
        BigInt perm = RandomBig(rng), comb = RandomBig(rng);
        RefBigInt refPerm, refComb;
        Twin p = RunBoth([&] { return perm.Permutations(nn, r); }, [&] { return refPerm.Permutations(nn, r); });
        ASSERT_TRUE(SameOutcome(p.ours, p.ourOut, p.ref, p.refOut)) << "Permutations " << ctx;
        ASSERT_TRUE(SameFields(perm, ToRef(p.ours))) << "the object is set to the result";
        Twin c = RunBoth([&] { return comb.Combinations(nn, r); }, [&] { return refComb.Combinations(nn, r); });
        ASSERT_TRUE(SameOutcome(c.ours, c.ourOut, c.ref, c.refOut)) << "Combinations " << ctx;
        ASSERT_TRUE(SameFields(comb, ToRef(c.ours))) << "the object is set to the result";
        if (r > 0 && nn >= r) {
            Mpz v(1);
            for (int64_t i = int64_t{nn} - r + 1; i <= nn && mpz_sizeinbase(v, 2) <= 1616; ++i)
                mpz_mul_ui(v, v, static_cast<unsigned long>(i));
            if (mpz_sizeinbase(v, 2) <= 1616)
                ASSERT_TRUE(HasValue(p.ours, v)) << ctx;
            else
                ASSERT_EQ(p.ours.status, 1) << ctx;
            // The numerator is formed first, so a result that fits can still fail.
            const int small = nn - r < r ? nn - r : r;
            Mpz numerator(1);
            for (int64_t i = int64_t{nn} - small + 1; i <= nn && mpz_sizeinbase(numerator, 2) <= 1616; ++i)
                mpz_mul_ui(numerator, numerator, static_cast<unsigned long>(i));
            if (mpz_sizeinbase(numerator, 2) <= 1616 && small <= 247) {
                mpz_bin_uiui(v, static_cast<unsigned long>(nn), static_cast<unsigned long>(r));
                ASSERT_TRUE(HasValue(c.ours, v)) << ctx;
            } else {
                ASSERT_EQ(c.ours.status, 1) << ctx;
            }
        } else {
            ASSERT_EQ(p.ours.status, 1) << ctx;
            ASSERT_EQ(c.ours.status, 1) << ctx;
        }
    }
}

// Binomials whose numerator has exactly 1616 bits: the final division by r!
// writes the trial-shift line.
TEST(BigIntDifferential, CombinationsWithAFullWidthNumerator) {
    int cases = 0;
    for (int r = 2; r <= 120; r += 7) {
        // The first and the last n (found with GMP) whose falling product of r
        // factors has 1616 bits; near the last one the product's leading bits
        // exceed those of r!, so the aligned divisor reaches bit 1615.
        auto bitsOf = [r](int64_t n) {
            Mpz v(1L);
            for (int64_t i = n - r + 1; i <= n; ++i) mpz_mul_ui(v, v, static_cast<unsigned long>(i));
            return mpz_sizeinbase(v, 2);
        };
        auto firstWithBits = [&](size_t bits) {
            int64_t lo = 2 * r, hi = INT_MAX;  // bitsOf(lo) < bits <= bitsOf(hi)
            while (hi - lo > 1) {
                const int64_t mid = lo + (hi - lo) / 2;
                (bitsOf(mid) >= bits ? hi : lo) = mid;
            }
            return hi;
        };
        if (bitsOf(2 * r) >= 1616 || bitsOf(INT_MAX) < 1617) continue;
        const int64_t first = firstWithBits(1616);
        const int64_t last = firstWithBits(1617) - 1;
        for (int64_t n : {first, (first + last) / 2, last, last - 1, last + 1}) {
            const int nn = static_cast<int>(n);
            BigInt ours;
            RefBigInt ref;
            Twin c = RunBoth([&] { return ours.Combinations(nn, r); }, [&] { return ref.Combinations(nn, r); });
            ASSERT_TRUE(SameOutcome(c.ours, c.ourOut, c.ref, c.refOut)) << "C(" << nn << ", " << r << ")";
            if (bitsOf(n) <= 1616) {
                Mpz v;
                mpz_bin_uiui(v, static_cast<unsigned long>(nn), static_cast<unsigned long>(r));
                ASSERT_TRUE(HasValue(c.ours, v)) << "C(" << nn << ", " << r << ")";
            } else {
                ASSERT_EQ(c.ours.status, 1) << "the numerator overflows: C(" << nn << ", " << r << ")";
            }
            cases += c.ourOut.err.empty() ? 0 : 1;
        }
    }
    EXPECT_GT(cases, 0) << "no numerator of 1616 bits was reached";
}

TEST(BigIntDifferential, BitwiseOperations) {
    const uint64_t seed = TestSeed();
    SCOPED_TRACE(SeedNote(seed));
    Rng rng(seed);
    for (int it = 0; it < Iterations(3000); ++it) {
        const BigInt x = MaybeInvalid(rng, RandomBig(rng));
        const BigInt y = MaybeInvalid(rng, RandomBig(rng, static_cast<unsigned>(Uniform(rng, 1, 1616))));
        const int mode = static_cast<int>(Uniform(rng, -1, 3));
        const RefBigInt rx = ToRef(x), ry = ToRef(y);
        const std::string ctx = Describe(x) + " , " + Describe(y) + " mode " + std::to_string(mode);
        Twin a = RunBoth([&] { return x.And(y, mode); }, [&] { return rx.And(ry, mode); });
        ASSERT_TRUE(SameOutcome(a.ours, a.ourOut, a.ref, a.refOut)) << "And " << ctx;
        Twin o = RunBoth([&] { return x.Or(y, mode); }, [&] { return rx.Or(ry, mode); });
        ASSERT_TRUE(SameOutcome(o.ours, o.ourOut, o.ref, o.refOut)) << "Or " << ctx;
        Twin e = RunBoth([&] { return x.Xor(y, mode); }, [&] { return rx.Xor(ry, mode); });
        ASSERT_TRUE(SameOutcome(e.ours, e.ourOut, e.ref, e.refOut)) << "Xor " << ctx;
        const int v = static_cast<int>(static_cast<uint32_t>(rng()));
        Twin ai = RunBoth([&] { return x.And(v, mode); }, [&] { return rx.And(RefBigInt(v), mode); });
        ASSERT_TRUE(SameOutcome(ai.ours, ai.ourOut, ai.ref, ai.refOut)) << "And int " << v << " " << ctx;
        Twin oi = RunBoth([&] { return x.Or(v, mode); }, [&] { return rx.Or(RefBigInt(v), mode); });
        ASSERT_TRUE(SameOutcome(oi.ours, oi.ourOut, oi.ref, oi.refOut)) << "Or int " << v << " " << ctx;
        Twin ei = RunBoth([&] { return x.Xor(v, mode); }, [&] { return rx.Xor(RefBigInt(v), mode); });
        ASSERT_TRUE(SameOutcome(ei.ours, ei.ourOut, ei.ref, ei.refOut)) << "Xor int " << v << " " << ctx;
        if (Valid(x) && Valid(y)) {
            Mpz ax = Abs(ToMpz(x)), ay = Abs(ToMpz(y)), v2;
            mpz_and(v2, ax, ay);
            ASSERT_EQ(mpz_cmp(Abs(ToMpz(a.ours)), v2), 0) << ctx;
            mpz_ior(v2, ax, ay);
            ASSERT_EQ(mpz_cmp(Abs(ToMpz(o.ours)), v2), 0) << ctx;
            mpz_xor(v2, ax, ay);
            ASSERT_EQ(mpz_cmp(Abs(ToMpz(e.ours)), v2), 0) << ctx;
            const int sx = x.sign != 0, sy = y.sign != 0;
            const int expectAnd = mode == 1 ? (sx & sy) : mode == 2 ? x.sign : 0;
            const int expectOr = mode == 1 ? (sx | sy) : mode == 2 ? x.sign : 0;
            const int expectXor = mode == 1 ? (sx ^ sy) : mode == 2 ? x.sign : 0;
            ASSERT_EQ(a.ours.sign, expectAnd) << ctx;
            ASSERT_EQ(o.ours.sign, expectOr) << ctx;
            ASSERT_EQ(e.ours.sign, expectXor) << ctx;
            ASSERT_TRUE(IsNormal(a.ours) && IsNormal(o.ours) && IsNormal(e.ours)) << ctx;
        }
    }
}

TEST(BigIntDifferential, SquareRoot) {
    const uint64_t seed = TestSeed();
    SCOPED_TRACE(SeedNote(seed));
    Rng rng(seed);
    for (int it = 0; it < Iterations(150); ++it) {
        BigInt x = MaybeInvalid(rng, RandomBig(rng));
        if (Uniform(rng, 0, 3) == 0) {
            // Perfect squares and their neighbours.
            Mpz s = RandomMagnitude(rng, 808), v;
            mpz_mul(v, s, s);
            if (Uniform(rng, 0, 1)) mpz_sub_ui(v, v, 1);
            if (mpz_sgn(v) < 0) mpz_set_ui(v, 0);
            x = BigFromMpz(v);
        }
        const RefBigInt rx = ToRef(x);
        Twin r = RunBoth([&] { return x.Sqrt(); }, [&] { return rx.Sqrt(); });
        ASSERT_TRUE(SameOutcome(r.ours, r.ourOut, r.ref, r.refOut)) << "Sqrt " << Describe(x);
        if (Valid(x) && x.sign == 0) {
            Mpz v;
            mpz_sqrt(v, ToMpz(x));
            ASSERT_TRUE(HasValue(r.ours, v)) << Describe(x);
        } else {
            ASSERT_EQ(r.ours.status, 1) << Describe(x);
        }
    }
}

TEST(BigIntDifferential, NthRoot) {
    const uint64_t seed = TestSeed();
    SCOPED_TRACE(SeedNote(seed));
    Rng rng(seed);
    static constexpr int kDegrees[] = {INT_MIN, -1, 0, 1, 2, 3, 4, 5, 7, 16, 17, 100, 807, 808, 1615,
                                       1616, 1617, 5000, 65535, 65536, 65537, INT_MAX};
    for (int it = 0; it < Iterations(300); ++it) {
        BigInt x = RandomBig(rng, static_cast<unsigned>(Uniform(rng, 1, 1616)));
        if (Uniform(rng, 0, 3) != 0) x.sign = 0;  // callers pass non-negative radicands; some negative ones anyway
        x = MaybeInvalid(rng, x);
        const int n = Uniform(rng, 0, 2) == 0 ? kDegrees[Uniform(rng, 0, std::size(kDegrees) - 1)]
                                              : static_cast<int>(Uniform(rng, 3, 40));
        if (n == 2 && Uniform(rng, 0, 3) != 0) continue;  // Sqrt has its own test
        if (Uniform(rng, 0, 3) == 0 && n >= 3 && n <= 40) {
            // Exact powers and their neighbours.
            Mpz base = RandomMagnitude(rng, 1616 / n), v;
            mpz_pow_ui(v, base, n);
            if (Uniform(rng, 0, 1) && mpz_sgn(v) > 0) mpz_sub_ui(v, v, 1);
            x = BigFromMpz(v);
        }
        const RefBigInt rx = ToRef(x);
        const std::string ctx = Describe(x) + " degree " + std::to_string(n);
        Twin r = RunBoth([&] { return x.Root(n); }, [&] { return rx.Root(n); });
        ASSERT_TRUE(SameOutcome(r.ours, r.ourOut, r.ref, r.refOut)) << ctx;
        if (Valid(x) && x.sign == 0 && n >= 1) {
            Mpz v;
            mpz_root(v, ToMpz(x), static_cast<unsigned long>(n));
            ASSERT_TRUE(HasValue(r.ours, v)) << ctx;
            ASSERT_TRUE(r.ourOut.out.empty()) << "a root line for a valid radicand: " << ctx;
        }
        if (n <= 0) {
            ASSERT_EQ(r.ours.status, 1) << ctx;
        }
    }
}

}  // namespace
}  // namespace bigint_test
