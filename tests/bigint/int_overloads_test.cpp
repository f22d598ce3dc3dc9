// Every member that takes an int in place of a BigInt must behave exactly as
// if the int had been turned into a BigInt first: same fields, same output.
// Fast paths for small operands are where such forms drift apart.

#include <gtest/gtest.h>

#include <climits>
#include <functional>

#include "tests/bigint/test_support.h"

namespace bigint_test {
namespace {

int EdgeOrRandomInt(Rng& rng) {
    static constexpr int kEdges[] = {0,      1,      -1,      2,       -2,      3,       7,       -7,
                                     65535,  65536,  65537,   -65536,  0x7FFF,  0x8000,  INT_MAX, INT_MIN,
                                     INT_MIN + 1, 497, 1000003, -1000003};
    if (Uniform(rng, 0, 1) == 0) return kEdges[Uniform(rng, 0, std::size(kEdges) - 1)];
    return static_cast<int>(static_cast<uint32_t>(rng()) >> Uniform(rng, 0, 31)) * (Uniform(rng, 0, 1) ? -1 : 1);
}

TEST(BigIntIntOverloads, SameAsTheBigIntForm) {
    const uint64_t seed = TestSeed();
    SCOPED_TRACE(SeedNote(seed));
    Rng rng(seed);
    for (int it = 0; it < Iterations(1500); ++it) {
        BigInt x = RandomBig(rng, static_cast<unsigned>(Uniform(rng, 1, 1616)));
        if (Uniform(rng, 0, 30) == 0) x.status = 1;
        const int v = EdgeOrRandomInt(rng);
        const int w = EdgeOrRandomInt(rng);
        const int mode = static_cast<int>(Uniform(rng, 0, 2));
        const BigInt bv(v), bw(w);
        const RefBigInt rx = ToRef(x), rv(v), rw(w);
        const std::string ctx = Describe(x) + " with int " + std::to_string(v) + ", " + std::to_string(w);

        struct Form {
            const char* name;
            std::function<BigInt()> withInt;
            std::function<BigInt()> withBig;
            std::function<RefBigInt()> ref;
        };
        const Form forms[] = {
            {"+", [&] { return x + v; }, [&] { return x + bv; }, [&] { return rx + rv; }},
            {"-", [&] { return x - v; }, [&] { return x - bv; }, [&] { return rx - rv; }},
            {"*", [&] { return x * v; }, [&] { return x * bv; }, [&] { return rx * rv; }},
            {"/", [&] { return x / v; }, [&] { return x / bv; }, [&] { return rx / rv; }},
            {"%", [&] { return x % v; }, [&] { return x % bv; }, [&] { return rx % rv; }},
            {"+=", [&] { BigInt c = x; c += v; return c; }, [&] { BigInt c = x; c += bv; return c; },
             [&] { RefBigInt c = rx; c += rv; return c; }},
            {"-=", [&] { BigInt c = x; return c -= v; }, [&] { BigInt c = x; return c -= bv; },
             [&] { RefBigInt c = rx; return c -= rv; }},
            {"*=", [&] { BigInt c = x; return c *= v; }, [&] { BigInt c = x; return c *= bv; },
             [&] { RefBigInt c = rx; return c *= rv; }},
            {"/=", [&] { BigInt c = x; c /= v; return c; }, [&] { BigInt c = x; c /= bv; return c; },
             [&] { RefBigInt c = rx; c /= rv; return c; }},
            {"%=", [&] { BigInt c = x; return c %= v; }, [&] { BigInt c = x; return c %= bv; },
             [&] { RefBigInt c = rx; return c %= rv; }},
            {"Power", [&] { return x.Power(v % 3000); }, [&] { return x.Power(BigInt(v % 3000)); },
             [&] { return rx.Power(RefBigInt(v % 3000)); }},
            {"PowerMod(BigInt, int)", [&] { return x.PowerMod(bw, v); }, [&] { return x.PowerMod(bw, bv); },
             [&] { return rx.PowerMod(rw, rv); }},
            {"PowerMod(int, BigInt)", [&] { return x.PowerMod(w, bv); }, [&] { return x.PowerMod(bw, bv); },
             [&] { return rx.PowerMod(rw, rv); }},
            {"PowerMod(int, int)", [&] { return x.PowerMod(w, v); }, [&] { return x.PowerMod(bw, bv); },
             [&] { return rx.PowerMod(rw, rv); }},
            {"ModInverse(BigInt, int)", [&] { BigInt r; return r.ModInverse(x, v); },
             [&] { BigInt r; return r.ModInverse(x, bv); }, [&] { RefBigInt r; return r.ModInverse(rx, rv); }},
            {"ModInverse(int, BigInt)", [&] { BigInt r; return r.ModInverse(w, bv); },
             [&] { BigInt r; return r.ModInverse(bw, bv); }, [&] { RefBigInt r; return r.ModInverse(rw, rv); }},
            {"ModInverse(int, int)", [&] { BigInt r; return r.ModInverse(w, v); },
             [&] { BigInt r; return r.ModInverse(bw, bv); }, [&] { RefBigInt r; return r.ModInverse(rw, rv); }},
            {"Gcd", [&] { return x.Gcd(v); }, [&] { return x.Gcd(bv); }, [&] { return rx.Gcd(rv); }},
            {"Lcm", [&] { return x.Lcm(v); }, [&] { return x.Lcm(bv); }, [&] { return rx.Lcm(rv); }},
            {"And", [&] { return x.And(v, mode); }, [&] { return x.And(bv, mode); }, [&] { return rx.And(rv, mode); }},
            {"Or", [&] { return x.Or(v, mode); }, [&] { return x.Or(bv, mode); }, [&] { return rx.Or(rv, mode); }},
            {"Xor", [&] { return x.Xor(v, mode); }, [&] { return x.Xor(bv, mode); }, [&] { return rx.Xor(rv, mode); }},
        };
        for (const Form& f : forms) {
            // ModInverse with an invalid operand: the value beside status 1 is not defined.
            const bool fullWhenInvalid = std::string(f.name).rfind("ModInverse", 0) != 0 && std::string(f.name) != "*" &&
                                         std::string(f.name) != "*=";
            Twin viaInt = RunBoth(f.withInt, f.ref);
            ASSERT_TRUE(SameOutcome(viaInt.ours, viaInt.ourOut, viaInt.ref, viaInt.refOut, fullWhenInvalid))
                << f.name << " " << ctx;
            BigInt viaBig;
            Output bigOut = Capture([&] { viaBig = f.withBig(); });
            ASSERT_TRUE(SameOutcome(viaBig, bigOut, viaInt.ref, viaInt.refOut, fullWhenInvalid))
                << f.name << " (BigInt form) " << ctx;
        }
        ASSERT_EQ(x == v, rx == rv) << ctx;
        ASSERT_EQ(x != v, rx != rv) << ctx;
        ASSERT_EQ(x < v, rx < rv) << ctx;
        ASSERT_EQ(x > v, rx > rv) << ctx;
        ASSERT_EQ(x <= v, rx <= rv) << ctx;
        ASSERT_EQ(x >= v, rx >= rv) << ctx;
        BigInt assigned = x;
        const BigInt returned = (assigned = v);
        ASSERT_TRUE(SameFields(assigned, rv)) << ctx;
        ASSERT_TRUE(SameFields(returned, rv)) << ctx;
    }
}

}  // namespace
}  // namespace bigint_test
