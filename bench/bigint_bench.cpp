// BigInt against GMP on the same operands, in the same run. Each operation
// is registered twice, "<op>/ours" and "<op>/gmp"; after the run a table
// prints the ratio ours/GMP of the CPU times (steadier than wall time on a
// shared machine) beside the goal for that operation.
//
//   bigint_bench                      all operations
//   bigint_bench --benchmark_filter=mul   one family

#include <benchmark/benchmark.h>
#include <gmp.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "bench/cpu_time_reporter.h"
#include "bigint/bigint.h"
#include "tests/support/gmp.h"

namespace {

constexpr int kPool = 16;  // operands cycled through so no single value is special

// ---- Operands ---------------------------------------------------------------
class Operands {
public:
    Operands() { gmp_randinit_mt(state_); gmp_randseed_ui(state_, 20261206); }
    ~Operands() { gmp_randclear(state_); }
    Operands(const Operands&) = delete;
    Operands& operator=(const Operands&) = delete;

    /// A value of exactly `bits` bits (top bit set); odd when asked.
    void Random(mpz_t out, unsigned bits, bool odd = false) {
        mpz_urandomb(out, state_, bits);
        mpz_setbit(out, bits - 1);
        if (odd) mpz_setbit(out, 0);
    }

private:
    gmp_randstate_t state_;
};

Operands& Source() {
    static Operands s;
    return s;
}

using gmp::ToBig;

/// kPool values of one shape, as GMP integers and as BigInts.
struct Pool {
    mpz_t g[kPool];
    BigInt b[kPool];
    Pool(unsigned bits, bool odd = false) {
        for (int i = 0; i < kPool; ++i) {
            mpz_init(g[i]);
            Source().Random(g[i], bits, odd);
            b[i] = ToBig(g[i]);
        }
    }
    ~Pool() {
        for (auto& v : g) mpz_clear(v);
    }
    Pool(const Pool&) = delete;
    Pool& operator=(const Pool&) = delete;
};

Pool& P800a() { static Pool p(800); return p; }
Pool& P800b() { static Pool p(800); return p; }
Pool& P800odd() { static Pool p(800, true); return p; }
Pool& P1600() { static Pool p(1600); return p; }
Pool& P64a() { static Pool p(64); return p; }
Pool& P64b() { static Pool p(64); return p; }
Pool& P64odd() { static Pool p(64, true); return p; }
Pool& P128() { static Pool p(128); return p; }

// Pairs (a, m) of 800-bit values with an inverse, so both sides do a full inversion.
struct InversePairs {
    mpz_t a[kPool], m[kPool];
    BigInt ba[kPool], bm[kPool];
    InversePairs() {
        mpz_t g;
        mpz_init(g);
        for (int i = 0; i < kPool; ++i) {
            mpz_init(a[i]);
            mpz_init(m[i]);
            do {
                Source().Random(a[i], 800);
                Source().Random(m[i], 800);
                mpz_gcd(g, a[i], m[i]);
            } while (mpz_cmp_ui(g, 1) != 0);
            ba[i] = ToBig(a[i]);
            bm[i] = ToBig(m[i]);
        }
        mpz_clear(g);
    }
};

InversePairs& Inverses() {
    static InversePairs p;
    return p;
}

// ---- Benchmarks -------------------------------------------------------------
// Each pair below does the same work on the same operands; `body(i)` is one
// operation on the i-th operands of the pools.

template <class Body>
void Cycle(benchmark::State& s, Body body) {
    int i = 0;
    for (auto _ : s) {
        body(i);
        i = (i + 1) % kPool;
    }
}

/// A GMP result variable for the loops.
using Result = gmp::Mpz;

template <class Op>
void Ours(benchmark::State& s, Op op) {
    Cycle(s, [&](int i) {
        BigInt r = op(i);
        benchmark::DoNotOptimize(r);
    });
}

template <class Op>
void Gmp(benchmark::State& s, Op op) {
    Result r;
    Cycle(s, [&](int i) {
        op(r, i);
        benchmark::DoNotOptimize(r);
    });
}

void MulOurs(benchmark::State& s) { Ours(s, [](int i) { return P800a().b[i] * P800b().b[i]; }); }
void MulGmp(benchmark::State& s) { Gmp(s, [](mpz_t r, int i) { mpz_mul(r, P800a().g[i], P800b().g[i]); }); }

void DivOurs(benchmark::State& s) { Ours(s, [](int i) { return P1600().b[i] / P800a().b[i]; }); }
void DivGmp(benchmark::State& s) { Gmp(s, [](mpz_t r, int i) { mpz_tdiv_q(r, P1600().g[i], P800a().g[i]); }); }

void ModOurs(benchmark::State& s) { Ours(s, [](int i) { return P1600().b[i] % P800a().b[i]; }); }
void ModGmp(benchmark::State& s) { Gmp(s, [](mpz_t r, int i) { mpz_tdiv_r(r, P1600().g[i], P800a().g[i]); }); }

// Quotient and remainder: two calls for us (the interface has no combined
// division), one for GMP; its goal is therefore that of two calls.
void DivModOurs(benchmark::State& s) {
    Cycle(s, [](int i) {
        BigInt q = P1600().b[i] / P800a().b[i];
        BigInt r = P1600().b[i] % P800a().b[i];
        benchmark::DoNotOptimize(q);
        benchmark::DoNotOptimize(r);
    });
}
void DivModGmp(benchmark::State& s) {
    Result q, r;
    Cycle(s, [&](int i) {
        mpz_tdiv_qr(q, r, P1600().g[i], P800a().g[i]);
        benchmark::DoNotOptimize(q);
        benchmark::DoNotOptimize(r);
    });
}

void ToStringOurs(benchmark::State& s, int radix) {
    char buf[BIGINT_TEXT_SIZE];
    BigInt warm = P1600().b[0];
    warm.ToString(buf, static_cast<uint16_t>(radix));  // the radix power table is built once per radix
    Cycle(s, [&](int i) {
        BigInt x = P1600().b[i];
        benchmark::DoNotOptimize(x.ToString(buf, static_cast<uint16_t>(radix)));
    });
}
void ToStringGmp(benchmark::State& s, int radix) {
    char buf[BIGINT_TEXT_SIZE];
    Cycle(s, [&](int i) { benchmark::DoNotOptimize(mpz_get_str(buf, radix, P1600().g[i])); });
}

std::vector<std::string>& DecimalTexts() {
    static std::vector<std::string> texts = [] {
        std::vector<std::string> t;
        Result v, lo;
        mpz_ui_pow_ui(lo, 10, 479);
        for (int i = 0; i < kPool; ++i) {
            Source().Random(v, 1590);
            mpz_mod(v, v, lo);
            mpz_add(v, v, lo);  // exactly 480 digits, below 2^1600
            std::string s(490, '\0');
            mpz_get_str(s.data(), 10, v);
            s.resize(strlen(s.c_str()));
            t.push_back(s);
        }
        return t;
    }();
    return texts;
}

void FromStringOurs(benchmark::State& s) {
    BigInt x;
    Cycle(s, [&](int i) {
        benchmark::DoNotOptimize(x.FromString(DecimalTexts()[i].c_str(), 10));
        benchmark::DoNotOptimize(x);
    });
}
void FromStringGmp(benchmark::State& s) {
    Gmp(s, [](mpz_t r, int i) { mpz_set_str(r, DecimalTexts()[i].c_str(), 10); });
}

// The cached modular power keeps one modulus (as the prime engine does); the
// plain one changes modulus every call. Base and exponent come from the pools.
void PowerModCachedOurs(benchmark::State& s) {
    Ours(s, [](int i) { return P800a().b[i].PowerModCached(P800b().b[i], P800odd().b[0]); });
}
void PowerModCachedGmp(benchmark::State& s) {
    Gmp(s, [](mpz_t r, int i) { mpz_powm(r, P800a().g[i], P800b().g[i], P800odd().g[0]); });
}
void PowerModOurs(benchmark::State& s) {
    Ours(s, [](int i) { return P800a().b[i].PowerMod(P800b().b[i], P800odd().b[i]); });
}
void PowerModGmp(benchmark::State& s) {
    Gmp(s, [](mpz_t r, int i) { mpz_powm(r, P800a().g[i], P800b().g[i], P800odd().g[i]); });
}

void GcdOurs(benchmark::State& s) { Ours(s, [](int i) { return P800a().b[i].Gcd(P800b().b[i]); }); }
void GcdGmp(benchmark::State& s) { Gmp(s, [](mpz_t r, int i) { mpz_gcd(r, P800a().g[i], P800b().g[i]); }); }

void ModInverseOurs(benchmark::State& s) {
    BigInt r;
    Ours(s, [&](int i) { return r.ModInverse(Inverses().ba[i], Inverses().bm[i]); });
}
void ModInverseGmp(benchmark::State& s) {
    Gmp(s, [](mpz_t r, int i) { mpz_invert(r, Inverses().a[i], Inverses().m[i]); });
}

void SqrtOurs(benchmark::State& s) { Ours(s, [](int i) { return P1600().b[i].Sqrt(); }); }
void SqrtGmp(benchmark::State& s) { Gmp(s, [](mpz_t r, int i) { mpz_sqrt(r, P1600().g[i]); }); }

void FactorialOurs(benchmark::State& s) { Ours(s, [](int) { return BigInt(247).Factorial(); }); }
void FactorialGmp(benchmark::State& s) { Gmp(s, [](mpz_t r, int) { mpz_fac_ui(r, 247); }); }

// Small operands, as in the prime engine's searches on targets of a machine
// word or two: the fixed width must not make them pay for 101 limbs.
void SmallMulOurs(benchmark::State& s) { Ours(s, [](int i) { return P64a().b[i] * P64b().b[i]; }); }
void SmallMulGmp(benchmark::State& s) { Gmp(s, [](mpz_t r, int i) { mpz_mul(r, P64a().g[i], P64b().g[i]); }); }
void SmallModOurs(benchmark::State& s) { Ours(s, [](int i) { return P128().b[i] % P64odd().b[i]; }); }
void SmallModGmp(benchmark::State& s) { Gmp(s, [](mpz_t r, int i) { mpz_tdiv_r(r, P128().g[i], P64odd().g[i]); }); }
void SmallPowerModCachedOurs(benchmark::State& s) {
    Ours(s, [](int i) { return P64a().b[i].PowerModCached(P64b().b[i], P64odd().b[0]); });
}
void SmallPowerModCachedGmp(benchmark::State& s) {
    Gmp(s, [](mpz_t r, int i) { mpz_powm(r, P64a().g[i], P64b().g[i], P64odd().g[0]); });
}
void SmallGcdOurs(benchmark::State& s) { Ours(s, [](int i) { return P64a().b[i].Gcd(P64b().b[i]); }); }
void SmallGcdGmp(benchmark::State& s) { Gmp(s, [](mpz_t r, int i) { mpz_gcd(r, P64a().g[i], P64b().g[i]); }); }

// ---- Registration and the ratio table ------------------------------------------
struct Pair {
    const char* name;
    double goal;  // the largest acceptable ratio ours/GMP; 0 for rows shown for information
    std::function<void(benchmark::State&)> ours;
    std::function<void(benchmark::State&)> gmp;
};

std::vector<Pair> Pairs() {
    using S = benchmark::State;
    return {
        {"mul 800x800", 2, MulOurs, MulGmp},
        {"div 1600/800 quotient", 2, DivOurs, DivGmp},
        {"div 1600/800 remainder", 2, ModOurs, ModGmp},
        {"div 1600/800 q and r (2 calls)", 4, DivModOurs, DivModGmp},
        {"ToString 1600-bit radix 10", 2, [](S& s) { ToStringOurs(s, 10); }, [](S& s) { ToStringGmp(s, 10); }},
        {"ToString 1600-bit radix 16", 2, [](S& s) { ToStringOurs(s, 16); }, [](S& s) { ToStringGmp(s, 16); }},
        {"ToString 1600-bit radix 2", 2, [](S& s) { ToStringOurs(s, 2); }, [](S& s) { ToStringGmp(s, 2); }},
        {"FromString 480 digits", 2, FromStringOurs, FromStringGmp},
        {"PowerModCached 800-bit", 2, PowerModCachedOurs, PowerModCachedGmp},
        {"PowerMod 800-bit", 2, PowerModOurs, PowerModGmp},
        {"Gcd 800-bit", 3, GcdOurs, GcdGmp},
        {"ModInverse 800-bit", 3, ModInverseOurs, ModInverseGmp},
        {"Sqrt 1600-bit", 3, SqrtOurs, SqrtGmp},
        {"Factorial 247", 5, FactorialOurs, FactorialGmp},
        {"mul 64x64 (information)", 0, SmallMulOurs, SmallMulGmp},
        {"mod 128/64 (information)", 0, SmallModOurs, SmallModGmp},
        {"PowerModCached 64-bit (information)", 0, SmallPowerModCachedOurs, SmallPowerModCachedGmp},
        {"Gcd 64-bit (information)", 0, SmallGcdOurs, SmallGcdGmp},
    };
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<Pair> pairs = Pairs();
    for (const Pair& p : pairs) {
        benchmark::RegisterBenchmark((std::string(p.name) + "/ours").c_str(), p.ours);
        benchmark::RegisterBenchmark((std::string(p.name) + "/gmp").c_str(), p.gmp);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    CpuTimeReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    std::map<std::string, double> ns;
    for (const auto& [name, seconds] : reporter.Seconds()) ns[name] = seconds * 1e9;
    int over = 0;
    printf("\n%-38s %12s %12s %8s %6s\n", "operation (CPU time)", "ours ns", "GMP ns", "ratio", "goal");
    for (const Pair& p : pairs) {
        auto o = ns.find(std::string(p.name) + "/ours");
        auto g = ns.find(std::string(p.name) + "/gmp");
        if (o == ns.end() || g == ns.end()) continue;
        const double ratio = o->second / g->second;
        if (p.goal == 0) {
            printf("%-38s %12.0f %12.0f %8.2f %6s\n", p.name, o->second, g->second, ratio, "-");
            continue;
        }
        const bool met = ratio <= p.goal;
        over += met ? 0 : 1;
        printf("%-38s %12.0f %12.0f %8.2f %6.1f %s\n", p.name, o->second, g->second, ratio, p.goal,
               met ? "" : "OVER GOAL");
    }
    printf("%s\n", over == 0 ? "all measured ratios within their goals" : "some ratios are over their goals");
    benchmark::Shutdown();
    return 0;
}
