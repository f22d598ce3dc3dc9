// Test main of the GUI tests: the offscreen platform unless a display is
// asked for, a private runtime folder, and the program's application object.
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <cstdlib>

#include "calc/calc_app.h"

namespace {
// The offscreen platform reports window-manager requests it cannot honour;
// they say nothing about the program.
QtMessageHandler g_defaultHandler = nullptr;
void QuietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.startsWith(QStringLiteral("This plugin does not support"))) return;
    g_defaultHandler(type, context, message);
}
}  // namespace

int main(int argc, char** argv) {
    g_defaultHandler = qInstallMessageHandler(QuietHandler);
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QTemporaryDir runtime(QDir::tempPath() + QStringLiteral("/kalvora-gui-test-XXXXXX"));
    if (std::getenv("XDG_RUNTIME_DIR") == nullptr && runtime.isValid()) {
        QFile::setPermissions(runtime.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                  QFileDevice::ExeOwner);
        setenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit().constData(), 1);
    }
    ::testing::InitGoogleTest(&argc, argv);
    CalcApp app(argc, argv);
    return RUN_ALL_TESTS();
}
