// The prime engine's searches against GMP versions of the same algorithms
// (same steps, same gcd schedule; mpz_powm, mpz_gcd, mpz_invert) on the same
// targets in the same run. The ratios ours/GMP are printed at the end.
//
//   pseudo-prime test, 30 trials, 800-bit prime
//   rho, default parameters (10000 steps), 100-digit target without small factors
//   p-1, default parameters (stage 1, stage 2 to 2^20), 100-digit target
//   one ECM curve at B = 10000 and B = 100000, 150-digit target

#include <benchmark/benchmark.h>
#include <gmp.h>

#include <atomic>
#include <cstdio>
#include <map>
#include <string>

#include "bench/cpu_time_reporter.h"
#include "prime/prime_engine.h"
#include "bench/gmp_prime.h"

namespace {

using gmp::Mpz;

// The targets, fixed by a seeded generator.
struct Targets {
    Mpz prime800, rho100, pm1100, ecm150;
    Targets() {
        gmp_randstate_t rng;
        gmp_randinit_mt(rng);
        gmp_randseed_ui(rng, 2026);
        mpz_urandomb(prime800, rng, 800);
        mpz_setbit(prime800, 799);
        mpz_nextprime(prime800, prime800);
        while (mpz_sizeinbase(prime800, 2) != 800) {
            mpz_clrbit(prime800, 800);
            mpz_nextprime(prime800, prime800);
        }
        // Two 50-digit primes: no small factor for rho, no smooth p - 1 for p-1.
        Mpz p, q, low;
        mpz_ui_pow_ui(low, 10, 49);
        for (Mpz* target : {&rho100, &pm1100}) {
            mpz_urandomm(p, rng, low);
            mpz_add(p, p, low);
            mpz_nextprime(p, p);
            mpz_urandomm(q, rng, low);
            mpz_add(q, q, low);
            mpz_nextprime(q, q);
            mpz_mul(*target, p, q);
        }
        // A 150-digit prime: the curve is walked to its end.
        mpz_ui_pow_ui(low, 10, 149);
        mpz_urandomm(ecm150, rng, low);
        mpz_add(ecm150, ecm150, low);
        mpz_nextprime(ecm150, ecm150);
        gmp_randclear(rng);
    }
};

const Targets& T() {
    static const Targets targets;
    return targets;
}

void OursPseudoPrime(benchmark::State& state) {
    const BigInt n = T().prime800.Big();
    for (auto _ : state) benchmark::DoNotOptimize(g_primeEngine.IsPseudoPrime(n, 30));
}

void GmpPseudoPrime(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(gmpref::IsPseudoPrime(T().prime800, 30, g_primeEngine.primes));
}

void OursRho(benchmark::State& state) {
    const BigInt n = T().rho100.Big();
    std::atomic<int> active{RUN_ACTIVE};
    for (auto _ : state) benchmark::DoNotOptimize(g_primeEngine.Rho(n, 10000, 2, 2, 1, active));
}

void GmpRho(benchmark::State& state) {
    Mpz out;
    for (auto _ : state) gmpref::Rho(out, T().rho100, 10000, 2, 2, 1);
}

void OursPm1(benchmark::State& state) {
    const BigInt n = T().pm1100.Big();
    std::atomic<int> active{RUN_ACTIVE};
    for (auto _ : state) benchmark::DoNotOptimize(g_primeEngine.Pm1(n, 16, 1, 1048576, active));
}

void GmpPm1(benchmark::State& state) {
    Mpz out;
    for (auto _ : state) gmpref::Pm1(out, T().pm1100, 16, 1, 1048576, g_primeEngine.primes, PRIME_COUNT);
}

// One curve: Ecm with a single trial draws its curve and walks the multiplier.
void OursEcmCurve(benchmark::State& state) {
    const BigInt n = T().ecm150.Big();
    const int bound = static_cast<int>(state.range(0));
    std::atomic<int> active{RUN_ACTIVE};
    for (auto _ : state) benchmark::DoNotOptimize(g_primeEngine.Ecm(n, 1, bound, active));
}

// The same walk in GMP on a curve drawn the same way (y0 a residue below the
// square root of N, x0 the cube root of y0^2, a and b from them).
void GmpEcmCurve(benchmark::State& state) {
    const int bound = static_cast<int>(state.range(0));
    Mpz s, y0, y2, x0, x3, a, out;
    mpz_sqrt(s, T().ecm150);
    mpz_set_ui(y0, 123456789);
    mpz_powm_ui(y0, y0, 20001, s);
    mpz_mul(y2, y0, y0);
    mpz_root(x0, y2, 3);
    mpz_pow_ui(x3, x0, 3);
    mpz_sub(a, y2, x3);
    mpz_tdiv_q(a, a, x0);
    const std::string& multiplier = g_primeEngine.EcmMultiplier(bound);
    for (auto _ : state) benchmark::DoNotOptimize(gmpref::EcmCurve(out, T().ecm150, a, x0, y0, multiplier));
}

BENCHMARK(OursPseudoPrime)->Unit(benchmark::kMillisecond);
BENCHMARK(GmpPseudoPrime)->Unit(benchmark::kMillisecond);
BENCHMARK(OursRho)->Unit(benchmark::kMillisecond);
BENCHMARK(GmpRho)->Unit(benchmark::kMillisecond);
BENCHMARK(OursPm1)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(GmpPm1)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(OursEcmCurve)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(GmpEcmCurve)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(OursEcmCurve)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(GmpEcmCurve)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    CpuTimeReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    struct Pair { const char* label; const char* ours; const char* gmp; double goal; };
    const Pair pairs[] = {
        {"pseudo-prime, 30 trials, 800 bits", "OursPseudoPrime", "GmpPseudoPrime", 2},
        {"rho, 10000 steps, 100 digits", "OursRho", "GmpRho", 2},
        {"p-1, B2 = 2^20, 100 digits", "OursPm1/iterations:2", "GmpPm1/iterations:2", 2},
        {"ECM curve, B = 10000, 150 digits", "OursEcmCurve/10000", "GmpEcmCurve/10000", 3},
        {"ECM curve, B = 100000, 150 digits", "OursEcmCurve/100000/iterations:2", "GmpEcmCurve/100000/iterations:2", 3},
    };
    for (const Pair& p : pairs) {
        const auto ours = reporter.Seconds().find(p.ours);
        const auto gmp = reporter.Seconds().find(p.gmp);
        if (ours == reporter.Seconds().end() || gmp == reporter.Seconds().end()) continue;
        std::printf("%-36s ours %9.2f ms, GMP %9.2f ms (CPU time), ratio ours/GMP %.2f (goal <= %.0f)\n", p.label,
                    ours->second * 1e3, gmp->second * 1e3, ours->second / gmp->second, p.goal);
    }
    benchmark::Shutdown();
    return 0;
}
