// kalvora-cli siqs end to end: the built binary's output, progress lines and
// exit status.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

namespace {

#ifdef KALVORA_CLI_PATH

struct CliResult {
    int status = -1;
    std::string out;
    std::string err;
};

CliResult RunCli(const std::string& args) {
    CliResult result;
    const std::string errFile = ::testing::TempDir() + "cli_siqs_stderr_" + std::to_string(getpid()) + ".txt";
    const std::string command = std::string(KALVORA_CLI_PATH) + " siqs " + args + " 2>" + errFile;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return result;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) result.out.append(buffer, n);
    const int rc = pclose(pipe);
    result.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    std::ifstream err(errFile);
    std::stringstream text;
    text << err.rdbuf();
    result.err = text.str();
    return result;
}

TEST(CliSiqs, PrintsTheFactorsAndTheTime) {
    struct Row {
        const char* args;
        const char* factors;
    };
    const Row rows[] = {
        {"2424", "factors: 2 2 2 3 101"},
        {"-2424", "factors: 2 2 2 3 101"},
        {"97", "factors: 97"},
        {"0012", "factors: 2 2 3"},
        {"1000000016000000063 threads=1", "factors: 1000000007 1000000009"},
        {"2498628522731428565561621651142451065223 threads=2", "factors: 44001836472755394503 56784641801905330241"},
        {"4394309775589049891169796105108556111935387 threads=0",
         "factors: 341648912947 341648912947 37647018086690705443"},
    };
    const std::regex seconds("seconds: [0-9]+\\.[0-9]{3}\n");
    for (const Row& r : rows) {
        const CliResult c = RunCli(r.args);
        EXPECT_EQ(c.status, 0) << r.args;
        const size_t newline = c.out.find('\n');
        ASSERT_NE(newline, std::string::npos) << r.args;
        EXPECT_EQ(c.out.substr(0, newline), r.factors) << r.args;
        EXPECT_TRUE(std::regex_match(c.out.substr(newline + 1), seconds)) << r.args << "\n" << c.out;
    }
}

TEST(CliSiqs, ProgressGoesToStandardError) {
    const CliResult c = RunCli("2498628522731428565561621651142451065223");
    EXPECT_EQ(c.status, 0);
    EXPECT_EQ(c.out.find("progress:"), std::string::npos);
    EXPECT_TRUE(std::regex_search(c.err, std::regex("^progress: MPQS ふるい: 関係式 [0-9]+/[0-9]+\n")))
        << c.err;
}

TEST(CliSiqs, RefusesBadArgumentsInOneLine) {
    struct Row {
        const char* args;
        int status;
        const char* message;
    };
    const Row rows[] = {
        {"", 2, "kalvora-cli siqs: a number N expected\n"},
        {"12x", 2, "kalvora-cli siqs: N: 不正な文字が含まれています\n"},
        {"0", 2, "kalvora-cli siqs: ターゲットが不正です\n"},
        {"-1", 2, "kalvora-cli siqs: ターゲットが不正です\n"},
        {"15 threads=abc", 2, "kalvora-cli siqs: threads: an integer 0 ... 64 expected\n"},
        {"15 threads=65", 2, "kalvora-cli siqs: threads: an integer 0 ... 64 expected\n"},
        {"15 threads=-1", 2, "kalvora-cli siqs: threads: an integer 0 ... 64 expected\n"},
        {"15 size=3", 2, "kalvora-cli siqs: unknown argument 'size=3'\n"},
        {"10000000001000000000000000000000000000000012345686401234568170000000000000000000000000000005802470399", 1,
         "kalvora-cli siqs: MPQSで扱える大きさを超えています (100桁まで)\n"},
    };
    for (const Row& r : rows) {
        const CliResult c = RunCli(r.args);
        EXPECT_EQ(c.status, r.status) << r.args;
        EXPECT_EQ(c.err, r.message) << r.args;
        EXPECT_EQ(c.out, "") << r.args;
    }
    // A number beyond 1616 bits: the error is the last line (the integer
    // kernel reports the overflow on its own before it).
    const CliResult c = RunCli(std::string(500, '9'));
    EXPECT_EQ(c.status, 2);
    const std::string last = "kalvora-cli siqs: N: 値が大きすぎます\n";
    ASSERT_GE(c.err.size(), last.size());
    EXPECT_EQ(c.err.substr(c.err.size() - last.size()), last);
}

#endif

}  // namespace
