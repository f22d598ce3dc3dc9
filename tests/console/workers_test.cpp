// The console's workers: their messages in order, the start dispatch, the end
// protocol, abort, and the thread they run on.

#include <gtest/gtest.h>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "console/worker_control.h"
#include "tests/prime/recorder.h"

namespace {

BigInt Dec(const char* text) {
    BigInt v;
    EXPECT_EQ(v.FromString(text, 10), 0) << text;
    return v;
}

// Waits for the worker's end signal. The bound only keeps a broken worker
// from hanging the suite; it is no speed requirement.
bool WaitForIdle() {
    for (int i = 0; i < 120000; ++i) {
        if (g_workerControl.RunState.load() == RUN_IDLE) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

std::vector<std::string> RunToEnd(const PrimeSettings& settings) {
    RecordingPresenter boxes;
    if (StartWorker(settings)) {
        EXPECT_TRUE(WaitForIdle());
    }
    EXPECT_EQ(g_workerControl.RunState.load(), RUN_IDLE);
    return boxes.Texts();
}

PrimeSettings Factor(int method, const char* target) {
    PrimeSettings s;
    s.action = ACTION_FACTOR;
    s.method = method;
    s.target = Dec(target);
    s.lowerPriority = 0;
    return s;
}

using Texts = std::vector<std::string>;

const char* const BUG = "この機能にはバグが残っています。";
const char* const INCOMPLETE = "この機能は完全ではありません。";

TEST(Workers, MessagesEndToEnd) {
    struct Row { const char* what; PrimeSettings settings; Texts expected; };
    PrimeSettings defaults;
    defaults.lowerPriority = 0;
    PrimeSettings carmichael = defaults;
    carmichael.target = Dec("561");
    carmichael.mrTrials = 20;
    PrimeSettings rhoShort = Factor(METHOD_RHO, "8051");
    rhoShort.rhoTrials = 4;
    PrimeSettings rhoConstant = Factor(METHOD_RHO, "15");
    rhoConstant.rhoX0 = 0;
    rhoConstant.rhoAddend = 0;
    PrimeSettings pm1Both = Factor(METHOD_PM1, "15");
    pm1Both.pm1SmallExponent = 2;
    pm1Both.pm1Bound = 262144;
    PrimeSettings pm1Overflow = Factor(METHOD_PM1, "1000003");
    pm1Overflow.pm1SmallExponent = 200;  // beyond the dialog's range; the engine accepts up to 256
    pm1Overflow.pm1Bound = 262144;
    PrimeSettings smallBound = Factor(METHOD_FACTORISE, "131074");
    PrimeSettings largeBound = Factor(METHOD_FACTORISE, "131074");
    largeBound.trialDivBound = 65539;

    const Row rows[] = {
        {"default target 7", defaults, {"素数です"}},
        {"Carmichael 561", carmichael, {"素数ではありません"}},
        {"trial division finds 2", Factor(METHOD_TRIAL_DIVISION, "2424"), {"素因数\r 2 \rを発見しました !"}},
        {"trial division of a prime", Factor(METHOD_TRIAL_DIVISION, "65537"), {"素数です"}},
        {"trial division of 0", Factor(METHOD_TRIAL_DIVISION, "0"), {"ターゲットが不正です"}},
        {"trial division of 1", Factor(METHOD_TRIAL_DIVISION, "1"), {"ターゲットが不正です"}},
        {"trial division of -1", Factor(METHOD_TRIAL_DIVISION, "-1"), {"ターゲットが不正です"}},
        {"trial division without verdict", Factor(METHOD_TRIAL_DIVISION, "68722098197"), {"素因数を発見できませんでした"}},
        {"rho finds 97", rhoShort, {"素因数\r 97 \rを発見しました !"}},
        {"rho closes both cycles", Factor(METHOD_RHO, "8051"), {"素因数を発見できませんでした"}},
        {"rho of 1", Factor(METHOD_RHO, "1"), {"ターゲットが不正です"}},
        {"rho refuses a constant sequence silently", rhoConstant, {}},
        {"p-1 completes both factors at once", pm1Both, {"素因数を発見できませんでした"}},
        {"p-1 of 0", Factor(METHOD_PM1, "0"), {"ターゲットが不正です"}},
        {"p-1 arithmetic error: the engine's box only", pm1Overflow, {"p-1法で演算エラー"}},
        {"p-1 finds 13 of 13 * 89", Factor(METHOD_PM1, "1157"), {"素因数\r 13 \rを発見しました !"}},
        {"ECM without curves", Factor(METHOD_ECM, "8"), {BUG, "返り値は\r 1 \rでした"}},
        {"factorisation", Factor(METHOD_FACTORISE, "2424"), {INCOMPLETE, "2^3 * 3 * 101"}},
        {"factorisation, cofactor 1 not shown", Factor(METHOD_FACTORISE, "24"), {INCOMPLETE, "2^3 * 3"}},
        {"factorisation below the bound", smallBound, {INCOMPLETE, "2 * 65537"}},
        {"factorisation above the bound", largeBound, {INCOMPLETE, "2 * 65537"}},
        {"factorisation of 0", Factor(METHOD_FACTORISE, "0"),
         {INCOMPLETE, "素因数分解の引数が自然数ではありませんでした(miniFactor)", "入力の値が正しくありません"}},
        {"factorisation of 1", Factor(METHOD_FACTORISE, "1"), {INCOMPLETE, "素因数分解の引数が1でした(miniFactor)", ""}},
        {"MPQS", Factor(METHOD_MPQS, "15"), {"この機能は実装されておりません。"}},
        {"NFS", Factor(METHOD_NFS, "15"), {"この機能は実装されておりません。"}},
    };
    for (const Row& r : rows) EXPECT_EQ(RunToEnd(r.settings), r.expected) << r.what;
}

TEST(Workers, StartWithoutWorker) {
    struct Row { const char* what; int action; int method; Texts expected; };
    const Row rows[] = {
        {"prime test", ACTION_PRIME_TEST, 0, {"この機能は実装されておりません。"}},
        {"invalid action", 3, 0, {"Error in Start button."}},
        {"negative action", -1, 0, {"Error in Start button."}},
        {"invalid method", ACTION_FACTOR, 7, {}},
    };
    for (const Row& r : rows) {
        PrimeSettings s;
        s.action = r.action;
        s.method = r.method;
        RecordingPresenter boxes;
        EXPECT_FALSE(StartWorker(s)) << r.what;
        EXPECT_EQ(g_workerControl.RunState.load(), RUN_IDLE) << r.what;
        EXPECT_EQ(boxes.Texts(), r.expected) << r.what;
    }
}

TEST(Workers, AbortedRunReportsAbort) {
    struct Row { const char* what; WorkerFunction worker; Texts expected; };
    const Row rows[] = {
        {"pseudo-prime", PseudoPrimeWorker, {"中断しました"}},
        {"trial division", TrialDivisionWorker, {"中断しました"}},
        {"rho", RhoWorker, {"中断しました"}},
        {"p-1", Pm1Worker, {"中断しました"}},
        {"ECM", EcmWorker, {BUG, "中断しました"}},
        {"factorisation", FactoriseWorker, {INCOMPLETE, "中断しました"}},
    };
    PrimeSettings s;
    s.target = Dec("2424");
    s.action = 9;  // copies the settings, starts nothing
    {
        RecordingPresenter ignored;
        StartWorker(s);
    }
    for (const Row& r : rows) {
        RecordingPresenter boxes;
        g_workerControl.RunState.store(RUN_ABORT);
        EXPECT_EQ(r.worker(nullptr), 0u) << r.what;
        EXPECT_EQ(boxes.Texts(), r.expected) << r.what;
        EXPECT_EQ(g_workerControl.RunState.load(), RUN_IDLE) << r.what;
    }
}

// A presenter that holds every box until the test lets it go, and notes the
// thread that shows it.
class HoldingPresenter : public MessageBoxPresenter {
public:
    HoldingPresenter() { InstallMessageBoxPresenter(this); }
    ~HoldingPresenter() override { InstallMessageBoxPresenter(nullptr); }
    void ShowMessageBox(const std::string& text, const std::string&) override {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_texts.push_back(text);
        m_nice = getpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)));
        pthread_attr_t attr;
        size_t stack = 0;
        if (pthread_getattr_np(pthread_self(), &attr) == 0) {
            pthread_attr_getstacksize(&attr, &stack);
            pthread_attr_destroy(&attr);
        }
        m_stack = stack;
        m_shown.notify_all();
        m_release.wait(lock, [this] { return m_released >= m_texts.size(); });
    }
    void WaitShown(size_t count) {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_shown.wait(lock, [&] { return m_texts.size() >= count; });
    }
    void Release() {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_released;
        m_release.notify_all();
    }
    std::vector<std::string> Texts() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_texts;
    }
    int Nice() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_nice;
    }
    size_t Stack() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_stack;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_shown;
    std::condition_variable m_release;
    std::vector<std::string> m_texts;
    size_t m_released = 0;
    int m_nice = 0;
    size_t m_stack = 0;
};

TEST(Workers, RunStaysActiveUntilTheLastBoxIsDismissed) {
    HoldingPresenter boxes;
    PrimeSettings s = Factor(METHOD_ECM, "8");
    ASSERT_TRUE(StartWorker(s));
    boxes.WaitShown(1);
    EXPECT_EQ(boxes.Texts(), Texts{BUG});
    EXPECT_EQ(g_workerControl.RunState.load(), RUN_ACTIVE) << "the warning comes before the search";
    boxes.Release();
    boxes.WaitShown(2);
    EXPECT_EQ(g_workerControl.RunState.load(), RUN_ACTIVE) << "the result box is still open";
    boxes.Release();
    EXPECT_TRUE(WaitForIdle());
}

TEST(Workers, ThreadHasA32MiBStackAndTheRequestedPriority) {
    const int ownNice = getpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)));
    for (int lower : {1, 0}) {
        HoldingPresenter boxes;
        PrimeSettings s;
        s.lowerPriority = lower;
        ASSERT_TRUE(StartWorker(s));
        boxes.WaitShown(1);
        EXPECT_GE(boxes.Stack(), size_t{32} << 20);
        EXPECT_EQ(boxes.Nice(), lower == 1 ? 19 : ownNice) << "lowerPriority " << lower;
        boxes.Release();
        EXPECT_TRUE(WaitForIdle());
    }
}

TEST(Workers, AbortDuringALongSearch) {
    RecordingPresenter boxes;
    // A 100-digit prime: rho walks all 100000 steps with b = 256 unless aborted.
    PrimeSettings s = Factor(METHOD_RHO, "1000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000289");
    s.rhoTrials = 100000;
    s.rhoExponent = 256;
    ASSERT_TRUE(StartWorker(s));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    int active = RUN_ACTIVE;
    EXPECT_TRUE(g_workerControl.RunState.compare_exchange_strong(active, RUN_ABORT));
    EXPECT_TRUE(WaitForIdle());
    EXPECT_EQ(boxes.Texts(), Texts{"中断しました"});
}

TEST(FactorProductText, Rows) {
    struct Row { std::vector<FactorEntry> list; const char* cofactor; const char* expected; };
    const Row rows[] = {
        {{{2, 3}, {3, 1}, {0, 0}}, "101", "2^3 * 3 * 101"},
        {{{2, 3}, {3, 1}, {0, 0}}, "1", "2^3 * 3"},
        {{{0, 0}}, "77", "77"},
        {{{0, 0}}, "1", ""},
        {{{2, 1}, {0, 0}}, "65537", "2 * 65537"},
        {{{65521, 2}, {0, 0}}, "1", "65521^2"},
    };
    for (const Row& r : rows) EXPECT_EQ(FactorProductText(r.list.data(), Dec(r.cofactor)), r.expected) << r.expected;
}

}  // namespace
