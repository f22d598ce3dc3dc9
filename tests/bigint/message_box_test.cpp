// The division-by-zero message box: its text and caption, that it follows
// the diagnostic line, and that nothing blocks or breaks without a presenter.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>

#include "bigint/message_box.h"
#include "tests/bigint/test_support.h"

namespace bigint_test {
namespace {

// Records each box together with how many bytes standard error held when it appeared.
class OrderRecorder : public MessageBoxPresenter {
public:
    void ShowMessageBox(const std::string& text, const std::string& caption) override {
        struct stat st {};
        fstat(2, &st);
        boxes.push_back({text, caption});
        stderrBytesAtBox.push_back(static_cast<long>(st.st_size));
    }
    std::vector<Box> boxes;
    std::vector<long> stderrBytesAtBox;
};

TEST(BigIntMessageBox, DivisionByZeroShowsItsBoxAfterTheLine) {
    const std::string line = OopsLine("/");
    struct Row {
        const char* what;
        std::function<BigInt()> op;
    };
    const Row rows[] = {
        {"division", [] { return BigInt(5) / 0; }},
        {"remainder", [] { return BigInt(-5) % BigInt(0); }},
        {"compound division", [] { BigInt x(7); return x /= 0; }},
        {"compound remainder", [] { BigInt x(7); return x %= 0; }},
        {"cached reduction", [] { return BigInt(9).ModCached(BigInt(0)); }},
        {"lcm of zeros", [] { return BigInt(0).Lcm(0); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        OrderRecorder recorder;
        BigInt result;
        Output out = Capture([&] {
            InstallMessageBoxPresenter(&recorder);
            result = row.op();
        });
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(out.err, line);
        ASSERT_EQ(recorder.boxes.size(), 1u);
        EXPECT_EQ(recorder.boxes[0].text, "0で除算しました.");
        EXPECT_EQ(recorder.boxes[0].caption, "Kalvora");
        EXPECT_EQ(recorder.stderrBytesAtBox[0], static_cast<long>(line.size())) << "the line comes first";
    }
}

TEST(BigIntMessageBox, NoBoxForOtherFailures) {
    const std::function<BigInt()> ops[] = {
        [] { return BigInt(4).PowerMod(3, 0); },
        [] { return BigInt(4).PowerModCached(BigInt(3), BigInt(0)); },
        [] { BigInt bad(5); bad.status = 1; return bad / 0; },
        [] { return BigInt(-4).Sqrt(); },
        [] { return BigInt(-1).Factorial(); },
    };
    for (const auto& op : ops) {
        Output out = Capture([&] { op(); });
        EXPECT_TRUE(out.boxes.empty()) << out.Describe();
    }
}

TEST(BigIntMessageBox, WithoutAPresenterNothingBlocks) {
    MessageBoxPresenter* previous = InstalledMessageBoxPresenter();
    InstallMessageBoxPresenter(nullptr);
    BigInt q;
    Output out = Capture([&] {
        InstallMessageBoxPresenter(nullptr);
        q = BigInt(5) / 0;
    });
    InstallMessageBoxPresenter(previous);
    EXPECT_EQ(q.status, 1);
    EXPECT_EQ(out.err, OopsLine("/"));
    EXPECT_TRUE(out.boxes.empty());
}

}  // namespace
}  // namespace bigint_test
