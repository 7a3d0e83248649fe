#pragma once
// Private messages posted to the progress window. The numbers are part of the
// protocol between the pipeline worker and the window: do not renumber.
#include <windows.h>

// Worker ended without an error and without being cancelled. wParam, lParam: 0.
constexpr UINT WM_PIPELINE_FINISHED = 4024;
// Posted once by createProgressWindow; the window calls StartPipeline.
constexpr UINT WM_START_PIPELINE = 5024;
// Worker's first act: the window switches the bar to marquee.
constexpr UINT WM_WORKER_STARTED = 6024;
// wParam: total bytes received so far in this run (unsigned 32-bit).
constexpr UINT WM_BYTES_RECEIVED = 7024;
// wParam: malloc'ed NUL-terminated copy of the error text, or 0; the window
// frees it. lParam: the TaskKind that was running.
constexpr UINT WM_PIPELINE_FAILED = 8024;
// Worker is about to run the installation: the window hides itself.
constexpr UINT WM_INSTALLING = 9024;
