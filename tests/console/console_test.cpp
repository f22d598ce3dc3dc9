// The console's workers (their boxes in order, the start dispatch, the end
// protocol, abort, the thread they run on) and kalvora-cli prime end to end.

#include <gtest/gtest.h>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

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

PrimeSettings Factor(int method, const char* target, std::function<void(PrimeSettings&)> more = {}) {
    PrimeSettings s;
    s.action = ACTION_FACTOR;
    s.method = method;
    s.target = gmp::Parse(target).Big();
    s.lowerPriority = 0;
    if (more) more(s);
    return s;
}

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
        {Factor(METHOD_FACTORISE, "2424"), {INCOMPLETE, "2^3 * 3 * 101"}},
        {Factor(METHOD_FACTORISE, "24"), {INCOMPLETE, "2^3 * 3"}},  // a cofactor 1 is not shown
        {Factor(METHOD_FACTORISE, "131074"), {INCOMPLETE, "2 * 65537"}},  // 65537 is not below the bound
        {Factor(METHOD_FACTORISE, "281479272661007", [](auto& s) { s.trialDivBound = 65539; }), {INCOMPLETE, "65537 * 4294967311"}},
        {Factor(METHOD_FACTORISE, "0"), {INCOMPLETE, "素因数分解の引数が自然数ではありませんでした(miniFactor)", "入力の値が正しくありません"}},
        {Factor(METHOD_FACTORISE, "1"), {INCOMPLETE, "素因数分解の引数が1でした(miniFactor)"}},
        {Factor(METHOD_MPQS, "15"), {"この機能は実装されておりません。"}},
        {Factor(METHOD_NFS, "15"), {"この機能は実装されておりません。"}},
    };
    for (const auto& r : rows) {
        BoxRecorder boxes;
        if (StartWorker(r.settings)) {
            EXPECT_TRUE(WaitForIdle());
        }
        EXPECT_EQ(boxes.Texts(), r.boxes) << gmp::Text(gmp::Mpz(r.settings.target)) << " method " << r.settings.method;
    }
    // The factor text: powers above 1 only, the cofactor unless it is 1.
    const FactorEntry list[] = {{65521, 2}, {0, 0}};
    EXPECT_EQ(FactorProductText(list, BigInt(1)), "65521^2");
    EXPECT_EQ(FactorProductText(list + 1, BigInt(77)), "77");
}

TEST(Workers, StartWithoutAWorkerAndAbortedRuns) {
    for (const auto& [action, method, boxes] : std::vector<std::tuple<int, int, Texts>>{
             {ACTION_PRIME_TEST, 0, {"この機能は実装されておりません。"}}, {3, 0, {"Error in Start button."}},
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
        {Pm1Worker, {"中断しました"}}, {EcmWorker, {BUG, "中断しました"}}, {FactoriseWorker, {INCOMPLETE, "中断しました"}},
    };
    g_workerControl.settings = Factor(METHOD_TRIAL_DIVISION, "2424");
    for (const auto& [worker, boxes] : workers) {
        BoxRecorder recorder;
        g_workerControl.RunState.store(RUN_ABORT);
        EXPECT_EQ(worker(nullptr), 0u);
        EXPECT_EQ(recorder.Texts(), boxes);
        EXPECT_EQ(g_workerControl.RunState.load(), RUN_IDLE);
    }
    // And a long search stops when asked.
    BoxRecorder recorder;
    ASSERT_TRUE(StartWorker(Factor(METHOD_RHO, PRIME_100_DIGITS, [](auto& s) { s.rhoTrials = 100000, s.rhoExponent = 256; })));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    int active = RUN_ACTIVE;
    EXPECT_TRUE(g_workerControl.RunState.compare_exchange_strong(active, RUN_ABORT));
    EXPECT_TRUE(WaitForIdle());
    EXPECT_EQ(recorder.Texts(), Texts{"中断しました"});
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
/// kalvora-cli prime ARGS: the exit status and the standard output lines.
std::pair<int, Texts> Cli(const std::string& args) {
    FILE* pipe = popen((std::string(KALVORA_CLI_PATH) + " prime " + args + " 2>/dev/null").c_str(), "r");
    Texts lines;
    char line[8192];
    while (pipe != nullptr && std::fgets(line, sizeof line, pipe) != nullptr) lines.emplace_back(line, strcspn(line, "\n"));
    const int rc = pipe != nullptr ? pclose(pipe) : -1;
    return {WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, lines};
}

TEST(CliPrime, PrintsTheBoxesThenTheSecondsAndRefusesWhatTheDialogsRefuse) {
    auto [status, lines] = Cli("action=2 method=6 target=2424 trialDivBound=262139 lowerPriority=0");
    EXPECT_EQ(status, 0);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(Texts(lines.begin(), lines.begin() + 2), (Texts{"box: この機能は完全ではありません。", "box: 2^3 * 3 * 101"}));
    EXPECT_TRUE(lines[2].size() > 13 && lines[2].rfind("seconds: ", 0) == 0 && lines[2][lines[2].size() - 4] == '.') << lines[2];
    EXPECT_EQ(Cli("action=2 method=1 target=-8051 rhoTrials=4").second.front(), "box: 素因数\\r 97 \\rを発見しました !");
    EXPECT_EQ(Cli(std::string("action=2 method=1 rhoTrials=100000 rhoExponent=256 abort-after=50 target=") + PRIME_100_DIGITS).second.front(),
              "box: 中断しました");
    for (const char* args : {"mrTrials=19", "mrTrials=201", "action=3", "method=7", "lowerPriority=2", "trialDivBound=65536",
                             "trialDivBound=262140", "rhoX0=4294967296", "rhoX0=-1", "rhoExponent=257", "rhoTrials=1",
                             "rhoTrials=100001", "rhoAddend=-2147483648", "pm1SmallExponent=17", "pm1Bound=262143",
                             "pm1Bound=16777217", "pm1LargeExponent=5", "ecmSmoothness=500", "ecmTrials=10001", "mrTrials=3x",
                             "target=12a", "nosuchfield=1", "target"}) {
        EXPECT_EQ(Cli(args), std::make_pair(2, Texts{})) << args;
    }
    EXPECT_EQ(Cli("rhoAddend=-2147483647 rhoX0=4294967295 trialDivBound=262139 pm1Bound=16777216 rhoTrials=100000").first, 0);
}
#endif

}  // namespace
