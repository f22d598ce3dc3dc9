#include "tests/gui_console/recording_presenter.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

void ShowBox(const std::string& text, const std::string& caption) {
    QString shown = QString::fromStdString(text);
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(caption), shown, QMessageBox::Ok);
    box.exec();
}

}  // namespace

RecordingPresenter::RecordingPresenter() {
    m_timer.setInterval(5);
    connect(&m_timer, &QTimer::timeout, this, &RecordingPresenter::ServeRequests);
    m_timer.start();
}

void RecordingPresenter::ShowMessageBox(const std::string& text, const std::string& caption) {
    RecordedBox box;
    box.text = text;
    box.caption = caption;
    box.onGuiThread = QThread::currentThread() == qApp->thread();
    box.policy = sched_getscheduler(0);
    box.nice = getpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)));
    std::unique_lock<std::mutex> lock(m_mutex);
    m_boxes.push_back(box);
    if (box.onGuiThread) {
        lock.unlock();
        ShowBox(text, caption);
        return;
    }
    auto request = m_requests.insert(m_requests.end(), Request{text, caption});
    m_done.wait(lock, [&] { return request->done; });
    m_requests.erase(request);
}

void RecordingPresenter::ServeRequests() {
    std::string text;
    std::string caption;
    Request* request = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (Request& r : m_requests) {
            if (!r.taken) {
                r.taken = true;
                request = &r;
                text = r.text;
                caption = r.caption;
                break;
            }
        }
    }
    if (!request) return;
    ShowBox(text, caption);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        request->done = true;
    }
    m_done.notify_all();
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
    // Relative to the calling (GUI) thread: the whole test may already run niced.
    const int ownNice = getpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)));
    return box.policy == SCHED_IDLE || box.nice > ownNice;
}
