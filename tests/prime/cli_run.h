#pragma once
// Running the built kalvora-cli for the end-to-end tests: its standard
// output, standard error and exit status.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#ifdef KALVORA_CLI_PATH

struct CliRun {
    int status = -1;
    std::string out, err;
};

/// Runs kalvora-cli with `args` (shell words), `input` on standard input.
inline CliRun Cli(const std::string& args, const std::string& input = "") {
    const std::string base = testing::TempDir() + "cli_run_" + std::to_string(::getpid());
    {
        std::ofstream(base + ".in") << input;
    }
    const std::string command = std::string(KALVORA_CLI_PATH) + " " + args + " < " + base + ".in > " + base +
                                ".out 2> " + base + ".err";
    CliRun r;
    const int rc = std::system(command.c_str());
    r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    auto slurp = [](const std::string& path) {
        std::ifstream in(path);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };
    r.out = slurp(base + ".out");
    r.err = slurp(base + ".err");
    for (const char* ext : {".in", ".out", ".err"}) std::remove((base + ext).c_str());
    return r;
}

/// Standard error without the "progress: " lines.
inline std::string Errors(const std::string& err) {
    std::string kept;
    size_t start = 0;
    while (start < err.size()) {
        size_t end = err.find('\n', start);
        if (end == std::string::npos) end = err.size();
        const std::string line = err.substr(start, end - start);
        if (line.rfind("progress: ", 0) != 0) kept += line + "\n";
        start = end + 1;
    }
    return kept;
}

#endif
