// kalvora-cli factor [--time-limit=S] [--threads=T] [-v] [N ...]
//
// One line per number, "N: p1 p2 p2 p3", the proven primes ascending with
// multiplicity, -1 first for a negative N; "0:" and "1:" for those. A number
// stopped by the time limit ends its line with its unsplit parts in
// brackets, "[C]". Numbers come from standard input, one per line, when no
// argument gives one. Exit status: 0 all factored completely, 1 one was
// not, 2 a bad argument (one line on standard error; the rest still run).

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "cli/decimal_argument.h"
#include "prime/factorise.h"

namespace {

struct Options {
    double timeLimit = 0;  ///< seconds per number; 0 none
    int threads = 0;
    bool verbose = false;
};

/// Sets `state` to RUN_ABORT after `seconds` unless stopped before.
class Deadline {
public:
    Deadline(std::atomic<int>& state, double seconds) {
        if (seconds <= 0) return;
        m_thread = std::thread([this, &state, seconds] {
            std::unique_lock<std::mutex> lock(m_mutex);
            if (!m_done.wait_for(lock, std::chrono::duration<double>(seconds), [this] { return m_over; }))
                state.store(RUN_ABORT);
        });
    }
    ~Deadline() {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_over = true;
        }
        m_done.notify_all();
        if (m_thread.joinable()) m_thread.join();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_over = false;
    std::thread m_thread;
};

/// Factors one number and prints its line: 0 complete, 1 not, 2 bad input.
int FactorOne(const std::string& text, const Options& options) {
    BigInt n;
    if (!ParseDecimalArgument("factor", text, n)) return 2;
    std::string line = DecimalOf(n) + ":";
    FactoriseSettings settings;
    settings.threads = options.threads;
    Progress progress([](const std::string& t) {
        if (!t.empty()) std::fprintf(stderr, "progress: %s\n", t.c_str());
    });
    std::atomic<int> state{RUN_ACTIVE};
    FactoriseResult result;
    if (n != 0) {
        Deadline deadline(state, options.timeLimit);
        result = Factorise(n, settings, state, options.verbose ? &progress : nullptr);
    }
    if (result.negative) line += " -1";
    for (const BigInt& p : result.primes) line += " " + DecimalOf(p);
    for (const FactorisePart& part : result.parts)
        for (int i = 0; i < part.exponent; ++i) line += " [" + DecimalOf(part.value) + "]";
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
    return result.status == FactoriseResult::ABORTED ? 1 : 0;
}

int Usage(const std::string& message) {
    std::fprintf(stderr, "kalvora-cli factor: %s\n", message.c_str());
    return 2;
}

}  // namespace

int RunFactorCommand(int argc, char** argv) {
    Options options;
    std::vector<std::string> numbers;
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-v") {
            options.verbose = true;
        } else if (arg.rfind("--time-limit=", 0) == 0) {
            const char* value = argv[i] + 13;
            char* end = nullptr;
            options.timeLimit = std::strtod(value, &end);
            if (*value < '0' || *value > '9' || *end != '\0' || !(options.timeLimit > 0))
                return Usage("'" + arg + "': a time in seconds above 0 expected");
        } else if (arg.rfind("--threads=", 0) == 0) {
            const char* value = argv[i] + 10;
            char* end = nullptr;
            const long t = std::strtol(value, &end, 10);
            if (*value < '0' || *value > '9' || *end != '\0' || t < 1 || t > 256)
                return Usage("'" + arg + "': an integer 1 ... 256 expected");
            options.threads = static_cast<int>(t);
        } else if (arg.rfind("--", 0) == 0) {
            return Usage("unknown option '" + arg + "'");
        } else {
            numbers.push_back(arg);
        }
    }
    int worst = 0;
    auto run = [&](const std::string& text) { worst = std::max(worst, FactorOne(text, options)); };
    if (!numbers.empty()) {
        for (const std::string& text : numbers) run(text);
    } else {
        std::string line;
        while (std::getline(std::cin, line)) {
            const std::string text = TrimmedLine(line);
            if (!text.empty()) run(text);
        }
    }
    return worst;
}
