// kalvora-cli isprime N...     "N: prime" or "N: composite", proven
// kalvora-cli nextprime N      the least probable prime above N
// kalvora-cli prevprime N      the greatest probable prime below N
//
// isprime reads one number per line from standard input when it has no
// arguments. Numbers are decimal, with an optional sign. A bad number gets
// one line on standard error and exit status 2, the others still their line;
// prevprime with no prime below N, and a result of 2^1600 or more, exit 1.
// Long runs write "progress: TEXT" lines to standard error.

#include <atomic>
#include <cstdio>
#include <iostream>
#include <string>

#include "bigint/bigint.h"
#include "cli/decimal_argument.h"
#include "prime/aprcl.h"
#include "prime/factorise.h"
#include "prime/parallel.h"
#include "prime/prime_search.h"
#include "prime/progress.h"
#include "prime/run_state.h"

namespace {

Progress& ProgressLine() {
    static Progress progress([](const std::string& text) {
        if (!text.empty()) std::fprintf(stderr, "progress: %s\n", text.c_str());
    });
    return progress;
}

/// One isprime line; false for a bad number.
bool TestOne(const std::string& text) {
    BigInt n;
    if (!ParseDecimalArgument("isprime", text, n)) return false;
    const std::atomic<int> active{RUN_ACTIVE};
    const ProofResult r = ProvePrime(n, active, &ProgressLine(), DefaultThreadCount());
    std::printf("%s: %s\n", DecimalOf(n).c_str(), r == ProofResult::Prime ? "prime" : "composite");
    std::fflush(stdout);
    return true;
}

int Search(const char* command, int argc, char** argv, bool next) {
    if (argc != 1) {
        std::fprintf(stderr, "usage: kalvora-cli %s N\n", command);
        return 2;
    }
    BigInt n;
    if (!ParseDecimalArgument(command, argv[0], n)) return 2;
    const std::atomic<int> active{RUN_ACTIVE};
    const PrimeSearch r = next ? NextPrime(n, active, &ProgressLine()) : PreviousPrime(n, active, &ProgressLine());
    switch (r.status) {
    case PrimeSearch::FOUND: std::printf("%s\n", DecimalOf(r.value).c_str()); return 0;
    case PrimeSearch::NONE: std::fprintf(stderr, "kalvora-cli %s: 前の素数はありません\n", command); return 1;
    case PrimeSearch::TOO_LARGE: std::fprintf(stderr, "kalvora-cli %s: 値が大きすぎます\n", command); return 1;
    default: return 1;  // nothing aborts a command-line search
    }
}

}  // namespace

int RunIsPrimeCommand(int argc, char** argv) {
    bool allGood = true;
    if (argc > 0) {
        for (int i = 0; i < argc; ++i) allGood = TestOne(argv[i]) && allGood;
    } else {
        std::string line;
        while (std::getline(std::cin, line)) {
            const std::string text = TrimmedLine(line);
            if (!text.empty()) allGood = TestOne(text) && allGood;
        }
    }
    return allGood ? 0 : 2;
}

int RunNextPrimeCommand(int argc, char** argv) { return Search("nextprime", argc, argv, true); }

int RunPrevPrimeCommand(int argc, char** argv) { return Search("prevprime", argc, argv, false); }
