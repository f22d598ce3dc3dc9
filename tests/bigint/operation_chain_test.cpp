// Chains of operations as a calculator performs them: each result is the
// next operand, so values (negative zeros, invalid results, overflow
// partials, 1616-bit products) come from the arithmetic itself rather than
// from a generator. BigInt and the reference walk the same chain and are
// compared after every step.

#include <gtest/gtest.h>

#include <functional>

#include "tests/bigint/test_support.h"

namespace bigint_test {
namespace {

struct Step {
    const char* name;
    std::function<BigInt(const BigInt&, const BigInt&, int)> ours;
    std::function<RefBigInt(const RefBigInt&, const RefBigInt&, int)> ref;
};

const std::vector<Step>& Steps() {
    using B = BigInt;
    using R = RefBigInt;
    static const std::vector<Step> steps = {
        {"+", [](const B& a, const B& b, int) { return a + b; }, [](const R& a, const R& b, int) { return a + b; }},
        {"-", [](const B& a, const B& b, int) { return a - b; }, [](const R& a, const R& b, int) { return a - b; }},
        {"*", [](const B& a, const B& b, int) { return a * b; }, [](const R& a, const R& b, int) { return a * b; }},
        {"/", [](const B& a, const B& b, int) { return a / b; }, [](const R& a, const R& b, int) { return a / b; }},
        {"%", [](const B& a, const B& b, int) { return a % b; }, [](const R& a, const R& b, int) { return a % b; }},
        {"<<", [](const B& a, const B&, int k) { return a << static_cast<uint16_t>(k % 1700); },
         [](const R& a, const R&, int k) { return a << static_cast<uint16_t>(k % 1700); }},
        {">>", [](const B& a, const B&, int k) { return a >> static_cast<uint16_t>(k % 1700); },
         [](const R& a, const R&, int k) { return a >> static_cast<uint16_t>(k % 1700); }},
        {"Power", [](const B& a, const B&, int k) { return a.Power(k % 40 - 3); },
         [](const R& a, const R&, int k) { return a.Power(k % 40 - 3); }},
        {"ModCached", [](const B& a, const B& b, int) { return a.ModCached(b); },
         [](const R& a, const R& b, int) { return a.ModCached(b); }},
        {"Gcd", [](const B& a, const B& b, int) { return a.Gcd(b); }, [](const R& a, const R& b, int) { return a.Gcd(b); }},
        {"Lcm", [](const B& a, const B& b, int) { return a.Lcm(b); }, [](const R& a, const R& b, int) { return a.Lcm(b); }},
        {"ModInverse", [](const B& a, const B& b, int) { B r; return r.ModInverse(a, b); },
         [](const R& a, const R& b, int) { R r; return r.ModInverse(a, b); }},
        {"And", [](const B& a, const B& b, int k) { return a.And(b, k % 3); },
         [](const R& a, const R& b, int k) { return a.And(b, k % 3); }},
        {"Or", [](const B& a, const B& b, int k) { return a.Or(b, k % 3); },
         [](const R& a, const R& b, int k) { return a.Or(b, k % 3); }},
        {"Xor", [](const B& a, const B& b, int k) { return a.Xor(b, k % 3); },
         [](const R& a, const R& b, int k) { return a.Xor(b, k % 3); }},
        {"Sqrt", [](const B& a, const B&, int) { return a.Sqrt(); }, [](const R& a, const R&, int) { return a.Sqrt(); }},
        {"Root", [](const B& a, const B&, int k) { return a.Root(k % 12 + 1); },
         [](const R& a, const R&, int k) { return a.Root(k % 12 + 1); }},
        {"Factorial", [](const B& a, const B&, int) { return a.Factorial(); },
         [](const R& a, const R&, int) { return a.Factorial(); }},
        {"negate", [](const B& a, const B&, int) { return B(0) - a; }, [](const R& a, const R&, int) { return R(0) - a; }},
        {"++", [](const B& a, const B&, int) { B c = a; return ++c; }, [](const R& a, const R&, int) { R c = a; return ++c; }},
        {"--", [](const B& a, const B&, int) { B c = a; return --c; }, [](const R& a, const R&, int) { R c = a; return --c; }},
    };
    return steps;
}

TEST(BigIntOperationChain, EveryStepMatchesTheReference) {
    const uint64_t seed = TestSeed();
    SCOPED_TRACE(SeedNote(seed));
    Rng rng(seed);
    const auto& steps = Steps();
    for (int chain = 0; chain < Iterations(60); ++chain) {
        BigInt a = RandomBig(rng);
        RefBigInt ra = ToRef(a);
        std::string history = Describe(a);
        for (int n = 0; n < 40; ++n) {
            const Step& step = steps[Uniform(rng, 0, steps.size() - 1)];
            const BigInt b = Uniform(rng, 0, 3) == 0 ? a : RandomBig(rng, static_cast<unsigned>(Uniform(rng, 1, 1616)));
            const RefBigInt rb = ToRef(b);
            const int k = static_cast<int>(Uniform(rng, 0, 100000));
            Twin t = RunBoth([&] { return step.ours(a, b, k); }, [&] { return step.ref(ra, rb, k); });
            history += std::string("\n  ") + step.name + " " + Describe(b) + " k=" + std::to_string(k);
            // Values beside status 1 are compared where they are defined; a product's or an
            // inverse's partial value is not.
            const std::string name = step.name;
            const bool full = name != "*" && name != "ModInverse";
            ASSERT_TRUE(SameOutcome(t.ours, t.ourOut, t.ref, t.refOut, full)) << history;
            // After an undefined partial the chain continues from the reference's copy.
            a = full ? t.ours : ToBig(t.ref);
            ra = t.ref;
            if (a.status == 1 && Uniform(rng, 0, 2) == 0) {
                a = RandomBig(rng);  // start afresh, as a user would after an error
                ra = ToRef(a);
                history += "\n  fresh " + Describe(a);
            }
        }
    }
}

}  // namespace
}  // namespace bigint_test

namespace bigint_test {
namespace {

// A sign field set through SetSign to something other than 0 or 1 counts as
// negative in comparisons; each operation then does exactly what its steps
// say with that value (equality of signs, "sign is 1" tests, negation to 0 or 1).
TEST(BigIntOperationChain, UnusualSignValuesFollowTheSteps) {
    const uint64_t seed = TestSeed();
    SCOPED_TRACE(SeedNote(seed));
    Rng rng(seed);
    static constexpr int kSigns[] = {-2, -1, 0, 1, 2, 5};
    for (int it = 0; it < Iterations(150); ++it) {
        BigInt a = RandomBig(rng);
        BigInt b = RandomBig(rng, static_cast<unsigned>(Uniform(rng, 1, 1616)));
        a.SetSign(kSigns[Uniform(rng, 0, std::size(kSigns) - 1)]);
        b.SetSign(kSigns[Uniform(rng, 0, std::size(kSigns) - 1)]);
        const RefBigInt ra = ToRef(a), rb = ToRef(b);
        const int k = static_cast<int>(Uniform(rng, 0, 100000));
        const std::string ctx = Describe(a) + " , " + Describe(b) + " k=" + std::to_string(k);
        for (const Step& step : Steps()) {
            const std::string name = step.name;
            if (name == "Sqrt" || name == "Root") continue;  // below, on fewer values: the reference is slow there
            Twin t = RunBoth([&] { return step.ours(a, b, k); }, [&] { return step.ref(ra, rb, k); });
            ASSERT_TRUE(SameOutcome(t.ours, t.ourOut, t.ref, t.refOut, name != "*" && name != "ModInverse"))
                << name << " " << ctx;
        }
        if (it % 10 == 0) {
            Twin s = RunBoth([&] { return a.Sqrt(); }, [&] { return ra.Sqrt(); });
            ASSERT_TRUE(SameOutcome(s.ours, s.ourOut, s.ref, s.refOut)) << "Sqrt " << ctx;
            Twin r = RunBoth([&] { return a.Root(3 + k % 5); }, [&] { return ra.Root(3 + k % 5); });
            ASSERT_TRUE(SameOutcome(r.ours, r.ourOut, r.ref, r.refOut)) << "Root " << ctx;
        }
        ASSERT_EQ(a == b, ra == rb) << ctx;
        ASSERT_EQ(a > b, ra > rb) << ctx;
        ASSERT_EQ(a < b, ra < rb) << ctx;
        BigInt c = a;
        RefBigInt rc = ra;
        char ours[BIGINT_TEXT_SIZE], ref[BIGINT_TEXT_SIZE];
        Output oo = Capture([&] { c.ToString(ours, 10); });
        Output ro = Capture([&] { rc.ToString(ref, 10); });
        ASSERT_STREQ(ours, ref) << ctx;
        ASSERT_TRUE(SameOutcome(c, oo, rc, ro)) << "ToString " << ctx;
    }
}

}  // namespace
}  // namespace bigint_test
