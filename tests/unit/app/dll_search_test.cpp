#include "app/dll_search.h"

#include <windows.h>
#include <wininet.h>

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring systemFolder() {
    wchar_t folder[MAX_PATH];
    const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
    return std::wstring(folder, length);
}

std::wstring modulePath(HMODULE module) {
    wchar_t path[MAX_PATH];
    const DWORD length = ::GetModuleFileNameW(module, path, MAX_PATH);
    return std::wstring(path, length);
}

bool equalNoCase(const std::wstring& a, const std::wstring& b) {
    return ::lstrcmpiW(a.c_str(), b.c_str()) == 0;
}

}  // namespace

TEST(DllSearch, RestrictsTheSearchWhereTheSystemCan) {
    // Wine, like Windows since the 2011 loader update, has SetDefaultDllDirectories.
    EXPECT_TRUE(dll_search::restrictToSystemFolder());
    EXPECT_TRUE(dll_search::searchRestricted());
    EXPECT_TRUE(dll_search::restrictToSystemFolder()) << "a second call changes nothing";
}

TEST(DllSearch, SystemPathIsTheSystemFolderAndRefusesAnythingButAPlainName) {
    EXPECT_TRUE(equalNoCase(dll_search::systemLibraryPath("version.dll"), systemFolder() + L"\\version.dll"));
    for (const char* bad : {"", ".", "..", "..\\version.dll", "sub/version.dll", "C:version.dll",
                            "\\\\server\\share\\x.dll", "caf\xe9.dll"})
        EXPECT_EQ(dll_search::systemLibraryPath(bad), L"") << bad;
    EXPECT_EQ(dll_search::systemLibraryPath(nullptr), L"");
    EXPECT_EQ(dll_search::systemLibraryPath(std::string(400, 'a').c_str()), L"") << "longer than a path";
}

TEST(DllSearch, OnlyTheCommonControlsOfTheManifestAreRedirected) {
    // The test carries the program's manifest, which asks for comctl32 version 6.
    EXPECT_TRUE(dll_search::redirectedBySideBySide("comctl32.dll"));
    EXPECT_FALSE(dll_search::redirectedBySideBySide("wininet.dll"));
    EXPECT_FALSE(dll_search::redirectedBySideBySide(nullptr));
}

TEST(DllSearch, LoadsFromTheSystemFolderOrFailsWithModuleNotFound) {
    HMODULE msi = dll_search::loadSystemLibrary("msi.dll");
    ASSERT_NE(msi, nullptr);
    EXPECT_TRUE(equalNoCase(modulePath(msi), systemFolder() + L"\\msi.dll"));
    ::FreeLibrary(msi);

    ::SetLastError(0);
    EXPECT_EQ(dll_search::loadSystemLibrary("..\\msi.dll"), nullptr);
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}

TEST(DllSearch, ADelayLoadedDllIsLoadedOnFirstCallFromTheSystemFolder) {
    // This test links wininet through the generated delay-import library: it
    // is not loaded until the first call, and then from the system folder.
    ASSERT_EQ(::GetModuleHandleW(L"wininet.dll"), nullptr);
    wchar_t canonical[64];
    DWORD length = 64;
    ASSERT_TRUE(::InternetCanonicalizeUrlW(L"http://example.test/a b", canonical, &length, 0));
    EXPECT_STREQ(canonical, L"http://example.test/a%20b");
    HMODULE wininet = ::GetModuleHandleW(L"wininet.dll");
    ASSERT_NE(wininet, nullptr);
    EXPECT_TRUE(equalNoCase(modulePath(wininet), systemFolder() + L"\\wininet.dll"));
}
