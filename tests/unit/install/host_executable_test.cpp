#include "install/host_executable.h"

#include <gtest/gtest.h>

#include "install/process_list.h"
#include "install_test_support.h"

using namespace installtest;

namespace {

std::wstring ownImageName() {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring text = path;
    return text.substr(text.rfind(L'\\') + 1);
}

const wchar_t testTypeLibrary[] = L"{6B0D5A1E-2C3F-4A5B-9C8D-7E6F5A4B3C2D}";

}  // namespace

TEST(IsProcessRunning, FindsThisProgramInItsOwnSessionWhateverTheCaseAndNotAnAbsentOne) {
    std::wstring name = ownImageName();
    for (wchar_t& c : name) c = static_cast<wchar_t>(towupper(c));
    EXPECT_TRUE(IsProcessRunning(name, true));
    EXPECT_TRUE(IsProcessRunning(name, false));
    EXPECT_FALSE(IsProcessRunning(L"no-such-program.exe", false));
}

TEST(FindHostExecutable, GivesThePathOfTheRunningHostEvenWithoutAnyTypeLibrary) {
    TempFolder folder;
    const std::wstring host = folder / L"Program Files\\Office\\VISIO.EXE";
    copyFakeHost(host);
    ChildProcess process(host);
    ASSERT_TRUE(process.started());
    EXPECT_EQ(_wcsicmp(RunningProcessImagePath(L"visio.exe").c_str(), host.c_str()), 0);
    EXPECT_EQ(_wcsicmp(FindHostExecutable(L"visio.exe", L"").c_str(), host.c_str()), 0);
    const std::wstring wmi = QueryWmiExecutablePath(L"visio.exe");
    EXPECT_TRUE(wmi.empty() || _wcsicmp(wmi.c_str(), host.c_str()) == 0) << wmi;
    process.stop();
    EXPECT_EQ(FindHostExecutable(L"visio.exe", L""), L"") << "nothing runs and no type library is named";
}

TEST(TypeLibrary, FoldersOfRegisteredFilesAndTheLastOneHoldingAVersionedHost) {
    TempFolder folder;
    const std::wstring first = folder / L"First";
    const std::wstring second = folder / L"Second Office";
    writeFile(first + L"\\host.tlb", "type library");
    copyFakeHost(first + L"\\frontpage.exe");
    writeFile(second + L"\\host.olb", "type library");
    copyFakeHost(second + L"\\frontpage.exe");
    ScratchKey key(HKEY_CLASSES_ROOT, std::wstring(L"TypeLib\\") + testTypeLibrary);
    ScratchKey v1(HKEY_CLASSES_ROOT, std::wstring(L"TypeLib\\") + testTypeLibrary + L"\\1.0\\0\\win32");
    v1.set(nullptr, first + L"\\host.tlb");
    ScratchKey v2(HKEY_CLASSES_ROOT, std::wstring(L"TypeLib\\") + testTypeLibrary + L"\\2.0\\0\\win64");
    v2.set(nullptr, second + L"\\host.olb");
    ScratchKey v3(HKEY_CLASSES_ROOT, std::wstring(L"TypeLib\\") + testTypeLibrary + L"\\3.0\\0\\win32");
    v3.set(nullptr, folder / L"gone\\host.tlb");

    EXPECT_EQ(TypeLibraryFolders(testTypeLibrary), (std::vector<std::wstring>{first, second}))
        << "a registered file that does not exist adds nothing";
    EXPECT_EQ(FindHostByTypeLibrary(testTypeLibrary, L"frontpage.exe"), second + L"\\frontpage.exe");
    EXPECT_EQ(FindHostByTypeLibrary(testTypeLibrary, L"host.tlb"), L"") << "a file without a version does not count";
    EXPECT_EQ(FindHostExecutable(L"frontpage.exe", testTypeLibrary), second + L"\\frontpage.exe")
        << "with no such process running the type library is asked";
    EXPECT_TRUE(TypeLibraryFolders(L"{00000000-0000-0000-0000-0000000000AA}").empty());
}
