#pragma once
// The progress window: a dialog-template window of our own class that shows a
// marquee bar and the byte count, and turns the worker's posted messages into
// screen updates, error boxes and the end of the message loop. Main thread only.
#include <windows.h>

#include <string>

// Registers the class named by windowClassName (result ignored: a second
// registration of the same class is harmless).
void registerWindowClass(HINSTANCE instance);

// The window from dialog template 129 with the given (registered) class; null
// on failure. Not shown yet.
HWND createProgressDialog(HINSTANCE instance, const std::wstring& className);

// Creates the window (hidden when showProgressWindow is "false"), hands it to
// the pipeline and posts WM_START_PIPELINE. False when the window could not be
// created (GetLastError tells why). May throw windows_error from the pipeline.
bool createProgressWindow(HINSTANCE instance, int showCommand, BOOL processElevated, bool laterThanVersion5);

LRESULT CALLBACK progressWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// An exception raised while handling a message (the start of the pipeline) is
// kept here and the loop is ended; the entry rethrows it after the loop so it
// reaches the entry's handlers without crossing the window procedure.
void rethrowWindowFailure();
