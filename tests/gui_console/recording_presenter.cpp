#include "tests/gui_console/recording_presenter.h"

#include <QApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QThread>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

QString OnScreen(const std::string& text) {
    QString s = QString::fromStdString(text);
    s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return s;
}

void ShowBox(const std::string& text, const std::string& caption) {
    QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(caption), OnScreen(text), QMessageBox::Ok);
    box.exec();
}

}  // namespace

RecordingPresenter::RecordingPresenter() = default;

void RecordingPresenter::ShowMessageBox(const std::string& text, const std::string& caption) {
    RecordedBox box;
    box.text = text;
    box.caption = caption;
    box.onGuiThread = QThread::currentThread() == qApp->thread();
    box.policy = sched_getscheduler(0);
    box.nice = getpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)));
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_boxes.push_back(box);
    }
    if (box.onGuiThread) {
        ShowBox(text, caption);
    } else {
        QMetaObject::invokeMethod(
            qApp, [&] { ShowBox(text, caption); }, Qt::BlockingQueuedConnection);
    }
}

std::vector<RecordedBox> RecordingPresenter::Boxes() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_boxes;
}

void RecordingPresenter::Clear() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_boxes.clear();
}

bool RecordingPresenter::IsLowered(const RecordedBox& box) {
    return box.policy == SCHED_IDLE || box.nice > 0;
}
