#include "app/layout_option.h"

#include <windows.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include "base/windows_error.h"

namespace {

std::wstring layoutOf(const wchar_t* commandLine) {
    OptionTable options;
    const int count = options.parse(splitCommandLine(commandLine));
    std::wstring folder;
    readLayoutFolderOption(options, count, folder);
    return folder;
}

std::wstring tempFolder(const wchar_t* name) {
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    return std::wstring(temp) + name + std::to_wstring(::GetCurrentProcessId());
}

}  // namespace

TEST(ReadLayoutFolderOption, AFolderWithBackslashesIsTakenAsAFullPath) {
    EXPECT_EQ(L"", layoutOf(L"/quiet"));
    EXPECT_EQ(L"C:\\share\\addin", layoutOf(L"/layout=C:\\share\\addin\\ /quiet /log=C:\\x.log"));
    EXPECT_EQ(L"C:\\my share\\addin", layoutOf(L"/LAYOUT=\"C:\\my share\\addin\""));
    wchar_t current[MAX_PATH];
    ::GetCurrentDirectoryW(MAX_PATH, current);
    std::wstring expected = current;
    if (expected.back() != L'\\') expected += L'\\';
    EXPECT_EQ(expected + L"addin", layoutOf(L"/layout=addin"));
}

TEST(ReadLayoutFolderOption, AFolderThatASlashOrEqualsSignCutApartIsRefused) {
    for (const wchar_t* commandLine : {L"/layout", L"/layout=C:/share/addin", L"/layout=share/1033",
                                       L"/layout=C:\\a=b", L"/layout=C:\\x /debugdirectory=C:\\y"}) {
        EXPECT_THROW(layoutOf(commandLine), windows_error) << commandLine;
    }
}

TEST(PrepareLayoutFolder, OnlyAnEmptyOrNewFolderWhoseParentExistsIsTaken) {
    const std::wstring folder = tempFolder(L"layout_option_test_");
    ::RemoveDirectoryW(folder.c_str());
    EXPECT_TRUE(prepareLayoutFolder(folder)) << "made by this run";
    EXPECT_FALSE(prepareLayoutFolder(folder)) << "empty: taken as it is";

    const std::wstring file = folder + L"\\notes.txt";
    ::CloseHandle(::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    try {
        prepareLayoutFolder(folder);
        ADD_FAILURE() << "a folder that is not empty was taken";
    } catch (const windows_error& error) {
        EXPECT_EQ(L"The layout folder '" + folder + L"' must be a new or empty folder, written with backslashes.",
                  error.message());
        EXPECT_EQ(0u, error.code);
    }
    EXPECT_THROW(prepareLayoutFolder(file), windows_error) << "a file";
    EXPECT_THROW(prepareLayoutFolder(folder + L"\\missing\\addin"), windows_error) << "no parents are made";
    EXPECT_FALSE(::PathFileExistsW((folder + L"\\missing").c_str()));
    ::DeleteFileW(file.c_str());
    ::RemoveDirectoryW(folder.c_str());
}
