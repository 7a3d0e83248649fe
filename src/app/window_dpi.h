#pragma once
// Per-monitor DPI for the progress window. The manifest makes the program
// per-monitor aware, so the system no longer stretches the window as a bitmap
// when it moves to a monitor of another DPI: it sends WM_DPICHANGED instead. A
// dialog window of our own class gets none of the dialog manager's rescaling,
// so it rescales itself: its frame, each control and the font. Main thread only.
#include <windows.h>

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

// Records the window's DPI (the dialog manager built it at that DPI) and turns
// off the dialog manager's own rescaling where the system has it, so that the
// window is never rescaled twice.
void prepareDpiScaling(HWND window);

// WM_DPICHANGED: newDpi from its wParam, suggested from its lParam.
void rescaleForDpi(HWND window, UINT newDpi, const RECT& suggested);
