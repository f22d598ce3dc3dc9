// kalvora-cli prime [FIELD=VALUE ...] [abort-after=MS]
//
// Runs what the prime console's "開始" runs, on a real worker thread, and
// prints every message box of the run as one line "box: TEXT" (CR and LF
// written as \r and \n), dismissed at once, then "seconds: S". The
// progress line goes to standard error as "progress: TEXT".

#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

#include "bigint/message_box.h"
#include "console/prime_settings.h"
#include "console/progress_line.h"
#include "console/worker_control.h"

namespace {

class PrintingPresenter : public MessageBoxPresenter {
public:
    void ShowMessageBox(const std::string& text, const std::string&) override {
        std::string line = "box: ";
        for (char ch : text) {
            if (ch == '\r') {
                line += "\\r";
            } else if (ch == '\n') {
                line += "\\n";
            } else {
                line += ch;
            }
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
    }

private:
    std::mutex m_mutex;
};

class PrintingProgressLine : public ProgressLinePresenter {
public:
    void ShowProgressLine(const std::string& text) override {
        if (text.empty()) return;
        std::lock_guard<std::mutex> lock(m_mutex);
        std::fprintf(stderr, "progress: %s\n", text.c_str());
    }

private:
    std::mutex m_mutex;
};

// Strict decimal: optional sign, digits only, within [low, high].
bool ParseInteger(const char* text, long long low, long long high, long long& value) {
    if (*text == '\0') return false;
    errno = 0;
    char* end = nullptr;
    const long long v = std::strtoll(text, &end, 10);
    if (errno != 0 || *end != '\0' || !(*text == '-' || *text == '+' || (*text >= '0' && *text <= '9'))) return false;
    if (v < low || v > high) return false;
    value = v;
    return true;
}

struct IntField {
    const char* name;
    long long low;
    long long high;
};

// The ranges the settings dialogs enforce.
constexpr IntField INT_FIELDS[] = {
    {"mrTrials", 20, 200},
    {"action", 0, 2},
    {"method", 0, 6},
    {"lowerPriority", 0, 1},
    {"trialDivBound", 65537, 262139},
    {"trialDivFirst", 0, 1},
    {"rhoX0", 0, 4294967295LL},
    {"rhoExponent", 2, 256},
    {"rhoTrials", 2, 100000},
    {"rhoAddend", -2147483647LL, 2147483647LL},
    {"pm1SmallExponent", 2, 16},
    {"pm1Bound", 262144, 16777216},
    {"pm1LargeExponent", 1, 4},
    {"ecmTrials", 1, 10000},
    {"mpqsThreads", 0, MPQS_THREADS_MAX},
};

void Store(PrimeSettings& s, const std::string& name, long long v) {
    if (name == "mrTrials") s.mrTrials = static_cast<int>(v);
    if (name == "action") s.action = static_cast<int>(v);
    if (name == "method") s.method = static_cast<int>(v);
    if (name == "lowerPriority") s.lowerPriority = static_cast<int>(v);
    if (name == "trialDivBound") s.trialDivBound = static_cast<int>(v);
    if (name == "trialDivFirst") s.trialDivFirst = static_cast<int>(v);
    if (name == "rhoX0") s.rhoX0 = static_cast<uint32_t>(v);
    if (name == "rhoExponent") s.rhoExponent = static_cast<int>(v);
    if (name == "rhoTrials") s.rhoTrials = static_cast<int>(v);
    if (name == "rhoAddend") s.rhoAddend = static_cast<int32_t>(v);
    if (name == "pm1SmallExponent") s.pm1SmallExponent = static_cast<int>(v);
    if (name == "pm1Bound") s.pm1Bound = static_cast<int>(v);
    if (name == "pm1LargeExponent") s.pm1LargeExponent = static_cast<int>(v);
    if (name == "ecmTrials") s.ecmTrials = static_cast<int>(v);
    if (name == "mpqsThreads") s.mpqsThreads = static_cast<int>(v);
}

int Refuse(const std::string& message) {
    std::fprintf(stderr, "kalvora-cli prime: %s\n", message.c_str());
    return 2;
}

// Applies one FIELD=VALUE; returns an error text, empty on success.
std::string Apply(PrimeSettings& settings, long long& abortAfter, const std::string& name, const char* value) {
    if (name == "target") {
        BigInt parsed;
        if (parsed.FromString(value, 10) != 0) {
            return parsed.GetStatus() == 1 ? "target: 値が大きすぎます" : "target: 不正な文字が含まれています";
        }
        settings.target = parsed;
        return "";
    }
    if (name == "abort-after") {
        if (!ParseInteger(value, 0, 86400000, abortAfter)) return "abort-after: milliseconds 0 ... 86400000 expected";
        return "";
    }
    if (name == "ecmSmoothness") {
        long long v = 0;
        if (!ParseInteger(value, 100, 100000, v) || (v != 100 && v != 1000 && v != 10000 && v != 100000)) {
            return "ecmSmoothness: one of 100, 1000, 10000, 100000 expected";
        }
        settings.ecmSmoothness = static_cast<int>(v);
        return "";
    }
    for (const IntField& field : INT_FIELDS) {
        if (name != field.name) continue;
        long long v = 0;
        if (!ParseInteger(value, field.low, field.high, v)) {
            return name + ": an integer " + std::to_string(field.low) + " ... " + std::to_string(field.high) +
                   " expected";
        }
        Store(settings, name, v);
        return "";
    }
    return "unknown field '" + name + "'";
}

}  // namespace

int RunPrimeCommand(int argc, char** argv) {
    PrimeSettings settings;
    long long abortAfter = -1;
    for (int i = 0; i < argc; ++i) {
        const char* eq = std::strchr(argv[i], '=');
        if (eq == nullptr) return Refuse(std::string("FIELD=VALUE expected, got '") + argv[i] + "'");
        const std::string error = Apply(settings, abortAfter, std::string(argv[i], static_cast<size_t>(eq - argv[i])), eq + 1);
        if (!error.empty()) return Refuse(error);
    }

    PrintingPresenter presenter;
    InstallMessageBoxPresenter(&presenter);
    PrintingProgressLine progressLine;
    ProgressLinePresenter* previousLine = InstallProgressLinePresenter(&progressLine);
    const auto started = std::chrono::steady_clock::now();
    bool abortSent = false;
    StartWorker(settings);
    while (g_workerControl.RunState.load() != RUN_IDLE) {
        if (!abortSent && abortAfter >= 0 &&
            std::chrono::steady_clock::now() - started >= std::chrono::milliseconds(abortAfter)) {
            int active = RUN_ACTIVE;
            g_workerControl.RunState.compare_exchange_strong(active, RUN_ABORT);
            abortSent = true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    InstallMessageBoxPresenter(nullptr);
    InstallProgressLinePresenter(previousLine);
    std::printf("seconds: %.3f\n", seconds);
    return 0;
}
