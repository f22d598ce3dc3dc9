#pragma once
// The control block between the prime console and its worker thread, the
// workers themselves and the toolkit-free start of a run.
//
// Protocol: the starter writes every field and RunState = RUN_ACTIVE before
// the thread exists; the abort button writes RUN_ABORT; the worker shows its
// result box, waits for it to be dismissed and then writes RUN_IDLE as its
// very last action. Nobody joins the worker: RunState is the end signal.

#include <atomic>
#include <string>
#include <vector>

#include "bigint/bigint.h"
#include "console/prime_settings.h"
#include "prime/factorise.h"
#include "prime/prime_engine.h"
#include "prime/run_state.h"

/// The run's settings (target and parameters), written before the worker
/// starts, and the run state, the one word both threads write.
struct WorkerControl {
    PrimeSettings settings;
    std::atomic<int> RunState{RUN_IDLE};
    /// The prime a next/previous-prime search found, written before RUN_IDLE.
    bool primeFound = false;
    BigInt foundPrime;
};

/// The one control block of the process.
extern WorkerControl g_workerControl;

/// A worker: a thread entry with one pointer-sized parameter (unused); returns 0.
using WorkerFunction = unsigned (*)(void*);

unsigned PseudoPrimeWorker(void* param);
unsigned PrimeTestWorker(void* param);
unsigned NextPrimeWorker(void* param);
unsigned PreviousPrimeWorker(void* param);
unsigned TrialDivisionWorker(void* param);
unsigned RhoWorker(void* param);
unsigned Pm1Worker(void* param);
unsigned EcmWorker(void* param);
unsigned FactoriseWorker(void* param);
unsigned MpqsWorker(void* param);
unsigned NfsWorker(void* param);

/// The worker that "開始" runs for `action` and `method`, or nullptr when
/// there is none (an invalid action or an invalid method).
WorkerFunction SelectWorker(int action, int method);

/// Starts `worker` on a detached thread with a 32 MiB stack; with
/// `lowerPriority` the thread lowers its own scheduling priority first
/// (nice 19 for that thread). Returns false when no thread could be created.
bool StartWorkerThread(WorkerFunction worker, bool lowerPriority);

/// What "開始" does before the window changes: sets RUN_ACTIVE, copies the
/// settings into g_workerControl and starts the worker of
/// the action and method. An invalid action shows its message; it and an
/// invalid method return with RUN_IDLE. Returns true when a worker is
/// running (it ends by writing RUN_IDLE).
bool StartWorker(const PrimeSettings& settings);

/// What "次の素数" (next) and "前の素数" do: starts the search from the
/// settings' target like StartWorker. When the run has ended, primeFound
/// tells whether foundPrime is the new target; otherwise the worker has
/// shown why not.
bool StartPrimeSearch(const PrimeSettings& settings, bool next);

/// The complete factorisation's parameters from the console's settings:
/// check box 1116, the trial-division bound, the rho and p-1 parameters and
/// the thread count of MPQS.
FactoriseSettings FactoriseSettingsOf(const PrimeSettings& s);

/// The text of ascending primes with multiplicity: {2, 2, 2, 3, 101} gives "2^3 * 3 * 101".
std::string PrimeProductText(const std::vector<BigInt>& primes);
