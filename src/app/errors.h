#pragma once
// The exception that carries a failure to the entry, and the message boxes
// that show it. Thrown on the main thread only (start-up, window code, the
// start of the pipeline); the worker reports through the pipeline's error text.
#include <windows.h>

#include <string>

#include "base/windows_error.h"

// What showing the error puts in the box; false when nothing is shown
// (empty message and code 0).
bool errorBoxText(const windows_error& error, std::wstring& text);
// What showing a bare code puts in the box.
std::wstring codeBoxText(DWORD code);

// Error box: owner mainWindow (none before it exists), caption productName, MB_ICONERROR.
void showErrorBox(const std::wstring& text);
// Warning box, for a run that did its work but not all of it: as the error box
// with MB_ICONWARNING; outcome is what the log's last word says the run came to.
void showWarningBox(const wchar_t* outcome, const std::wstring& text);
// Information box (MB_ICONINFORMATION), for a run that succeeded with something to say.
void showInformationBox(const wchar_t* outcome, const std::wstring& text);
// Under /quiet each of these boxes goes to the log instead of the screen.
// True once an error or warning has been reported (shown or logged).
bool failureReported();
void showError(const windows_error& error);
void showErrorCode(DWORD code);
