// kalvora-cli siqs end to end: the built binary's output, progress lines,
// refusals and exit status.

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "tests/prime/run_support.h"

namespace {

#ifdef KALVORA_CLI_PATH

TEST(CliSiqs, FactorsAndRefusals) {
    const std::string threads = "kalvora-cli siqs: threads: an integer 0 ... 64 expected\n";
    const std::string badTarget = "kalvora-cli siqs: ターゲットが不正です\n";
    const struct {
        std::string args, factors, errors;  // factors: the first output line
        int status;
    } rows[] = {
        {"2424", "2 2 2 3 101", "", 0},
        {"-2424", "2 2 2 3 101", "", 0},
        {"97", "97", "", 0},
        {"0012", "2 2 3", "", 0},
        {"1000000016000000063 threads=1", "1000000007 1000000009", "", 0},
        {"4394309775589049891169796105108556111935387 threads=0", "341648912947 341648912947 37647018086690705443", "", 0},
        {"", "", "kalvora-cli siqs: a number N expected\n", 2},
        {"12x", "", "kalvora-cli siqs: N: 不正な文字が含まれています\n", 2},
        {std::string(500, '9'), "", "kalvora-cli siqs: N: 値が大きすぎます\n", 2},
        {"0", "", badTarget, 2},
        {"-1", "", badTarget, 2},
        {"15 threads=abc", "", threads, 2},
        {"15 threads=65", "", threads, 2},
        {"15 threads=-1", "", threads, 2},
        {"15 size=3", "", "kalvora-cli siqs: unknown argument 'size=3'\n", 2},
        {"10000000001000000000000000000000000000000012345686401234568170000000000000000000000000000005802470399", "",
         "kalvora-cli siqs: MPQSで扱える大きさを超えています (100桁まで)\n", 1},
        // The last row: long enough for a progress line.
        {"2498628522731428565561621651142451065223 threads=2", "44001836472755394503 56784641801905330241", "", 0},
    };
    CliRun r;
    for (const auto& row : rows) {
        r = Cli("siqs " + row.args);
        EXPECT_EQ(r.status, row.status) << row.args;
        // Beyond 1616 bits the integer kernel reports the overflow on its own first: the last line counts.
        const std::string errors = r.Errors();
        const size_t last = row.args.size() == 500 ? errors.rfind('\n', errors.size() - 2) + 1 : 0;
        EXPECT_EQ(errors.substr(last), row.errors) << row.args;
        if (row.status == 0) {
            EXPECT_TRUE(std::regex_match(r.out, std::regex("factors: " + row.factors + "\nseconds: [0-9]+\\.[0-9]{3}\n")))
                << row.args << "\n" << r.out;
        } else {
            EXPECT_EQ(r.out, "") << row.args;
        }
    }
    EXPECT_TRUE(std::regex_search(r.err, std::regex("^progress: MPQS ふるい: 関係式 [0-9]+/[0-9]+\n"))) << r.err;
}

#endif

}  // namespace
