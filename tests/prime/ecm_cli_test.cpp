// kalvora-cli ecm end to end: the built binary's output lines, progress
// lines and refusals.

#include <gmp.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bench/gmp_prime.h"

namespace {

#ifdef KALVORA_CLI_PATH

using gmp::Mpz;

struct CliRun {
    int status = -1;
    std::vector<std::string> out;
    std::vector<std::string> err;
};

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

CliRun RunCli(const std::string& args) {
    CliRun run;
    // A file of its own: ctest runs the tests of this program side by side.
    std::string errFile = testing::TempDir() + "ecm_cli_stderr_XXXXXX";
    const int fd = mkstemp(errFile.data());
    if (fd < 0) return run;
    close(fd);
    const std::string command = std::string(KALVORA_CLI_PATH) + " ecm " + args + " 2>" + errFile;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return run;
    std::string out;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    const int rc = pclose(pipe);
    run.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    run.out = Lines(out);
    std::ifstream err(errFile);
    std::stringstream text;
    text << err.rdbuf();
    run.err = Lines(text.str());
    unlink(errFile.c_str());
    return run;
}

// "seconds: " and a decimal with three places.
bool IsSecondsLine(const std::string& line) {
    const std::string prefix = "seconds: ";
    if (line.rfind(prefix, 0) != 0) return false;
    const std::string number = line.substr(prefix.size());
    const size_t dot = number.find('.');
    if (dot == std::string::npos || dot == 0 || number.size() - dot - 1 != 3) return false;
    for (size_t i = 0; i < number.size(); ++i)
        if (i != dot && (number[i] < '0' || number[i] > '9')) return false;
    return true;
}

// The three lines of a run: what was found (checked against N with GMP),
// the curves and the seconds; the progress lines on standard error.
TEST(CliEcm, PrintsFoundCurvesSeconds) {
    struct Row {
        const char* n;
        const char* options;
        const char* found;   // "proper": any proper factor of N
        const char* curves;  // nullptr: any count up to the curves asked for
    };
    const Row rows[] = {
        {"455839", "b1=100 curves=3 seed=1", "proper", nullptr},
        {"1000", "", "2", "0"},
        {"3", "curves=4", "none", "0"},
        {"1000000007", "b1=100 curves=5 seed=9 threads=2", "none", "5"},
        {"1000000007", "b1=100 b2=100 curves=2", "none", "2"},
        {"1995257767845541443798566421174263970704016095470777",
         "b1=150 curves=2000 seed=4 threads=2", "proper", nullptr},
        {"0000000000000000000000015", "b1=10 curves=20 seed=3", "proper", nullptr},
    };
    for (const Row& r : rows) {
        const std::string args = std::string(r.n) + " " + r.options;
        const CliRun run = RunCli(args);
        ASSERT_EQ(run.status, 0) << args;
        ASSERT_EQ(run.out.size(), 3u) << args;
        const std::string found = r.found;
        if (found == "proper") {
            ASSERT_EQ(run.out[0].rfind("found: ", 0), 0u) << args;
            Mpz f(run.out[0].substr(7).c_str()), n(r.n);
            EXPECT_GT(mpz_cmp_ui(f, 1), 0) << args;
            EXPECT_LT(mpz_cmp(f, n), 0) << args;
            EXPECT_TRUE(mpz_divisible_p(n, f)) << args;
        } else {
            EXPECT_EQ(run.out[0], "found: " + found) << args;
        }
        if (r.curves != nullptr) {
            EXPECT_EQ(run.out[1], std::string("curves: ") + r.curves) << args;
        } else {
            EXPECT_EQ(run.out[1].rfind("curves: ", 0), 0u) << args;
        }
        EXPECT_TRUE(IsSecondsLine(run.out[2])) << args << ": " << run.out[2];
        ASSERT_FALSE(run.err.empty()) << args;
        for (const std::string& line : run.err)
            EXPECT_EQ(line.rfind("progress: ", 0), 0u) << args << ": " << line;
    }
}

// The same seed gives the same lines (but the seconds), on any number of
// threads; the seed is the first progress line.
TEST(CliEcm, SeedRepeatsTheRun) {
    const std::string n =
        "680318239708032218749674727180729741668450234981029340012488502160979039996128104798440935"
        "5906692497";
    const CliRun one = RunCli(n + " b1=2000 curves=300 seed=77 threads=1");
    const CliRun two = RunCli(n + " b1=2000 curves=300 seed=77 threads=2");
    ASSERT_EQ(one.out.size(), 3u);
    ASSERT_EQ(two.out.size(), 3u);
    EXPECT_EQ(one.out[0], "found: 900283840285729");
    EXPECT_EQ(two.out[0], one.out[0]);
    EXPECT_EQ(two.out[1], one.out[1]);
    ASSERT_FALSE(one.err.empty());
    EXPECT_EQ(one.err[0], "progress: ECM seed 77");
    // Without a seed, one from the clock, shown the same way.
    const CliRun clock = RunCli("1000000007 b1=10 curves=1");
    ASSERT_FALSE(clock.err.empty());
    EXPECT_EQ(clock.err[0].rfind("progress: ECM seed ", 0), 0u) << clock.err[0];
}

TEST(CliEcm, RefusesBadArguments) {
    Mpz limit;
    mpz_setbit(limit, 1600);
    const std::string power = gmp::Text(limit);
    mpz_sub_ui(limit, limit, 1);
    const std::string below = gmp::Text(limit);
    const std::string rows[] = {
        "",
        "12x",
        "-5",
        "+5",
        "1",
        "0",
        "00",
        power,
        power + "0",
        "10 b1=2",
        "10 b1=1000000001",
        "10 b1=abc",
        "10 b1=",
        "10 b1=1e5",
        "10 b1=-100",
        "10 b2=2",
        "10 b1=100 b2=99",
        "10 b2=10000000001",
        "10 curves=0",
        "10 curves=1000001",
        "10 seed=18446744073709551616",
        "10 seed=-1",
        "10 threads=0",
        "10 threads=257",
        "10 colour=3",
        "10 b1",
        "10 =5",
        "10 b1 =5",
    };
    for (const std::string& args : rows) {
        const CliRun run = RunCli(args);
        EXPECT_EQ(run.status, 2) << args;
        EXPECT_TRUE(run.out.empty()) << args;
        ASSERT_EQ(run.err.size(), 1u) << args;
        EXPECT_EQ(run.err[0].rfind("kalvora-cli ecm: ", 0), 0u) << args << ": " << run.err[0];
    }
    // The limits themselves are taken.
    for (const std::string& args :
         {below + " b1=3 b2=3 curves=1", std::string("10 b1=1000000000 b2=10000000000 curves=1"),
          std::string("15 seed=18446744073709551615 threads=256 curves=1000000")}) {
        const CliRun run = RunCli(args);
        EXPECT_EQ(run.status, 0) << args.substr(0, 40);
        EXPECT_EQ(run.out.size(), 3u) << args.substr(0, 40);
    }
}

#endif

}  // namespace
