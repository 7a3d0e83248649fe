// The least a program can do to fetch files over HTTP with WinINet: the
// reference for the pipeline benchmark. Usage: bench_bare_fetch <folder> <url>...
// Each body is read in 64 KiB reads, as the pipeline reads it, and written
// to <folder>\<last part of the url>.
#include <windows.h>
#include <wininet.h>

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

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fputs("usage: bench_bare_fetch <folder> <url>...\n", stderr);
        return 2;
    }
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
