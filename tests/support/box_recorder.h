#pragma once
// BoxRecorder: the tests' message-box presenter for the toolkit-free layers.
// While it lives it is the installed presenter; every box (from any thread)
// is recorded as "[caption] text" and returns at once, after `whileShown`
// has run (a hook for what a test does while a box is up).
//
//   BoxRecorder boxes;
//   ... code that shows boxes ...
//   EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"素数です"}));

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "bigint/message_box.h"

class BoxRecorder : public MessageBoxPresenter {
public:
    BoxRecorder() : m_previous(InstalledMessageBoxPresenter()) { InstallMessageBoxPresenter(this); }
    ~BoxRecorder() override { InstallMessageBoxPresenter(m_previous); }
    BoxRecorder(const BoxRecorder&) = delete;
    BoxRecorder& operator=(const BoxRecorder&) = delete;

    void ShowMessageBox(const std::string& text, const std::string& caption) override {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_texts.push_back(text);
            m_lines.push_back("[" + caption + "] " + text);
        }
        if (whileShown) whileShown(text);
    }
    /// The texts of the boxes so far, in order.
    std::vector<std::string> Texts() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_texts;
    }
    /// "[caption] text" of the boxes so far, in order.
    std::vector<std::string> Lines() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_lines;
    }
    void Clear() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_texts.clear();
        m_lines.clear();
    }

    /// Runs on the showing thread while the box is "up".
    std::function<void(const std::string& text)> whileShown;

private:
    MessageBoxPresenter* m_previous;
    mutable std::mutex m_mutex;
    std::vector<std::string> m_texts;
    std::vector<std::string> m_lines;
};
