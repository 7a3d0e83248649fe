#include "app/entry.h"

#include <objbase.h>
#include <shlwapi.h>

#include <cwchar>
#include <exception>

#include "app/command_line.h"
#include "app/elevation.h"
#include "app/errors.h"
#include "app/exit_code.h"
#include "app/layout_option.h"
#include "app/progress_window.h"
#include "app/resource_ids.h"
#include "app/run_log.h"
#include "app/settings_loader.h"
#include "app/shell.h"
#include "app/single_instance.h"
#include "base/unique_any.h"
#include "bootstrap/bootstrapper.h"
#include "diagnostics/diagnostic_log.h"
#include "http/request_header.h"
#include "product/installation_source.h"
#include "product/names.h"
#include "product/settings.h"

namespace {

enum class Outcome { Run, EndAtOnce, EndWithCleanUp };

// CoUninitialize only balances a successful CoInitializeEx.
bool comInitialized = false;

// For the exit code under /quiet.
bool elevatedCopyWaited = false;
DWORD elevatedCopyExitCode = 0;
// An empty layout folder this run made is removed again when nothing was laid out.
bool layoutFolderCreated = false;

// The user-agent warm-up runs beside COM and the window, which take most of a
// start under Wine. It is waited for before the process ends, so that no
// thread is cut off inside the loader.
class UserAgentWarmUp {
public:
    void start() { thread_.reset(startUserAgentWarmUp()); }
    ~UserAgentWarmUp() {
        if (thread_) ::WaitForSingleObject(thread_.get(), 5000);
    }

private:
    base::unique_handle thread_;
};

// Steps up to the window: checks, options and self-elevation.
Outcome prepare(HINSTANCE instance, UserAgentWarmUp& warmUp) {
    AppSettings& settings = appSettings();
    // Read first, for the log alone: it then holds every step, the failures
    // before the options too.
    OptionTable options;
    const int optionCount = options.parse(splitCommandLine(settings.commandLine));
    const std::wstring logFile = logFileOption(options);
    startDiagnosticLog(logFile, settings.commandLine);
    settings.quiet = options.has(L"/quiet");

    loadStringSettings(instance, settings);

    settings.osMajorVersion = queryOsMajorVersion();
    if (settings.osMajorVersion < 5) throw windows_error(L"Unsupported operating system.");
    // The company name starts the download folder's name and the purge's search:
    // refuse a bad one before anything is deleted or created.
    if (!isPlainFolderNamePart(settings.companyName))
        throw windows_error(L"The 'Company Name' parameter is not correctly formed.");

    // A web installation's first request would wait for the HTTP libraries: they load meanwhile.
    if (classifyInstallationUrl(settings.installationUrl, std::wstring()).kind == WebAddress) warmUp.start();
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (FAILED(com)) {
        wchar_t text[96];
        std::swprintf(text, 96, L"Failed to initialize COM library. Error code = %d.", static_cast<int>(com));
        throw windows_error(text);
    }
    comInitialized = true;

    deriveExePaths(moduleFilePath(instance), settings);
    loadWindowClassName(instance, settings);
    logProgramAndSettings(settings);

    // Another copy's window exists: leave it alone and end silently.
    if (anotherInstanceRunning(settings.exeFileName, settings.windowClassName)) {
        diagnostics::log(L"another copy is running: this one ends");
        return Outcome::EndAtOnce;
    }

    if (optionCount > 0) {
        if (options.has(L"/h") || options.has(L"/help") || options.has(L"/?")) return Outcome::EndWithCleanUp;
        const bool debugDirectory = options.valueCount(L"/debugdirectory") > 0;
        const bool debugVersion = options.valueCount(L"/debugversion") > 0;
        if (debugDirectory && debugVersion) return Outcome::EndWithCleanUp;
    }

    // A layout installs nothing: it needs no elevation.
    DWORD code = 0;
    const LayoutFolder layout = prepareLayoutFolder(options, optionCount, settings.layoutFolder, code);
    if (layout == LayoutFolder::Refused)
        throw windows_error(L"The layout folder '" + settings.layoutFolder + L"' is not a new or empty folder.", code);
    layoutFolderCreated = layout == LayoutFolder::Created;
    if (layout != LayoutFolder::Absent) return Outcome::Run;

    if (settings.osMajorVersion >= 6 && !processIsElevated(settings.osMajorVersion) && !settings.perUser()) {
        // The elevated copy carries on /quiet and the log, as a full path: its
        // working folder is this program's folder.
        std::wstring arguments = logFile.empty() ? std::wstring() : optionArgument(L"/log", logFile);
        if (settings.quiet) arguments.insert(0, arguments.empty() ? L"/quiet" : L"/quiet ");
        diagnostics::log(L"not elevated: starting an elevated copy through \"runas\" with \"" + arguments + L"\"");
        // Under /quiet a management tool reads this copy's exit code: the elevated copy's.
        elevatedCopyExitCode = relaunchElevated(settings.exePath, settings.exeDirectory, arguments, settings.quiet);
        elevatedCopyWaited = settings.quiet;
        return Outcome::EndWithCleanUp;
    }
    return Outcome::Run;
}

void createWindow(HINSTANCE instance, int showCommand) {
    const AppSettings& settings = appSettings();
    registerWindowClass(instance);
    const BOOL elevated = processIsElevated(settings.osMajorVersion) ? TRUE : FALSE;
    diagnostics::log(std::wstring(L"elevated: ") + diagnostics::yesNo(elevated != FALSE));
    if (!createProgressWindow(instance, showCommand, elevated, settings.osMajorVersion >= 6)) {
        const DWORD error = ::GetLastError();
        if (error != 0) throw windows_error(error);
        throw windows_error(L"Unknown error in the InitInstance function.");
    }
    instanceAtom = ::GlobalAddAtomW(settings.exeFileName.c_str());
}

void messageLoop(HINSTANCE instance) {
    HACCEL accelerators = ::LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDC_ACCELERATORS));
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (accelerators == nullptr || !::TranslateAcceleratorW(message.hwnd, accelerators, &message)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }
    rethrowWindowFailure();
}

// How long the end still waits for a worker whose last message has arrived.
constexpr DWORD workerEndWaitMs = 2000;

// For a worker that outlived the waits (a stalled copy cannot be cancelled):
// it, or the installation it runs, still uses the pipeline object, the
// download folder and the held files. So no clean-up and no static destructors:
// the process ends here, and the next run's purge removes the folder.
[[noreturn]] void endWithoutCleanUp() {
    if (instanceAtom != 0) ::GlobalDeleteAtom(instanceAtom);  // the worker has no use for it
    const UINT code = appSettings().quiet ? ERROR_INSTALL_FAILURE : 0;
    ::TerminateProcess(::GetCurrentProcess(), code);
    ::ExitProcess(code);  // not reached
}

void cleanUp() {
    if (instanceAtom != 0) {
        ::GlobalDeleteAtom(instanceAtom);
        instanceAtom = 0;
    }
    workerStartedEvent.reset();
    CBootstrapper& pipeline = bootstrapper();
    if (pipeline.downloadFolderCreated && !pipeline.downloadFolder.empty() &&
        ::PathFileExistsW(pipeline.downloadFolder.c_str()))
        CBootstrapper::DeleteDirectoryTree(pipeline.downloadFolder);  // best effort
    if (layoutFolderCreated && readWord(pipeline.installationOutcome) != LaidOut)
        ::RemoveDirectoryW(appSettings().layoutFolder.c_str());  // best effort: only an empty one goes
    if (comInitialized) ::CoUninitialize();
    comInitialized = false;
}

// The handler table: every failure ends in one box (or none, for an empty
// message without a code).
void showFailure(std::exception_ptr failure, DWORD lastError) {
    try {
        std::rethrow_exception(failure);
    } catch (const windows_error& error) {
        showError(error);
    } catch (unsigned long code) {
        showError(windows_error(static_cast<DWORD>(code)));
    } catch (unsigned int code) {
        showError(windows_error(static_cast<DWORD>(code)));
    } catch (long code) {
        showError(windows_error(static_cast<DWORD>(code)));
    } catch (int code) {
        showError(windows_error(static_cast<DWORD>(code)));
    } catch (...) {
        if (lastError != 0)
            showError(windows_error(lastError));
        else
            showErrorBox(L"Unknown error.");
    }
}

// Under /quiet the exit code tells how the run ended; otherwise it is 0.
DWORD exitCode() {
    const AppSettings& settings = appSettings();
    if (!settings.quiet) return 0;
    if (elevatedCopyWaited) return elevatedCopyExitCode;
    CBootstrapper& pipeline = bootstrapper();
    RunEnd end;
    end.failureReported = failureReported();
    end.cancelled = runCancelled();
    end.reachedExit = readWord(nextTask) == Exit;
    end.outcome = readWord(pipeline.installationOutcome);
    end.installerResult = pipeline.installerResult;
    end.restartRequired = pipeline.restartRequired;
    return unattendedExitCode(end);
}

}  // namespace

int runApplication(HINSTANCE instance, const wchar_t* commandLine, int showCommand) {
    appSettings().commandLine = commandLine != nullptr ? commandLine : L"";
    UserAgentWarmUp warmUp;
    try {
        switch (prepare(instance, warmUp)) {
        case Outcome::EndAtOnce:
            // Under /quiet the other copy counts as another installation running.
            return appSettings().quiet ? ERROR_INSTALL_ALREADY_RUNNING : 0;
        case Outcome::EndWithCleanUp:
            break;
        case Outcome::Run:
            createWindow(instance, showCommand);
            messageLoop(instance);
            break;
        }
    } catch (...) {
        const DWORD lastError = ::GetLastError();
        try {
            showFailure(std::current_exception(), lastError);
        } catch (...) {
            // best effort: nothing is left to show a failure of the failure box with
        }
    }
    if (bootstrapper().WorkerStillRunning(workerEndWaitMs)) {
        diagnostics::log(L"end: the worker is still running; the process ends without its clean-up");
        endWithoutCleanUp();
    }
    cleanUp();
    const DWORD code = exitCode();
    wchar_t end[32] = L"end";
    if (appSettings().quiet) std::swprintf(end, 32, L"end, exit code %lu", static_cast<unsigned long>(code));
    diagnostics::log(end);
    diagnostics::closeLog();
    return static_cast<int>(code);
}
