#pragma once
// A console reporter that also keeps each benchmark's CPU time per iteration,
// so a benchmark program can print the ratio ours/GMP after the runs.

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

class CpuTimeReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs) {
            if (r.error_occurred || r.run_type != Run::RT_Iteration || r.iterations <= 0) continue;
            seconds_[r.benchmark_name()] = r.cpu_accumulated_time / static_cast<double>(r.iterations);
            wall_[r.benchmark_name()] = r.real_accumulated_time / static_cast<double>(r.iterations);
        }
    }
    /// CPU seconds per iteration by benchmark name.
    const std::map<std::string, double>& Seconds() const { return seconds_; }
    /// Wall seconds per iteration by benchmark name (for runs on several threads).
    const std::map<std::string, double>& Wall() const { return wall_; }

private:
    std::map<std::string, double> seconds_;
    std::map<std::string, double> wall_;
};
