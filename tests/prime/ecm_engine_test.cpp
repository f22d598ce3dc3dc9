// The second elliptic-curve engine end to end: curves with an order known
// from PARI found exactly where predicted, deterministic runs on any number
// of threads, real factors of 100-digit and 1600-bit numbers, aborts from
// another thread, the trivial targets and the progress line.

#include "prime/ecm_engine.h"

#include <dirent.h>
#include <gmp.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "prime/run_state.h"
#include "bench/gmp_prime.h"

namespace {

using gmp::Mpz;

struct Planted {
    std::string n;
    uint64_t sigma = 0, b1 = 0, b2 = 0;
    int stage = 0;
    std::string factor;
    std::string line;
};

std::vector<Planted> ReadPlanted() {
    std::vector<Planted> rows;
    std::ifstream in(std::string(KALVORA_TEST_DATA) + "/ecm_planted.vec");
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        Planted r;
        fields >> r.n >> r.sigma >> r.b1 >> r.b2 >> r.stage >> r.factor;
        r.line = line.substr(0, line.find("  #"));
        rows.push_back(r);
    }
    return rows;
}

std::string Text(const BigInt& v) {
    Mpz z(v);
    return gmp::Text(z);
}

const std::atomic<int>& Active() {
    static const std::atomic<int> active{RUN_ACTIVE};
    return active;
}

// Each planted curve finds its prime in the stage PARI's order predicts, at
// the predicted bounds, and nothing just below them.
TEST(EcmEngine, PlantedOrdersFoundWherePredicted) {
    const std::vector<Planted> rows = ReadPlanted();
    ASSERT_GE(rows.size(), 30u);
    for (const Planted& r : rows) {
        const EcmCurveResult got =
            RunEcmCurve(gmp::Parse(r.n.c_str()).Big(), r.sigma, r.b1, r.b2, Active());
        EXPECT_FALSE(got.aborted);
        EXPECT_EQ(got.stage, r.stage) << r.line;
        EXPECT_EQ(Text(got.factor), r.factor) << r.line;
    }
}

// Some of the same curves with the large cofactor widened to make n exactly
// 1600 and 1616 bits: the same stage and prime.
TEST(EcmEngine, PlantedOrdersAtFullWidth) {
    const std::vector<Planted> rows = ReadPlanted();
    int checked[3] = {};
    for (const Planted& r : rows) {
        // Two curves of each stage with short bounds: 26-word curves are slow.
        if (r.stage == 0 || r.b1 > 10000 || r.b2 > 200000 || checked[r.stage] == 2) continue;
        ++checked[r.stage];
        for (int bits : {1600, 1616}) {
            Mpz p(r.factor.c_str()), cofactor, n;
            mpz_setbit(cofactor, static_cast<mp_bitcnt_t>(bits - mpz_sizeinbase(p, 2)));
            mpz_add_ui(cofactor, cofactor, 12345);
            for (;;) {
                mpz_nextprime(cofactor, cofactor);
                mpz_mul(n, p, cofactor);
                if (mpz_sizeinbase(n, 2) == static_cast<size_t>(bits)) break;
                mpz_set_ui(cofactor, 0);
                mpz_setbit(cofactor, static_cast<mp_bitcnt_t>(bits - mpz_sizeinbase(p, 2) - 1));
            }
            const EcmCurveResult got = RunEcmCurve(n.Big(), r.sigma, r.b1, r.b2, Active());
            EXPECT_EQ(got.stage, r.stage) << bits << " bits: " << r.line;
            EXPECT_EQ(Text(got.factor), r.factor) << bits << " bits: " << r.line;
        }
    }
    EXPECT_EQ(checked[1], 2);
    EXPECT_EQ(checked[2], 2);
}

// The sigmas of a seed are fixed for good (values from a Python
// SplitMix64): runs can be repeated from a bug report.
TEST(EcmEngine, SigmasOfASeed) {
    struct Row {
        uint64_t seed;
        int curve;
        uint64_t sigma;
    };
    const Row rows[] = {
        {0, 0, 4073552104164651889ull},
        {0, 1, 1990071630548588931ull},
        {1, 0, 2612804094800205622ull},
        {12345, 999, 2786593091101294793ull},
        {18446744073709551615ull, 0, 4122584066742110990ull},
        {18446744073709551615ull, 999999, 2964292724971117661ull},
    };
    for (const Row& r : rows)
        EXPECT_EQ(EcmSigma(r.seed, r.curve), r.sigma) << r.seed << " " << r.curve;
}

// A run's result is the first curve of its order that finds a factor, on
// one thread or several: the same factor, curve count and sigma; each
// earlier curve, run alone, finds nothing.
TEST(EcmEngine, DeterministicForASeed) {
    // 1805206296419 x a 40-digit prime: a few curves at B1 = 150.
    const BigInt n = gmp::Parse("1995257767845541443798566421174263970704016095470777").Big();
    for (uint64_t seed : {1ull, 3ull, 4ull}) {
        EcmParams params;
        params.b1 = 150;
        params.curves = 2000;
        params.seed = seed;
        params.threads = 1;
        const EcmResult one = RunEcm(n, params, Active(), nullptr);
        ASSERT_EQ(Text(one.factor), "1805206296419") << "seed " << seed;
        ASSERT_GE(one.curvesRun, 3) << "the test needs a few curves that fail";
        EXPECT_EQ(one.sigma, EcmSigma(seed, one.curvesRun - 1));
        for (int threads : {2, 3, 8}) {
            params.threads = threads;
            const EcmResult many = RunEcm(n, params, Active(), nullptr);
            EXPECT_EQ(Text(many.factor), Text(one.factor)) << threads << " threads, seed " << seed;
            EXPECT_EQ(many.curvesRun, one.curvesRun) << threads << " threads, seed " << seed;
            EXPECT_EQ(many.sigma, one.sigma) << threads << " threads, seed " << seed;
            EXPECT_EQ(many.stage, one.stage) << threads << " threads, seed " << seed;
        }
        for (int k = 0; k + 1 < one.curvesRun && k < 40; ++k) {
            const EcmCurveResult alone =
                RunEcmCurve(n, EcmSigma(seed, k), 150, EcmDefaultB2(150), Active());
            EXPECT_EQ(alone.factor, 0) << "curve " << k << " of seed " << seed;
        }
        const EcmCurveResult last = RunEcmCurve(n, one.sigma, 150, EcmDefaultB2(150), Active());
        EXPECT_EQ(Text(last.factor), Text(one.factor));
        EXPECT_EQ(last.stage, one.stage);
    }
    // Most curves find a 7-digit prime at B1 = 1000: eight threads find it
    // almost at once, and the first curve in order still wins.
    Mpz q;
    mpz_ui_pow_ui(q, 10, 39);
    mpz_nextprime(q, q);
    mpz_mul_ui(q, q, 1000003);
    const BigInt easy = q.Big();
    for (uint64_t seed = 1; seed <= 12; ++seed) {
        int first = 0;
        while (
            RunEcmCurve(easy, EcmSigma(seed, first), 1000, EcmDefaultB2(1000), Active()).factor ==
            0)
            ++first;
        EcmParams params;
        params.b1 = 1000;
        params.curves = 100;
        params.seed = seed;
        params.threads = 8;
        const EcmResult many = RunEcm(easy, params, Active(), nullptr);
        EXPECT_EQ(many.curvesRun, first + 1) << "seed " << seed;
        EXPECT_EQ(many.sigma, EcmSigma(seed, first)) << "seed " << seed;
    }
}

// A 15-digit prime of a 100-digit number at B1 = 2000 (the usual level for
// 15 digits: about 25 curves expected), and a 12-digit prime of a 1600-bit
// number, within a bounded number of curves on every core.
TEST(EcmEngine, FindsRealFactors) {
    struct Row {
        const char* n;
        const char* prime;
        uint64_t b1;
        int curves;
    };
    const Row rows[] = {
        {"68031823970803221874967472718072974166845023498102934001248850216097903999612810479844093"
         "55906692497",
         "900283840285729", 2000, 200},
    };
    for (const Row& r : rows) {
        for (uint64_t seed : {2ull, 5ull}) {
            EcmParams params;
            params.b1 = r.b1;
            params.curves = r.curves;
            params.seed = seed;
            const EcmResult got = RunEcm(gmp::Parse(r.n).Big(), params, Active(), nullptr);
            EXPECT_EQ(Text(got.factor), r.prime) << "seed " << seed;
            EXPECT_LE(got.curvesRun, r.curves);
        }
    }
    // 1600 bits: a 12-digit prime times a 1560-bit prime.
    Mpz p("752029148677"), q, n;
    mpz_setbit(q, 1560);
    mpz_nextprime(q, q);
    mpz_mul(n, p, q);
    EcmParams params;
    params.b1 = 1000;
    params.curves = 300;
    params.seed = 7;
    const EcmResult got = RunEcm(n.Big(), params, Active(), nullptr);
    EXPECT_EQ(Text(got.factor), "752029148677");
}

// Targets without curves, and small ones where every prime's curve is tiny
// and several primes meet at once.
TEST(EcmEngine, TrivialAndSmallTargets) {
    struct Row {
        const char* n;
        const char* expected;  // "none", "2", or "proper" for any proper factor
    };
    const Row rows[] = {
        {"0", "none"},
        {"1", "none"},
        {"2", "none"},
        {"3", "none"},
        {"-3", "none"},
        {"4", "2"},
        {"6", "2"},
        {"-10", "2"},
        {"1000000000000000000000000000000000000000000000000000000", "2"},
        {"9", "proper"},
        {"15", "proper"},
        {"-15", "proper"},
        {"21", "proper"},
        {"1001", "proper"},
        {"100140049", "proper"},   // 10007^2
        {"3486784401", "proper"},  // 3^20
        {"1000000016000000063", "proper"},
        {"1000000007", "none"},
        {"2305843009213693951", "none"},
    };
    for (const Row& r : rows) {
        EcmParams params;
        params.b1 = 1000;
        params.curves = 30;
        params.seed = 11;
        params.threads = 2;
        const BigInt n = gmp::Parse(r.n).Big();
        const EcmResult got = RunEcm(n, params, Active(), nullptr);
        const std::string expected = r.expected;
        if (expected == "proper") {
            Mpz f(got.factor), nn(n);
            mpz_abs(nn, nn);
            ASSERT_GT(mpz_cmp_ui(f, 1), 0) << r.n;
            EXPECT_LT(mpz_cmp(f, nn), 0) << r.n;
            EXPECT_TRUE(mpz_divisible_p(nn, f)) << r.n << " by " << Text(got.factor);
        } else {
            EXPECT_EQ(Text(got.factor), expected == "none" ? "0" : expected) << r.n;
        }
        EXPECT_FALSE(got.aborted);
        if (expected == "none" && gmp::Parse(r.n).Big() >= 5) {
            EXPECT_EQ(got.curvesRun, 30) << r.n;
        }
    }
    BigInt invalid;
    invalid.SetStatus(1);
    EXPECT_EQ(RunEcm(invalid, EcmParams{}, Active(), nullptr).factor, 0);
}

// An abort from another thread ends the run within 50 ms (a loaded machine
// gets more slack), in the middle of a curve and while the stage-2 tables
// are built.
TEST(EcmEngine, AbortFromAnotherThread) {
    Mpz prime;
    mpz_setbit(prime, 1599);
    mpz_nextprime(prime, prime);
    struct Row {
        const char* what;
        uint64_t b1, b2;
    };
    const Row rows[] = {
        {"stage 1 of a long curve", 100000, 100000},
        {"stage 2 of a long curve", 20, 10000000},
        {"the tables of a large B2", 1000, 10000000000ull},
    };
    for (const Row& r : rows) {
        std::atomic<int> state{RUN_ACTIVE};
        EcmParams params;
        params.b1 = r.b1;
        params.b2 = r.b2;
        params.curves = 100;
        params.threads = 2;
        std::chrono::steady_clock::time_point flipped;
        std::thread flipper([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
            flipped = std::chrono::steady_clock::now();
            state.store(RUN_ABORT);
        });
        const EcmResult got = RunEcm(prime.Big(), params, state, nullptr);
        const auto returned = std::chrono::steady_clock::now();
        flipper.join();
        EXPECT_TRUE(got.aborted) << r.what;
        EXPECT_EQ(got.factor, 0) << r.what;
        const auto latency =
            std::chrono::duration_cast<std::chrono::milliseconds>(returned - flipped).count();
        EXPECT_LT(latency, 250) << r.what << ": " << latency << " ms";
        std::printf("abort during %s: %lld ms\n", r.what, static_cast<long long>(latency));
    }
    // Already aborted: no curve at all.
    const std::atomic<int> aborted{RUN_ABORT};
    const EcmResult none = RunEcm(prime.Big(), EcmParams{}, aborted, nullptr);
    EXPECT_TRUE(none.aborted);
    EXPECT_EQ(none.curvesRun, 0);
    EXPECT_TRUE(RunEcmCurve(prime.Big(), 6, 1000, 0, aborted).aborted);
}

// The nice value of thread `tid` of this process (-100 when unreadable).
int NiceOf(const std::string& tid) {
    std::ifstream in("/proc/self/task/" + tid + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t close = text.rfind(')');
    if (close == std::string::npos) return -100;
    std::istringstream fields(text.substr(close + 1));
    std::string field;
    for (int i = 3; i <= 19 && fields >> field; ++i)
        if (i == 19) return std::stoi(field);
    return -100;
}

std::vector<std::string> Tasks() {
    std::vector<std::string> tids;
    DIR* dir = opendir("/proc/self/task");
    if (dir == nullptr) return tids;
    while (const dirent* entry = readdir(dir))
        if (entry->d_name[0] != '.') tids.push_back(entry->d_name);
    closedir(dir);
    return tids;
}

// A caller that lowered its own priority keeps its curve threads there:
// they are created from it and inherit its nice value.
TEST(EcmEngine, CurveThreadsInheritTheCallersPriority) {
    Mpz prime;
    mpz_setbit(prime, 1000);
    mpz_nextprime(prime, prime);
    const BigInt n = prime.Big();
    std::atomic<int> state{RUN_ACTIVE};
    std::atomic<int> callerTid{0};
    std::atomic<int> lowered{0};
    std::thread caller([&] {
        const int tid = static_cast<int>(gettid());
        const int base = getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
        const int target = std::min(19, base + 5);
        setpriority(PRIO_PROCESS, static_cast<id_t>(tid), target);
        lowered = getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
        callerTid = tid;
        EcmParams params;
        params.b1 = 1000000;
        params.threads = 3;
        RunEcm(n, params, state, nullptr);
    });
    // The threads besides this one and the caller at the caller's nice
    // value (a sanitizer may run a thread of its own at ours).
    const std::string mainTid = std::to_string(gettid());
    int atLowered = 0;
    for (int tries = 0; tries < 2000 && atLowered < 2; ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (callerTid == 0) continue;
        atLowered = 0;
        for (const std::string& tid : Tasks())
            if (tid != mainTid && tid != std::to_string(callerTid.load()) && NiceOf(tid) == lowered)
                ++atLowered;
    }
    state = RUN_ABORT;
    caller.join();
    EXPECT_EQ(atLowered, 2) << "both curve threads at nice " << lowered.load();
}

// The progress line: curves done, B1 and the stage, under the run's label.
TEST(EcmEngine, ProgressLine) {
    std::mutex lock;
    std::vector<std::string> texts;
    Progress progress([&](const std::string& text) {
        std::lock_guard<std::mutex> guard(lock);
        texts.push_back(text);
    });
    Mpz prime;
    mpz_setbit(prime, 400);
    mpz_nextprime(prime, prime);
    EcmParams params;
    params.b1 = 20000;
    params.curves = 6;
    params.threads = 2;
    params.label = "level 3/8";
    const EcmResult got = RunEcm(prime.Big(), params, Active(), &progress);
    EXPECT_EQ(got.curvesRun, 6);
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.front(), "level 3/8 B1=20000: 0/6 curves, stage 1");
    for (const std::string& t : texts) {
        const std::string head = "level 3/8 B1=20000: ";
        ASSERT_EQ(t.rfind(head, 0), 0u) << t;
        int done = -1, total = -1, stage = -1;
        ASSERT_EQ(
            std::sscanf(t.c_str() + head.size(), "%d/%d curves, stage %d", &done, &total, &stage),
            3)
            << t;
        EXPECT_TRUE(done >= 0 && done < 6 && total == 6 && (stage == 1 || stage == 2)) << t;
    }
    params.label.clear();
    texts.clear();
    Progress fresh([&](const std::string& text) { texts.push_back(text); });
    params.threads = 1;
    params.curves = 1;
    RunEcm(prime.Big(), params, Active(), &fresh);
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.front(), "ECM B1=20000: 0/1 curves, stage 1");
}

}  // namespace
