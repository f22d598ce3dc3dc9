#pragma once
// The tests' message-box presenter: every box is shown as a real modal
// QMessageBox on the GUI thread (a worker waits until it is dismissed), and
// each call is recorded with the scheduling of the thread that asked for it.
//
// A worker's request crosses to the GUI thread through a queue under a
// std::mutex that a GUI-thread timer drains, so ThreadSanitizer sees every
// hand-over (Qt's own cross-thread calls synchronise inside uninstrumented
// code).

#include <QObject>
#include <QTimer>
#include <condition_variable>
#include <list>
#include <mutex>
#include <string>
#include <vector>

#include "bigint/message_box.h"

/// One box as the presenter saw it.
struct RecordedBox {
    std::string text;
    std::string caption;
    bool onGuiThread = false;
    int policy = 0;  ///< scheduling policy of the calling thread
    int nice = 0;    ///< nice value of the calling thread
};

class RecordingPresenter : public QObject, public MessageBoxPresenter {
    Q_OBJECT
public:
    /// Must be made on the GUI thread.
    RecordingPresenter();
    void ShowMessageBox(const std::string& text, const std::string& caption) override;

    std::vector<RecordedBox> Boxes() const;
    void Clear();

    /// True when the calling thread was lowered: SCHED_IDLE or a positive nice.
    static bool IsLowered(const RecordedBox& box);

private:
    struct Request {
        std::string text;
        std::string caption;
        bool taken = false;
        bool done = false;
    };
    void ServeRequests();

    mutable std::mutex m_mutex;
    std::condition_variable m_done;
    std::list<Request> m_requests;
    std::vector<RecordedBox> m_boxes;
    QTimer m_timer;
};

/// The presenter installed by the test program's main().
RecordingPresenter& TestPresenter();
