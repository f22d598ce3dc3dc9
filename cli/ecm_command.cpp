// kalvora-cli ecm N [b1=B1] [b2=B2] [curves=C] [seed=S] [threads=T]
//
// Runs the second elliptic-curve engine on N and prints
//   found: F        (a non-trivial factor, or "none")
//   curves: K       (the curves run)
//   seconds: S
// with the progress line on standard error as "progress: TEXT".

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>

#include "prime/ecm_engine.h"
#include "prime/run_state.h"

namespace {

int Refuse(const std::string& message) {
    std::fprintf(stderr, "kalvora-cli ecm: %s\n", message.c_str());
    return 2;
}

// Strict unsigned decimal within [low, high]: digits only.
bool ParseUnsigned(const char* text, uint64_t low, uint64_t high, uint64_t& value) {
    if (*text == '\0') return false;
    uint64_t v = 0;
    for (const char* c = text; *c != '\0'; ++c) {
        if (*c < '0' || *c > '9') return false;
        const uint64_t digit = static_cast<uint64_t>(*c - '0');
        if (v > (UINT64_MAX - digit) / 10) return false;
        v = v * 10 + digit;
    }
    if (v < low || v > high) return false;
    value = v;
    return true;
}

std::string RangeText(const char* name, uint64_t low, uint64_t high) {
    return std::string(name) + ": an integer " + std::to_string(low) + " ... " +
           std::to_string(high) + " expected";
}

// N: decimal digits only, from 2 up to below 2^1600 (the largest values the
// decimal reader takes: its sums stop there).
std::string ParseTarget(const char* text, BigInt& n) {
    std::string digits = text;
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos)
        return "N: a decimal integer expected, got '" + digits + "'";
    digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size() - 1));
    char limit[BIGINT_TEXT_SIZE];
    BigInt power = BigInt(1) << 1600;
    const std::string largest = power.ToString(limit, 10);
    if (digits.size() > largest.size() || (digits.size() == largest.size() && digits >= largest))
        return "N: below 2^1600 expected";
    n.FromString(digits.c_str(), 10);
    if (n < 2) return "N: at least 2 expected";
    return "";
}

// Applies one KEY=VALUE; returns an error text, empty on success.
std::string Apply(EcmParams& params, bool& seedGiven, const std::string& key, const char* value) {
    uint64_t v = 0;
    if (key == "b1") {
        if (!ParseUnsigned(value, ECM_MIN_B1, ECM_MAX_B1, v))
            return RangeText("b1", ECM_MIN_B1, ECM_MAX_B1);
        params.b1 = v;
    } else if (key == "b2") {
        if (!ParseUnsigned(value, ECM_MIN_B1, ECM_MAX_B2, v))
            return RangeText("b2", ECM_MIN_B1, ECM_MAX_B2);
        params.b2 = v;
    } else if (key == "curves") {
        if (!ParseUnsigned(value, 1, ECM_MAX_CURVES, v))
            return RangeText("curves", 1, ECM_MAX_CURVES);
        params.curves = static_cast<int>(v);
    } else if (key == "seed") {
        if (!ParseUnsigned(value, 0, UINT64_MAX, v)) return RangeText("seed", 0, UINT64_MAX);
        params.seed = v;
        seedGiven = true;
    } else if (key == "threads") {
        if (!ParseUnsigned(value, 1, 256, v)) return RangeText("threads", 1, 256);
        params.threads = static_cast<int>(v);
    } else {
        return "unknown key '" + key + "' (b1, b2, curves, seed, threads)";
    }
    return "";
}

}  // namespace

int RunEcmCommand(int argc, char** argv) {
    if (argc < 1)
        return Refuse(
            "N expected: kalvora-cli ecm N [b1=B1] [b2=B2] [curves=C] [seed=S] [threads=T]");
    BigInt n;
    const std::string targetError = ParseTarget(argv[0], n);
    if (!targetError.empty()) return Refuse(targetError);
    EcmParams params;
    bool seedGiven = false;
    for (int i = 1; i < argc; ++i) {
        const char* eq = std::strchr(argv[i], '=');
        if (eq == nullptr) return Refuse(std::string("KEY=VALUE expected, got '") + argv[i] + "'");
        const std::string error = Apply(
            params, seedGiven, std::string(argv[i], static_cast<size_t>(eq - argv[i])), eq + 1);
        if (!error.empty()) return Refuse(error);
    }
    if (params.b2 != 0 && params.b2 < params.b1) return Refuse("b2: at least b1 expected");
    if (!seedGiven)
        params.seed =
            static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());

    Progress progress([](const std::string& text) {
        if (!text.empty()) std::fprintf(stderr, "progress: %s\n", text.c_str());
    });
    // The seed first, so that any run can be repeated.
    std::fprintf(stderr, "progress: ECM seed %" PRIu64 "\n", params.seed);
    const std::atomic<int> state{RUN_ACTIVE};
    const auto started = std::chrono::steady_clock::now();
    const EcmResult result = RunEcm(n, params, state, &progress);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    if (result.factor != 0) {
        char text[BIGINT_TEXT_SIZE];
        BigInt factor = result.factor;
        std::printf("found: %s\n", factor.ToString(text, 10));
    } else {
        std::printf("found: none\n");
    }
    std::printf("curves: %d\n", result.curvesRun);
    std::printf("seconds: %.3f\n", seconds);
    return 0;
}
