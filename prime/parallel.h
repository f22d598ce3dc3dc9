#pragma once
// Running one body on several threads at once, for the searches that split
// their work (curves, sieve intervals, independent checks). The calling
// thread runs body(0) itself; the others are new threads, which inherit the
// caller's scheduling priority (on Linux a thread's nice value passes to the
// threads it creates), so a worker at the lowest priority keeps its helpers
// there too.

#include <functional>
#include <thread>
#include <vector>

/// The number of threads a search uses when none is given: one per core.
inline int DefaultThreadCount() {
    const unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : static_cast<int>(cores);
}

/// Runs body(0) .. body(count - 1) at once and returns when all have ended.
/// A count of 0 or less means DefaultThreadCount().
inline void RunThreads(int count, const std::function<void(int)>& body) {
    if (count <= 0) count = DefaultThreadCount();
    std::vector<std::thread> others;
    others.reserve(static_cast<size_t>(count - 1));
    for (int i = 1; i < count; ++i) others.emplace_back(body, i);
    body(0);
    for (std::thread& t : others) t.join();
}
