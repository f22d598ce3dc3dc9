#pragma once
// The tests' message-box presenter: every box is shown as a real modal
// QMessageBox on the GUI thread (a worker waits until it is dismissed), and
// each call is recorded with the scheduling of the thread that asked for it.

#include <QObject>
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
    RecordingPresenter();
    void ShowMessageBox(const std::string& text, const std::string& caption) override;

    std::vector<RecordedBox> Boxes() const;
    void Clear();

    /// True when the calling thread was lowered: SCHED_IDLE or a positive nice.
    static bool IsLowered(const RecordedBox& box);

private:
    mutable std::mutex m_mutex;
    std::vector<RecordedBox> m_boxes;
};

/// The presenter installed by the test program's main().
RecordingPresenter& TestPresenter();
