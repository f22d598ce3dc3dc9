// Test main of the tool dialogs: the offscreen platform unless a platform is
// chosen, a private runtime folder, one QApplication for every test.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (std::getenv("XDG_RUNTIME_DIR") == nullptr) {
        char pattern[] = "/tmp/kalvora-tools-test-XXXXXX";
        if (const char* dir = mkdtemp(pattern)) setenv("XDG_RUNTIME_DIR", dir, 1);  // mkdtemp makes it 0700
    }
    testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
