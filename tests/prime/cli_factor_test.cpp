// kalvora-cli factor and the help texts end to end: exact output, exit
// status, standard input and the time limit.

#include <gtest/gtest.h>

#include <string>

#include "tests/prime/run_support.h"

namespace {

#ifdef KALVORA_CLI_PATH

// 21 * p50 * q60: its 110-digit part outlasts a short time limit.
const std::string HARD = "10930460394951867196976625448858132553958328061291945908732535125851030465868736015"
                         "36682818028847004166743611701";
const std::string HARD_PART = "52049811404532700937983930708848250256944419339485456708250167265957287932708266"
                              "739842038953754619246035410081";

TEST(CliFactor, LinesAndExitStatus) {
    const std::string tooLarge = "1" + std::string(487, '0');
    const struct {
        std::string args, input, out, errors;
        int status;
    } rows[] = {
        {"factor 360 -12 0 1 -1 +0097", "", "360: 2 2 2 3 3 5\n-12: -1 2 2 3\n0:\n1:\n-1: -1\n97: 97\n", "", 0},
        {"factor 1000000016000000063 170141183460469231731687303715884105727", "",
         "1000000016000000063: 1000000007 1000000009\n"
         "170141183460469231731687303715884105727: 170141183460469231731687303715884105727\n", "", 0},
        {"factor", "360\n\n  -12 \r\n7\n", "360: 2 2 2 3 3 5\n-12: -1 2 2 3\n7: 7\n", "", 0},
        {"factor 12 1e3 7 " + tooLarge, "", "12: 2 2 3\n7: 7\n",
         "kalvora-cli factor: '1e3': 不正な文字が含まれています\n"
         "kalvora-cli factor: " + tooLarge + ": 値が大きすぎます\n", 2},
        {"factor --time-limit=0.5 --threads=2 " + HARD + " 6", "", HARD + ": 3 7 [" + HARD_PART + "]\n6: 2 3\n", "", 1},
        {"factor --threads=0 6", "", "", "kalvora-cli factor: '--threads=0': an integer 1 ... 256 expected\n", 2},
        {"factor --time-limit=x 6", "", "", "kalvora-cli factor: '--time-limit=x': a time in seconds above 0 expected\n", 2},
        {"factor --fast 6", "", "", "kalvora-cli factor: unknown option '--fast'\n", 2},
    };
    for (const auto& row : rows) {
        const CliRun r = Cli(row.args, row.input);
        EXPECT_EQ(r.out, row.out) << row.args;
        EXPECT_EQ(r.err, row.errors) << row.args;
        EXPECT_EQ(r.status, row.status) << row.args;
    }
    const CliRun verbose = Cli("factor -v 1000000016000000063");
    EXPECT_EQ(verbose.out, "1000000016000000063: 1000000007 1000000009\n");
    EXPECT_EQ(verbose.err.rfind("progress: 試し割り\n", 0), 0u) << verbose.err;
}

TEST(CliFactor, HelpForEverySubcommand) {
    const CliRun all = Cli("--help");
    EXPECT_EQ(all.status, 0);
    for (const char* name : {"keys", "prime", "ecm", "isprime", "nextprime", "prevprime", "siqs", "factor"}) {
        const CliRun r = Cli(std::string(name) + " --help");
        EXPECT_EQ(r.status, 0) << name;
        EXPECT_EQ(r.out.rfind(std::string("usage: kalvora-cli ") + name + " ", 0), 0u) << r.out;
        EXPECT_NE(all.out.find(std::string("kalvora-cli ") + name + " "), std::string::npos) << name;
    }
    const CliRun none = Cli("");
    EXPECT_EQ(none.status, 2);
    EXPECT_EQ(none.err.rfind("usage: kalvora-cli keys", 0), 0u) << none.err;
}

#endif

}  // namespace
