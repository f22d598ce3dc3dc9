#pragma once
// A progress line whose sink records every text, for the tests of the
// computations that report through one.

#include <mutex>
#include <string>
#include <vector>

#include "prime/progress.h"

struct ProgressRecorder {
    std::mutex mutex;
    std::vector<std::string> texts;
    Progress progress{[this](const std::string& text) {
        std::lock_guard<std::mutex> lock(mutex);
        texts.push_back(text);
    }};
};
