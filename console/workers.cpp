// The prime console's workers: each runs one engine routine on a copy of the
// target, shows its result and hands the console back by writing RUN_IDLE.

#include <pthread.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "bigint/message_box.h"
#include "console/progress_line.h"
#include "console/worker_control.h"
#include "prime/aprcl.h"
#include "prime/bpsw.h"
#include "prime/factorise.h"
#include "prime/prime_engine.h"
#include "prime/prime_search.h"
#include "prime/siqs.h"

WorkerControl g_workerControl;

namespace {

constexpr const char* TEXT_ABORTED = "中断しました";
constexpr const char* TEXT_PRIME = "素数です";
constexpr const char* TEXT_NOT_PRIME = "素数ではありません";
constexpr const char* TEXT_TOO_LARGE = "値が大きすぎます";
constexpr const char* TEXT_NOT_FOUND = "素因数を発見できませんでした";
constexpr const char* TEXT_BAD_TARGET = "ターゲットが不正です";
constexpr const char* TEXT_NOT_IMPLEMENTED = "この機能は実装されておりません。";
constexpr const char* TEXT_BAD_PARAMETERS = "パラメータが適切でありません。変更して下さい。";
constexpr const char* TEXT_RHO_SHORT_CYCLE =
    "数列 X[i] が 2 ステップ以内に X[0] に戻るため、ρ法では探索できません。\r"
    "ターゲットが小さすぎるか、X[0] または c が適切でありません。";

bool StillActive() { return g_workerControl.RunState.load() == RUN_ACTIVE; }

// The worker's last action, after its last box has been dismissed.
unsigned EndRun() {
    g_workerControl.RunState.store(RUN_IDLE);
    return 0;
}

std::string Decimal(BigInt value) {
    char buffer[BIGINT_TEXT_SIZE];
    return value.ToString(buffer, 10);
}

// A found factor is checked before it is announced: a composite one (two
// prime factors caught by the same gcd) is not called a prime factor.
std::string FoundText(const BigInt& factor) {
    const bool prime = IsBpswProbablePrime(factor);
    std::string text = prime ? "素因数\r " : "因数\r ";
    text += Decimal(factor);
    text += prime ? " \rを発見しました !" : " \rを発見しました ! (合成数)";
    return text;
}

// The verdict on a rho or p-1 result; `parameterText` is the method's text for
// results that no valid run produces, `refusalText` the one for -2.
void ShowSearchResult(const BigInt& r, const char* parameterText, const char* refusalText) {
    if (!StillActive()) {
        ShowMessageBox(TEXT_ABORTED);
    } else if (r.GetStatus() == 1 || r < -2 || r == 1) {
        ShowMessageBox(parameterText);
    } else if (r >= 2) {
        ShowMessageBox(FoundText(r));
    } else if (r == -1) {
        ShowMessageBox(TEXT_BAD_TARGET);
    } else if (r == 0) {
        ShowMessageBox(TEXT_NOT_FOUND);
    } else {
        ShowMessageBox(refusalText);
    }
}

}  // namespace

unsigned PseudoPrimeWorker(void*) {
    const PrimeSettings& s = g_workerControl.settings;
    const int result = g_primeEngine.IsPseudoPrime(s.target, s.mrTrials, g_workerControl.RunState);
    if (!StillActive()) {
        ShowMessageBox(TEXT_ABORTED);
    } else if (result != 0) {
        ShowMessageBox(TEXT_PRIME);
    } else {
        ShowMessageBox(TEXT_NOT_PRIME);
    }
    return EndRun();
}

unsigned PrimeTestWorker(void*) {
    ProofResult result;
    {
        RunProgressLine line;
        // All cores: the Jacobi-sum checks are independent; the helper
        // threads inherit this thread's priority.
        result = ProvePrime(g_workerControl.settings.target, g_workerControl.RunState, line.Get(), 0);
    }
    if (!StillActive() || result == ProofResult::Aborted) {
        ShowMessageBox(TEXT_ABORTED);
    } else {
        ShowMessageBox(result == ProofResult::Prime ? TEXT_PRIME : TEXT_NOT_PRIME);
    }
    return EndRun();
}

namespace {

unsigned PrimeSearchWorker(bool next) {
    const BigInt& target = g_workerControl.settings.target;
    PrimeSearch found;
    {
        RunProgressLine line;
        found = next ? NextPrime(target, g_workerControl.RunState, line.Get())
                     : PreviousPrime(target, g_workerControl.RunState, line.Get());
    }
    if (!StillActive() || found.status == PrimeSearch::ABORTED) {
        ShowMessageBox(TEXT_ABORTED);
    } else if (found.status == PrimeSearch::NONE) {
        ShowMessageBox("前の素数はありません");
    } else if (found.status == PrimeSearch::TOO_LARGE) {
        ShowMessageBox(TEXT_TOO_LARGE);
    } else {
        g_workerControl.foundPrime = found.value;
        g_workerControl.primeFound = true;
    }
    return EndRun();
}

}  // namespace

unsigned NextPrimeWorker(void*) { return PrimeSearchWorker(true); }

unsigned PreviousPrimeWorker(void*) { return PrimeSearchWorker(false); }

unsigned TrialDivisionWorker(void*) {
    const PrimeSettings& s = g_workerControl.settings;
    const int result = g_primeEngine.TrialDivide(s.target, 2, s.trialDivBound, g_workerControl.RunState);
    if (!StillActive()) {
        ShowMessageBox(TEXT_ABORTED);
    } else if (result == 0) {
        ShowMessageBox(TEXT_NOT_FOUND);
    } else if (result == 1) {
        ShowMessageBox(TEXT_PRIME);
    } else if (result == -1) {
        // 0 and +-1 are no targets; -1 is not a factor.
        ShowMessageBox(TEXT_BAD_TARGET);
    } else {
        ShowMessageBox(FoundText(BigInt(result)));
    }
    return EndRun();
}

unsigned RhoWorker(void*) {
    const PrimeSettings& s = g_workerControl.settings;
    const BigInt r =
        g_primeEngine.Rho(s.target, s.rhoTrials, s.rhoExponent, s.rhoX0, s.rhoAddend, g_workerControl.RunState);
    // -2 either refuses a parameter or says that the sequence closes at once.
    const bool shortCycle =
        r == -2 && g_primeEngine.RhoStartReturns(s.target, s.rhoTrials, s.rhoExponent, s.rhoX0, s.rhoAddend);
    ShowSearchResult(r, TEXT_BAD_PARAMETERS, shortCycle ? TEXT_RHO_SHORT_CYCLE : TEXT_BAD_PARAMETERS);
    return EndRun();
}

unsigned Pm1Worker(void*) {
    const PrimeSettings& s = g_workerControl.settings;
    const BigInt r =
        g_primeEngine.Pm1(s.target, s.pm1SmallExponent, s.pm1LargeExponent, s.pm1Bound, g_workerControl.RunState);
    ShowSearchResult(r, "Error in PrimeDlg(3). プログラム開発者にご連絡下さい.", TEXT_BAD_PARAMETERS);
    return EndRun();
}

unsigned EcmWorker(void*) {
    ShowMessageBox("この機能にはバグが残っています。");
    const PrimeSettings& s = g_workerControl.settings;
    const BigInt r = g_primeEngine.Ecm(s.target, s.ecmTrials, s.ecmSmoothness, g_workerControl.RunState);
    if (!StillActive()) {
        ShowMessageBox(TEXT_ABORTED);
    } else if (r >= 2) {
        ShowMessageBox(FoundText(r));
    } else {
        std::string text = "返り値は\r ";
        text += Decimal(r);
        text += " \rでした";
        ShowMessageBox(text);
    }
    return EndRun();
}

FactoriseSettings FactoriseSettingsOf(const PrimeSettings& s) {
    FactoriseSettings f;
    f.trialDivFirst = s.trialDivFirst != 0;
    f.trialDivBound = s.trialDivBound;
    f.rhoX0 = s.rhoX0;
    f.rhoExponent = s.rhoExponent;
    f.rhoAddend = s.rhoAddend;
    f.rhoTrials = s.rhoTrials;
    f.pm1SmallExponent = s.pm1SmallExponent;
    f.pm1Bound = s.pm1Bound;
    f.pm1LargeExponent = s.pm1LargeExponent;
    f.threads = s.mpqsThreads;
    return f;
}

unsigned FactoriseWorker(void*) {
    const PrimeSettings& s = g_workerControl.settings;
    FactoriseResult result;
    {
        RunProgressLine line;
        result = Factorise(s.target, FactoriseSettingsOf(s), g_workerControl.RunState, line.Get());
    }
    if (!StillActive() || result.status == FactoriseResult::ABORTED) {
        ShowMessageBox(TEXT_ABORTED);
        // What was found so far, when anything was: the unsplit part ends in "(合成数)".
        const bool found = !result.primes.empty() || result.parts.size() > 1 ||
                           (result.parts.size() == 1 && result.parts[0].exponent > 1);
        if (found) ShowMessageBox(FactorisationText(result));
    } else if (result.status == FactoriseResult::BAD_TARGET) {
        ShowMessageBox("入力の値が正しくありません");
    } else {
        // 1 and -1 have no prime factors: the box shows the number itself.
        const std::string text = FactorisationText(result);
        ShowMessageBox(text.empty() ? std::string("1") : text);
    }
    return EndRun();
}

std::string PrimeProductText(const std::vector<BigInt>& primes) {
    FactoriseResult complete;
    complete.status = FactoriseResult::COMPLETE;
    complete.primes = primes;
    return FactorisationText(complete);
}

unsigned MpqsWorker(void*) {
    const PrimeSettings& s = g_workerControl.settings;
    SiqsResult result;
    {
        RunProgressLine line;
        result = FactorSiqs(s.target, SiqsParams{s.mpqsThreads}, g_workerControl.RunState, line.Get());
    }
    if (!StillActive() || result.status == SiqsResult::ABORTED) {
        ShowMessageBox(TEXT_ABORTED);
    } else if (result.status == SiqsResult::PRIME) {
        ShowMessageBox(TEXT_PRIME);
    } else if (result.status == SiqsResult::BAD_TARGET) {
        ShowMessageBox(TEXT_BAD_TARGET);
    } else if (result.status == SiqsResult::TOO_LARGE) {
        ShowMessageBox("MPQSで扱える大きさを超えています (100桁まで)");
    } else {
        ShowMessageBox(PrimeProductText(result.primes));
    }
    return EndRun();
}

unsigned NfsWorker(void*) {
    ShowMessageBox(TEXT_NOT_IMPLEMENTED);
    return EndRun();
}

WorkerFunction SelectWorker(int action, int method) {
    if (action == ACTION_PSEUDO_PRIME) return PseudoPrimeWorker;
    if (action == ACTION_PRIME_TEST) return PrimeTestWorker;
    if (action != ACTION_FACTOR) return nullptr;
    switch (method) {
        case METHOD_TRIAL_DIVISION: return TrialDivisionWorker;
        case METHOD_RHO: return RhoWorker;
        case METHOD_PM1: return Pm1Worker;
        case METHOD_ECM: return EcmWorker;
        case METHOD_MPQS: return MpqsWorker;
        case METHOD_NFS: return NfsWorker;
        case METHOD_FACTORISE: return FactoriseWorker;
        default: return nullptr;
    }
}

namespace {

struct ThreadStart {
    WorkerFunction worker;
    bool lowerPriority;
};

// Every worker thread reserves 32 MiB of stack.
constexpr size_t WORKER_STACK_SIZE = 32u << 20;

void* WorkerThreadMain(void* arg) {
    const ThreadStart start = *static_cast<ThreadStart*>(arg);
    delete static_cast<ThreadStart*>(arg);
    if (start.lowerPriority) {
        // The lowest share of the CPU for this thread only: on Linux the nice
        // value is per thread. The thread ends with its run, so the priority
        // never needs to be raised again.
        setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 19);
    }
    start.worker(nullptr);
    return nullptr;
}

}  // namespace

bool StartWorkerThread(WorkerFunction worker, bool lowerPriority) {
    pthread_attr_t attr;
    if (pthread_attr_init(&attr) != 0) return false;
    pthread_attr_setstacksize(&attr, WORKER_STACK_SIZE);
    pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
    auto* start = new ThreadStart{worker, lowerPriority};
    pthread_t thread;
    const int rc = pthread_create(&thread, &attr, WorkerThreadMain, start);
    pthread_attr_destroy(&attr);
    if (rc != 0) {
        delete start;
        return false;
    }
    return true;
}

namespace {

// Sets RUN_ACTIVE, copies the settings and starts `worker` (none: nothing
// runs); returns with RUN_IDLE when no worker runs.
bool StartRun(const PrimeSettings& settings, WorkerFunction worker) {
    WorkerControl& control = g_workerControl;
    control.RunState.store(RUN_ACTIVE);
    control.settings = settings;
    control.primeFound = false;
    control.foundPrime = 0;
    if (worker != nullptr && StartWorkerThread(worker, settings.lowerPriority == 1)) return true;
    control.RunState.store(RUN_IDLE);
    return false;
}

}  // namespace

bool StartWorker(const PrimeSettings& settings) {
    if (settings.action < ACTION_PSEUDO_PRIME || settings.action > ACTION_FACTOR) {
        g_workerControl.RunState.store(RUN_ACTIVE);
        ShowMessageBox("Error in Start button.");
        g_workerControl.RunState.store(RUN_IDLE);
        return false;
    }
    return StartRun(settings, SelectWorker(settings.action, settings.method));
}

bool StartPrimeSearch(const PrimeSettings& settings, bool next) {
    return StartRun(settings, next ? NextPrimeWorker : PreviousPrimeWorker);
}
