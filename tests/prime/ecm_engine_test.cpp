// The second elliptic-curve engine end to end: curves with an order known
// from PARI found exactly where predicted, deterministic runs on any number
// of threads, real factors of 100-digit and 1600-bit numbers, aborts from
// another thread, the trivial targets and the progress line.

#include "prime/ecm_engine.h"

#include <gmp.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "prime/run_state.h"
#include "tests/support/gmp.h"

namespace {

using gmp::Mpz;

const std::atomic<int> ACTIVE{RUN_ACTIVE};

std::string Text(const BigInt& v) { return gmp::Text(Mpz(v)); }

// Whether f is a factor of n other than 1 and |n|.
testing::AssertionResult IsProperFactor(const BigInt& n, const BigInt& f) {
    Mpz nn(n), ff(f);
    mpz_abs(nn, nn);
    if (mpz_cmp_ui(ff, 1) > 0 && mpz_cmp(ff, nn) < 0 && mpz_divisible_p(nn, ff)) return testing::AssertionSuccess();
    return testing::AssertionFailure() << Text(f) << " is no proper factor of " << Text(n);
}

// The prime p times the smallest prime above 2^(bits - 1) / p: exactly `bits` bits.
Mpz Widened(const Mpz& p, unsigned bits) {
    Mpz n = gmp::Pow2(bits - 1);
    mpz_tdiv_q(n, n, p);
    mpz_nextprime(n, n);
    mpz_mul(n, n, p);
    return n;
}

// Each planted curve finds its prime in the stage PARI's order predicts, at
// the predicted bounds, and nothing just below them; two curves of each
// stage also with the large cofactor widened to 1600 and 1616 bits (with
// short bounds: 26-word curves are slow).
TEST(EcmEngine, PlantedOrdersFoundWherePredicted) {
    std::ifstream in(KALVORA_TEST_DATA "/ecm_planted.vec");
    int rows = 0, wide[3] = {};
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line.substr(0, line.find("  #")));
        std::string n, factor;
        uint64_t sigma = 0, b1 = 0, b2 = 0;
        int stage = 0;
        fields >> n >> sigma >> b1 >> b2 >> stage >> factor;
        ++rows;
        std::vector<Mpz> targets{gmp::Parse(n)};
        if (stage > 0 && b1 <= 10000 && b2 <= 200000 && wide[stage] < 2 && ++wide[stage])
            for (unsigned bits : {1600u, 1616u}) targets.push_back(Widened(Mpz(factor.c_str()), bits));
        for (const Mpz& t : targets) {
            const EcmCurveResult got = RunEcmCurve(t.Big(), sigma, b1, b2, ACTIVE);
            EXPECT_FALSE(got.aborted);
            EXPECT_EQ(got.stage, stage) << t.Bits() << " bits: " << fields.str();
            EXPECT_EQ(Text(got.factor), factor) << t.Bits() << " bits: " << fields.str();
        }
    }
    EXPECT_GE(rows, 30);
    EXPECT_TRUE(wide[1] == 2 && wide[2] == 2);
}

// The sigmas of a seed are fixed for good (values from a Python
// SplitMix64): runs can be repeated from a bug report.
TEST(EcmEngine, SigmasOfASeed) {
    const struct { uint64_t seed; int curve; uint64_t sigma; } rows[] = {
        {0, 0, 4073552104164651889ull}, {0, 1, 1990071630548588931ull}, {1, 0, 2612804094800205622ull},
        {12345, 999, 2786593091101294793ull}, {18446744073709551615ull, 0, 4122584066742110990ull},
        {18446744073709551615ull, 999999, 2964292724971117661ull}};
    for (const auto& r : rows) EXPECT_EQ(EcmSigma(r.seed, r.curve), r.sigma) << r.seed << " " << r.curve;
}

// A run's result is the first curve of its order that finds a factor, on
// one thread or several: that curve's factor, stage and sigma. Most curves
// find the 7-digit prime at B1 = 1000: eight threads find it almost at
// once, and the first curve in order still wins.
TEST(EcmEngine, FirstCurveInOrderWinsOnAnyThreadCount) {
    Mpz easy;
    mpz_ui_pow_ui(easy, 10, 39);
    mpz_nextprime(easy, easy);
    mpz_mul_ui(easy, easy, 1000003);
    const struct { BigInt n; uint64_t b1; std::vector<uint64_t> seeds; int failing; } rows[] = {
        // 1805206296419 x a 40-digit prime: a few curves at B1 = 150, the first ones failing.
        {gmp::Parse("1995257767845541443798566421174263970704016095470777").Big(), 150, {1, 3, 4}, 2},
        {easy.Big(), 1000, {1, 2, 3, 4, 5, 6, 7, 8}, 0},
    };
    for (const auto& r : rows) {
        for (uint64_t seed : r.seeds) {
            int first = 0;
            EcmCurveResult alone;
            while ((alone = RunEcmCurve(r.n, EcmSigma(seed, first), r.b1, EcmDefaultB2(r.b1), ACTIVE)).factor == 0 && first < 2000) ++first;
            ASSERT_TRUE(IsProperFactor(r.n, alone.factor)) << "seed " << seed;
            EXPECT_GE(first, r.failing) << "the test needs a few curves that fail, seed " << seed;
            for (int threads : {1, 2, 8}) {
                const EcmResult run = RunEcm(r.n, {.b1 = r.b1, .curves = 2000, .seed = seed, .threads = threads, .label = {}}, ACTIVE, nullptr);
                EXPECT_EQ(run.curvesRun, first + 1) << threads << " threads, seed " << seed;
                EXPECT_EQ(run.sigma, EcmSigma(seed, first)) << threads << " threads, seed " << seed;
                EXPECT_EQ(run.factor, alone.factor) << threads << " threads, seed " << seed;
                EXPECT_EQ(run.stage, alone.stage) << threads << " threads, seed " << seed;
            }
        }
    }
}

// A 15-digit prime of a 100-digit number at B1 = 2000 (the usual level for
// 15 digits: about 25 curves expected), and a 12-digit prime times a
// 1560-bit prime, within a bounded number of curves on every core.
TEST(EcmEngine, FindsRealFactors) {
    Mpz wide = gmp::Parse("2^1560");
    mpz_nextprime(wide, wide);
    mpz_mul_ui(wide, wide, 752029148677ul);
    const struct { Mpz n; const char* prime; uint64_t b1, seed; int curves; } rows[] = {
        {gmp::Parse("6803182397080322187496747271807297416684502349810293400124885021609790399961281047984409355906692497"),
         "900283840285729", 2000, 2, 200},
        {wide, "752029148677", 1000, 7, 300},
    };
    for (const auto& r : rows) {
        const EcmResult got = RunEcm(r.n.Big(), {.b1 = r.b1, .curves = r.curves, .seed = r.seed, .label = {}}, ACTIVE, nullptr);
        EXPECT_EQ(Text(got.factor), r.prime) << r.n.Bits() << " bits";
    }
}

// Targets without curves, and small ones where every prime's curve is tiny
// and several primes meet at once.
TEST(EcmEngine, TrivialAndSmallTargets) {
    const struct { const char *n, *expected; } rows[] = {  // expected "none", "2", or "proper" for any proper factor
        {"0", "none"}, {"1", "none"}, {"2", "none"}, {"3", "none"}, {"-3", "none"}, {"1000000007", "none"},
        {"2305843009213693951", "none"}, {"4", "2"}, {"6", "2"}, {"-10", "2"}, {"2^180", "2"}, {"9", "proper"},
        {"15", "proper"}, {"-15", "proper"}, {"21", "proper"}, {"1001", "proper"}, {"100140049", "proper"},  // 10007^2
        {"3486784401", "proper"}, {"1000000016000000063", "proper"},                                       // 3^20, two primes
    };
    for (const auto& r : rows) {
        const BigInt n = gmp::Parse(r.n).Big();
        const EcmResult got = RunEcm(n, {.b1 = 1000, .curves = 30, .seed = 11, .threads = 2, .label = {}}, ACTIVE, nullptr);
        const std::string expected = r.expected;
        if (expected == "proper") {
            EXPECT_TRUE(IsProperFactor(n, got.factor)) << r.n;
        } else {
            EXPECT_EQ(Text(got.factor), expected == "none" ? "0" : expected) << r.n;
        }
        EXPECT_FALSE(got.aborted);
        if (expected == "none" && n >= 5) { EXPECT_EQ(got.curvesRun, 30) << r.n; }
    }
    BigInt invalid;
    invalid.SetStatus(1);
    EXPECT_EQ(RunEcm(invalid, EcmParams{}, ACTIVE, nullptr).factor, 0);
}

// An abort from another thread ends the run within 50 ms (a loaded machine
// gets more slack), in the middle of a curve and while the stage-2 tables
// are built.
TEST(EcmEngine, AbortFromAnotherThread) {
    Mpz prime = gmp::Parse("2^1599");
    mpz_nextprime(prime, prime);
    const struct { const char* what; uint64_t b1, b2; } rows[] = {
        {"stage 1 of a long curve", 100000, 100000},
        {"stage 2 of a long curve", 20, 10000000},
        {"the tables of a large B2", 1000, 10000000000ull},
    };
    for (const auto& r : rows) {
        std::atomic<int> state{RUN_ACTIVE};
        std::chrono::steady_clock::time_point flipped;
        std::thread flipper([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
            flipped = std::chrono::steady_clock::now();
            state.store(RUN_ABORT);
        });
        const EcmResult got = RunEcm(prime.Big(), {.b1 = r.b1, .b2 = r.b2, .curves = 100, .threads = 2, .label = {}}, state, nullptr);
        const auto returned = std::chrono::steady_clock::now();
        flipper.join();
        EXPECT_TRUE(got.aborted && got.factor == 0) << r.what;
        EXPECT_LT(returned - flipped, std::chrono::milliseconds(250)) << r.what;
    }
    // Already aborted: no curve at all.
    const std::atomic<int> aborted{RUN_ABORT};
    const EcmResult none = RunEcm(prime.Big(), EcmParams{}, aborted, nullptr);
    EXPECT_TRUE(none.aborted);
    EXPECT_EQ(none.curvesRun, 0);
    EXPECT_TRUE(RunEcmCurve(prime.Big(), 6, 1000, 0, aborted).aborted);
}

// A caller that lowered its own priority keeps its curve threads there:
// they are created from it and inherit its nice value.
TEST(EcmEngine, CurveThreadsInheritTheCallersPriority) {
    Mpz prime = gmp::Parse("2^1000");
    mpz_nextprime(prime, prime);
    std::atomic<int> state{RUN_ACTIVE}, callerTid{0}, lowered{0};
    std::thread caller([&] {
        const id_t tid = static_cast<id_t>(gettid());
        setpriority(PRIO_PROCESS, tid, std::min(19, getpriority(PRIO_PROCESS, tid) + 5));
        lowered = getpriority(PRIO_PROCESS, tid);
        callerTid = static_cast<int>(tid);
        RunEcm(prime.Big(), {.b1 = 1000000, .threads = 3, .label = {}}, state, nullptr);
    });
    // The threads besides this one and the caller at the caller's nice
    // value (a sanitizer may run a thread of its own at ours).
    int atLowered = 0;
    for (int tries = 0; tries < 2000 && atLowered < 2; ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (callerTid == 0) continue;
        atLowered = 0;
        for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
            const int tid = std::stoi(task.path().filename().string());
            errno = 0;
            const int nice = getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
            if (tid != gettid() && tid != callerTid && errno == 0 && nice == lowered) ++atLowered;
        }
    }
    state = RUN_ABORT;
    caller.join();
    EXPECT_EQ(atLowered, 2) << "both curve threads at nice " << lowered.load();
}

// The progress line: curves done, B1 and the stage, under the run's label.
TEST(EcmEngine, ProgressLine) {
    Mpz prime = gmp::Parse("2^400");
    mpz_nextprime(prime, prime);
    for (const char* label : {"level 3/8", ""}) {
        std::mutex lock;
        std::vector<std::string> texts;
        Progress progress([&](const std::string& text) {
            std::lock_guard<std::mutex> guard(lock);
            texts.push_back(text);
        });
        const EcmParams params{.b1 = 20000, .curves = *label ? 6 : 1, .threads = 2, .label = label};
        const std::string head = *label ? label : "ECM";
        EXPECT_EQ(RunEcm(prime.Big(), params, ACTIVE, &progress).curvesRun, params.curves);
        ASSERT_FALSE(texts.empty());
        EXPECT_EQ(texts.front(), head + " B1=20000: 0/" + std::to_string(params.curves) + " curves, stage 1");
        const std::regex form(head + " B1=20000: [0-" + std::to_string(params.curves - 1) + "]/" + std::to_string(params.curves) + " curves, stage [12]");
        for (const std::string& t : texts) EXPECT_TRUE(std::regex_match(t, form)) << t;
    }
}

}  // namespace
