// The prime engine's searches against GMP versions of the same algorithms
// (same steps, same gcd schedule; mpz_powm, mpz_gcd, mpz_invert) on the same
// targets in the same run. The ratios ours/GMP are printed at the end.
//
//   pseudo-prime test, 30 trials, 800-bit and 1600-bit primes
//   rho, 100000 steps, 1200-bit target without small factors
//   p-1, default parameters (stage 1, stage 2 to 2^20), 1200-bit target
//   one ECM curve at B = 10000, 1200-bit target

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
    Mpz prime800, prime1600, rho1200, pm11200, ecm1200;
    Targets() {
        gmp_randstate_t rng;
        gmp_randinit_mt(rng);
        gmp_randseed_ui(rng, 2026);
        auto prime = [&](mpz_t p, unsigned long bits) {
            do {
                mpz_urandomb(p, rng, bits);
                mpz_setbit(p, bits - 1);
                mpz_nextprime(p, p);
            } while (mpz_sizeinbase(p, 2) != bits);
        };
        prime(prime800, 800);
        prime(prime1600, 1600);
        // Two 600-bit primes: no small factor for rho, no smooth p - 1 for p-1.
        Mpz p, q;
        for (Mpz* target : {&rho1200, &pm11200}) {
            prime(p, 600);
            prime(q, 600);
            mpz_mul(*target, p, q);
        }
        // A prime: the curve is walked to its end.
        prime(ecm1200, 1200);
        gmp_randclear(rng);
    }
};

const Targets& T() {
    static const Targets targets;
    return targets;
}

const std::atomic<int>& Active() {
    static const std::atomic<int> active{RUN_ACTIVE};
    return active;
}

void OursPseudoPrime(benchmark::State& state, const Mpz& n) {
    const BigInt big = n.Big();
    for (auto _ : state) benchmark::DoNotOptimize(g_primeEngine.IsPseudoPrime(big, 30, Active()));
}

void GmpPseudoPrime(benchmark::State& state, const Mpz& n) {
    for (auto _ : state) benchmark::DoNotOptimize(gmpref::IsPseudoPrime(n, 30, g_primeEngine.primes));
}

void OursRho(benchmark::State& state) {
    const BigInt n = T().rho1200.Big();
    for (auto _ : state) benchmark::DoNotOptimize(g_primeEngine.Rho(n, 100000, 2, 2, 1, Active()));
}

void GmpRho(benchmark::State& state) {
    Mpz out;
    for (auto _ : state) gmpref::Rho(out, T().rho1200, 100000, 2, 2, 1);
}

void OursPm1(benchmark::State& state) {
    const BigInt n = T().pm11200.Big();
    for (auto _ : state) benchmark::DoNotOptimize(g_primeEngine.Pm1(n, 16, 1, 1048576, Active()));
}

void GmpPm1(benchmark::State& state) {
    Mpz out;
    for (auto _ : state) gmpref::Pm1(out, T().pm11200, 16, 1, 1048576, g_primeEngine.primes, PRIME_COUNT);
}

// One curve: Ecm with a single trial draws its curve and walks the multiplier.
void OursEcmCurve(benchmark::State& state) {
    const BigInt n = T().ecm1200.Big();
    for (auto _ : state) benchmark::DoNotOptimize(g_primeEngine.Ecm(n, 1, 10000, Active()));
}

// The same walk in GMP on a curve drawn the same way (y0 a residue below the
// square root of N, x0 the cube root of y0^2, a and b from them).
void GmpEcmCurve(benchmark::State& state) {
    Mpz s, y0, y2, x0, x3, a, out;
    mpz_sqrt(s, T().ecm1200);
    mpz_set_ui(y0, 123456789);
    mpz_powm_ui(y0, y0, 20001, s);
    mpz_mul(y2, y0, y0);
    mpz_root(x0, y2, 3);
    mpz_pow_ui(x3, x0, 3);
    mpz_sub(a, y2, x3);
    mpz_tdiv_q(a, a, x0);
    const std::string& multiplier = g_primeEngine.EcmMultiplier(10000);
    for (auto _ : state) benchmark::DoNotOptimize(gmpref::EcmCurve(out, T().ecm1200, a, x0, y0, multiplier));
}

BENCHMARK_CAPTURE(OursPseudoPrime, 800, T().prime800)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(GmpPseudoPrime, 800, T().prime800)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(OursPseudoPrime, 1600, T().prime1600)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(GmpPseudoPrime, 1600, T().prime1600)->Unit(benchmark::kMillisecond);
BENCHMARK(OursRho)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(GmpRho)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(OursPm1)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(GmpPm1)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(OursEcmCurve)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(GmpEcmCurve)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    CpuTimeReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    struct Pair { const char* label; const char* ours; const char* gmp; double goal; };
    const Pair pairs[] = {
        {"pseudo-prime, 30 trials, 800 bits", "OursPseudoPrime/800", "GmpPseudoPrime/800", 1.5},
        {"pseudo-prime, 30 trials, 1600 bits", "OursPseudoPrime/1600", "GmpPseudoPrime/1600", 1.5},
        {"rho, 100000 steps, 1200 bits", "OursRho/iterations:2", "GmpRho/iterations:2", 2},
        {"p-1, B2 = 2^20, 1200 bits", "OursPm1/iterations:1", "GmpPm1/iterations:1", 2},
        {"ECM curve, B = 10000, 1200 bits", "OursEcmCurve/iterations:2", "GmpEcmCurve/iterations:2", 3},
    };
    for (const Pair& p : pairs) {
        const auto ours = reporter.Seconds().find(p.ours);
        const auto gmp = reporter.Seconds().find(p.gmp);
        if (ours == reporter.Seconds().end() || gmp == reporter.Seconds().end()) continue;
        std::printf("%-36s ours %9.2f ms, GMP %9.2f ms (CPU time), ratio ours/GMP %.2f (goal <= %.1f)\n", p.label,
                    ours->second * 1e3, gmp->second * 1e3, ours->second / gmp->second, p.goal);
    }
    benchmark::Shutdown();
    return 0;
}
