// kalvora-cli prime end to end: the built binary's output lines and exit status.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

#ifdef KALVORA_CLI_PATH

struct CliResult {
    int status = -1;
    std::vector<std::string> lines;  // stdout without the final "seconds:" line
    std::string secondsLine;
};

CliResult RunCli(const std::string& args) {
    CliResult result;
    const std::string command = std::string(KALVORA_CLI_PATH) + " prime " + args + " 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return result;
    std::string out;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    const int rc = pclose(pipe);
    result.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    size_t start = 0;
    while (start < out.size()) {
        const size_t end = out.find('\n', start);
        const std::string line = out.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (line.rfind("seconds: ", 0) == 0) {
            result.secondsLine = line;
        } else {
            result.lines.push_back(line);
        }
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return result;
}

using Lines = std::vector<std::string>;

// "seconds: " and a decimal with three places.
bool IsSecondsLine(const std::string& line) {
    const std::string prefix = "seconds: ";
    if (line.rfind(prefix, 0) != 0) return false;
    const std::string number = line.substr(prefix.size());
    const size_t dot = number.find('.');
    if (dot == std::string::npos || dot == 0 || number.size() - dot - 1 != 3) return false;
    for (size_t i = 0; i < number.size(); ++i) {
        if (i != dot && (number[i] < '0' || number[i] > '9')) return false;
    }
    return true;
}

TEST(CliPrime, PrintsEveryBoxOfTheRun) {
    struct Row { const char* args; Lines expected; };
    const Row rows[] = {
        {"", {"box: 素数です"}},
        {"target=561 mrTrials=20", {"box: 素数ではありません"}},
        {"target=000007 mrTrials=200", {"box: 素数です"}},
        {"action=2 method=0 target=-1", {"box: ターゲットが不正です"}},
        {"action=2 method=0 target=2424 trialDivBound=262139", {"box: 素因数\\r 2 \\rを発見しました !"}},
        {"action=2 method=6 target=2424", {"box: この機能は完全ではありません。", "box: 2^3 * 3 * 101"}},
        {"action=2 method=1 target=8051 rhoTrials=4 lowerPriority=0", {"box: 素因数\\r 97 \\rを発見しました !"}},
        {"action=2 method=1 target=-8051 rhoTrials=4 rhoX0=2 rhoExponent=2 rhoAddend=1",
         {"box: 素因数\\r 97 \\rを発見しました !"}},
        {"action=2 method=1 target=15 rhoX0=0 rhoAddend=0",
         {"box: 数列 X[i] が 2 ステップ以内に X[0] に戻るため、ρ法では探索できません。\\r"
          "ターゲットが小さすぎるか、X[0] または c が適切でありません。"}},
        {"action=2 method=2 target=1157 pm1SmallExponent=16 pm1Bound=262144 pm1LargeExponent=1",
         {"box: 素因数\\r 13 \\rを発見しました !"}},
        {"action=2 method=3 target=8 ecmSmoothness=100 ecmTrials=3",
         {"box: この機能にはバグが残っています。", "box: 返り値は\\r 1 \\rでした"}},
        {"action=1", {"box: この機能は実装されておりません。"}},
        {"action=2 method=4", {"box: この機能は実装されておりません。"}},
        {"action=2 method=5", {"box: この機能は実装されておりません。"}},
        {"action=2 method=6 target=0",
         {"box: この機能は完全ではありません。", "box: 素因数分解の引数が自然数ではありませんでした(miniFactor)",
          "box: 入力の値が正しくありません"}},
    };
    for (const Row& r : rows) {
        const CliResult result = RunCli(r.args);
        EXPECT_EQ(result.status, 0) << r.args;
        EXPECT_EQ(result.lines, r.expected) << r.args;
        EXPECT_TRUE(IsSecondsLine(result.secondsLine)) << r.args << ": '" << result.secondsLine << "'";
    }
}

TEST(CliPrime, AbortAfterMilliseconds) {
    // Rho on a 100-digit prime with 100000 steps of exponent 256 runs long; the abort ends it.
    const CliResult result = RunCli(
        "action=2 method=1 lowerPriority=0 rhoTrials=100000 rhoExponent=256 abort-after=50 "
        "target=1000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000289");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.lines, Lines{"box: 中断しました"});
}

TEST(CliPrime, RefusesValuesTheDialogsRefuse) {
    const char* const rows[] = {
        "mrTrials=19", "mrTrials=201", "action=3", "method=7", "lowerPriority=2",
        "trialDivBound=65536", "trialDivBound=262140", "rhoX0=4294967296", "rhoX0=-1",
        "rhoExponent=1", "rhoExponent=257", "rhoTrials=1", "rhoTrials=100001",
        "rhoAddend=-2147483648", "rhoAddend=2147483648", "pm1SmallExponent=17", "pm1Bound=262143",
        "pm1Bound=16777217", "pm1LargeExponent=0", "pm1LargeExponent=5", "ecmSmoothness=500",
        "ecmTrials=0", "ecmTrials=10001", "mrTrials=3x", "target=12a", "nosuchfield=1", "target",
    };
    for (const char* args : rows) {
        const CliResult result = RunCli(args);
        EXPECT_EQ(result.status, 2) << args;
        EXPECT_TRUE(result.lines.empty()) << args;
    }
    // The limits themselves are accepted.
    EXPECT_EQ(RunCli("rhoAddend=-2147483647 rhoX0=4294967295 trialDivBound=262139 pm1Bound=16777216").status, 0);
}

#endif

}  // namespace
