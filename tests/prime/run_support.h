#pragma once
// What the tests of the long computations share: a progress line that
// records its texts, the time a run takes to stop after an abort, and
// kalvora-cli run end to end.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "prime/progress.h"
#include "prime/run_state.h"

// Sanitizer builds run many times slower: they get more time to stop.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr double ABORT_MS = 250;
#else
inline constexpr double ABORT_MS = 50;
#endif

struct ProgressRecorder {
    std::mutex mutex;
    std::vector<std::string> texts;
    Progress progress{[this](const std::string& text) {
        std::lock_guard<std::mutex> lock(mutex);
        texts.push_back(text);
    }};
};

/// Calls run(state) with the state set to RUN_ABORT `ms` milliseconds in;
/// returns the milliseconds from then to the return.
template <class Run>
double MsToStop(int ms, Run run) {
    std::atomic<int> state{RUN_ACTIVE};
    std::chrono::steady_clock::time_point flipped;
    std::thread flipper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        flipped = std::chrono::steady_clock::now();
        state.store(RUN_ABORT);
    });
    run(static_cast<const std::atomic<int>&>(state));
    const auto ended = std::chrono::steady_clock::now();
    flipper.join();
    return std::chrono::duration<double, std::milli>(ended - flipped).count();
}

#ifdef KALVORA_CLI_PATH
struct CliRun {
    int status = -1;
    std::string out, err;
    /// Standard error without its "progress: " lines.
    std::string Errors() const {
        std::string kept;
        for (size_t start = 0, end; start < err.size(); start = end + 1) {
            end = std::min(err.find('\n', start), err.size());
            if (err.compare(start, 10, "progress: ") != 0) kept += err.substr(start, end - start) + "\n";
        }
        return kept;
    }
};

/// Runs kalvora-cli with `args` (shell words) and `input` on standard input.
inline CliRun Cli(const std::string& args, const std::string& input = "") {
    const std::string base = testing::TempDir() + "kalvora_cli_" + std::to_string(::getpid());
    std::ofstream(base + ".in") << input;
    const int rc = std::system((KALVORA_CLI_PATH " " + args + " < " + base + ".in > " + base + ".out 2> " + base + ".err").c_str());
    auto slurp = [](const std::string& path) {
        std::ifstream in(path);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };
    CliRun r{WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, slurp(base + ".out"), slurp(base + ".err")};
    for (const char* ext : {".in", ".out", ".err"}) std::remove((base + ext).c_str());
    return r;
}
#endif
