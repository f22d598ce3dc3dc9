// kalvora-cli siqs N [threads=T]
//
// Factors N completely with the quadratic sieve and prints
// "factors: p1 p2 ..." (ascending, with multiplicity) and "seconds: S";
// the progress line goes to standard error as "progress: TEXT".

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "prime/siqs.h"

namespace {

int Refuse(const std::string& message, int status) {
    std::fprintf(stderr, "kalvora-cli siqs: %s\n", message.c_str());
    return status;
}

}  // namespace

int RunSiqsCommand(int argc, char** argv) {
    if (argc < 1) return Refuse("a number N expected", 2);
    BigInt n;
    if (n.FromString(argv[0], 10) != 0) {
        return Refuse(n.GetStatus() == 1 ? "N: 値が大きすぎます" : "N: 不正な文字が含まれています", 2);
    }
    SiqsParams params;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strncmp(arg, "threads=", 8) != 0) return Refuse(std::string("unknown argument '") + arg + "'", 2);
        const char* value = arg + 8;
        char* end = nullptr;
        const long t = std::strtol(value, &end, 10);
        if (*value < '0' || *value > '9' || *end != '\0' || t > 64) return Refuse("threads: an integer 0 ... 64 expected", 2);
        params.threads = static_cast<int>(t);
    }

    Progress progress([](const std::string& text) {
        if (!text.empty()) std::fprintf(stderr, "progress: %s\n", text.c_str());
    });
    const std::atomic<int> state{RUN_ACTIVE};
    const auto started = std::chrono::steady_clock::now();
    const SiqsResult result = FactorSiqs(n, params, state, &progress);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    switch (result.status) {
        case SiqsResult::BAD_TARGET:
            return Refuse("ターゲットが不正です", 2);
        case SiqsResult::TOO_LARGE:
            return Refuse("MPQSで扱える大きさを超えています (100桁まで)", 1);
        case SiqsResult::ABORTED:
            return Refuse("中断しました", 1);
        case SiqsResult::FACTORED:
        case SiqsResult::PRIME:
            break;
    }
    std::string line = "factors:";
    char buffer[BIGINT_TEXT_SIZE];
    for (BigInt p : result.primes) line += std::string(" ") + p.ToString(buffer, 10);
    std::printf("%s\nseconds: %.3f\n", line.c_str(), seconds);
    return 0;
}
