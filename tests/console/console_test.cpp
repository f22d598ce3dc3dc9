// The console's workers (their boxes in order, the start dispatch, the end
// protocol, abort, the thread they run on, the progress line, the
// next/previous prime search) and kalvora-cli prime end to end.

#include <gtest/gtest.h>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>

#include "console/progress_line.h"
#include "console/worker_control.h"
#include "tests/support/box_recorder.h"
#include "tests/support/gmp.h"

namespace {

using Texts = std::vector<std::string>;
const char* const BUG = "この機能にはバグが残っています。";
const char* const INCOMPLETE = "この機能は完全ではありません。";
const char* const PRIME_100_DIGITS =
    "1000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000289";

// Waits for the worker's end signal; the bound only keeps a broken worker from hanging the test.
bool WaitForIdle() {
    for (int i = 0; i < 60000 && g_workerControl.RunState.load() != RUN_IDLE; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return g_workerControl.RunState.load() == RUN_IDLE;
}

PrimeSettings Factor(int method, const std::string& target, std::function<void(PrimeSettings&)> more = {}) {
    PrimeSettings s;
    s.action = method < 0 ? ACTION_PRIME_TEST : ACTION_FACTOR;
    s.method = method;
    s.target = gmp::Parse(target).Big();
    s.lowerPriority = 0;
    if (more) more(s);
    return s;
}

constexpr int PROOF = -1;  // Factor(PROOF, ...): the prime test
const std::string MPQS_TOO_LARGE = "MPQSで扱える大きさを超えています (100桁まで)";
// A 1600-bit prime (gp: nextprime(2^1599) = 2^1599 + 1775), for long runs.
const char* const PRIME_1600_BITS = "2^1599+1775";

// Records the progress line while it lives.
struct LineRecorder : ProgressLinePresenter {
    LineRecorder() : previous(InstallProgressLinePresenter(this)) {}
    ~LineRecorder() override { InstallProgressLinePresenter(previous); }
    void ShowProgressLine(const std::string& text) override {
        std::lock_guard<std::mutex> lock(mutex);
        lines.push_back(text);
    }
    std::string Last() {
        std::lock_guard<std::mutex> lock(mutex);
        return lines.empty() ? "(none)" : lines.back();
    }
    ProgressLinePresenter* previous;
    std::mutex mutex;
    Texts lines;
};

TEST(Workers, BoxesOfEveryActionAndMethod) {
    PrimeSettings defaults, carmichael;
    defaults.lowerPriority = carmichael.lowerPriority = 0;
    carmichael.target = 561;
    carmichael.mrTrials = 20;
    const struct {
        PrimeSettings settings;
        Texts boxes;
    } rows[] = {
        {defaults, {"素数です"}},
        {carmichael, {"素数ではありません"}},
        {Factor(METHOD_TRIAL_DIVISION, "2424"), {"素因数\r 2 \rを発見しました !"}},
        {Factor(METHOD_TRIAL_DIVISION, "65537"), {"素数です"}},
        {Factor(METHOD_TRIAL_DIVISION, "-1"), {"ターゲットが不正です"}},
        {Factor(METHOD_TRIAL_DIVISION, "68722098197"), {"素因数を発見できませんでした"}},  // no table factor, no verdict
        {Factor(METHOD_RHO, "8051", [](auto& s) { s.rhoTrials = 4; }), {"素因数\r 97 \rを発見しました !"}},
        {Factor(METHOD_RHO, "8051"), {"素因数を発見できませんでした"}},
        {Factor(METHOD_RHO, "1"), {"ターゲットが不正です"}},
        {Factor(METHOD_RHO, "15", [](auto& s) { s.rhoX0 = 0, s.rhoAddend = 0; }),
         {"数列 X[i] が 2 ステップ以内に X[0] に戻るため、ρ法では探索できません。\rターゲットが小さすぎるか、X[0] または c が適切でありません。"}},
        {Factor(METHOD_PM1, "15", [](auto& s) { s.pm1SmallExponent = 2, s.pm1Bound = 262144; }), {"素因数を発見できませんでした"}},
        {Factor(METHOD_PM1, "0"), {"ターゲットが不正です"}},
        {Factor(METHOD_PM1, "1157"), {"素因数\r 13 \rを発見しました !"}},
        {Factor(METHOD_ECM, "8"), {BUG, "返り値は\r 1 \rでした"}},
        {Factor(METHOD_FACTORISE, "2424"), {"2^3 * 3 * 101"}},
        {Factor(METHOD_FACTORISE, "-12"), {"-1 * 2^2 * 3"}},
        {Factor(METHOD_FACTORISE, "86844066927987146567678238756515930888931641398467607639203064183639542595587"),
         {"3 * 170141183460469231731687303715884105727^2"}},
        {Factor(METHOD_FACTORISE, "0"), {"入力の値が正しくありません"}},
        {Factor(METHOD_FACTORISE, "1"), {"1"}},
        {Factor(PROOF, PRIME_100_DIGITS), {"素数です"}},
        {Factor(PROOF, "3825123056546413051"), {"素数ではありません"}},  // strong pseudoprime to the bases 2 ... 23
        {Factor(PROOF, "-7"), {"素数ではありません"}},
        {Factor(PROOF, "0"), {"素数ではありません"}},
        {Factor(PROOF, "1"), {"素数ではありません"}},
        {Factor(PROOF, "2"), {"素数です"}},
        {Factor(METHOD_MPQS, "-2424"), {"2^3 * 3 * 101"}},
        {Factor(METHOD_MPQS, "10000000000000000052170000000000000005967"), {"10000000000000000051 * 1000000000000000000117"}},
        {Factor(METHOD_MPQS, "7000000000000518000000000009583"), {"7 * 1000000000000037^2"}},
        {Factor(METHOD_MPQS, "1000000000000000000000000000000"), {"2^30 * 5^30"}},
        {Factor(METHOD_MPQS, "65537"), {"素数です"}},
        {Factor(METHOD_MPQS, "-1"), {"ターゲットが不正です"}},
        {Factor(METHOD_MPQS, "0"), {"ターゲットが不正です"}},
        // gp: nextprime(10^50) * nextprime(nextprime(10^50) + 1), 101 digits.
        {Factor(METHOD_MPQS, "10000000000000000000000000000000000000000000000059800000000000000000000000000000000000000000000067497"),
         {MPQS_TOO_LARGE}},
        {Factor(METHOD_NFS, "15"), {"この機能は実装されておりません。"}},
    };
    for (const auto& r : rows) {
        BoxRecorder boxes;
        if (StartWorker(r.settings)) {
            EXPECT_TRUE(WaitForIdle());
        }
        EXPECT_EQ(boxes.Texts(), r.boxes) << gmp::Text(gmp::Mpz(r.settings.target)) << " method " << r.settings.method;
    }
    // Check box 1116 and the method parameters reach the complete factorisation.
    const FactoriseSettings f = FactoriseSettingsOf(Factor(METHOD_FACTORISE, "1", [](auto& s) {
        s.trialDivFirst = 1, s.trialDivBound = 65539, s.rhoTrials = 77, s.pm1Bound = 262144, s.mpqsThreads = 3;
    }));
    EXPECT_TRUE(f.trialDivFirst && f.trialDivBound == 65539 && f.rhoTrials == 77 && f.pm1Bound == 262144 && f.threads == 3);
    EXPECT_FALSE(FactoriseSettingsOf(PrimeSettings()).trialDivFirst);
}

TEST(Workers, StartWithoutAWorkerAndAbortedRuns) {
    for (const auto& [action, method, boxes] : std::vector<std::tuple<int, int, Texts>>{
             {3, 0, {"Error in Start button."}},
             {-1, 0, {"Error in Start button."}}, {ACTION_FACTOR, 7, {}}}) {
        PrimeSettings s;
        s.action = action;
        s.method = method;
        BoxRecorder recorder;
        EXPECT_FALSE(StartWorker(s)) << action << " " << method;
        EXPECT_EQ(g_workerControl.RunState.load(), RUN_IDLE);
        EXPECT_EQ(recorder.Texts(), boxes) << action << " " << method;
    }
    // Each worker reports an abort requested before it looked, and ends idle.
    const std::pair<WorkerFunction, Texts> workers[] = {
        {PseudoPrimeWorker, {"中断しました"}}, {TrialDivisionWorker, {"中断しました"}}, {RhoWorker, {"中断しました"}},
        {Pm1Worker, {"中断しました"}}, {EcmWorker, {BUG, "中断しました"}}, {FactoriseWorker, {"中断しました"}},
        {PrimeTestWorker, {"中断しました"}}, {MpqsWorker, {"中断しました"}}, {NextPrimeWorker, {"中断しました"}},
        {PreviousPrimeWorker, {"中断しました"}},
    };
    g_workerControl.settings = Factor(METHOD_TRIAL_DIVISION, "2424");
    for (const auto& [worker, boxes] : workers) {
        BoxRecorder recorder;
        g_workerControl.RunState.store(RUN_ABORT);
        EXPECT_EQ(worker(nullptr), 0u);
        EXPECT_EQ(recorder.Texts(), boxes);
        EXPECT_EQ(g_workerControl.RunState.load(), RUN_IDLE);
    }
    // And a long run stops when asked, within a bound (the engines promise
    // 50 ms; the bound leaves room for a loaded machine), its progress line
    // cleared before the box.
    const struct {
        PrimeSettings settings;
        const char* line;  // the progress line seen before the abort starts so
        Texts boxes = {"中断しました"};
    } runs[] = {
        {Factor(METHOD_RHO, PRIME_100_DIGITS, [](auto& s) { s.rhoTrials = 100000, s.rhoExponent = 256; }), nullptr},
        {Factor(PROOF, PRIME_1600_BITS), "APR-CL: "},
        // 59 digits (gp: nextprime(10^29) * nextprime(10^30)): seconds of sieving.
        {Factor(METHOD_MPQS, "100000000000000000000000000324700000000000000000000000018183"), "MPQS ふるい"},
        // 21 p q (gp: p = nextprime(10^49 + 12345), q = nextprime(10^59 + 6789)): the curves
        // look for a 50-digit factor; the box after the
        // abort shows the primes found and the composite part.
        {Factor(METHOD_FACTORISE, "21000000000000000000000000000000000000000000025974900001449210000000000000000000000000000000000000001792527849"), "ECM",
         {"中断しました", "3 * 7 * 1000000000000000000000000000000000000000000001236900000069010000000000000000000000000000000000000000085358469(合成数)"}},
    };
    for (const auto& r : runs) {
        BoxRecorder recorder;
        LineRecorder line;
        std::chrono::steady_clock::time_point asked;  // written before the abort that the worker's box follows
        recorder.whileShown = [&](const std::string&) {
            EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::milliseconds(250)) << r.settings.method;
            EXPECT_EQ(line.Last(), r.line ? "" : "(none)") << "the line is cleared before the box";
        };
        ASSERT_TRUE(StartWorker(r.settings));
        for (int i = 0; i < 20000 && r.line != nullptr && line.Last().rfind(r.line, 0) != 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        int active = RUN_ACTIVE;
        asked = std::chrono::steady_clock::now();
        ASSERT_TRUE(g_workerControl.RunState.compare_exchange_strong(active, RUN_ABORT)) << "the run ended too soon";
        EXPECT_TRUE(WaitForIdle());
        EXPECT_EQ(recorder.Texts(), r.boxes);
    }
}

TEST(Workers, NextAndPreviousPrimeReplaceTheTargetOrSayWhyNot) {
    const std::string ten100 = "1" + std::string(100, '0');
    const struct {
        bool next;
        std::string target;
        const char* found;  // nullptr: `box` instead
        const char* box;
    } rows[] = {
        // Expected values from gp (nextprime, precprime).
        {true, "-5", "2", nullptr}, {true, "1", "2", nullptr}, {true, "2", "3", nullptr}, {true, "3", "5", nullptr},
        {false, "3", "2", nullptr}, {false, "2", nullptr, "前の素数はありません"}, {false, "-10", nullptr, "前の素数はありません"},
        {true, ten100, "10000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000267", nullptr},
        {false, ten100, "9999999999999999999999999999999999999999999999999999999999999999999999999999999999999999999999999203", nullptr},
        {false, "2^1600-1", "2^1600-2273", nullptr}, {true, "2^1600-2274", "2^1600-2273", nullptr},
        {true, "2^1600-2273", nullptr, "値が大きすぎます"},
    };
    for (const auto& r : rows) {
        BoxRecorder boxes;
        LineRecorder line;
        PrimeSettings s = Factor(METHOD_RHO, r.target);
        ASSERT_TRUE(StartPrimeSearch(s, r.next));
        EXPECT_TRUE(WaitForIdle());
        const std::string what = (r.next ? "next " : "previous ") + r.target;
        EXPECT_EQ(boxes.Texts(), r.box ? Texts{r.box} : Texts{}) << what;
        EXPECT_EQ(g_workerControl.primeFound, r.found != nullptr) << what;
        if (r.found) {
            EXPECT_EQ(gmp::Text(gmp::Mpz(g_workerControl.foundPrime)), gmp::Text(gmp::Parse(r.found))) << what;
        }
        EXPECT_EQ(line.Last(), "") << what << ": the progress line is cleared at the end";
    }
}

TEST(Workers, RunStaysActiveUntilTheLastBoxIsDismissedOnA32MiBStackAtTheAskedPriority) {
    const int ownNice = getpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)));
    for (const int lower : {1, 0}) {
        BoxRecorder boxes;
        std::vector<int> states, nices;
        size_t stack = 0;
        boxes.whileShown = [&](const std::string&) {
            states.push_back(g_workerControl.RunState.load());
            nices.push_back(getpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid))));
            pthread_attr_t attr;
            if (pthread_getattr_np(pthread_self(), &attr) == 0) {
                pthread_attr_getstacksize(&attr, &stack);
                pthread_attr_destroy(&attr);
            }
        };
        PrimeSettings s = Factor(METHOD_ECM, "8");
        s.lowerPriority = lower;
        ASSERT_TRUE(StartWorker(s));
        EXPECT_TRUE(WaitForIdle());
        EXPECT_EQ(states, (std::vector<int>{RUN_ACTIVE, RUN_ACTIVE})) << "the run ends after its last box";
        EXPECT_EQ(nices, std::vector<int>(2, lower == 1 ? 19 : ownNice));
        EXPECT_GE(stack, size_t{32} << 20);
    }
}

#ifdef KALVORA_CLI_PATH
/// kalvora-cli prime ARGS: the exit status and the standard output (or standard error) lines.
std::pair<int, Texts> Cli(const std::string& args, bool standardError = false) {
    const char* redirect = standardError ? " 2>&1 >/dev/null" : " 2>/dev/null";
    FILE* pipe = popen((std::string(KALVORA_CLI_PATH) + " prime " + args + redirect).c_str(), "r");
    Texts lines;
    char line[8192];
    while (pipe != nullptr && std::fgets(line, sizeof line, pipe) != nullptr) lines.emplace_back(line, strcspn(line, "\n"));
    const int rc = pipe != nullptr ? pclose(pipe) : -1;
    return {WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, lines};
}

TEST(CliPrime, PrintsTheBoxesThenTheSecondsAndRefusesWhatTheDialogsRefuse) {
    auto [status, lines] = Cli("action=2 method=6 target=2424 trialDivBound=262139 trialDivFirst=1 lowerPriority=0");
    EXPECT_EQ(status, 0);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "box: 2^3 * 3 * 101");
    EXPECT_TRUE(lines[1].size() > 13 && lines[1].rfind("seconds: ", 0) == 0 && lines[1][lines[1].size() - 4] == '.') << lines[1];
    EXPECT_EQ(Cli("action=2 method=1 target=-8051 rhoTrials=4").second.front(), "box: 素因数\\r 97 \\rを発見しました !");
    EXPECT_EQ(Cli(std::string("action=2 method=1 rhoTrials=100000 rhoExponent=256 abort-after=50 target=") + PRIME_100_DIGITS).second.front(),
              "box: 中断しました");
    for (const char* args : {"mrTrials=19", "mrTrials=201", "action=3", "method=7", "lowerPriority=2", "trialDivBound=65536",
                             "trialDivBound=262140", "rhoX0=4294967296", "rhoX0=-1", "rhoExponent=257", "rhoTrials=1",
                             "rhoTrials=100001", "rhoAddend=-2147483648", "pm1SmallExponent=17", "pm1Bound=262143",
                             "pm1Bound=16777217", "pm1LargeExponent=5", "ecmSmoothness=500", "ecmTrials=10001", "mrTrials=3x",
                             "target=12a", "nosuchfield=1", "target", "mpqsThreads=65", "mpqsThreads=-1", "trialDivFirst=2"}) {
        EXPECT_EQ(Cli(args), std::make_pair(2, Texts{})) << args;
    }
    EXPECT_EQ(Cli("rhoAddend=-2147483647 rhoX0=4294967295 trialDivBound=262139 pm1Bound=16777216 rhoTrials=100000").first, 0);
    // MPQS and the prime test as in the console; the progress line on standard error.
    EXPECT_EQ(Cli("action=2 method=4 mpqsThreads=64 target=-2424").second.front(), "box: 2^3 * 3 * 101");
    EXPECT_EQ(Cli("action=2 method=4 mpqsThreads=0 target=1").second.front(), "box: ターゲットが不正です");
    EXPECT_EQ(Cli("action=1 target=-7").second.front(), "box: 素数ではありません");
    for (const auto& [args, prefix] : std::vector<std::pair<std::string, std::string>>{
             {"action=1 target=" + gmp::Text(gmp::Parse("2^521-1")), "progress: APR-CL: "},
             {"action=2 method=4 target=10000000000000000052170000000000000005967", "progress: MPQS "}}) {
        const auto [rc, lines] = Cli(args, true);
        EXPECT_EQ(rc, 0);
        ASSERT_FALSE(lines.empty()) << args;
        for (const std::string& l : lines) EXPECT_EQ(l.rfind(prefix, 0), 0u) << l;
    }
}
#endif

}  // namespace
