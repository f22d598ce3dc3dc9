#pragma once
// A message box presenter for tests: records every box and returns at once.
// Installed for the lifetime of the object.

#include <mutex>
#include <string>
#include <vector>

#include "bigint/message_box.h"

class RecordingPresenter : public MessageBoxPresenter {
public:
    RecordingPresenter() { InstallMessageBoxPresenter(this); }
    ~RecordingPresenter() override { InstallMessageBoxPresenter(nullptr); }

    void ShowMessageBox(const std::string& text, const std::string& caption) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_texts.push_back(text);
        m_captions.push_back(caption);
    }
    std::vector<std::string> Texts() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_texts;
    }
    std::vector<std::string> Captions() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_captions;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_texts;
    std::vector<std::string> m_captions;
};
