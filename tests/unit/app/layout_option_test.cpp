#include "app/layout_option.h"

#include <windows.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

namespace {

// What the option makes of the command line; the folder's own check runs too.
LayoutFolder prepare(const std::wstring& commandLine, std::wstring& folder, DWORD& code) {
    OptionTable options;
    const int count = options.parse(splitCommandLine(commandLine));
    return prepareLayoutFolder(options, count, folder, code);
}

LayoutFolder prepare(const std::wstring& commandLine, std::wstring& folder) {
    DWORD code = 0;
    return prepare(commandLine, folder, code);
}

// "<folder as far as read> <code>" for a refusal.
std::wstring refusal(const std::wstring& commandLine) {
    std::wstring folder;
    DWORD code = 0;
    if (prepare(commandLine, folder, code) != LayoutFolder::Refused) return L"taken: " + folder;
    return folder + L" " + std::to_wstring(code);
}

std::wstring tempFolder() {
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    return std::wstring(temp) + L"layout_option_test_" + std::to_wstring(::GetCurrentProcessId());
}

}  // namespace

TEST(PrepareLayoutFolder, ARelativeFolderIsMadeBelowTheCurrentOneAndAnEmptyOneTakenAsItIs) {
    const std::wstring folder = tempFolder();
    ::CreateDirectoryW(folder.c_str(), nullptr);
    wchar_t current[MAX_PATH];
    ::GetCurrentDirectoryW(MAX_PATH, current);
    ::SetCurrentDirectoryW(folder.c_str());
    std::wstring taken;
    EXPECT_EQ(LayoutFolder::Created, prepare(L"/layout=addin\\ /quiet /log=C:\\x.log", taken));
    EXPECT_EQ(folder + L"\\addin", taken) << "full, without a trailing backslash";
    EXPECT_EQ(LayoutFolder::Empty, prepare(L"/LAYOUT=addin", taken));
    ::SetCurrentDirectoryW(current);
    ::RemoveDirectoryW(taken.c_str());
    ::RemoveDirectoryW(folder.c_str());
}

TEST(PrepareLayoutFolder, AFolderNotEmptyAFileOrNoParentIsRefusedAndNothingIsMade) {
    const std::wstring folder = tempFolder();
    ::CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring file = folder + L"\\notes.txt";
    ::CloseHandle(::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    EXPECT_EQ(folder + L" 0", refusal(L"/layout=" + folder));
    EXPECT_EQ(file + L" 0", refusal(L"/layout=" + file));
    EXPECT_EQ(folder + L"\\missing\\addin 3", refusal(L"/layout=" + folder + L"\\missing\\addin"))
        << "no parents are made";
    EXPECT_FALSE(::PathFileExistsW((folder + L"\\missing").c_str()));
    ::DeleteFileW(file.c_str());
    ::RemoveDirectoryW(folder.c_str());
}

TEST(PrepareLayoutFolder, AFolderThatASlashOrEqualsSignCutApartIsRefused) {
    EXPECT_EQ(L" 0", refusal(L"/layout"));
    EXPECT_EQ(L"C: 0", refusal(L"/layout=C:/share/addin"));
    EXPECT_EQ(L"share 0", refusal(L"/layout=share/1033"));
    EXPECT_EQ(L"C:\\a 0", refusal(L"/layout=C:\\a=b"));
    EXPECT_EQ(L"C:\\x 0", refusal(L"/layout=C:\\x /debugdirectory=C:\\y"));
}
