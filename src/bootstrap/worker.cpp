// The worker loop and the steps of its task table.
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>
#include <utility>

#include "bootstrap/bootstrapper.h"
#include "base/file_io.h"
#include "product/version_file.h"
#include "bootstrap/folders.h"
#include "bootstrap/pipeline_log.h"
#include "bootstrap/pipeline_messages.h"
#include "diagnostics/diagnostic_log.h"
#include "base/file_sha256.h"
#include "product/names.h"
#include "product/release_pin.h"
#include "product/settings.h"

// The steps, kept out of the class's public face.
struct PipelineSteps {
    static void post(CBootstrapper& p, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        ::PostMessageW(p.notifyWindow, message, wParam, lParam);
    }

    // A new fetch of url into sink; maxBytes: the longest body it may have, or -1.
    static void startWebFetch(CBootstrapper& p, const std::wstring& url, long long maxBytes,
                              const std::wstring& tooLarge, const SinkRef<BodySink>& sink) {
        p.downloadDigest = Sha256Digest();
        CBootstrapper::WebFetch& fetch = p.fetch;
        fetch.url = url;
        fetch.maxBytes = maxBytes;
        fetch.tooLargeText = tooLarge;
        fetch.target.clear();
        fetch.sink = sink;
        fetch.file = SinkRef<FileSink>();
        fetch.tries = 0;
        fetch.progressBase = p.bytesReceived;
        sendFetch(p);
    }

    // One try of the current fetch, from the bytes its sink holds.
    static void sendFetch(CBootstrapper& p) {
        RequestHeader header;
        header.headerText = L"Accept: */*\r\n";
        header.url = p.fetch.url;
        header.maxBodyBytes = p.fetch.maxBytes;
        header.sink = p.fetch.sink;
        const long long held = p.fetch.sink->Size();
        // A range start is 32-bit: past that a try starts over.
        if (held > 0 && held <= 0x7FFFFFFF) header.rangeStart = static_cast<LONG>(held);
        ++p.fetch.tries;
        if (p.fetch.tries > 1)
            logTry(p.fetch.tries, L"of " + p.fetch.url + L" from byte " + std::to_wstring(header.rangeStart));
        p.currentRequestId = p.AddRequest(header);
    }

    // The pause between tries; closing the window ends it at once.
    static bool retryFetch(CBootstrapper& p) {
        storeNextTask(Idle);
        constexpr DWORD retryPauseMs = 3000;
        const DWORD started = ::GetTickCount();
        for (;;) {
            if (runCancelled() || readWord(stopFlag) != 0) return true;
            const DWORD waited = ::GetTickCount() - started;
            if (waited >= retryPauseMs) break;
            ::WaitForSingleObject(workerWakeEvent.get(), retryPauseMs - waited);
        }
        sendFetch(p);
        return true;
    }

    // The same file (volume and index) with the same size. Not its time of last
    // write: a file system may set that as the writer's handle closes.
    static bool sameFileUnchanged(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b) {
        return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
               a.nFileIndexLow == b.nFileIndexLow && a.nFileSizeHigh == b.nFileSizeHigh &&
               a.nFileSizeLow == b.nFileSizeLow;
    }

    static bool pinned() { return !appSettings().releaseDigest.empty(); }

    // Release file `index`, as the failure texts name it.
    static std::wstring fileName(const CBootstrapper& p, size_t index) {
        return index < p.localFiles.size() ? baseName(withoutDeploySuffix(p.localFiles[index])) : std::wstring();
    }

    static std::wstring mismatchText(const std::wstring& name) {
        if (pinned()) return pinnedFileMismatchText(name);
        return L"The file '" + name + L"' does not match its SHA-256 digest.";
    }

    // Runs CopyFileExW; when the system never called the completion step (Wine
    // never calls the progress routine at all), runs it once after a good copy.
    static bool copy(CBootstrapper& p, const std::wstring& from, const std::wstring& to) {
        p.copyCompleted_ = false;
        const diagnostics::Stopwatch stopwatch;
        const bool copied = ::CopyFileExW(from.c_str(), to.c_str(), &CBootstrapper::CopyProgress, &p, nullptr, 0);
        if (diagnostics::logging()) {
            const DWORD error = ::GetLastError();
            diagnostics::log(L"copy " + from + L" -> " + to + L": " +
                             (copied ? std::wstring(L"done") : L"failed, error " + std::to_wstring(error)) +
                             L" in " + diagnostics::millisecondsText(stopwatch.elapsedMs()) + L" ms");
            ::SetLastError(error);  // the failure text below reports it
        }
        if (!copied) return false;
        if (!p.copyCompleted_) completeCopy(p);
        return true;
    }

    // What follows a finished copy, by the task that started it.
    static void completeCopy(CBootstrapper& p) {
        p.copyCompleted_ = true;
        if (p.currentTask == DownloadVersionInfo) {
            storeNextTask(ReadXML);
        } else if (p.currentTask == DownloadFile) {
            if (p.fileIndex < p.sourceFiles.size() && p.fileIndex < p.localFiles.size()) {
                ++p.fileIndex;
                storeNextTask(p.fileIndex < p.sourceFiles.size() ? DownloadFile : RunMSI);
            } else {
                p.Fail(L"The file index is outside the allowable range of values.");
            }
        } else {
            p.Fail(L"Unsupported task.");
        }
    }

    static bool downloadVersionInfo(CBootstrapper& p) {
        storeNextTask(Idle);
        p.currentTask = DownloadVersionInfo;
        if (p.sourceKind == WebAddress) {
            // Written as it arrives, as a release file is; read once whole.
            base::unique_file file = FileSink::create(p.storedVersionFile());
            if (!file) {
                p.Fail(textWithCode(L"Failed to create 'version_info.xml' file", ::GetLastError()));
                return true;
            }
            const SinkRef<FileSink> sink(new FileSink(std::move(file), false));
            startWebFetch(p, p.versionInfoSource, maxVersionFileBytes, versionFileTooLargeText(), sink);
            p.fetch.file = sink;
        } else if (!copy(p, p.versionInfoSource, p.storedVersionFile())) {
            p.Fail(textWithCode(L"Failed to copy 'version_info.xml' file", ::GetLastError()));
        }
        return true;
    }

    // The release file's target with its folder created; false after a failure.
    static bool prepareTarget(CBootstrapper& p, std::wstring& target, bool& pause) {
        pause = true;
        if (p.fileIndex >= p.sourceFiles.size() || p.fileIndex >= p.localFiles.size()) {
            p.Fail(L"The file index is outside the allowable range of values.");
            return false;
        }
        target = p.localFiles[p.fileIndex];
        const std::wstring folder = folderOfTarget(target);
        if (::GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES && !CreateDirectoryChain(folder)) {
            p.Fail(textWithCode(L"Failed to create directory (" + folder + L")", ::GetLastError()));
            pause = false;
            return false;
        }
        target = withoutDeploySuffix(target);
        // A later file of the same name replaces one this run already holds.
        p.payloadLocks.releaseSameFile(target);
        return true;
    }

    // Right after release file `index` is stored: holds it against change until
    // the installation ends and checks its digest through the held handle, so
    // the bytes checked are the bytes installed. False after a failure.
    // written: the file as its writer left it, whose digest was checked as the
    // bytes came in; the held file must be that same file, unchanged since,
    // instead of being hashed a second time.
    static bool secureStoredFile(CBootstrapper& p, size_t index, const std::wstring& target,
                                 const wchar_t* storeFailure, const BY_HANDLE_FILE_INFORMATION* written = nullptr) {
        base::unique_file file = PayloadLocks::openLocked(target);
        if (!file) {
            p.Fail(textWithCode(storeFailure + baseName(target) + L"' file", ::GetLastError()));
            return false;
        }
        const bool checked = index < p.fileDigests.size() && p.fileDigests[index].present;
        unsigned char digest[Sha256Digest::size];
        bool same = true;
        if (written != nullptr) {
            std::memcpy(digest, p.downloadDigest.bytes, sizeof(digest));
            BY_HANDLE_FILE_INFORMATION held = {};
            if (!::GetFileInformationByHandle(file.get(), &held)) {
                p.Fail(textWithCode(storeFailure + baseName(target) + L"' file", ::GetLastError()));
                return false;
            }
            same = sameFileUnchanged(*written, held);
        } else if (checked) {
            if (!ComputeFileSha256(file.get(), digest)) {
                p.Fail(textWithCode(L"Failed to compute the SHA-256 digest of the file '" + baseName(target) + L"'",
                                    ::GetLastError()));
                return false;
            }
            same = sameDigest(p.fileDigests[index], digest);
        }
        logStoredFile(target, file.get(), checked ? &digest : nullptr);
        if (!same) {
            p.Fail(mismatchText(baseName(target)));
            return false;
        }
        if (!p.payloadLocks.hold(std::move(file), target, p.downloadFolder)) {
            p.Fail(textWithCode(storeFailure + baseName(target) + L"' file", ::GetLastError()));
            return false;
        }
        return true;
    }

    static bool downloadFile(CBootstrapper& p) {
        storeNextTask(Idle);
        p.currentTask = DownloadFile;
        if (p.sourceFiles.empty()) {
            p.Fail(L"The 'files' section of 'version_info.xml' has no files. Source url: " + p.versionInfoSource + L".");
            return false;
        }
        if (p.sourceKind == WebAddress) {
            if (p.fileIndex >= p.sourceFiles.size()) {
                p.Fail(L"The file index is outside the allowable range of values.");
                return true;
            }
            const size_t index = p.fileIndex;
            // With a pin, the size and digest in the description are the pinned ones.
            const long long maxBytes = pinned() && index < p.fileSizes.size() ? p.fileSizes[index] : -1;
            const bool hash = index < p.fileDigests.size() && p.fileDigests[index].present;
            // The body goes straight to its stored file, held from its first byte.
            std::wstring target;
            bool pause = true;
            if (!prepareTarget(p, target, pause)) return pause;
            base::unique_file file = FileSink::create(target);
            if (!file) {
                p.Fail(createFailureText(baseName(target), ::GetLastError()));
                return true;
            }
            const SinkRef<FileSink> sink(new FileSink(std::move(file), hash));
            startWebFetch(p, p.sourceFiles[index], maxBytes, pinnedFileTooLargeText(fileName(p, index)), sink);
            p.fetch.file = sink;
            p.fetch.target = target;
            return true;
        }
        std::wstring target;
        bool pause = true;
        if (!prepareTarget(p, target, pause)) return pause;
        // The copy's completion step moves fileIndex on; the check that follows
        // still runs before the next task does.
        const size_t index = p.fileIndex;
        // A file larger than its pinned size is not worth copying (a share's file can be any size).
        WIN32_FILE_ATTRIBUTE_DATA source = {};
        if (pinned() && index < p.fileSizes.size() &&
            ::GetFileAttributesExW(p.sourceFiles[index].c_str(), GetFileExInfoStandard, &source) &&
            ((static_cast<long long>(source.nFileSizeHigh) << 32) | source.nFileSizeLow) > p.fileSizes[index]) {
            p.Fail(pinnedFileTooLargeText(fileName(p, index)));
            return true;
        }
        if (!copy(p, p.sourceFiles[index], target)) {
            p.Fail(textWithCode(L"Failed to copy '" + baseName(target) + L"' file", ::GetLastError()));
            return true;
        }
        secureStoredFile(p, index, target, L"Failed to copy '");
        return true;
    }

    static bool processResponse(CBootstrapper& p) {
        if (p.currentTask == DownloadVersionInfo) {
            BY_HANDLE_FILE_INFORMATION written = {};
            const bool closed = p.fetch.file && p.fetch.file->Close(written);
            const DWORD code = ::GetLastError();
            p.fetch.file = SinkRef<FileSink>();
            p.fetch.sink = SinkRef<BodySink>();
            if (closed) {
                storeNextTask(ReadXML);
            } else {
                p.Fail(textWithCode(L"Failed to create 'version_info.xml' file", code));
            }
            return true;
        }
        if (p.currentTask == DownloadFile) {
            const std::wstring target = p.fetch.target;
            const size_t index = p.fileIndex;
            if (!p.fetch.file || index >= p.sourceFiles.size()) {
                p.Fail(L"The file index is outside the allowable range of values.");
                return true;
            }
            BY_HANDLE_FILE_INFORMATION written = {};
            const bool closed = p.fetch.file->Close(written);
            const DWORD code = ::GetLastError();
            p.fetch.file = SinkRef<FileSink>();
            p.fetch.sink = SinkRef<BodySink>();
            if (!closed) {
                p.Fail(createFailureText(baseName(target), code));
                return true;
            }
            // A body that does not hash as it must is refused before it is held.
            if (index < p.fileDigests.size() && p.fileDigests[index].present) {
                const bool hashed = p.downloadDigest.present;
                if (!hashed || !sameDigest(p.fileDigests[index], p.downloadDigest.bytes)) {
                    p.Fail(hashed ? mismatchText(baseName(target))
                                  : textWithCode(L"Failed to compute the SHA-256 digest of the file '" +
                                                     baseName(target) + L"'", 0));
                    return true;
                }
            }
            if (!secureStoredFile(p, index, target, L"Failed to create '", &written)) return true;
            ++p.fileIndex;
            storeNextTask(p.fileIndex < p.sourceFiles.size() ? DownloadFile : RunMSI);
            return true;
        }
        p.Fail(L"Unsupported task.");
        return true;
    }

    static bool readXml(CBootstrapper& p) {
        p.currentTask = ReadXML;
        const std::wstring path = p.storedVersionFile();
        if (::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
            p.Fail(L"Can't find the 'version_info.xml' file (" + path + L").");
            return false;
        }
        std::wstring failure;
        if (!loadVersionFile(path, p.xmlDocument, failure)) {
            p.Fail(failure);
            return true;
        }
        storeNextTask(ParseXML);
        return true;
    }

    static bool parseXml(CBootstrapper& p) {
        p.currentTask = ParseXML;
        if (!readProductDescription(p)) {
            raiseStopFlag();
        } else if (p.products.empty()) {
            p.Fail(L"No products found in 'version_info.xml'. Source url: " + p.versionInfoSource);
        } else if (pinned() && !p.sourceFiles.empty() && !releaseMatchesPin(p, appSettings().releaseDigest)) {
            p.Fail(pinnedListingMismatchText());
        } else {
            logSelectedRelease(p);
            p.fileIndex = 0;
            storeNextTask(DownloadFile);
        }
        return true;
    }

    static bool runMsi(CBootstrapper& p) {
        p.currentTask = RunMSI;
        if (p.msiFileName.empty()) {
            p.Fail(L"The 'msi' attribute is not defined in the 'version_info.xml' file.");
            return false;
        }
        // One step with the window's close: either the close came first and
        // nothing is installed, or the installation starts and closing is refused.
        if (!beginInstallation()) return false;
        startStoredFileLogs();  // the downloads are over: hashing for the log no longer slows them
        post(p, WM_INSTALLING);
        const bool installed = p.installationSequence != nullptr && p.installationSequence(p);
        p.payloadLocks.releaseAll();  // the installation sequence has ended
        if (installed) {
            storeNextTask(Exit);
        } else {
            raiseStopFlag();
        }
        return true;
    }
};

void CBootstrapper::failQuietly(const wchar_t* text) noexcept {
    FailureGateHold hold(*this);
    if (!hold.held()) return;  // the worker has reported already
    try {
        if (errorText.empty()) SetErrorText(text);
    } catch (...) {
        // the text could not be stored: the window shows its "unknown error" box
    }
    raiseStopFlag();
}

bool CBootstrapper::RunStep(LONG task) {
    const bool waiting = task == Idle || task == SaveFile || taskName(task)[0] == L'\0';
    if (waiting || !diagnostics::logging()) return RunTask(task);
    // The release file a step is about, counted from 1.
    const bool releaseFile = task == DownloadFile || (task == ProcessResponse && currentTask == DownloadFile);
    const std::wstring what = std::wstring(L"task ") + taskName(task) +
                              (releaseFile ? L" (file " + std::to_wstring(fileIndex + 1) + L")" : std::wstring());
    diagnostics::log(what + L" starts");
    const diagnostics::Stopwatch stopwatch;
    const bool pause = RunTask(task);
    diagnostics::log(what + L" ends after " + diagnostics::millisecondsText(stopwatch.elapsedMs()) + L" ms" +
                     (readWord(stopFlag) != 0 && !errorText.empty() ? L": " + errorText : std::wstring()));
    return pause;
}

bool CBootstrapper::RunTask(LONG task) {
    switch (task) {
        case DownloadVersionInfo: return PipelineSteps::downloadVersionInfo(*this);
        case DownloadFile: return PipelineSteps::downloadFile(*this);
        case ProcessResponse: return PipelineSteps::processResponse(*this);
        case ReadXML: return PipelineSteps::readXml(*this);
        case ParseXML: return PipelineSteps::parseXml(*this);
        case RunMSI: return PipelineSteps::runMsi(*this);
        case RetryFetch: return PipelineSteps::retryFetch(*this);
        case Exit: raiseStopFlag(); return true;
        default: return true;  // Idle, SaveFile and unknown values: waiting
    }
}

void CBootstrapper::RunWorker() {
    PipelineSteps::post(*this, WM_WORKER_STARTED);
    ::SetEvent(workerStartedEvent.get());
    PipelineSteps::post(*this, WM_BYTES_RECEIVED, 0);
    currentRequestId = 0;
    bytesReceived = 0;
    storeNextTask(DownloadVersionInfo);
    // No exception may leave a thread-pool callback: one becomes the run's failure.
    try {
        while (!runCancelled() && readWord(stopFlag) == 0) {
            if (RunStep(readWord(nextTask))) ::WaitForSingleObject(workerWakeEvent.get(), 500);
        }
    } catch (const std::bad_alloc&) {
        failQuietly(L"Not enough memory to complete the download.");
    } catch (...) {
        failQuietly(L"Unexpected error in the downloader thread.");
    }
    FinishRun();
}

void CBootstrapper::FinishRun() {
    // A release file still being written (a failed or closed run) is let go
    // at once, so the exit clean-up can delete it; its request, if it still
    // runs, fails its next write.
    if (fetch.file) fetch.file->Abandon();
    waitForStoredFileLogs();  // their lines before the outcome's, their files closed before the clean-up
    payloadLocks.releaseAll();  // whatever ended the run, the exit clean-up may delete the files
    // From here errorText is the worker's alone: a callback that comes later
    // (the request of a closed run goes on) writes nothing.
    while (::InterlockedCompareExchange(&failureGate_, 2, 0) == 1) ::SwitchToThread();
    try {
        if (runCancelled()) {
            // The user closed the window: no failure and no success reaches them.
        } else if (!errorText.empty()) {
            if (currentRequestId != 0) DeleteRequest(currentRequestId);
            const size_t bytes = (errorText.size() + 1) * sizeof(wchar_t);
            wchar_t* copy = static_cast<wchar_t*>(std::malloc(bytes));
            if (copy) std::memcpy(copy, errorText.c_str(), bytes);
            if (!::PostMessageW(notifyWindow, WM_PIPELINE_FAILED, reinterpret_cast<WPARAM>(copy), currentTask))
                std::free(copy);
        } else {
            PipelineSteps::post(*this, WM_PIPELINE_FINISHED);
        }
    } catch (...) {
        // best effort: the window still learns that the worker ended through workerDoneEvent
    }
    ::SetEvent(workerDoneEvent.get());
}

DWORD CALLBACK CBootstrapper::CopyProgress(LARGE_INTEGER totalFileSize, LARGE_INTEGER totalBytesTransferred,
                                           LARGE_INTEGER, LARGE_INTEGER, DWORD, DWORD, HANDLE, HANDLE,
                                           LPVOID data) {
    CBootstrapper& p = *static_cast<CBootstrapper*>(data);
    if (totalBytesTransferred.QuadPart != totalFileSize.QuadPart)
        return runCancelled() ? PROGRESS_CANCEL : PROGRESS_CONTINUE;
    if (!p.copyCompleted_) {
        try {
            PipelineSteps::completeCopy(p);
        } catch (...) {
            p.copyCompleted_ = true;
            p.failQuietly(L"Not enough memory to complete the download.");
        }
    }
    return PROGRESS_CONTINUE;
}
