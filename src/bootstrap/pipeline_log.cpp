#include "bootstrap/pipeline_log.h"

#include <memory>
#include <string>
#include <vector>

#include "base/unique_any.h"
#include "base/file_sha256.h"
#include "diagnostics/diagnostic_log.h"

namespace {

// Hash jobs not finished yet; the worker queues them, pool threads end them.
volatile LONG pendingHashJobs = 0;

void logFile(const std::wstring& path, HANDLE file, const std::wstring& digest) {
    LARGE_INTEGER size = {};
    const std::wstring sizeText = ::GetFileSizeEx(file, &size) ? std::to_wstring(size.QuadPart) : L"unknown";
    diagnostics::log(L"stored " + path + L": " + sizeText + L" bytes, SHA-256 " + digest);
}

// Opened again for reading (the run holds it with read sharing), so the run's
// own handle and its file position stay untouched.
void hashAndLog(const std::wstring& path) {
    base::unique_file file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                         FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) {
        diagnostics::log(L"stored " + path + L": cannot be read for its digest, error " +
                         std::to_wstring(::GetLastError()));
        return;
    }
    unsigned char digest[Sha256Digest::size];
    logFile(path, file.get(), ComputeFileSha256(file.get(), digest) ? sha256Text(digest) : L"unknown");
}

// Stored files still to be hashed for the log, in their order. Worker thread.
std::vector<std::wstring> unhashedFiles;

DWORD WINAPI hashJob(void* context) {
    std::unique_ptr<std::vector<std::wstring>> paths(static_cast<std::vector<std::wstring>*>(context));
    try {
        for (const std::wstring& path : *paths) hashAndLog(path);
    } catch (...) {
        // best effort: no exception leaves a thread-pool callback; the lines are left out
    }
    paths.reset();
    ::InterlockedDecrement(&pendingHashJobs);
    return 0;
}

}  // namespace

void logSelectedRelease(const ProductDescription& release) {
    if (!diagnostics::logging()) return;
    diagnostics::log(L"release selected: package \"" + release.msiFileName + L"\", module \"" +
                     release.customActionAssembly + L"\" class \"" + release.customActionClass + L"\", " +
                     std::to_wstring(release.sourceFiles.size()) + L" file(s), " +
                     std::to_wstring(release.products.size()) + L" release(s) of the product listed");
    for (size_t i = 0; i < release.sourceFiles.size() && i < release.localFiles.size(); ++i) {
        const bool digest = i < release.fileDigests.size() && release.fileDigests[i].present;
        diagnostics::log(L"release file " + std::to_wstring(i + 1) + L": " + release.sourceFiles[i] + L" -> " +
                         release.localFiles[i] + L", expected SHA-256 " +
                         (digest ? sha256Text(release.fileDigests[i].bytes) : L"none given"));
    }
}

void logStoredFile(const std::wstring& path, HANDLE file, const unsigned char (*digest)[Sha256Digest::size]) {
    if (!diagnostics::logging()) return;
    if (digest != nullptr) {
        logFile(path, file, sha256Text(*digest));
        return;
    }
    unhashedFiles.push_back(path);
}

void startStoredFileLogs() {
    if (unhashedFiles.empty()) return;
    std::unique_ptr<std::vector<std::wstring>> job(new std::vector<std::wstring>());
    job->swap(unhashedFiles);
    ::InterlockedIncrement(&pendingHashJobs);
    if (::QueueUserWorkItem(hashJob, job.get(), WT_EXECUTEDEFAULT)) {
        job.release();
        return;
    }
    ::InterlockedDecrement(&pendingHashJobs);
    for (const std::wstring& path : *job) hashAndLog(path);  // no pool thread: hashed here instead
}

void waitForStoredFileLogs() {
    startStoredFileLogs();  // a run that ended before its installation
    // Only a run with a log has jobs; they take as long as reading their files.
    while (::InterlockedCompareExchange(&pendingHashJobs, 0, 0) != 0) ::Sleep(10);
}

void logTry(int tries, const std::wstring& what) {
    if (diagnostics::logging()) diagnostics::log(L"download try " + std::to_wstring(tries) + L" " + what);
}
