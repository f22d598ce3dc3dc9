// The primality proof against PARI/GP's isprime(p, 2) (its
// Adleman-Pomerance-Rumely test) on the same primes in the same run, the
// Baillie-PSW test against the same steps on GMP, and the next prime of a
// 1600-bit number.
//
//   proof of a 300-digit and a 480-digit prime, one thread and all cores
//   PARI/GP isprime(p, 2) on the same primes: CPU time gp reports itself
//     (getabstime around the call), skipped when gp is not installed
//   Baillie-PSW on a 1600-bit prime: ours and GMP (mpz_powm, mpz Lucas chain)
//   next prime of a random 1600-bit number
//
// One-thread rows count CPU time; the all-cores rows wall time.

#include <benchmark/benchmark.h>
#include <gmp.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <map>
#include <string>

#include "bench/cpu_time_reporter.h"
#include "prime/aprcl.h"
#include "prime/bpsw.h"
#include "prime/parallel.h"
#include "prime/prime_search.h"
#include "prime/run_state.h"
#include "bench/gmp_prime.h"

namespace {

using gmp::Mpz;

struct Targets {
    Mpz p300, p480, p1600, random1600;
    Targets() {
        gmp_randstate_t rng;
        gmp_randinit_mt(rng);
        gmp_randseed_ui(rng, 480);
        auto prime = [&](mpz_t out, int digits) { gmpref::RandomPrime(out, rng, digits); };
        prime(p300, 300);
        prime(p480, 480);
        mpz_urandomb(random1600, rng, 1600);
        mpz_setbit(random1600, 1598);
        mpz_clrbit(random1600, 1599);  // the next prime stays below 2^1600
        mpz_nextprime(p1600, random1600);
        gmp_randclear(rng);
    }
};

const Targets& T() {
    static const Targets targets;
    return targets;
}

mpz_srcptr Prime(int digits) { return digits == 300 ? T().p300 : T().p480; }

void OursProof(benchmark::State& state) {
    const BigInt p = gmp::ToBig(Prime(static_cast<int>(state.range(0))));
    const int threads = static_cast<int>(state.range(1));
    const std::atomic<int> active{RUN_ACTIVE};
    for (auto _ : state) {
        if (ProvePrime(p, active, nullptr, threads) != ProofResult::Prime) state.SkipWithError("not proven prime");
    }
}

// Baillie-PSW on GMP: the same steps as ours (strong test to base 2, then the
// strong Lucas test with Selfridge's parameters).
bool GmpBpsw(const mpz_t n) {
    Mpz d, x, nm1, two;
    mpz_sub_ui(nm1, n, 1);
    const mp_bitcnt_t s = mpz_scan1(nm1, 0);
    mpz_tdiv_q_2exp(d, nm1, s);
    mpz_set_ui(two, 2);
    mpz_powm(x, two, d, n);
    bool pass = mpz_cmp_ui(x, 1) == 0 || mpz_cmp(x, nm1) == 0;
    for (mp_bitcnt_t r = 1; r < s && !pass; ++r) {
        mpz_powm_ui(x, x, 2, n);
        pass = mpz_cmp(x, nm1) == 0;
    }
    if (!pass) return false;
    long D = 5;
    Mpz dz;
    for (;;) {
        mpz_set_si(dz, D);
        if (mpz_jacobi(dz, n) == -1) break;
        D = D > 0 ? -(D + 2) : -D + 2;
    }
    const long Q = (1 - D) / 4;
    Mpz np1, U, V, Qk, t, qz;
    mpz_add_ui(np1, n, 1);
    const mp_bitcnt_t sl = mpz_scan1(np1, 0);
    mpz_tdiv_q_2exp(d, np1, sl);
    mpz_set_si(qz, Q);
    mpz_set_ui(U, 1);
    mpz_set_ui(V, 1);
    mpz_set(Qk, qz);
    auto half = [&](mpz_t v) {
        if (mpz_odd_p(v)) mpz_add(v, v, n);
        mpz_tdiv_q_2exp(v, v, 1);
    };
    for (long bit = static_cast<long>(mpz_sizeinbase(d, 2)) - 2; bit >= 0; --bit) {
        mpz_mul(U, U, V);
        mpz_mod(U, U, n);
        mpz_mul(V, V, V);
        mpz_submul_ui(V, Qk, 2);
        mpz_mod(V, V, n);
        mpz_mul(Qk, Qk, Qk);
        mpz_mod(Qk, Qk, n);
        if (mpz_tstbit(d, static_cast<mp_bitcnt_t>(bit))) {
            mpz_mul_si(t, U, D);
            mpz_add(U, U, V);
            half(U);
            mpz_add(V, V, t);
            mpz_mod(V, V, n);
            half(V);
            mpz_mul(Qk, Qk, qz);
            mpz_mod(Qk, Qk, n);
        }
    }
    if (mpz_sgn(U) == 0 || mpz_sgn(V) == 0) return true;
    for (mp_bitcnt_t r = 1; r < sl; ++r) {
        mpz_mul(V, V, V);
        mpz_submul_ui(V, Qk, 2);
        mpz_mod(V, V, n);
        if (mpz_sgn(V) == 0) return true;
        mpz_mul(Qk, Qk, Qk);
        mpz_mod(Qk, Qk, n);
    }
    return false;
}

void OursBpsw(benchmark::State& state) {
    const BigInt p = gmp::ToBig(T().p1600);
    for (auto _ : state) benchmark::DoNotOptimize(IsBpswProbablePrime(p));
}

void GmpBpswRow(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(GmpBpsw(T().p1600));
}

void OursNextPrime(benchmark::State& state) {
    const BigInt n = gmp::ToBig(T().random1600);
    const std::atomic<int> active{RUN_ACTIVE};
    for (auto _ : state) {
        if (NextPrime(n, active, nullptr).status != PrimeSearch::FOUND) state.SkipWithError("no prime found");
    }
}

void GmpNextPrime(benchmark::State& state) {
    Mpz r;
    for (auto _ : state) mpz_nextprime(r, T().random1600);
}

BENCHMARK(OursProof)->Args({300, 1})->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(OursProof)->Args({300, 0})->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();
BENCHMARK(OursProof)->Args({480, 1})->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(OursProof)->Args({480, 0})->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(OursBpsw)->Unit(benchmark::kMillisecond);
BENCHMARK(GmpBpswRow)->Unit(benchmark::kMillisecond);
BENCHMARK(OursNextPrime)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(GmpNextPrime)->Unit(benchmark::kMillisecond)->Iterations(5);

/// PARI/GP's CPU seconds for isprime(p, 2), as gp reports them; negative when
/// gp is not installed or says something else.
double PariSeconds(const mpz_t p) {
    if (access("/usr/bin/gp", X_OK) != 0 && std::system("command -v gp > /dev/null 2>&1") != 0) return -1;
    const std::string script = "/tmp/kalvora_aprcl_bench_" + std::to_string(getpid()) + ".gp";
    FILE* f = std::fopen(script.c_str(), "w");
    if (f == nullptr) return -1;
    std::fprintf(f, "p = %s;\nt0 = getabstime(); r = isprime(p, 2); t1 = getabstime();\nprint(r, \" \", t1 - t0);\n",
                 gmp::Text(p).c_str());
    std::fclose(f);
    FILE* pipe = popen(("gp -q -f --default parisize=64000000 " + script + " < /dev/null 2>/dev/null").c_str(), "r");
    int proven = 0;
    long ms = -1;
    if (pipe != nullptr) {
        if (std::fscanf(pipe, "%d %ld", &proven, &ms) != 2) ms = -1;
        pclose(pipe);
    }
    std::remove(script.c_str());
    return proven == 1 && ms >= 0 ? static_cast<double>(ms) / 1000 : -1;
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    CpuTimeReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto cpu = [&](const std::string& name) {
        const auto it = reporter.Seconds().find(name);
        return it == reporter.Seconds().end() ? -1.0 : it->second;
    };
    auto wall = [&](const std::string& name) {
        const auto it = reporter.Wall().find(name);
        return it == reporter.Wall().end() ? -1.0 : it->second;
    };
    std::printf("\nthreads for the all-cores rows: %d\n", DefaultThreadCount());
    const struct {
        int digits;
        const char* one;
        const char* all;
        double goal;
    } proofs[] = {
        {300, "OursProof/300/1/iterations:2", "OursProof/300/0/iterations:2/real_time", 1.4},
        {480, "OursProof/480/1/iterations:1", "OursProof/480/0/iterations:1/real_time", 12},
    };
    for (const auto& row : proofs) {
        const double ours = cpu(row.one), all = wall(row.all);
        if (ours < 0) continue;
        const double pari = PariSeconds(Prime(row.digits));
        std::printf("proof, %d digits: ours %.3f s (goal <= %.1f s), all cores %.3f s wall", row.digits, ours, row.goal,
                    all);
        if (pari > 0) {
            std::printf(", PARI/GP isprime(p,2) %.3f s: ratio ours/PARI %.2f, all cores/PARI %.2f (goal <= 0.6)\n",
                        pari, ours / pari, all / pari);
        } else {
            std::printf(", PARI/GP not installed: no ratio\n");
        }
    }
    const double bpsw = cpu("OursBpsw"), gmpBpsw = cpu("GmpBpswRow");
    if (bpsw > 0 && gmpBpsw > 0)
        std::printf("Baillie-PSW, 1600 bits: ours %.2f ms, GMP %.2f ms, ratio %.2f (goal <= 1.5)\n", bpsw * 1e3,
                    gmpBpsw * 1e3, bpsw / gmpBpsw);
    const double next = cpu("OursNextPrime/iterations:5"), gmpNext = cpu("GmpNextPrime/iterations:5");
    if (next > 0)
        std::printf("next prime, 1600 bits: ours %.3f s (goal <= 0.3 s), GMP mpz_nextprime %.3f s\n", next, gmpNext);
    benchmark::Shutdown();
    return 0;
}
