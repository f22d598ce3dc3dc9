#include "message_box.h"

#include <atomic>

namespace {
std::atomic<MessageBoxPresenter*> g_presenter{nullptr};
}

void InstallMessageBoxPresenter(MessageBoxPresenter* presenter) {
    g_presenter.store(presenter, std::memory_order_release);
}

MessageBoxPresenter* InstalledMessageBoxPresenter() {
    return g_presenter.load(std::memory_order_acquire);
}

void ShowMessageBox(const std::string& text, const std::string& caption) {
    if (MessageBoxPresenter* p = InstalledMessageBoxPresenter()) p->ShowMessageBox(text, caption);
}
