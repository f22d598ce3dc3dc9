#pragma once
// The run state shared by the prime console and its worker. The console
// writes RUN_ACTIVE before a run and RUN_ABORT on abort, the worker writes
// RUN_IDLE as its very last action; the engine's long routines only read it.

/// Values of the run state word.
enum RunStateValue { RUN_IDLE = 0, RUN_ACTIVE = 1, RUN_ABORT = 2 };
