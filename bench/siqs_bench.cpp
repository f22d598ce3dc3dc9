// The quadratic sieve against PARI/GP's factor() on the same balanced
// semiprimes in the same run.
//
//   Ours/D   one thread, D = 50, 60, 70, 80 digits: the CPU time of a child
//            process that factors the number, with its relations, matrix and
//            peak memory as counters
//   Pari/D   factor() in gp, timed by gp itself (getabstime, start-up
//            excluded); skipped when gp is not installed
//   Ours2/90 90 digits on all cores, wall time; only with
//            KALVORA_BENCH_MOONSHOT=1 (a quarter of an hour)
//
// Goals: ours <= 0.5 x PARI at 60 and 70 digits, <= 120 s at 80 digits,
// <= 900 s at 90 digits with both cores. Run it under nice: the large sizes
// take minutes.

#include <benchmark/benchmark.h>
#include <gmp.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>

#include "prime/siqs.h"
#include "bench/gmp_prime.h"

namespace {

using gmp::Mpz;

/// A balanced semiprime of `digits` digits from a seeded generator.
std::string Semiprime(int digits) {
    gmp_randstate_t rng;
    gmp_randinit_mt(rng);
    gmp_randseed_ui(rng, 1500 + static_cast<unsigned long>(digits));
    Mpz p, q, n, low;
    do {
        for (auto [x, d] : {std::pair{&p, digits / 2}, std::pair{&q, digits - digits / 2}}) {
            mpz_ui_pow_ui(low, 10, static_cast<unsigned long>(d - 1));
            mpz_urandomm(*x, rng, low);
            mpz_mul_ui(*x, *x, 9);
            mpz_add(*x, *x, low);
            mpz_nextprime(*x, *x);
        }
        mpz_mul(n, p, q);
    } while (mpz_sizeinbase(n, 10) != static_cast<size_t>(digits) || mpz_cmp(p, q) == 0);
    gmp_randclear(rng);
    char* text = mpz_get_str(nullptr, 10, n);
    std::string s = text;
    void (*freeFunction)(void*, size_t);
    mp_get_memory_functions(nullptr, nullptr, &freeFunction);
    freeFunction(text, s.size() + 1);
    return s;
}

struct Measured {
    bool ok = false;
    double seconds = 0;  // CPU or wall
    long peakKb = 0;
    SiqsStats stats;
};

/// Factors n in a child process (so that its peak memory is its own).
Measured RunOurs(const std::string& n, int threads, bool wallTime) {
    int fds[2];
    Measured m;
    if (pipe(fds) != 0) return m;
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        BigInt target;
        target.FromString(n.c_str(), 10);
        SiqsParams params;
        params.threads = threads;
        const std::atomic<int> active{RUN_ACTIVE};
        const auto start = std::chrono::steady_clock::now();
        const SiqsResult r = FactorSiqs(target, params, active, nullptr);
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        Measured out;
        BigInt product = 1;
        for (const BigInt& p : r.primes) product = product * p;
        out.ok = r.status == SiqsResult::FACTORED && r.primes.size() == 2 && product == target;
        out.seconds = wallTime ? wall
                               : usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
                                     1e-6 * (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
        out.peakKb = usage.ru_maxrss;
        out.stats = r.stats;
        const ssize_t written = write(fds[1], &out, sizeof out);
        _exit(written == static_cast<ssize_t>(sizeof out) ? 0 : 1);
    }
    close(fds[1]);
    if (pid > 0) {
        if (read(fds[0], &m, sizeof m) != static_cast<ssize_t>(sizeof m)) m.ok = false;
        waitpid(pid, nullptr, 0);
    }
    close(fds[0]);
    return m;
}

bool PariInstalled() { return std::system("command -v gp > /dev/null 2>&1") == 0; }

/// PARI's own CPU time for factor(n) in seconds, or -1.
double RunPari(const std::string& n) {
    const std::string script = "/tmp/kalvora_siqs_bench_" + std::to_string(getpid()) + ".gp";
    {
        std::ofstream out(script);
        out << "default(parisizemax, 2*10^9);\nn = " << n << ";\n"
            << "t = getabstime(); f = factor(n); t = getabstime() - t;\n"
            << "print(if(matsize(f)[1] == 2 && f[1,1] * f[2,1] == n, t, -1));\nquit;\n";
    }
    FILE* pipe = popen(("gp -q -f " + script + " < /dev/null 2> /dev/null").c_str(), "r");
    double ms = -1;
    if (pipe != nullptr) {
        char line[256];
        while (std::fgets(line, sizeof line, pipe) != nullptr) ms = std::atof(line);
        pclose(pipe);
    }
    std::remove(script.c_str());
    return ms < 0 ? -1 : ms / 1000;
}

std::map<std::string, double>& Results() {
    static std::map<std::string, double> results;
    return results;
}

void Ours(benchmark::State& state, const char* label, int threads, bool wallTime) {
    const int digits = static_cast<int>(state.range(0));
    const std::string n = Semiprime(digits);
    for (auto _ : state) {
        const Measured m = RunOurs(n, threads, wallTime);
        if (!m.ok) {
            state.SkipWithError("not factored");
            return;
        }
        state.SetIterationTime(m.seconds);
        Results()[label + std::to_string(digits)] = m.seconds;
        state.counters["relations"] = static_cast<double>(m.stats.fulls + m.stats.partials + m.stats.doublePartials);
        state.counters["fulls"] = static_cast<double>(m.stats.fulls);
        state.counters["cycles"] = static_cast<double>(m.stats.cycles);
        state.counters["fb"] = m.stats.factorBase;
        state.counters["rows"] = m.stats.matrixRows;
        state.counters["cols"] = m.stats.matrixCols;
        state.counters["peak_MB"] = static_cast<double>(m.peakKb) / 1024;
        state.counters["matrix_s"] = m.stats.matrixSeconds;
    }
}

void Pari(benchmark::State& state) {
    const int digits = static_cast<int>(state.range(0));
    if (!PariInstalled()) {
        state.SkipWithError("gp (Debian pari-gp) is not installed");
        return;
    }
    const std::string n = Semiprime(digits);
    for (auto _ : state) {
        const double seconds = RunPari(n);
        if (seconds < 0) {
            state.SkipWithError("gp did not factor the number");
            return;
        }
        state.SetIterationTime(seconds);
        Results()["Pari/" + std::to_string(digits)] = seconds;
    }
}

void OursOneThread(benchmark::State& state) { Ours(state, "Ours/", 1, false); }
void OursAllCores(benchmark::State& state) { Ours(state, "Ours2/", 0, true); }

BENCHMARK(OursOneThread)->Name("Ours")->DenseRange(50, 80, 10)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(Pari)->Name("Pari")->DenseRange(50, 80, 10)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
    if (const char* moonshot = std::getenv("KALVORA_BENCH_MOONSHOT"); moonshot != nullptr && moonshot[0] == '1') {
        benchmark::RegisterBenchmark("Ours2", OursAllCores)->Arg(90)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    std::printf("\n");
    for (int digits = 50; digits <= 80; digits += 10) {
        const auto ours = Results().find("Ours/" + std::to_string(digits));
        const auto pari = Results().find("Pari/" + std::to_string(digits));
        if (ours == Results().end()) continue;
        std::printf("%d digits: ours %8.2f s (one thread, CPU)", digits, ours->second);
        if (pari != Results().end()) {
            std::printf(", PARI %8.2f s, ratio ours/PARI %.2f", pari->second, ours->second / pari->second);
        }
        std::printf("%s\n", digits == 60 || digits == 70 ? " (goal <= 0.5)" : digits == 80 ? " (goal <= 120 s)" : "");
    }
    const auto moon = Results().find("Ours2/90");
    if (moon != Results().end()) std::printf("90 digits, all cores: %.1f s wall (goal <= 900 s)\n", moon->second);
    benchmark::Shutdown();
    return 0;
}
