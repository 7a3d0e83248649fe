// The least a program can do to fetch files over HTTP with WinINet: the
// reference for the pipeline benchmark.
// Usage: bench_bare_fetch <folder> <url>...
// Each body is read in 64 KiB reads, as the pipeline reads it, and written
// to <folder>\<last part of the url>. Built a second time as
// bench_windowed_fetch (WINDOWED_FETCH), which starts the same fetch only
// after what any windowed program does before its first request: COM for the
// thread and a shown window with a text and a marquee bar. What that costs
// over the plain one is the platform's price for a window, whatever the
// program does next.
#include <windows.h>
#include <wininet.h>
#if WINDOWED_FETCH
#include <commctrl.h>
#include <objbase.h>
#endif

#include <cstdio>
#include <string>

#include "base/unique_any.h"

namespace {

struct internet_traits {
    using type = HINTERNET;
    static HINTERNET invalid() noexcept { return nullptr; }
    static void close(HINTERNET h) noexcept { ::InternetCloseHandle(h); }
};
using unique_internet = base::unique_any<internet_traits>;

bool fetch(HINTERNET session, const std::wstring& url, const std::wstring& path) {
    unique_internet request(::InternetOpenUrlW(session, url.c_str(), L"Accept: */*\r\n", static_cast<DWORD>(-1),
                                               INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                                                   INTERNET_FLAG_KEEP_CONNECTION | INTERNET_FLAG_PRAGMA_NOCACHE,
                                               0));
    if (!request) return false;
    base::unique_file file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    static char buffer[65536];
    DWORD read = 0;
    while (::InternetReadFile(request.get(), buffer, sizeof buffer, &read) && read != 0) {
        DWORD written = 0;
        if (!::WriteFile(file.get(), buffer, read, &written, nullptr) || written != read) return false;
    }
    return true;
}

#if WINDOWED_FETCH
void openWindow() {
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&controls);
    HWND window = ::CreateWindowExW(0, L"#32770", L"bench", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, CW_USEDEFAULT,
                                    CW_USEDEFAULT, 360, 120, nullptr, nullptr, nullptr, nullptr);
    const auto font = reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT));
    HWND text = ::CreateWindowExW(0, L"STATIC", L"-", WS_CHILD | WS_VISIBLE, 10, 10, 320, 20, window, nullptr,
                                  nullptr, nullptr);
    ::SendMessageW(text, WM_SETFONT, font, FALSE);
    HWND bar = ::CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE | PBS_MARQUEE, 10, 40, 320, 20,
                                 window, nullptr, nullptr, nullptr);
    ::SendMessageW(bar, PBM_SETMARQUEE, TRUE, 0);
    ::ShowWindow(window, SW_SHOW);
    ::UpdateWindow(window);
}
#endif

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fputs("usage: bench_bare_fetch <folder> <url>...\n", stderr);
        return 2;
    }
#if WINDOWED_FETCH
    openWindow();
#endif
    unique_internet session(::InternetOpenW(L"bench", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!session) return 1;
    for (int i = 2; i < argc; ++i) {
        const std::wstring url = argv[i];
        const std::wstring path = std::wstring(argv[1]) + L"\\" + url.substr(url.rfind(L'/') + 1);
        if (!fetch(session.get(), url, path)) {
            std::fprintf(stderr, "failed: %ls (%lu)\n", url.c_str(), ::GetLastError());
            return 1;
        }
    }
    return 0;
}
