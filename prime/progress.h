#pragma once
// The progress line: what a long computation is doing ("APR-CL: 12/57"),
// for the prime console's static text and the command line's
// "progress: TEXT" lines. Computations call Report as often as they like;
// at most one text every 250 ms reaches the sink, so the window is never
// flooded. Safe to call from several threads at once.

#include <atomic>
#include <chrono>
#include <functional>
#include <string>

class Progress {
public:
    using Sink = std::function<void(const std::string&)>;

    /// The shortest time between two texts passed on.
    static constexpr std::chrono::milliseconds INTERVAL{250};

    explicit Progress(Sink sink) : m_sink(std::move(sink)) {}

    /// Whether a text reported now would be passed on: build the text only then.
    bool Due() const { return Now() - m_last.load(std::memory_order_relaxed) >= INTERVAL.count(); }

    /// Passes `text` on when due; otherwise drops it.
    void Report(const std::string& text) {
        const long long now = Now();
        long long last = m_last.load(std::memory_order_relaxed);
        if (now - last < INTERVAL.count()) return;
        // One winner per interval when several threads report at once.
        if (!m_last.compare_exchange_strong(last, now, std::memory_order_relaxed)) return;
        if (m_sink) m_sink(text);
    }

    /// Passes the empty text at once: the computation has ended.
    void Clear() {
        if (m_sink) m_sink(std::string());
    }

private:
    static long long Now() {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }

    Sink m_sink;
    std::atomic<long long> m_last{-INTERVAL.count() - 1};
};

/// Reports through `progress` when there is one and a text is due; `text` is
/// only called then.
template <class TextFn>
inline void ReportProgress(Progress* progress, TextFn&& text) {
    if (progress != nullptr && progress->Due()) progress->Report(text());
}
