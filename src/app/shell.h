#pragma once
// Process-wide state of the application shell. Main thread only, except
// mainWindow, which other threads may read once the window exists (to own
// their message boxes).
#include <windows.h>

extern HINSTANCE instanceHandle;
// Global atom named after the program file, held while the window exists; 0 when none.
extern ATOM instanceAtom;
// The progress window; null until it exists.
extern HWND mainWindow;
