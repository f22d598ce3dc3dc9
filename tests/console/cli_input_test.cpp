// kalvora-cli keys on input it cannot use: a directory, a file that cannot
// be read, a script beyond 64 MiB, an endless stream. Each is one line on
// standard error and the exit status 2, never a crash or a memory run.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

#ifdef KALVORA_CLI_PATH

// A path of the temporary folder of this process: test programs of several
// builds may run at once.
std::string TempPath(const char* name) { return ::testing::TempDir() + "kalvora_" + std::to_string(getpid()) + "_" + name; }

// A file of `size` spaces: a valid script without a token.
std::string SpacesFile(const char* name, size_t size) {
    const std::string path = TempPath(name);
    std::ofstream file(path, std::ios::binary);
    const std::string block(1 << 20, ' ');
    for (size_t left = size; left > 0; left -= std::min(left, block.size()))
        file.write(block.data(), static_cast<std::streamsize>(std::min(left, block.size())));
    return path;
}

TEST(CliInput, UnusableInputIsOneLineAndStatusTwo) {
    const size_t limit = size_t{64} << 20;
    const std::string atLimit = SpacesFile("at_limit.keys", limit), beyond = SpacesFile("beyond.keys", limit + 1);
    const std::string token = TempPath("token.keys"), errors = TempPath("errors.txt");
    std::ofstream(token) << std::string(100000, 'z') << "\n";
    const std::string refused = "kalvora-cli keys: cannot read ";
    const struct { std::string what, args, error; } rows[] = {  // no error: status 0
        {"a directory", ::testing::TempDir(), refused + ::testing::TempDir() + ": Is a directory"},
        {"a file that cannot be read", "/proc/self/mem", refused + "/proc/self/mem: Input/output error"},
        {"no such file", "/nonexistent.keys", refused + "/nonexistent.keys: No such file or directory"},
        {"exactly 64 MiB", atLimit, ""},
        {"one byte beyond 64 MiB", beyond, refused + beyond + ": larger than 64 MiB, refused"},
        {"an endless file", "/dev/zero", refused + "/dev/zero: larger than 64 MiB, refused"},
        {"an endless standard input", "< /dev/zero", refused + "standard input: larger than 64 MiB, refused"},
        {"a token of 100000 characters", token, "kalvora-cli keys: unknown token '" + std::string(80, 'z') + "...'"},
    };
    for (const auto& r : rows) {
        // Bounded in time: a reader that never stops fails instead of hanging.
        FILE* pipe = popen(("timeout 60 " KALVORA_CLI_PATH " keys " + r.args + " 2>" + errors).c_str(), "r");
        ASSERT_NE(pipe, nullptr);
        std::string out;
        char buffer[4096];
        for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
        const int rc = pclose(pipe);
        std::vector<std::string> errorLines;
        std::ifstream in(errors);
        for (std::string line; std::getline(in, line);) errorLines.push_back(line);
        EXPECT_EQ(WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, r.error.empty() ? 0 : 2) << r.what;
        EXPECT_EQ(out, r.error.empty() ? "value=0 remainder=0 memory=0 op=\" \" radix=10\n" : "") << r.what;
        EXPECT_EQ(errorLines, r.error.empty() ? std::vector<std::string>{} : std::vector<std::string>{r.error}) << r.what;
    }
    for (const std::string& path : {atLimit, beyond, token, errors}) std::remove(path.c_str());
}

#endif

}  // namespace
