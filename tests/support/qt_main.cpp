// The one test main of the GUI tests: the offscreen platform (unless another
// is chosen), a private runtime folder, the program's own application object
// (fonts, translations, the Qt message-box presenter, the keyboard filter's
// hook), and a watchdog. The watchdog fails the running test on a modal
// window that no ModalScript answers and closes it; once the test has run
// for TEST_DEADLINE_MS it fails the test and closes every modal window (and
// aborts a console run), so a fault ends in a failure, not a hang.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "calc/calc_app.h"
#include "tests/support/qt_support.h"

namespace {

constexpr int TEST_DEADLINE_MS = 30000;
constexpr int ABORT_BUTTON_ID = 1094;  // the prime console's "中断"

QElapsedTimer g_testClock;
bool g_deadlineReported = false;

class WatchdogListener : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override {
        g_testClock.start();
        g_deadlineReported = false;
    }
};

void Watch() {
    if (!g_testClock.isValid()) return;
    QWidget* modal = QApplication::activeModalWidget();
    if (g_testClock.elapsed() > TEST_DEADLINE_MS) {
        if (!g_deadlineReported) {
            g_deadlineReported = true;
            ADD_FAILURE() << "the test ran past its deadline of " << TEST_DEADLINE_MS << " ms";
        }
        for (QWidget* top : QApplication::topLevelWidgets()) {
            for (QPushButton* b : top->findChildren<QPushButton*>()) {
                if (ControlId(b) == ABORT_BUTTON_ID && b->isEnabled()) b->click();
            }
        }
        if (modal != nullptr) CloseModal(modal);
        return;
    }
    if (modal == nullptr || !modal->isVisible() || ModalScript::Active()) return;
    auto* box = qobject_cast<QMessageBox*>(modal);
    ADD_FAILURE() << "unexpected modal window \"" << modal->windowTitle().toStdString() << "\""
                  << (box != nullptr ? " saying \"" + BoxText(box) + "\"" : std::string());
    CloseModal(modal);
}

// The offscreen platform reports window-manager requests it cannot honour;
// they say nothing about the program.
QtMessageHandler g_defaultHandler = nullptr;
void QuietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.startsWith(QStringLiteral("This plugin does not support"))) return;
    g_defaultHandler(type, context, message);
}

}  // namespace

int main(int argc, char** argv) {
    // Test discovery runs this program without the test's environment.
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (std::getenv("XDG_RUNTIME_DIR") == nullptr) {
        const std::string dir = QDir::tempPath().toStdString() + "/kalvora-gui-tests-" + std::to_string(getuid());
        mkdir(dir.c_str(), 0700);
        chmod(dir.c_str(), 0700);
        setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
    }
    g_defaultHandler = qInstallMessageHandler(QuietHandler);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new WatchdogListener);
    CalcApp app(argc, argv);
    QTimer watchdog;
    QObject::connect(&watchdog, &QTimer::timeout, &Watch);
    watchdog.start(10);
    return RUN_ALL_TESTS();
}
