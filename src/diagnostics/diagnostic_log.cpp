#include "diagnostics/diagnostic_log.h"

#include <cwchar>
#include <string>

#include "base/unique_any.h"
#include "diagnostics/url_credentials.h"

namespace diagnostics {
namespace detail {
std::atomic<bool> logOpen{false};
}  // namespace detail

namespace {

// Everything below is written under `lock` once openLog has set it up; the
// flag above is only the cheap first test, taken again under the lock.
CRITICAL_SECTION lock;
bool lockReady = false;
HANDLE file = INVALID_HANDLE_VALUE;
std::wstring filePath;
LARGE_INTEGER frequency = {};
LARGE_INTEGER opened = {};
LONG installerLogCount = 0;
// Past this many installer logs beside one log, a run writes none of its own.
constexpr int maxInstallerLogs = 100000;

class LockHold {
public:
    LockHold() noexcept { ::EnterCriticalSection(&lock); }
    ~LockHold() { ::LeaveCriticalSection(&lock); }
    LockHold(const LockHold&) = delete;
    LockHold& operator=(const LockHold&) = delete;
};

double msSince(const LARGE_INTEGER& start) noexcept {
    if (frequency.QuadPart == 0) return 0.0;
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart - start.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

std::string utf8(const std::wstring& text) {
    if (text.empty()) return std::string();
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    if (size <= 0) return std::string();
    std::string bytes(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &bytes[0], size, nullptr,
                          nullptr);
    return bytes;
}

// Under the lock: the file is closed and nothing more is written.
void closeFile() noexcept {
    detail::logOpen.store(false);
    if (file != INVALID_HANDLE_VALUE) ::CloseHandle(file);
    file = INVALID_HANDLE_VALUE;
}

}  // namespace

bool openLog(const std::wstring& fullPath) noexcept {
    if (!lockReady) {
        ::InitializeCriticalSection(&lock);
        lockReady = true;
    }
    LockHold hold;
    closeFile();
    // Appended to, and shared for writing: a copy relaunched elevated adds its
    // run to the lines of the copy that started it, which may still be ending.
    const HANDLE created = ::CreateFileW(fullPath.c_str(), FILE_APPEND_DATA | SYNCHRONIZE,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                         FILE_ATTRIBUTE_NORMAL, nullptr);
    if (created == INVALID_HANDLE_VALUE) return false;
    try {
        filePath = fullPath;
    } catch (...) {
        ::CloseHandle(created);
        return false;
    }
    file = created;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&opened);
    detail::logOpen.store(true);
    return true;
}

void closeLog() noexcept {
    if (!lockReady) return;
    LockHold hold;
    closeFile();
}

void log(const std::wstring& text) noexcept {
    if (!logging()) return;
    try {
        wchar_t head[48];
        std::swprintf(head, 48, L"%10.1f ms  [%5lu]  ", msSince(opened),
                      static_cast<unsigned long>(::GetCurrentThreadId()));
        const std::string line = utf8(head + withoutUrlCredentials(text) + L"\r\n");
        LockHold hold;
        if (file == INVALID_HANDLE_VALUE) return;
        DWORD written = 0;
        // A write that fails (full disk, lost share) ends the logging, never the run.
        if (!::WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr) ||
            written != line.size())
            closeFile();
    } catch (...) {
        // best effort: a line that cannot be built (no memory) is left out
    }
}

std::wstring nextInstallerLogPath() noexcept {
    if (!logging()) return std::wstring();
    try {
        std::wstring stem;
        {
            LockHold hold;
            stem = filePath + L".msiexec-";
        }
        // Earlier runs with the same log (and a copy of us running now) have
        // numbers of their own: the first name nobody holds is taken by creating
        // it, so no run overwrites another's installer log.
        for (int attempt = 0; attempt < maxInstallerLogs; ++attempt) {
            const std::wstring path = stem + std::to_wstring(::InterlockedIncrement(&installerLogCount)) + L".log";
            const base::unique_file created(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                                          CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
            if (created) return path;
            const DWORD error = ::GetLastError();
            if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
        }
        return std::wstring();  // no name could be made: that run goes without the installer's log
    } catch (...) {
        return std::wstring();  // no memory for the name: that run goes without the installer's log
    }
}

Stopwatch::Stopwatch() noexcept { ::QueryPerformanceCounter(&start_); }

double Stopwatch::elapsedMs() const noexcept { return msSince(start_); }

std::wstring millisecondsText(double ms) {
    wchar_t text[32];
    std::swprintf(text, 32, L"%.1f", ms);
    return text;
}

std::wstring throughputText(double byteCount, double ms) {
    if (ms <= 0.0) return L"-";
    const double perSecond = byteCount * 1000.0 / ms;
    wchar_t text[32];
    if (perSecond >= 1000000.0)
        std::swprintf(text, 32, L"%.2f MB/s", perSecond / 1000000.0);
    else
        std::swprintf(text, 32, L"%.1f kB/s", perSecond / 1000.0);
    return text;
}

const wchar_t* yesNo(bool value) noexcept { return value ? L"yes" : L"no"; }

}  // namespace diagnostics
