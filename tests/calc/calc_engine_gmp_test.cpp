// The engine against GMP: random operands pasted in a random radix, one key,
// and the displays compared with GMP's text of the expected registers.

#include <gmp.h>
#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <random>
#include <string>

#include "calc/calc_engine.h"
#include "tests/calc/key_driver.h"

namespace {

class Mpz {
public:
    Mpz() { mpz_init(v); }
    ~Mpz() { mpz_clear(v); }
    Mpz(const Mpz&) = delete;
    Mpz& operator=(const Mpz&) = delete;
    std::string Text(int radix) const {
        char* s = mpz_get_str(nullptr, radix, v);
        std::string text(s);
        void (*release)(void*, size_t);
        mp_get_memory_functions(nullptr, nullptr, &release);
        release(s, text.size() + 1);
        for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return text;
    }
    mpz_t v;
};

struct Draw {
    std::mt19937_64 rng;
    gmp_randstate_t state;
    explicit Draw(uint64_t seed) : rng(seed) {
        gmp_randinit_mt(state);
        gmp_randseed_ui(state, static_cast<unsigned long>(seed));
    }
    ~Draw() { gmp_randclear(state); }
    Draw(const Draw&) = delete;
    Draw& operator=(const Draw&) = delete;
    /// A random value of up to maxBits bits, non-zero, negative half the time when signed.
    void Value(Mpz& out, unsigned maxBits, bool allowNegative) {
        const unsigned bits = 1 + static_cast<unsigned>(rng() % maxBits);
        do {
            mpz_rrandomb(out.v, state, bits);  // long runs of ones and zeros
            if (rng() % 2) mpz_urandomb(out.v, state, bits);
        } while (mpz_sgn(out.v) == 0);
        if (allowNegative && rng() % 2) mpz_neg(out.v, out.v);
    }
};

// KALVORA_SEED repeats a run; otherwise a fresh seed, printed with every failure.
uint64_t Seed() {
    if (const char* env = std::getenv("KALVORA_SEED")) return std::strtoull(env, nullptr, 10);
    return std::random_device{}();
}

enum Kind { ADD, SUB, MUL, DIV, MOD, GCD, LCM, AND, OR, XOR, POWMOD, SQRT, SQUARE, ROOT, KINDS };

TEST(CalcEngineGmp, InfixAndUnaryKeysMatchGmp) {
    const uint64_t seed = Seed();
    SCOPED_TRACE("seed " + std::to_string(seed));
    Draw draw(seed);
    Mpz a, b, m, x, r, t;
    for (int round = 0; round < 600; ++round) {
        const Kind kind = static_cast<Kind>(round % KINDS);
        const int radix = 2 + static_cast<int>(draw.rng() % 15);
        Calculator calc;
        std::string keys = "radix=" + std::to_string(radix);
        const bool positive = kind == POWMOD || kind == SQRT || kind == ROOT;
        draw.Value(a, kind == POWMOD ? 790 : 780, !positive);
        draw.Value(b, kind == POWMOD ? 200 : kind == ROOT ? 5 : 780, !positive);
        mpz_set_ui(r.v, 0);
        const char* key = nullptr;
        bool unary = false;
        switch (kind) {
            case ADD: key = "+"; mpz_add(x.v, a.v, b.v); break;
            case SUB: key = "-"; mpz_sub(x.v, a.v, b.v); break;
            case MUL: key = "*"; mpz_mul(x.v, a.v, b.v); break;
            case DIV: key = "/"; mpz_tdiv_qr(x.v, r.v, a.v, b.v); break;
            case MOD: key = "MOD"; mpz_tdiv_r(x.v, a.v, b.v); break;
            case GCD: key = "GCD"; mpz_gcd(x.v, a.v, b.v); break;
            case LCM: key = "LCM"; mpz_lcm(x.v, a.v, b.v); break;
            case AND:
            case OR:
            case XOR: {
                Mpz absA, absB;
                mpz_abs(absA.v, a.v);
                mpz_abs(absB.v, b.v);
                if (kind == AND) { key = "AND"; mpz_and(x.v, absA.v, absB.v); }
                if (kind == OR) { key = "OR"; mpz_ior(x.v, absA.v, absB.v); }
                if (kind == XOR) { key = "XOR"; mpz_xor(x.v, absA.v, absB.v); }
                break;
            }
            case POWMOD:
                key = "PMD";
                draw.Value(m, 800, false);
                keys += " mod=" + m.Text(10);
                mpz_powm(x.v, a.v, b.v, m.v);
                break;
            case SQRT: key = "SQRT"; unary = true; mpz_sqrtrem(x.v, r.v, a.v); break;
            case SQUARE:
                key = "X^2";
                unary = true;
                mpz_tdiv_q_2exp(a.v, a.v, 400);  // keep the square within range
                mpz_mul(x.v, a.v, a.v);
                break;
            case ROOT: {
                key = "ROOT";
                const unsigned long n = mpz_get_ui(b.v);
                mpz_rootrem(x.v, r.v, a.v, n);
                break;
            }
            case KINDS: break;
        }
        keys += " clip=" + a.Text(radix) + " PasteV " + key;
        if (!unary) keys += " clip=" + b.Text(radix) + " PasteV =";
        SCOPED_TRACE(keys.size() > 3000 ? keys.substr(0, 3000) : keys);
        ASSERT_TRUE(calc.Keys(keys));
        EXPECT_EQ(calc.Value(), x.Text(radix));
        EXPECT_EQ(calc.Remainder(), r.Text(radix));
        EXPECT_TRUE(calc.window.events.empty());
        if (::testing::Test::HasFailure()) break;
    }
}

TEST(CalcEngineGmp, ChainedOperatorsEvaluateLeftToRight) {
    const uint64_t seed = Seed();
    SCOPED_TRACE("seed " + std::to_string(seed));
    Draw draw(seed);
    Mpz acc, v;
    const char* keys[] = {"+", "-", "*"};
    for (int round = 0; round < 50; ++round) {
        Calculator calc;
        draw.Value(acc, 60, true);
        std::string script = "clip=" + acc.Text(10) + " PasteV";
        for (int step = 0; step < 12; ++step) {
            draw.Value(v, 60, true);
            const int k = static_cast<int>(draw.rng() % 3);
            script += std::string(" ") + keys[k] + " clip=" + v.Text(10) + " PasteV";
            if (k == 0) mpz_add(acc.v, acc.v, v.v);
            if (k == 1) mpz_sub(acc.v, acc.v, v.v);
            if (k == 2) mpz_mul(acc.v, acc.v, v.v);
        }
        script += " =";
        SCOPED_TRACE(script);
        ASSERT_TRUE(calc.Keys(script));
        EXPECT_EQ(calc.Value(), acc.Text(10));
    }
}

TEST(CalcEngineGmp, FactorialAndBinomialsMatchGmp) {
    struct Row {
        unsigned long n, r;
    };
    for (const Row row : {Row{247, 0}, Row{100, 0}, Row{1, 0}}) {
        Calculator calc;
        ASSERT_TRUE(calc.Keys(std::to_string(row.n) + " !"));
        Mpz f;
        mpz_fac_ui(f.v, row.n);
        EXPECT_EQ(calc.Value(), f.Text(10)) << row.n << "!";
    }
    for (const Row row : {Row{300, 150}, Row{1000, 3}, Row{200, 199}, Row{64, 1}}) {
        Calculator calc;
        ASSERT_TRUE(calc.Keys(std::to_string(row.n) + " nCr " + std::to_string(row.r) + " ="));
        Mpz c;
        mpz_bin_uiui(c.v, row.n, row.r);
        EXPECT_EQ(calc.Value(), c.Text(10)) << row.n << " nCr " << row.r;
    }
    for (const Row row : {Row{200, 100}, Row{1000, 5}, Row{10, 10}}) {
        Calculator calc;
        ASSERT_TRUE(calc.Keys(std::to_string(row.n) + " nPr " + std::to_string(row.r) + " ="));
        Mpz p, d;
        mpz_fac_ui(p.v, row.n);
        mpz_fac_ui(d.v, row.n - row.r);
        mpz_divexact(p.v, p.v, d.v);
        EXPECT_EQ(calc.Value(), p.Text(10)) << row.n << " nPr " << row.r;
    }
}

}  // namespace
