// The whole worker in this process: a real CBootstrapper, the HTTP test server
// on 127.0.0.1 (started by CTest, its files below PIPELINE_TEST_ROOT) and real
// folders. The progress window is stood in for by a sink window that records
// what the worker posts.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "base/windows_error.h"
#include "bootstrap/bootstrapper.h"
#include "bootstrap/pipeline_messages.h"
#include "install/installation.h"
#include "product/settings.h"
#include "temp_folder.h"

namespace {

struct Posted {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    std::wstring text;  // WM_PIPELINE_FAILED's text
};
std::vector<Posted> posted;

LRESULT CALLBACK sinkProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message >= WM_PIPELINE_FINISHED && message <= WM_INSTALLING && message % 1000 == 24) {
        Posted p{message, wParam, lParam, L""};
        if (message == WM_PIPELINE_FAILED && wParam) {
            p.text = reinterpret_cast<const wchar_t*>(wParam);
            std::free(reinterpret_cast<void*>(wParam));
        }
        posted.push_back(p);
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

std::wstring env(const char* name) {
    const char* value = std::getenv(name);
    std::wstring text;
    for (const char* c = value ? value : ""; *c; ++c) text += static_cast<wchar_t>(*c);
    return text;
}

// The server's root as Wine sees it.
std::wstring serverRoot() {
    std::wstring root = L"Z:" + env("PIPELINE_TEST_ROOT");
    for (wchar_t& c : root) {
        if (c == L'/') c = L'\\';
    }
    return root;
}

std::string pattern(size_t size, int seed) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + seed) % 253);
    return bytes;
}

std::string narrow(const std::wstring& text) {
    std::string result;
    for (wchar_t c : text) result += static_cast<char>(c);
    return result;
}

std::string versionInfo(const std::vector<std::wstring>& files, const std::wstring& msi = L"Setup") {
    std::wstring xml = L"<application name='Talvoro'><product language='1033'>"
                       L"<version name='2.2.015' productCode='{P}'><files msi='" + msi + L"'>";
    for (const std::wstring& f : files) xml += L"<file>" + f + L"</file>";
    xml += L"</files></version></product></application>";
    return narrow(xml);
}

struct Outcome {
    bool finished = false;
    bool failed = false;
    std::wstring text;
    LPARAM task = -1;
    bool installing = false;
    DWORD lastBytes = 0;
    DWORD milliseconds = 0;
};

class Pipeline : public ::testing::Test {
protected:
    void SetUp() override {
        ::InterlockedExchange(&nextTask, 0);
        ::InterlockedExchange(&stopFlag, 0);
        ::InterlockedExchange(&cancelFlag, 0);
        workerStartedEvent.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        posted.clear();
        WNDCLASSEXW windowClass = {};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = sinkProc;
        windowClass.hInstance = ::GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"PipelineTestSink";
        ::RegisterClassExW(&windowClass);
        sink_ = ::CreateWindowExW(0, L"PipelineTestSink", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  windowClass.hInstance, nullptr);
        AppSettings& settings = appSettings();
        settings.companyName = L"Talvoro";
        settings.language = L"1033";
        settings.version = L"2.2.015";
        // Its own product code: install_tests installs the sample products in the same prefix at the same time.
        settings.productCode = L"{0C1D2E3F-4A5B-4C6D-8E7F-90A1B2C3D4E5}";
        settings.exeDirectory = serverRoot() + L"\\";
        pipeline_.reset(new CBootstrapper);
        pipeline_->notifyWindow = sink_;
        pipeline_->installationSequence = RunInstallation;
        pipeline_->downloadFolder = download_.path();
        pipeline_->downloadFolderCreated = true;
    }

    void TearDown() override {
        // The worker must be gone before the object it runs on.
        if (started_)
            pump([&] { return ::WaitForSingleObject(pipeline_->workerDoneEvent.get(), 0) == WAIT_OBJECT_0; }, 10000);
        started_ = false;
        pipeline_.reset();
        ::DestroyWindow(sink_);
    }

    // A release folder below the server root: version_info.xml and the files.
    std::wstring publish(const std::wstring& name, const std::string& description,
                         const std::vector<std::pair<std::wstring, std::string>>& files = {}) {
        const std::wstring folder = serverRoot() + L"\\" + name;
        DeleteDirectoryTree(folder);
        CreateDirectoryChain(folder + L"\\1033\\2.2.015");
        writeText(folder + L"\\version_info.xml", description);
        for (const auto& file : files) {
            std::wstring path = folder + L"\\1033\\2.2.015\\" + file.first;
            for (wchar_t& c : path) {
                if (c == L'/') c = L'\\';
            }
            CreateDirectoryChain(path.substr(0, path.rfind(L'\\')));
            writeText(path, file.second);
        }
        return folder;
    }

    template <typename Done>
    bool pump(Done done, DWORD timeoutMs) {
        const DWORD start = ::GetTickCount();
        while (!done()) {
            if (::GetTickCount() - start > timeoutMs) return false;
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
            MSG msg;
            while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                ::TranslateMessage(&msg);
                ::DispatchMessageW(&msg);
            }
        }
        return true;
    }

    bool ended() const {
        for (const Posted& p : posted) {
            if (p.message == WM_PIPELINE_FINISHED || p.message == WM_PIPELINE_FAILED) return true;
        }
        return false;
    }

    Outcome run(const std::wstring& installationUrl, DWORD timeoutMs = 20000) {
        appSettings().installationUrl = installationUrl;
        const DWORD start = ::GetTickCount();
        started_ = true;
        pipeline_->StartPipeline();
        pump([&] { return ended(); }, timeoutMs);
        Outcome outcome;
        outcome.milliseconds = ::GetTickCount() - start;
        for (const Posted& p : posted) {
            if (p.message == WM_PIPELINE_FINISHED) outcome.finished = true;
            if (p.message == WM_INSTALLING) outcome.installing = true;
            if (p.message == WM_BYTES_RECEIVED) outcome.lastBytes = static_cast<DWORD>(p.wParam);
            if (p.message == WM_PIPELINE_FAILED) {
                outcome.failed = true;
                outcome.text = p.text;
                outcome.task = p.lParam;
            }
        }
        return outcome;
    }

    std::wstring url(const std::wstring& path) const { return env("HTTP_TEST_URL") + path; }

    TempFolder download_;
    HWND sink_ = nullptr;
    bool started_ = false;
    std::unique_ptr<CBootstrapper> pipeline_;
};

}  // namespace

TEST_F(Pipeline, AWebReleaseLandsByteForByteAndTheWorkerNeverWaitsOutItsPauses) {
    const std::string msi = pattern(300000, 1), dll = pattern(5000, 2), empty;
    const std::string description = versionInfo({L"Setup.MSI.DEPLOY", L"lib/x.dll", L"empty.txt"});
    publish(L"web3", description, {{L"Setup.MSI.DEPLOY", msi}, {L"lib/x.dll", dll}, {L"empty.txt", empty}});

    const Outcome outcome = run(url(L"/web3"));

    ASSERT_TRUE(outcome.finished) << narrow(outcome.text);
    EXPECT_TRUE(outcome.installing);
    EXPECT_EQ(readText(download_ / L"Setup.MSI"), msi);
    EXPECT_FALSE(exists(download_ / L"Setup.MSI.DEPLOY"));
    EXPECT_EQ(readText(download_ / L"lib\\x.dll"), dll);
    EXPECT_TRUE(exists(download_ / L"empty.txt"));
    EXPECT_EQ(outcome.lastBytes, description.size() + msi.size() + dll.size());
    EXPECT_EQ(pipeline_->fileIndex, 3u);
    // Eight hand-overs: with a 500 ms sleep after each the run would take seconds.
    EXPECT_LT(outcome.milliseconds, 1500u);
}

TEST_F(Pipeline, AReleaseInAFolderIsCopiedAndTheRunEndsAlthoughTheCopyNeverReportsProgress) {
    const std::string msi = pattern(70000, 3);
    const std::wstring folder = publish(L"copy1", versionInfo({L"Setup.msi.deploy", L"sub/a.txt"}),
                                        {{L"Setup.msi.deploy", msi}, {L"sub/a.txt", "a"}});

    const Outcome outcome = run(folder + L"\\", 10000);

    ASSERT_TRUE(outcome.finished) << narrow(outcome.text);
    EXPECT_EQ(readText(download_ / L"Setup.msi"), msi);
    EXPECT_EQ(readText(download_ / L"sub\\a.txt"), "a");
    EXPECT_EQ(readText(download_ / L"version_info.xml"), versionInfo({L"Setup.msi.deploy", L"sub/a.txt"}));
    EXPECT_LT(outcome.milliseconds, 1500u);
}

TEST_F(Pipeline, ARelativeFolderIsFoundBesideTheProgram) {
    publish(L"beside", versionInfo({L"x.msi"}, L"x"), {{L"x.msi", "x"}});
    const Outcome outcome = run(L"beside");
    ASSERT_TRUE(outcome.finished) << narrow(outcome.text);
    EXPECT_EQ(readText(download_ / L"x.msi"), "x");
}

TEST_F(Pipeline, AMissingReleaseFileIsA404WithItsUrl) {
    publish(L"missing", versionInfo({L"there.msi", L"gone.dll"}, L"there"), {{L"there.msi", "x"}});
    const Outcome outcome = run(url(L"/missing/"));
    ASSERT_TRUE(outcome.failed);
    EXPECT_EQ(outcome.text, L"404 error: Not Found: " + url(L"/missing/1033/2.2.015/gone.dll") + L".");
    EXPECT_EQ(outcome.task, DownloadFile);
}

TEST_F(Pipeline, AnUnreachableServerCannotBeConnected) {
    const Outcome outcome = run(L"http://127.0.0.1:" + env("HTTP_TEST_REFUSED_PORT") + L"/rel");
    ASSERT_TRUE(outcome.failed);
    EXPECT_EQ(outcome.text, L"Can't Connect to server.");
    EXPECT_EQ(outcome.task, DownloadVersionInfo);
}

// Each folder has a rule for its version_info.xml in tests/unit/bootstrap/CMakeLists.txt.
TEST_F(Pipeline, HttpStatusesAndShortBodiesHaveTheirTexts) {
    struct Case {
        const wchar_t* folder;
        std::wstring text;
    };
    const Case cases[] = {
        {L"/s206", L"Download error, status code: 206, url: " + url(L"/s206/version_info.xml") + L"."},
        {L"/s403", L"403 error: Forbidden: "},
        {L"/s407", L"407 error: Proxy Authentication Required: "},
        {L"/s500", L"Download error, status code: 500, url: " + url(L"/s500/version_info.xml") + L"."},
        {L"/cut", L"Download error."},
        // A redirect to itself: after ten in a row the eleventh answer is judged like any other.
        {L"/_/redirect?loop=",
         L"Download error, status code: 302, url: " + url(L"/_/redirect?loop=/version_info.xml") + L"."},
    };
    for (const Case& c : cases) {
        TearDown();
        SetUp();
        const Outcome outcome = run(url(c.folder));
        EXPECT_TRUE(outcome.failed) << narrow(c.folder);
        EXPECT_EQ(outcome.text, c.text);
        EXPECT_EQ(outcome.task, DownloadVersionInfo);
    }
}

TEST_F(Pipeline, BadDescriptionsEndTheRunWithTheirTaskNames) {
    publish(L"empty", "");
    Outcome outcome = run(url(L"/empty"));
    EXPECT_EQ(outcome.text, L"Failed to read 'version_info.xml' file (" + (download_ / L"version_info.xml") + L").");
    EXPECT_EQ(outcome.task, ReadXML);

    TearDown();
    SetUp();
    publish(L"broken", "<application name='Talvoro'><product>");
    outcome = run(url(L"/broken"));
    EXPECT_EQ(outcome.text, L"Failed to load 'version_info.xml' file (" + (download_ / L"version_info.xml") + L").");
    EXPECT_EQ(outcome.task, ReadXML);

    // Not UTF-8: the names would be compared holding U+FFFD.
    TearDown();
    SetUp();
    publish(L"latin1", "<?xml version='1.0' encoding='iso-8859-1'?><application name='Talvoro'>"
                       "<product language='1033'><version name='2.2.015' productCode='{P}'><files msi='Setup'>"
                       "<file>Caf\xE9.msi.deploy</file></files></version></product></application>");
    outcome = run(url(L"/latin1"));
    EXPECT_EQ(outcome.text,
              L"Failed to read 'version_info.xml' file (" + (download_ / L"version_info.xml") + L"). Error: 1113.");
    EXPECT_EQ(outcome.task, ReadXML);

    TearDown();
    SetUp();
    publish(L"noproducts", "\xEF\xBB\xBF<application name='Talvoro'/>");
    outcome = run(url(L"/noproducts"));
    EXPECT_EQ(outcome.text, L"No products found in 'version_info.xml'. Source url: " +
                                url(L"/noproducts/version_info.xml"));
    EXPECT_EQ(outcome.task, ParseXML);

    TearDown();
    SetUp();
    publish(L"nofiles", narrow(L"<application name='Talvoro'><product language='1033'><version name='2.2.015'>"
                               L"<files msi='a'/></version></product></application>"));
    outcome = run(url(L"/nofiles"));
    EXPECT_EQ(outcome.text, L"The 'files' section of 'version_info.xml' has no files. Source url: " +
                                url(L"/nofiles/version_info.xml") + L".");
    EXPECT_EQ(outcome.task, DownloadFile);
}

TEST_F(Pipeline, HugeAndHostileDescriptionsFailWithoutACrashOrAHang) {
    // 100 MB of bytes that are neither UTF-8 text nor markup (a rule of the server):
    // cut off once past 16 MB, never held whole.
    Outcome outcome = run(url(L"/huge"), 120000);
    EXPECT_EQ(outcome.text, L"The file 'version_info.xml' is larger than 16 MB.");
    EXPECT_EQ(outcome.task, DownloadVersionInfo);

    TearDown();
    SetUp();
    std::string nested = "<application name='Talvoro'>";
    for (int i = 0; i < 100000; ++i) nested += "<p>";
    publish(L"nested", nested);
    outcome = run(url(L"/nested"));
    EXPECT_EQ(outcome.text, L"Failed to load 'version_info.xml' file (" + (download_ / L"version_info.xml") + L").");
}

TEST_F(Pipeline, ManySmallFilesGoThroughWithoutPauses) {
    std::vector<std::pair<std::wstring, std::string>> files;
    std::vector<std::wstring> names = {L"Setup.msi"};
    files.push_back({names.back(), "package"});
    for (int i = 0; i < 40; ++i) {
        names.push_back(L"f" + std::to_wstring(i) + L".bin");
        files.push_back({names.back(), pattern(100 + i, i)});
    }
    publish(L"many", versionInfo(names), files);
    const Outcome outcome = run(url(L"/many"));
    ASSERT_TRUE(outcome.finished) << narrow(outcome.text);
    for (const auto& file : files) EXPECT_EQ(readText(download_ / file.first), file.second);
    EXPECT_LT(outcome.milliseconds, 3000u) << "a 500 ms sleep per file would take over 20 s";
}

TEST_F(Pipeline, ATamperedDescriptionWritesNothingOutsideTheDownloadFolder) {
    publish(L"evil", versionInfo({L"ok.msi", L"..\\escaped.dll"}), {{L"ok.msi", "x"}});
    const Outcome outcome = run(url(L"/evil"));
    ASSERT_TRUE(outcome.failed);
    EXPECT_EQ(outcome.text, L"XML error: The file name '..\\escaped.dll' points outside the download folder.");
    EXPECT_EQ(outcome.task, ParseXML);
    EXPECT_FALSE(exists(download_ / L"ok.msi"));
    EXPECT_FALSE(exists(download_.path() + L"\\..\\escaped.dll"));
}

TEST_F(Pipeline, ClosingTheWindowMidDownloadEndsTheWorkerQuietlyAndPromptly) {
    appSettings().installationUrl = url(L"/slowrel");
    started_ = true;
    pipeline_->StartPipeline();
    ASSERT_TRUE(pump([&] { return pipeline_->bytesReceived > 0; }, 10000));
    // As the window's close handling does it: a plain store, no wake-up.
    const DWORD start = ::GetTickCount();
    ::InterlockedExchange(&cancelFlag, 1);
    ASSERT_TRUE(pump([&] { return ::WaitForSingleObject(pipeline_->workerDoneEvent.get(), 0) == WAIT_OBJECT_0; },
                     5000));
    EXPECT_LT(::GetTickCount() - start, 1000u);
    pump([] { return false; }, 100);
    EXPECT_FALSE(ended()) << "a cancelled run posts neither success nor failure";
}

TEST_F(Pipeline, ANotFoundThatArrivesAfterTheCloseReachesNobody) {
    // The server holds the answer back; the query keeps "/version_info.xml" out of its route.
    appSettings().installationUrl = url(L"/_/status/404?delay=1500&late=");
    started_ = true;
    pipeline_->StartPipeline();
    ASSERT_TRUE(pump([&] { return pipeline_->RunningCount() == 1; }, 10000));
    ASSERT_TRUE(requestClose());
    ASSERT_TRUE(pump([&] { return ::WaitForSingleObject(pipeline_->workerDoneEvent.get(), 0) == WAIT_OBJECT_0; },
                     5000));
    // The request was left running; its 404 still arrives and is dropped.
    ASSERT_TRUE(pump([&] { return pipeline_->RunningCount() == 0; }, 10000));
    EXPECT_EQ(pipeline_->errorText, L"");
    EXPECT_EQ(readWord(stopFlag), 0);
    EXPECT_FALSE(ended()) << "a closed run posts neither success nor failure";
}

TEST_F(Pipeline, AWorkerCountsAsRunningUntilItHasSignalledItsEnd) {
    EXPECT_FALSE(pipeline_->WorkerStillRunning(0)) << "none was queued";
    appSettings().installationUrl = url(L"/_/hang?stuck=");
    started_ = true;
    pipeline_->StartPipeline();
    EXPECT_TRUE(pipeline_->WorkerStillRunning(0));
    ASSERT_TRUE(requestClose());
    EXPECT_FALSE(pipeline_->WorkerStillRunning(5000));
}

TEST_F(Pipeline, TheDownloadFolderIsNamedAfterTheCompanyAndTheTimeAndEarlierOnesArePurged) {
    const std::wstring root = downloadRoot();
    CreateDirectoryChain(root + L"Talvoro_19991231235\\inner");
    writeText(root + L"Talvoro_19991231235\\inner\\old.msi", "old");
    ::SetFileAttributesW((root + L"Talvoro_19991231235\\inner\\old.msi").c_str(), FILE_ATTRIBUTE_READONLY);
    writeText(root + L"Talvoro_file", "kept");

    pipeline_->downloadFolderCreated = false;
    pipeline_->InitializeDownloadFolder(TRUE, true, sink_);

    EXPECT_TRUE(pipeline_->downloadFolderCreated);
    EXPECT_EQ(pipeline_->notifyWindow, sink_);
    EXPECT_EQ(pipeline_->processElevated, 1);
    EXPECT_EQ(pipeline_->downloadFolder.compare(0, root.size() + 8, root + L"Talvoro_"), 0);
    EXPECT_TRUE(exists(pipeline_->downloadFolder));
    EXPECT_FALSE(exists(root + L"Talvoro_19991231235"));
    EXPECT_EQ(readText(root + L"Talvoro_file"), "kept");
    DeleteDirectoryTree(pipeline_->downloadFolder);
    ::DeleteFileW((root + L"Talvoro_file").c_str());
}

TEST_F(Pipeline, MalformedInstallationUrlsAreRefusedBeforeAnyWorkerStarts) {
    for (const wchar_t* bad : {L"ftp://127.0.0.1/rel", L"SFTP://127.0.0.1/rel", L"C:\\no\\such\\folder"}) {
        appSettings().installationUrl = bad;
        try {
            pipeline_->StartPipeline();
            ADD_FAILURE() << narrow(bad);
        } catch (const windows_error& error) {
            EXPECT_EQ(error.message(), L"The 'Installation Url' parameter is not correctly formed.");
        }
    }
}
