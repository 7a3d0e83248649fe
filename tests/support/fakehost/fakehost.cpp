// A stand-in for an Office host application: copied under a host's image name
// (powerpnt.exe, winword.exe ...) it shows one window and runs until that
// window is closed. Each start appends "<process id> <command line>" to
// "<its own path>.log", so a test can tell that it was started again and by
// which id to stop it.
#include <windows.h>

#include <string>

#include "base/unique_any.h"

namespace {

const wchar_t windowClass[] = L"FakeHostApplication";

std::string utf8(const std::wstring& text) {
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string bytes(size > 0 ? size : 0, '\0');
    if (size > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &bytes[0], size, nullptr,
                              nullptr);
    return bytes;
}

std::wstring ownPath() {
    wchar_t path[MAX_PATH * 2] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, path, ARRAYSIZE(path));
    return std::wstring(path, length);
}

void logStart(const std::wstring& path) {
    base::unique_file log(::CreateFileW((path + L".log").c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!log) return;
    const std::string line =
        std::to_string(::GetCurrentProcessId()) + " " + utf8(::GetCommandLineW()) + "\n";
    DWORD written = 0;
    ::WriteFile(log.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    const std::wstring path = ownPath();
    logStart(path);

    WNDCLASSW cls{};
    cls.lpfnWndProc = windowProcedure;
    cls.hInstance = instance;
    cls.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    cls.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    cls.lpszClassName = windowClass;
    if (!::RegisterClassW(&cls)) return 1;

    const std::wstring title = path.substr(path.find_last_of(L'\\') + 1) + L" (" +
                               std::to_wstring(::GetCurrentProcessId()) + L")";
    HWND window = ::CreateWindowExW(0, windowClass, title.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                    320, 200, nullptr, nullptr, instance, nullptr);
    if (!window) return 1;
    ::ShowWindow(window, show);

    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return 0;
}
