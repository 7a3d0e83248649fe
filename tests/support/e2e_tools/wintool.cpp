// Small Windows helper for the end-to-end tests; runs inside a scenario's prefix.
//
//   wintool atom add|find|delete NAME   global atoms; find exits 0 when present, 1 when not
//   wintool version                     GetVersionExW as JSON
//   wintool msgbox CAPTION TEXT [FLAGS [none|visible|hidden]]
//                                       MessageBoxW, optionally owned by a visible or hidden
//                                       window; exit code and output: the button pressed
//   wintool window CLASS CAPTION [hidden]
//                                       a window like the progress window (marquee bar 130,
//                                       text 131 "-"); ends with 0 when closed
//   wintool exit CODE                   ends with CODE
//   wintool exitcode PROGRAM [ARG ...]  runs PROGRAM with the arguments (each quoted
//                                       when it has blanks), waits, prints its full exit
//                                       code (Wine hands Linux only its low byte); ends with 0
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "base/unique_any.h"

namespace {

constexpr int kUsageError = 2;

void print(const std::string& line) {
    const std::string text = line + "\n";
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

int atomCommand(const std::wstring& action, const wchar_t* name) {
    if (action == L"add") {
        const ATOM atom = ::GlobalAddAtomW(name);
        print(std::to_string(atom));
        return atom ? 0 : 1;
    }
    const ATOM atom = ::GlobalFindAtomW(name);
    if (action == L"find") {
        print(std::to_string(atom));
        return atom ? 0 : 1;
    }
    if (action == L"delete") {
        if (!atom) return 1;
        ::GlobalDeleteAtom(atom);
        return 0;
    }
    return kUsageError;
}

int versionCommand() {
    OSVERSIONINFOEXW info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (!::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info))) return 1;
    char line[256];
    std::snprintf(line, sizeof line, "{\"major\":%lu,\"minor\":%lu,\"build\":%lu,\"platform\":%lu}",
                  info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber, info.dwPlatformId);
    print(line);
    return 0;
}

int msgboxCommand(const wchar_t* caption, const wchar_t* text, UINT flags, const std::wstring& owner) {
    base::unique_hwnd ownerWindow;
    if (owner == L"visible" || owner == L"hidden") {
        ownerWindow.reset(::CreateWindowExW(0, L"Static", L"owner", WS_OVERLAPPEDWINDOW, 10, 10, 200, 100,
                                            nullptr, nullptr, nullptr, nullptr));
        if (owner == L"visible") ::ShowWindow(ownerWindow.get(), SW_SHOW);
    }
    const int pressed = ::MessageBoxW(ownerWindow.get(), text, caption, flags);
    print(std::to_string(pressed));
    return pressed;
}

LRESULT CALLBACK standInProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE) {
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

int windowCommand(const wchar_t* className, const wchar_t* caption, bool hidden) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&controls);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = standInProc;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = className;
    ::RegisterClassExW(&windowClass);
    base::unique_hwnd window(::CreateWindowExW(0, className, caption, WS_POPUP | WS_CAPTION | WS_SYSMENU, 300, 225,
                                               360, 100, nullptr, nullptr, windowClass.hInstance, nullptr));
    if (!window) return 1;
    ::CreateWindowExW(0, L"Static", L"-", WS_CHILD | WS_VISIBLE, 10, 10, 330, 14, window.get(),
                      reinterpret_cast<HMENU>(131), nullptr, nullptr);
    const HWND bar = ::CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE | PBS_MARQUEE, 10, 30, 330,
                                       22, window.get(), reinterpret_cast<HMENU>(130), nullptr, nullptr);
    ::SendMessageW(bar, PBM_SETMARQUEE, TRUE, 0);
    ::ShowWindow(window.get(), hidden ? SW_HIDE : SW_SHOW);
    ::UpdateWindow(window.get());
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

int exitcodeCommand(int argc, wchar_t** argv) {
    std::wstring command;
    for (int i = 2; i < argc; ++i) {
        const std::wstring argument = argv[i];
        if (!command.empty()) command += L' ';
        command += argument.find(L' ') == std::wstring::npos ? argument : L"\"" + argument + L"\"";
    }
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started = {};
    if (!::CreateProcessW(argv[2], &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started)) {
        print("CreateProcess failed: " + std::to_string(::GetLastError()));
        return kUsageError;
    }
    base::unique_handle process(started.hProcess);
    base::unique_handle thread(started.hThread);
    DWORD code = 0;
    ::WaitForSingleObject(process.get(), INFINITE);
    ::GetExitCodeProcess(process.get(), &code);
    print(std::to_string(code));
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring command = argc > 1 ? argv[1] : L"";
    if (command == L"atom" && argc == 4) return atomCommand(argv[2], argv[3]);
    if (command == L"version" && argc == 2) return versionCommand();
    if (command == L"msgbox" && argc >= 4 && argc <= 6) {
        const UINT flags = argc > 4 ? static_cast<UINT>(std::wcstoul(argv[4], nullptr, 0)) : MB_OK;
        return msgboxCommand(argv[2], argv[3], flags, argc > 5 ? argv[5] : L"none");
    }
    if (command == L"window" && (argc == 4 || argc == 5))
        return windowCommand(argv[2], argv[3], argc == 5 && std::wstring(argv[4]) == L"hidden");
    if (command == L"exitcode" && argc >= 3) return exitcodeCommand(argc, argv);
    if (command == L"exit" && argc == 3) return static_cast<int>(std::wcstol(argv[2], nullptr, 0));
    print("usage: wintool atom|version|msgbox|window|exit|exitcode ... (see wintool.cpp)");
    return kUsageError;
}
