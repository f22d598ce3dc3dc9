// GUI tests of the prime console on the offscreen platform.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <cstdlib>
#include <string>
#include <sys/stat.h>

#include "bigint/message_box.h"
#include "tests/gui_console/recording_presenter.h"

namespace {
RecordingPresenter* g_presenter = nullptr;
}

#if defined(__SANITIZE_THREAD__)
// Qt is not built with ThreadSanitizer: its own threads (the image
// conversions of the offscreen platform run on Qt's thread pool) synchronise
// inside uninstrumented code, so the allocations and locks that Qt makes
// itself are left out. Every access of our code stays checked.
extern "C" const char* __tsan_default_suppressions() {
    return "called_from_lib:libQt6Core.so.6\n"
           "called_from_lib:libQt6Gui.so.6\n";
}
#endif

RecordingPresenter& TestPresenter() { return *g_presenter; }

int main(int argc, char** argv) {
    // Test discovery runs this program without the test's environment.
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (!std::getenv("XDG_RUNTIME_DIR")) {
        const std::string dir = QDir::tempPath().toStdString() + "/kalvora-gui-console-" + std::to_string(getuid());
        mkdir(dir.c_str(), 0700);
        chmod(dir.c_str(), 0700);
        setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(APP_TITLE));
    RecordingPresenter presenter;
    g_presenter = &presenter;
    InstallMessageBoxPresenter(&presenter);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    InstallMessageBoxPresenter(nullptr);
    return result;
}
