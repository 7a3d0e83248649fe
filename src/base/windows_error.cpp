#include "base/windows_error.h"

#include <cwchar>

#include "base/unique_any.h"

std::string narrowMessage(const std::wstring& message) {
    if (message.empty()) return std::string();
    const int wideLength = static_cast<int>(message.size());
    const int length = ::WideCharToMultiByte(CP_ACP, 0, message.data(), wideLength, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return std::string();
    std::string narrow(static_cast<size_t>(length), '\0');
    if (::WideCharToMultiByte(CP_ACP, 0, message.data(), wideLength, &narrow[0], length, nullptr, nullptr) != length)
        return std::string();
    return narrow;
}

windows_error::windows_error(const std::wstring& message) : wexception(message), code(0) {}

windows_error::windows_error(const std::wstring& message, DWORD code) : wexception(message), code(code) {}

windows_error::windows_error(DWORD code) : wexception(messageFromCode(code)), code(code) {}

bool systemText(DWORD code, std::wstring& text, DWORD extraFlags) {
    wchar_t* buffer = nullptr;
    const DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | extraFlags;
    const DWORD length = ::FormatMessageW(flags, nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                          reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    base::unique_hlocal owner(buffer);
    if (length == 0 || buffer == nullptr) return false;
    text.assign(buffer, length);
    return true;
}

std::wstring codeText(const wchar_t* format, DWORD code) {
    wchar_t buffer[128];
    std::swprintf(buffer, 128, format, static_cast<unsigned>(code));
    return buffer;
}

std::wstring messageFromCode(DWORD code) {
    if (code == 0) return std::wstring();
    std::wstring text;
    if (systemText(code, text)) return text;
    return codeText(L"Error code: 0x%x", code);
}

std::wstring systemReason(DWORD code) {
    std::wstring text;
    if (!systemText(code, text, FORMAT_MESSAGE_IGNORE_INSERTS)) return L"error " + std::to_wstring(code);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ' || text.back() == L'.'))
        text.pop_back();
    return text;
}
