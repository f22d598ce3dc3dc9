#pragma once
// The console's progress line: one line under the console's buttons that says
// what a long run is doing ("APR-CL: 12/57"). A worker hands the engine the
// Progress of a RunProgressLine (at most four texts a second); the texts go to
// the installed presenter, which the window shows in its static text and
// kalvora-cli prints as "progress: TEXT". The empty text clears the line.
//
//   SiqsResult r;
//   {
//       RunProgressLine line;            // cleared when it goes out of scope,
//       r = FactorSiqs(n, params, state, line.Get());   // before the result box
//   }

#include <string>

#include "prime/progress.h"

/// Receives the progress line of the running worker.
class ProgressLinePresenter {
public:
    virtual ~ProgressLinePresenter() = default;
    /// Shows `text` ("" clears the line). Called on the worker thread or on
    /// the engine's helper threads.
    virtual void ShowProgressLine(const std::string& text) = 0;
};

/// Installs the process-wide presenter (nullptr removes it); returns the previous one.
ProgressLinePresenter* InstallProgressLinePresenter(ProgressLinePresenter* presenter);

/// Passes `text` to the installed presenter, if any.
void ShowProgressLine(const std::string& text);

/// The progress line of one run: a throttled Progress whose texts reach the
/// installed presenter; the line is cleared when the object goes out of scope.
class RunProgressLine {
public:
    RunProgressLine() : m_progress(ShowProgressLine) {}
    ~RunProgressLine() { m_progress.Clear(); }
    RunProgressLine(const RunProgressLine&) = delete;
    RunProgressLine& operator=(const RunProgressLine&) = delete;

    /// The Progress to hand to the engine.
    Progress* Get() { return &m_progress; }

private:
    Progress m_progress;
};
