// kalvora-cli ecm end to end: the built binary's output lines, progress
// lines and refusals.

#include <gmp.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "tests/support/gmp.h"

namespace {

#ifdef KALVORA_CLI_PATH

struct CliRun {
    int status = -1;
    std::vector<std::string> out, err;
};

CliRun RunCli(const std::string& args) {
    CliRun run;
    // A file of its own: ctest runs the tests of this program side by side.
    std::string errFile = testing::TempDir() + "ecm_cli_stderr_XXXXXX";
    const int fd = mkstemp(errFile.data());
    if (fd < 0) return run;
    close(fd);
    FILE* pipe = popen((KALVORA_CLI_PATH " ecm " + args + " 2>" + errFile).c_str(), "r");
    char line[8192];
    while (pipe != nullptr && std::fgets(line, sizeof line, pipe) != nullptr) run.out.emplace_back(line, strcspn(line, "\n"));
    const int rc = pipe != nullptr ? pclose(pipe) : -1;
    run.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    std::ifstream err(errFile);
    for (std::string text; std::getline(err, text);) run.err.push_back(text);
    unlink(errFile.c_str());
    return run;
}

// The three lines of a run: what was found (checked against N with GMP),
// the curves and the seconds; the progress lines on standard error.
TEST(CliEcm, PrintsFoundCurvesSeconds) {
    const struct {
        const char *n, *options;
        const char* found;   // "proper": any proper factor of N
        const char* curves;  // nullptr: any count up to the curves asked for
    } rows[] = {
        {"455839", "b1=100 curves=3 seed=1", "proper", nullptr},
        {"1000", "", "2", "0"},
        {"3", "curves=4", "none", "0"},
        {"1000000007", "b1=100 curves=5 seed=9 threads=2", "none", "5"},
        {"1000000007", "b1=100 b2=100 curves=2", "none", "2"},
        {"0000000000000000000000015", "b1=10 curves=20 seed=3", "proper", nullptr},
    };
    for (const auto& r : rows) {
        const std::string args = std::string(r.n) + " " + r.options;
        const CliRun run = RunCli(args);
        ASSERT_EQ(run.status, 0) << args;
        ASSERT_EQ(run.out.size(), 3u) << args;
        if (std::string(r.found) == "proper") {
            ASSERT_EQ(run.out[0].rfind("found: ", 0), 0u) << args;
            const gmp::Mpz f(run.out[0].substr(7).c_str()), n(r.n);
            EXPECT_TRUE(mpz_cmp_ui(f, 1) > 0 && mpz_cmp(f, n) < 0 && mpz_divisible_p(n, f)) << args << ": " << run.out[0];
        } else {
            EXPECT_EQ(run.out[0], std::string("found: ") + r.found) << args;
        }
        EXPECT_TRUE(std::regex_match(run.out[1], std::regex(r.curves ? std::string("curves: ") + r.curves : "curves: \\d+"))) << args << ": " << run.out[1];
        EXPECT_TRUE(std::regex_match(run.out[2], std::regex("seconds: \\d+\\.\\d{3}"))) << args << ": " << run.out[2];
        ASSERT_FALSE(run.err.empty()) << args;
        for (const std::string& line : run.err) EXPECT_EQ(line.rfind("progress: ", 0), 0u) << args << ": " << line;
    }
}

// The same seed gives the same lines (but the seconds), on any number of
// threads; the seed is the first progress line.
TEST(CliEcm, SeedRepeatsTheRun) {
    // 1805206296419 x a 40-digit prime: a few curves at B1 = 150.
    const std::string n = "1995257767845541443798566421174263970704016095470777 b1=150 curves=2000 seed=4 threads=";
    const CliRun one = RunCli(n + "1"), two = RunCli(n + "2");
    ASSERT_EQ(one.out.size(), 3u);
    ASSERT_EQ(two.out.size(), 3u);
    EXPECT_EQ(one.out[0], "found: 1805206296419");
    EXPECT_EQ(std::vector(two.out.begin(), two.out.begin() + 2), std::vector(one.out.begin(), one.out.begin() + 2));
    ASSERT_FALSE(one.err.empty());
    EXPECT_EQ(one.err[0], "progress: ECM seed 4");
    // Without a seed, one from the clock, shown the same way.
    const CliRun clock = RunCli("1000000007 b1=10 curves=1");
    ASSERT_FALSE(clock.err.empty());
    EXPECT_TRUE(std::regex_match(clock.err[0], std::regex("progress: ECM seed \\d+"))) << clock.err[0];
}

TEST(CliEcm, RefusesBadArguments) {
    const std::string power = gmp::Text(gmp::Parse("2^1600")), below = gmp::Text(gmp::Parse("2^1600-1"));
    const std::string rows[] = {"", "12x", "-5", "+5", "1", "0", "00", power, power + "0", "10 b1=2", "10 b1=1000000001",
                                "10 b1=abc", "10 b1=", "10 b1=1e5", "10 b1=-100", "10 b2=2", "10 b1=100 b2=99",
                                "10 b2=10000000001", "10 curves=0", "10 curves=1000001", "10 seed=18446744073709551616",
                                "10 seed=-1", "10 threads=0", "10 threads=257", "10 colour=3", "10 b1", "10 =5", "10 b1 =5"};
    for (const std::string& args : rows) {
        const CliRun run = RunCli(args);
        EXPECT_TRUE(run.status == 2 && run.out.empty() && run.err.size() == 1) << args;
        EXPECT_TRUE(!run.err.empty() && run.err[0].rfind("kalvora-cli ecm: ", 0) == 0) << args;
    }
    // The limits themselves are taken.
    for (const std::string& args : {below + " b1=3 b2=3 curves=1", std::string("10 b1=1000000000 b2=10000000000 curves=1"),
                                    std::string("15 seed=18446744073709551615 threads=256 curves=1000000")}) {
        const CliRun run = RunCli(args);
        EXPECT_TRUE(run.status == 0 && run.out.size() == 3) << args.substr(0, 40);
    }
}

#endif

}  // namespace
