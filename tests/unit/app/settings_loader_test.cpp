#include "app/settings_loader.h"

#include <gtest/gtest.h>

#include <vector>

#include "app/resource_ids.h"

TEST(SettingsLoader, ShippedTableGivesTheShippedValues) {
    AppSettings settings;
    const HINSTANCE module = ::GetModuleHandleW(nullptr);  // the program's resources are linked in
    loadStringSettings(module, settings);
    loadWindowClassName(module, settings);
    EXPECT_EQ(settings.windowClassName, L"STOBRINDOWNLOADER");
    EXPECT_EQ(settings.loaderComponentCodes, L"{4B6C9D8C-737F-5F9C-E940-16E917592AE1}");
    EXPECT_EQ(settings.language, L"1033");
    EXPECT_EQ(settings.privileges, L"administrator");
    EXPECT_EQ(settings.productName, L"Talvoro Plug-in for PowerPoint\x00AE");
    EXPECT_EQ(settings.productCode, L"{58DE7ACE-695E-467E-BBD1-89985E2AB819}");
    EXPECT_EQ(settings.companyName, L"Talvoro");
    EXPECT_EQ(settings.hostApplication, L"PowerPoint");
    EXPECT_EQ(settings.windowTitle, L"Talvoro Plug-in for PowerPoint\x00AE");
    EXPECT_EQ(settings.version, L"2.2.015");
    EXPECT_EQ(settings.showProgressWindow, L"true");
    EXPECT_EQ(settings.downloadRetries, L"0");
    EXPECT_FALSE(settings.installationUrl.empty());
    EXPECT_FALSE(settings.perUser());
    EXPECT_TRUE(settings.progressWindowVisible());
}

TEST(SettingsLoader, MissingStringIsEmpty) {
    EXPECT_EQ(loadStringResource(::GetModuleHandleW(nullptr), 138), L"");
    EXPECT_EQ(loadStringResource(::GetModuleHandleW(nullptr), 60000), L"");
}

TEST(SettingsLoader, ComparisonsIgnoreAsciiCase) {
    AppSettings settings;
    settings.privileges = L"UsEr";
    settings.showProgressWindow = L"FALSE";
    EXPECT_TRUE(settings.perUser());
    EXPECT_FALSE(settings.progressWindowVisible());
    settings.privileges = L"users";
    settings.showProgressWindow = L"no";
    EXPECT_FALSE(settings.perUser());
    EXPECT_TRUE(settings.progressWindowVisible());
}

TEST(SettingsLoader, DownloadRetriesOutsideZeroToTenMeanNone) {
    AppSettings settings;
    for (const wchar_t* none : {L"", L"0", L"11", L"-1", L"3 ", L"x", L"100"}) {
        settings.downloadRetries = none;
        EXPECT_EQ(settings.downloadRetryCount(), 0) << testing::PrintToString(std::wstring(none));
    }
    settings.downloadRetries = L"10";
    EXPECT_EQ(settings.downloadRetryCount(), 10);
    settings.downloadRetries = L"03";
    EXPECT_EQ(settings.downloadRetryCount(), 3);
}

TEST(SettingsLoader, ExePathsComeFromTheModuleFileNotTheCommandLine) {
    // A one-letter argument that also occurs in the path once mangled it.
    AppSettings settings;
    settings.commandLine = L"a";
    deriveExePaths(L"C:\\data\\a b\\a.exe", settings);
    EXPECT_EQ(settings.exePath, L"C:\\data\\a b\\a.exe");
    EXPECT_EQ(settings.exeDirectory, L"C:\\data\\a b\\");
    EXPECT_EQ(settings.exeFileName, L"a.exe");
}

TEST(SettingsLoader, OwnModulePathEndsWithOwnFileName) {
    AppSettings settings;
    deriveExePaths(moduleFilePath(nullptr), settings);
    EXPECT_EQ(settings.exeFileName, L"app_tests.exe");
    EXPECT_EQ(settings.exeDirectory + settings.exeFileName, settings.exePath);
}

namespace {

// A stand-in for GetVersionExW that knows only the structure sizes it is told to.
DWORD acceptedSize = 0;
std::vector<DWORD> askedSizes;

BOOL WINAPI versionQuery(OSVERSIONINFOW* info) {
    askedSizes.push_back(info->dwOSVersionInfoSize);
    if (info->dwOSVersionInfoSize != acceptedSize) return FALSE;
    info->dwMajorVersion = acceptedSize == sizeof(OSVERSIONINFOEXW) ? 10 : 4;
    return TRUE;
}

DWORD majorVersionAccepting(DWORD size) {
    acceptedSize = size;
    askedSizes.clear();
    return queryOsMajorVersion(versionQuery);
}

}  // namespace

TEST(SettingsLoader, OsMajorVersionFallsBackToTheBasicStructureOnlyWhenTheExtendedOneFails) {
    EXPECT_EQ(majorVersionAccepting(sizeof(OSVERSIONINFOEXW)), 10u);
    EXPECT_EQ(askedSizes, std::vector<DWORD>({284}));
    EXPECT_EQ(majorVersionAccepting(sizeof(OSVERSIONINFOW)), 4u);
    EXPECT_EQ(askedSizes, std::vector<DWORD>({284, 276}));
    EXPECT_EQ(majorVersionAccepting(0), 0u);
}
