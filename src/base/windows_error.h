#pragma once
// The exception that carries a failure, with the wide text shown to the user
// and the code it belongs to.
#include <windows.h>

#include <exception>
#include <string>

// The wide message in the system ANSI code page; empty when it does not convert.
std::string narrowMessage(const std::wstring& message);

// A standard exception that also carries the wide text shown to the user. Not
// a std::runtime_error: that one keeps its text in the library's old
// reference-counted string, whose code would be linked in for it alone.
class wexception : public std::exception {
public:
    explicit wexception(const std::wstring& message) : message_(message), narrow_(narrowMessage(message)) {}

    const std::wstring& message() const noexcept { return message_; }
    const char* what() const noexcept override { return narrow_.c_str(); }

private:
    std::wstring message_;
    std::string narrow_;
};

class windows_error : public wexception {
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

// The system's own text for the code (with its line end); false when it has
// none. extraFlags are added to FormatMessageW's.
bool systemText(DWORD code, std::wstring& text, DWORD extraFlags = 0);
// The system's sentence for the code for a line of a tool's output: without its
// line end and full stop; "error <code>" when the system has none.
std::wstring systemReason(DWORD code);
// The code put into a printf format that takes one unsigned number.
std::wstring codeText(const wchar_t* format, DWORD code);
