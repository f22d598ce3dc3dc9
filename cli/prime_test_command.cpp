// kalvora-cli isprime N...     "N: prime" or "N: composite", proven
// kalvora-cli nextprime N      the least probable prime above N
// kalvora-cli prevprime N      the greatest probable prime below N
//
// isprime reads one number per line from standard input when it has no
// arguments. Numbers are decimal, with an optional sign. A bad number gets
// one line on standard error and exit status 2, the others still their line;
// prevprime with no prime below N, and a result of 2^1600 or more, exit 1.
// Long runs write "progress: TEXT" lines to standard error.

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <iostream>
#include <string>

#include "bigint/bigint.h"
#include "bigint/bigint_words.h"
#include "prime/aprcl.h"
#include "prime/parallel.h"
#include "prime/prime_search.h"
#include "prime/progress.h"
#include "prime/run_state.h"

namespace {

using kw::u64;

Progress& ProgressLine() {
    static Progress progress([](const std::string& text) {
        if (!text.empty()) std::fprintf(stderr, "progress: %s\n", text.c_str());
    });
    return progress;
}

/// The decimal text of a value (its own conversion: the BigInt one reports
/// diagnostics near the top of the range).
std::string Decimal(const BigInt& v) {
    kw::Mag m = kw::Load(v);
    std::string text;
    constexpr u64 CHUNK = 10000000000000000000ull;  // 10^19
    while (m.n > 0) {
        u64 r = kw::DivRem1(m.w, m.w, m.n, CHUNK);
        m.n = kw::Norm(m.w, m.n);
        for (int i = 0; i < 19 && (m.n > 0 || r != 0); ++i, r /= 10) text.insert(text.begin(), static_cast<char>('0' + r % 10));
    }
    if (text.empty()) text = "0";
    if (v.GetSign() != 0 && text != "0") text.insert(text.begin(), '-');
    return text;
}

/// Parses a decimal number (optional sign, digits only) into `value`; on
/// failure writes the one-line error and returns false.
bool Parse(const char* command, const std::string& text, BigInt& value) {
    const size_t start = !text.empty() && (text[0] == '-' || text[0] == '+') ? 1 : 0;
    bool ok = text.size() > start;
    for (size_t i = start; ok && i < text.size(); ++i) ok = text[i] >= '0' && text[i] <= '9';
    if (!ok) {
        std::fprintf(stderr, "kalvora-cli %s: '%s': 不正な文字が含まれています\n", command, text.c_str());
        return false;
    }
    // Nineteen digits at a time: w = w 10^k + chunk, refused past 1616 bits.
    u64 w[kw::WORDS + 1] = {};
    int n = 0;
    for (size_t i = start; i < text.size(); i += 19) {
        const size_t len = std::min<size_t>(19, text.size() - i);
        u64 scale = 1, chunk = 0;
        for (size_t j = 0; j < len; ++j) {
            scale *= 10;
            chunk = chunk * 10 + static_cast<u64>(text[i + j] - '0');
        }
        const u64 carry = n > 0 ? kw::Mul1(w, w, n, scale) : 0;
        if (carry != 0) w[n++] = carry;
        if (n == 0) {
            w[0] = chunk;
            n = chunk != 0 ? 1 : 0;
        } else if (kw::Add(w, w, n, &chunk, 1) != 0) {
            w[n++] = 1;
        }
        if (kw::BitLen(w, n) > BIGINT_BITS) {
            std::fprintf(stderr, "kalvora-cli %s: %s: 値が大きすぎます\n", command, text.c_str());
            return false;
        }
    }
    value = kw::FromWords(w, n);
    value.SetSign(text[0] == '-' && n > 0 ? 1 : 0);
    return true;
}

/// One isprime line; false for a bad number.
bool TestOne(const std::string& text) {
    BigInt n;
    if (!Parse("isprime", text, n)) return false;
    const std::atomic<int> active{RUN_ACTIVE};
    const ProofResult r = ProvePrime(n, active, &ProgressLine(), DefaultThreadCount());
    std::printf("%s: %s\n", Decimal(n).c_str(), r == ProofResult::Prime ? "prime" : "composite");
    std::fflush(stdout);
    return true;
}

std::string Trimmed(const std::string& line) {
    const size_t first = line.find_first_not_of(" \t\r");
    if (first == std::string::npos) return "";
    return line.substr(first, line.find_last_not_of(" \t\r") - first + 1);
}

int Search(const char* command, int argc, char** argv, bool next) {
    if (argc != 1) {
        std::fprintf(stderr, "usage: kalvora-cli %s N\n", command);
        return 2;
    }
    BigInt n;
    if (!Parse(command, argv[0], n)) return 2;
    const std::atomic<int> active{RUN_ACTIVE};
    const PrimeSearch r = next ? NextPrime(n, active, &ProgressLine()) : PreviousPrime(n, active, &ProgressLine());
    switch (r.status) {
    case PrimeSearch::FOUND: std::printf("%s\n", Decimal(r.value).c_str()); return 0;
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
            const std::string text = Trimmed(line);
            if (!text.empty()) allGood = TestOne(text) && allGood;
        }
    }
    return allGood ? 0 : 2;
}

int RunNextPrimeCommand(int argc, char** argv) { return Search("nextprime", argc, argv, true); }

int RunPrevPrimeCommand(int argc, char** argv) { return Search("prevprime", argc, argv, false); }
