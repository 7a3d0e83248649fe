#pragma once
// The diagnostic log: one UTF-8 line per event, each with the milliseconds
// since the log was opened and the id of the thread that wrote it. Written as
// the run goes, one WriteFile per line, so a run that is killed leaves every
// line up to that moment.
//
// Threads: openLog runs once, on the main thread, before any other thread of
// ours exists. log and closeLog may then be called from any thread (main,
// worker, HTTP notifications); one lock keeps lines whole and in order.
//
// The log never changes a run's outcome: a file that cannot be created leaves
// logging off, a write that fails turns it off, and nothing here throws.
#include <windows.h>

#include <atomic>
#include <string>

namespace diagnostics {

namespace detail {
extern std::atomic<bool> logOpen;
}

// The one check a caller makes before it builds a line: false without /log.
inline bool logging() noexcept { return detail::logOpen.load(std::memory_order_relaxed); }

// Opens (or creates) the file at fullPath and appends to it; false, with
// logging left off, when it cannot be opened.
bool openLog(const std::wstring& fullPath) noexcept;
// Writes nothing more; the file is closed.
void closeLog() noexcept;

// One line; user names and passwords inside URLs are left out. Does nothing
// when logging is off.
void log(const std::wstring& text) noexcept;

// "<log file>.msiexec-<n>.log" with the lowest n above the last one this process
// took whose file does not exist yet: where the installer writes its own verbose
// log of one run. The file is created (empty) here, so no other run takes the
// name. Empty when logging is off or no file could be created.
std::wstring nextInstallerLogPath() noexcept;

// Wall time of one step, for the durations in the log.
class Stopwatch {
public:
    Stopwatch() noexcept;
    double elapsedMs() const noexcept;

private:
    LARGE_INTEGER start_;
};

// "12.3" for the log's times.
std::wstring millisecondsText(double ms);
// "1.23 MB/s" (or kB/s) for byteCount bytes in ms milliseconds; "-" for no time.
std::wstring throughputText(double byteCount, double ms);
// "yes" or "no".
const wchar_t* yesNo(bool value) noexcept;

}  // namespace diagnostics
