// The reference of the installation benchmark: the same work as the bootstrapper's
// upgrade run done as plainly as possible. Fetches each URL with WinINet into the
// folder (8 KiB reads), then runs "msiexec /x" for the older product and
// "msiexec /i" for the fetched package, waiting for each.
//
//   bench_bare_install FOLDER OLD_PRODUCT_CODE PACKAGE_NAME URL...
#include <windows.h>
#include <wininet.h>

#include <string>

#include "base/unique_any.h"

namespace {

void closeInternet(HINTERNET handle) { ::InternetCloseHandle(handle); }
using unique_internet = base::unique_any<base::simple_traits<HINTERNET, nullptr, closeInternet>>;

bool fetch(HINTERNET session, const std::wstring& url, const std::wstring& path) {
    unique_internet request(::InternetOpenUrlW(session, url.c_str(), nullptr, 0,
                                               INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0));
    if (!request) return false;
    base::unique_file file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    char buffer[8192];
    for (;;) {
        DWORD read = 0;
        if (!::InternetReadFile(request.get(), buffer, sizeof buffer, &read)) return false;
        if (read == 0) return true;
        DWORD written = 0;
        if (!::WriteFile(file.get(), buffer, read, &written, nullptr) || written != read) return false;
    }
}

DWORD runMsiexec(const std::wstring& arguments) {
    wchar_t system[MAX_PATH];
    ::GetSystemDirectoryW(system, MAX_PATH);
    std::wstring commandLine = L"\"" + std::wstring(system) + L"\\msiexec.exe\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return ::GetLastError();
    base::unique_handle process(info.hProcess);
    base::unique_handle thread(info.hThread);
    ::WaitForSingleObject(process.get(), INFINITE);
    DWORD code = 1;
    ::GetExitCodeProcess(process.get(), &code);
    return code;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 5) return 2;
    const std::wstring folder = argv[1];
    const std::wstring oldCode = argv[2];
    const std::wstring package = argv[3];
    unique_internet session(::InternetOpenW(L"bench", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!session) return 3;
    for (int i = 4; i < argc; ++i) {
        const std::wstring url = argv[i];
        const std::wstring name = url.substr(url.rfind(L'/') + 1);
        if (!fetch(session.get(), url, folder + L"\\" + name)) return 4;
    }
    if (runMsiexec(L"/x" + oldCode + L" /quiet UPGRADINGPRODUCTCODE=" + oldCode) != 0) return 5;
    if (runMsiexec(L"/i \"" + folder + L"\\" + package + L"\" /quiet") != 0) return 6;
    return 0;
}
