// Two threads format in different radices and reduce by different moduli at
// the same time; each must get exactly the single-threaded answers. Run
// under ThreadSanitizer too (-DKALVORA_SANITIZE=thread).

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "tests/bigint/test_support.h"

namespace bigint_test {
namespace {

struct Job {
    std::vector<BigInt> values;
    std::vector<uint16_t> radices;      // formatting radix per value
    BigInt modulus;                     // reduction modulus for this thread
    std::vector<std::string> texts;     // expected texts (GMP)
    std::vector<BigInt> residues;       // expected ModCached results (GMP)
    std::vector<BigInt> powers;         // expected PowerModCached results (GMP)
};

Job MakeJob(Rng& rng, std::initializer_list<uint16_t> radixCycle, unsigned modulusBits, int count) {
    Job job;
    Mpz m = RandomMagnitude(rng, modulusBits);
    mpz_setbit(m, modulusBits - 1);
    mpz_setbit(m, 0);
    job.modulus = BigFromMpz(m);
    const std::vector<uint16_t> cycle(radixCycle);
    for (int i = 0; i < count; ++i) {
        Mpz v = RandomMagnitude(rng, 1600);
        if (Uniform(rng, 0, 1)) mpz_neg(v, v);
        job.values.push_back(BigFromMpz(v));
        job.radices.push_back(cycle[i % cycle.size()]);
        job.texts.push_back(GmpText(v, job.radices.back()));
        Mpz r, a;
        mpz_abs(a, v);
        if (mpz_cmpabs(v, m) < 0)
            r = v;  // a smaller value comes back as it is
        else
            mpz_tdiv_r(r, a, m);
        job.residues.push_back(BigFromMpz(r));
        Mpz p;
        mpz_powm(p, a, Mpz(65537), m);
        job.powers.push_back(BigFromMpz(p));
    }
    return job;
}

// Returns the number of wrong answers.
int RunJob(const Job& job, std::atomic<bool>& go) {
    while (!go.load()) std::this_thread::yield();
    int wrong = 0;
    char text[BIGINT_TEXT_SIZE];
    const BigInt e(65537);
    for (size_t i = 0; i < job.values.size(); ++i) {
        BigInt v = job.values[i];
        if (job.texts[i] != v.ToString(text, job.radices[i])) ++wrong;
        if (!(v.ModCached(job.modulus) == job.residues[i])) ++wrong;
        BigInt magnitude = v;
        magnitude.sign = 0;
        if (!(magnitude.PowerModCached(e, job.modulus) == job.powers[i])) ++wrong;
    }
    return wrong;
}

TEST(BigIntConcurrency, TwoThreadsFormatAndReduceWithTheirOwnRadixAndModulus) {
    const uint64_t seed = TestSeed();
    SCOPED_TRACE(SeedNote(seed));
    Rng rng(seed);
    const int count = Iterations(240);
    // Alternating radices force cache rebuilds while the other thread formats.
    const Job first = MakeJob(rng, {10, 2, 10, 7}, 700, count);
    const Job second = MakeJob(rng, {16, 3, 16, 10}, 520, count);

    // Single-threaded first: the answers the threads must reproduce.
    std::atomic<bool> go{true};
    ASSERT_EQ(RunJob(first, go), 0);
    ASSERT_EQ(RunJob(second, go), 0);

    for (int round = 0; round < 3; ++round) {
        go = false;
        int wrongFirst = -1, wrongSecond = -1;
        std::thread a([&] { wrongFirst = RunJob(first, go); });
        std::thread b([&] { wrongSecond = RunJob(second, go); });
        go = true;
        a.join();
        b.join();
        EXPECT_EQ(wrongFirst, 0) << "round " << round;
        EXPECT_EQ(wrongSecond, 0) << "round " << round;
    }
}

}  // namespace
}  // namespace bigint_test
