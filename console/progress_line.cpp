// The installed progress-line presenter.

#include "console/progress_line.h"

#include <atomic>

namespace {
std::atomic<ProgressLinePresenter*> g_progressPresenter{nullptr};
}

ProgressLinePresenter* InstallProgressLinePresenter(ProgressLinePresenter* presenter) {
    return g_progressPresenter.exchange(presenter, std::memory_order_acq_rel);
}

void ShowProgressLine(const std::string& text) {
    if (ProgressLinePresenter* p = g_progressPresenter.load(std::memory_order_acquire)) p->ShowProgressLine(text);
}
