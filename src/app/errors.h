#pragma once
// The exception that carries a failure to the entry, and the message boxes
// that show it. Thrown on the main thread only (start-up, window code, the
// start of the pipeline); the worker reports through the pipeline's error text.
#include <windows.h>

#include <stdexcept>
#include <string>

// The wide message in the system ANSI code page; empty when it does not convert.
std::string narrowMessage(const std::wstring& message);

// A standard exception that also carries the wide text shown to the user.
template <typename Base>
class wexception : public Base {
public:
    explicit wexception(const std::wstring& message) : Base(narrowMessage(message)), message_(message) {}

    const std::wstring& message() const noexcept { return message_; }

private:
    std::wstring message_;
};

class windows_error : public wexception<std::runtime_error> {
public:
    // A message of our own, no code.
    explicit windows_error(const std::wstring& message);
    // A message of our own that belongs to a Win32 error, HRESULT or other number.
    windows_error(const std::wstring& message, DWORD code);
    // The system's text for the code (empty for 0, which shows nothing).
    explicit windows_error(DWORD code);

    DWORD code;
};

// The system's text for the code exactly as FormatMessageW returns it (with its
// line end), "Error code: 0x<hex>" when the system has none, empty for 0.
std::wstring messageFromCode(DWORD code);

// What showing the error puts in the box; false when nothing is shown
// (empty message and code 0).
bool errorBoxText(const windows_error& error, std::wstring& text);
// What showing a bare code puts in the box.
std::wstring codeBoxText(DWORD code);

// Error box: owner mainWindow (none before it exists), caption productName, MB_ICONERROR.
void showErrorBox(const std::wstring& text);
void showError(const windows_error& error);
void showErrorCode(DWORD code);
