// kalvora-cli isprime, nextprime and prevprime end to end: the built
// binary's standard output, standard error and exit status.

#include <gtest/gtest.h>

#include <string>

#include "tests/prime/run_support.h"

namespace {

#ifdef KALVORA_CLI_PATH

TEST(CliIsPrime, AnswersAndRefusals) {
    const std::string tooLarge = "1" + std::string(487, '0');
    const std::string m127 = "170141183460469231731687303715884105727";
    // 2^607 - 1: its proof runs long enough for a progress line.
    const std::string m607 = "531137992816767098689588206552468627329593117727031923199444138200403559860852242739162502265229285668889329486246501015346579337652707239409519978766587351943831270835393219031728127";
    const std::string bad = ": 不正な文字が含まれています\n";
    const struct {
        std::string args, input, out, errors;
        int status;
    } rows[] = {
        {"isprime 2 7 9 0 1 -7 +0013", "", "2: prime\n7: prime\n9: composite\n0: composite\n1: composite\n"
                                           "-7: composite\n13: prime\n", "", 0},
        {"isprime 561 3317044064679887385961981 " + m127, "",
         "561: composite\n3317044064679887385961981: composite\n" + m127 + ": prime\n", "", 0},
        {"isprime 12a 97 '' 1e3", "", "97: prime\n",
         "kalvora-cli isprime: '12a'" + bad + "kalvora-cli isprime: ''" + bad + "kalvora-cli isprime: '1e3'" + bad, 2},
        {"isprime 5 " + tooLarge, "", "5: prime\n", "kalvora-cli isprime: " + tooLarge + ": 値が大きすぎます\n", 2},
        {"isprime", "13\n\n  15 \r\nx\n", "13: prime\n15: composite\n", "kalvora-cli isprime: 'x'" + bad, 2},
        {"nextprime 100", "", "101\n", "", 0},
        {"nextprime -5", "", "2\n", "", 0},
        {"nextprime 18446744073709551615", "", "18446744073709551629\n", "", 0},
        {"prevprime 100", "", "97\n", "", 0},
        {"prevprime 3", "", "2\n", "", 0},
        {"prevprime 2", "", "", "kalvora-cli prevprime: 前の素数はありません\n", 1},
        {"prevprime -100", "", "", "kalvora-cli prevprime: 前の素数はありません\n", 1},
        {"nextprime 1" + std::string(482, '0'), "", "", "kalvora-cli nextprime: 値が大きすぎます\n", 1},
        {"nextprime x", "", "", "kalvora-cli nextprime: 'x'" + bad, 2},
        {"prevprime " + tooLarge, "", "", "kalvora-cli prevprime: " + tooLarge + ": 値が大きすぎます\n", 2},
        {"nextprime", "", "", "usage: kalvora-cli nextprime N\n", 2},
        {"prevprime 1 2", "", "", "usage: kalvora-cli prevprime N\n", 2},
        {"isprime " + m607, "", m607 + ": prime\n", "", 0},  // the last row
    };
    CliRun r;
    for (const auto& row : rows) {
        r = Cli(row.args, row.input);
        EXPECT_EQ(r.status, row.status) << row.args;
        EXPECT_EQ(r.out, row.out) << row.args;
        EXPECT_EQ(r.Errors(), row.errors) << row.args;
    }
    EXPECT_NE(r.err.find("progress: APR-CL: "), std::string::npos) << r.err;
}

#endif

}  // namespace
