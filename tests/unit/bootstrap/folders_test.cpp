#include "bootstrap/folders.h"

#include <gtest/gtest.h>
#include <winioctl.h>

#include <vector>

#include "base/directory_tree_walks.h"
#include "product/names.h"
#include "temp_folder.h"

namespace {

// A directory junction (mount point) at link pointing to target.
bool makeJunction(const std::wstring& link, const std::wstring& target) {
    if (!::CreateDirectoryW(link.c_str(), nullptr)) return false;
    HANDLE handle = ::CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    const std::wstring substitute = L"\\??\\" + target;
    const USHORT substituteBytes = static_cast<USHORT>(substitute.size() * 2);
    const USHORT printBytes = static_cast<USHORT>(target.size() * 2);
    // ReparseTag, ReparseDataLength, Reserved, then the mount-point buffer.
    std::vector<BYTE> buffer(8 + 8 + substituteBytes + 2 + printBytes + 2);
    BYTE* p = buffer.data();
    *reinterpret_cast<DWORD*>(p) = IO_REPARSE_TAG_MOUNT_POINT;
    *reinterpret_cast<USHORT*>(p + 4) = static_cast<USHORT>(buffer.size() - 8);
    USHORT* names = reinterpret_cast<USHORT*>(p + 8);
    names[0] = 0;                                         // SubstituteNameOffset
    names[1] = substituteBytes;                           // SubstituteNameLength
    names[2] = static_cast<USHORT>(substituteBytes + 2);  // PrintNameOffset
    names[3] = printBytes;                                // PrintNameLength
    memcpy(p + 16, substitute.c_str(), substituteBytes + 2);
    memcpy(p + 16 + substituteBytes + 2, target.c_str(), printBytes + 2);
    DWORD returned = 0;
    const BOOL ok = ::DeviceIoControl(handle, FSCTL_SET_REPARSE_POINT, buffer.data(),
                                      static_cast<DWORD>(buffer.size()), nullptr, 0, &returned, nullptr);
    ::CloseHandle(handle);
    if (!ok) ::RemoveDirectoryW(link.c_str());
    return ok != FALSE;
}

using ToUnix = char*(CDECL*)(const wchar_t*);

// Wine's own path conversion; null on Windows.
ToUnix wineToUnix() {
    return reinterpret_cast<ToUnix>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
}

// The host path of a Windows path whose last part need not exist yet.
std::string hostPath(const std::wstring& path) {
    const ToUnix toUnix = wineToUnix();
    const size_t slash = path.rfind(L'\\');
    char* folder = toUnix ? toUnix(path.substr(0, slash).c_str()) : nullptr;
    if (!folder) return std::string();
    std::string result = std::string(folder) + "/";
    ::HeapFree(::GetProcessHeap(), 0, folder);
    for (wchar_t c : path.substr(slash + 1)) result += static_cast<char>(c);
    return result;
}

// Runs a host program under Wine. Its end is reported before its effect is
// visible, so callers poll for the effect.
bool runHost(const char* program, std::string command) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessA(program, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return true;
}

template <typename Condition>
bool pollFor(Condition condition) {
    for (DWORD start = ::GetTickCount(); ::GetTickCount() - start < 10000; ::Sleep(20)) {
        if (condition()) return true;
    }
    return false;
}

// Under Wine a host symbolic link is what shows as a reparse point.
bool makeHostSymlink(const std::wstring& link, const std::wstring& target) {
    const std::string from = hostPath(link), to = hostPath(target);
    if (from.empty() || to.empty()) return false;
    if (!runHost("Z:\\bin\\ln", "ln -s " + to + " " + from)) return false;
    return pollFor([&] {
        const DWORD attributes = ::GetFileAttributesW(link.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
    });
}

// Wine cannot remove a host link through Windows calls: tests clean up with the host's rm.
void removeLeftoverLink(const std::wstring& link) {
    if (!exists(link) || !wineToUnix()) return;
    if (runHost("Z:\\bin\\rm", "rm -f " + hostPath(link))) pollFor([&] { return !exists(link); });
}

// A link the system reports as a reparse point, by whichever means this system has.
bool plantLink(const std::wstring& link, const std::wstring& target) {
    return makeJunction(link, target) || makeHostSymlink(link, target);
}

}  // namespace

TEST(CreateDirectoryChain, CreatesMissingParentsAndAcceptsExistingFolders) {
    TempFolder temp;
    const std::wstring deep = temp / L"a\\b\\c";
    EXPECT_TRUE(CreateDirectoryChain(deep));
    EXPECT_TRUE(exists(deep));
    EXPECT_TRUE(CreateDirectoryChain(deep));
    EXPECT_TRUE(CreateDirectoryChain(L"no-backslash-here"));
    EXPECT_FALSE(exists(L"no-backslash-here"));
}

TEST(DeleteDirectoryTree, RemovesNestedFoldersAndReadOnlyFiles) {
    TempFolder temp;
    const std::wstring root = temp / L"tree";
    ASSERT_TRUE(CreateDirectoryChain(root + L"\\sub\\deeper"));
    writeText(root + L"\\top.txt", "x");
    writeText(root + L"\\sub\\deeper\\locked.txt", "y");
    ::SetFileAttributesW((root + L"\\sub\\deeper\\locked.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    ::SetFileAttributesW((root + L"\\sub").c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(DeleteDirectoryTree(root));
    EXPECT_FALSE(exists(root));
    EXPECT_FALSE(DeleteDirectoryTree(root)) << "a missing folder is a failure";
}

TEST(DeleteDirectoryTree, NeverEntersAJunctionOrSymbolicLink) {
    TempFolder temp;
    const std::wstring precious = temp / L"precious";
    ASSERT_TRUE(CreateDirectoryChain(precious));
    writeText(precious + L"\\keep.txt", "keep");
    const std::wstring root = temp / L"download";
    ASSERT_TRUE(CreateDirectoryChain(root));
    ASSERT_TRUE(plantLink(root + L"\\link", precious));
    writeText(root + L"\\later.txt", "x");
    // Windows removes the link itself; Wine cannot remove a host link and fails. Either way
    // the target's content stays.
    const bool removed = DeleteDirectoryTree(root);
    EXPECT_EQ(removed, !exists(root));
    EXPECT_EQ(readText(precious + L"\\keep.txt"), "keep");
    removeLeftoverLink(root + L"\\link");
}

// Both walks run here: Wine has the handle calls, so the walk by path names
// (Windows 2000 and XP) is called directly.
using TreeWalk = bool (*)(const std::wstring&);
class TreeWalkTest : public ::testing::TestWithParam<TreeWalk> {};

INSTANTIATE_TEST_SUITE_P(Walks, TreeWalkTest, ::testing::Values(&base::tree::deleteByHandles, &base::tree::deleteByPaths),
                         [](const ::testing::TestParamInfo<TreeWalk>& info) {
                             return info.param == &base::tree::deleteByHandles ? "Handles" : "Paths";
                         });

TEST_P(TreeWalkTest, DeletesTheTreeButNothingALinkInsideLeadsTo) {
    // A link deep in a tree of read-only entries is not followed, and the rest of the tree goes.
    TempFolder temp;
    const std::wstring outside = temp / L"outside";
    ASSERT_TRUE(CreateDirectoryChain(outside + L"\\inner"));
    writeText(outside + L"\\keep.txt", "keep");
    writeText(outside + L"\\inner\\keep.txt", "inner");
    const std::wstring root = temp / L"tree";
    ASSERT_TRUE(CreateDirectoryChain(root + L"\\sub\\deeper"));
    writeText(root + L"\\top.txt", "x");
    writeText(root + L"\\sub\\deeper\\locked.txt", "y");
    ::SetFileAttributesW((root + L"\\sub\\deeper\\locked.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    ::SetFileAttributesW((root + L"\\sub\\deeper").c_str(), FILE_ATTRIBUTE_READONLY);
    const std::wstring link = root + L"\\sub\\link";
    ASSERT_TRUE(plantLink(link, outside));

    const bool removed = GetParam()(root);

    EXPECT_EQ(readText(outside + L"\\keep.txt"), "keep");
    EXPECT_EQ(readText(outside + L"\\inner\\keep.txt"), "inner");
    // Windows removes the link itself; Wine cannot remove a host link, which alone stays.
    EXPECT_EQ(removed, !exists(root));
    EXPECT_EQ(removed, !exists(link));
    EXPECT_FALSE(exists(root + L"\\top.txt"));
    EXPECT_FALSE(exists(root + L"\\sub\\deeper"));
    removeLeftoverLink(link);
}

TEST_P(TreeWalkTest, ALinkGivenAsTheRootIsNeverEmptied) {
    // The tree's own root may be a planted link: its target keeps its files.
    TempFolder temp;
    const std::wstring outside = temp / L"outside";
    ASSERT_TRUE(CreateDirectoryChain(outside));
    writeText(outside + L"\\keep.txt", "keep");
    const std::wstring link = temp / L"link";
    ASSERT_TRUE(plantLink(link, outside));

    const bool removed = GetParam()(link);

    EXPECT_EQ(removed, !exists(link));
    EXPECT_EQ(readText(outside + L"\\keep.txt"), "keep");
    removeLeftoverLink(link);
}

TEST_P(TreeWalkTest, AnEntryInUseStaysAloneAndItsErrorIsReported) {
    // One file that cannot go neither stops the rest nor hides why the delete failed.
    TempFolder temp;
    const std::wstring root = temp / L"tree";
    ASSERT_TRUE(CreateDirectoryChain(root + L"\\a\\b"));
    ASSERT_TRUE(CreateDirectoryChain(root + L"\\z"));
    writeText(root + L"\\a\\b\\one.txt", "1");
    writeText(root + L"\\m.txt", "in use");
    writeText(root + L"\\z\\two.txt", "2");
    base::unique_file inUse(::CreateFileW((root + L"\\m.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(inUse);

    EXPECT_FALSE(GetParam()(root));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_FALSE(exists(root + L"\\a"));
    EXPECT_FALSE(exists(root + L"\\z"));
    EXPECT_EQ(readText(root + L"\\m.txt"), "in use");

    inUse.reset();
    EXPECT_TRUE(GetParam()(root));
    EXPECT_FALSE(exists(root));
    EXPECT_FALSE(GetParam()(root));
    const DWORD missing = ::GetLastError();
    EXPECT_TRUE(missing == ERROR_FILE_NOT_FOUND || missing == ERROR_PATH_NOT_FOUND) << missing;
}

TEST(DeleteTreeByHandles, FoldersHeldByTheWalkCannotBeRenamedAway) {
    // While the walk is inside a folder, neither it nor the root above can be swapped for a link.
    TempFolder temp;
    const std::wstring root = temp / L"tree";
    ASSERT_TRUE(CreateDirectoryChain(root + L"\\sub\\deeper"));
    {
        base::unique_file heldRoot = base::tree::openEntry(root, true);
        base::unique_file heldSub = base::tree::openEntry(root + L"\\sub", true);
        ASSERT_TRUE(heldRoot && heldSub);
        EXPECT_FALSE(::MoveFileExW((root + L"\\sub").c_str(), (temp / L"away").c_str(), 0));
        EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
        EXPECT_FALSE(::MoveFileExW(root.c_str(), (temp / L"away").c_str(), 0));
        EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    }
    EXPECT_TRUE(::MoveFileExW((root + L"\\sub").c_str(), (temp / L"away").c_str(), 0)) << "released, it moves";
}

TEST(PurgeOldFolders, DeletesOnlyStampedFoldersOfTheCompanyWithTheirReadOnlyFiles) {
    TempFolder temp;
    const std::wstring root = temp.path() + L"\\";
    ASSERT_TRUE(CreateDirectoryChain(root + L"Acme_20201110"));
    writeText(root + L"Acme_20201110\\old.msi", "old");
    ::SetFileAttributesW((root + L"Acme_20201110\\old.msi").c_str(), FILE_ATTRIBUTE_READONLY);
    ASSERT_TRUE(CreateDirectoryChain(root + L"ACME_202612311259\\nested"));
    // Someone else's folders with the same beginning, and a file with a stamped name.
    for (const wchar_t* kept : {L"Acme_Backup", L"Acme_x", L"Acme_2024", L"Acme_20201110x", L"Acme_2026123112590",
                                L"Acme__20201110", L"AcmeCorp_20201110", L"Other_20201110"})
        ASSERT_TRUE(CreateDirectoryChain(root + kept + L"\\inner")) << kept;
    writeText(root + L"Acme_20201111", "a file with a stamped name");

    PurgeOldFolders(root, L"Acme");

    EXPECT_FALSE(exists(root + L"Acme_20201110"));
    EXPECT_FALSE(exists(root + L"ACME_202612311259"));
    for (const wchar_t* kept : {L"Acme_Backup", L"Acme_x", L"Acme_2024", L"Acme_20201110x", L"Acme_2026123112590",
                                L"Acme__20201110", L"AcmeCorp_20201110", L"Other_20201110"})
        EXPECT_TRUE(exists(root + kept + L"\\inner")) << kept;
    EXPECT_EQ(readText(root + L"Acme_20201111"), "a file with a stamped name");
}

TEST(PurgeOldFolders, ACompanyNameThatIsNoPlainFolderNamePartDeletesNothing) {
    TempFolder temp;
    const std::wstring root = temp.path() + L"\\";
    for (const wchar_t* name : {L"_20201110", L"_precious", L"A_20201110", L"Ab_20201110", L"x_20201110"})
        ASSERT_TRUE(CreateDirectoryChain(root + name + L"\\inner")) << name;

    for (const wchar_t* company : {L"", L"*", L"A*", L"?", L"A?", L"..\\x", L"x/..", L"A:b", L"a\x01"})
        PurgeOldFolders(root, company);

    for (const wchar_t* name : {L"_20201110", L"_precious", L"A_20201110", L"Ab_20201110", L"x_20201110"})
        EXPECT_TRUE(exists(root + name + L"\\inner")) << name;

    // The one refused name whose folders the name check alone would take: a
    // company too long for a stamped folder name still fits a short stamp.
    const std::wstring longRoot = L"\\\\?\\" + root;
    const std::wstring tooLong(243, L'x');
    ASSERT_TRUE(CreateDirectoryChain(longRoot + tooLong + L"_20201110\\inner"));
    ASSERT_TRUE(isDownloadFolderName(tooLong + L"_20201110", tooLong));
    PurgeOldFolders(longRoot, tooLong);
    EXPECT_TRUE(exists(longRoot + tooLong + L"_20201110\\inner"));
    DeleteDirectoryTree(longRoot + tooLong + L"_20201110");  // best effort: the temporary folder's end may not reach it

    EXPECT_TRUE(isPlainFolderNamePart(L"Talvoro Software, Inc."));
    EXPECT_TRUE(isPlainFolderNamePart(std::wstring(242, L'x')));
    EXPECT_FALSE(isPlainFolderNamePart(std::wstring(243, L'x')));  // the folder name would pass 255
}

TEST(PurgeOldFolders, APlantedLinkNeverEmptiesItsTarget) {
    TempFolder temp;
    const std::wstring root = temp.path() + L"\\";
    ASSERT_TRUE(CreateDirectoryChain(root + L"precious\\inner"));
    writeText(root + L"precious\\keep.txt", "keep");
    writeText(root + L"precious\\inner\\deep.txt", "deep");
    ASSERT_TRUE(plantLink(root + L"Acme_20201110", root + L"precious"));

    PurgeOldFolders(root, L"Acme");

    EXPECT_EQ(readText(root + L"precious\\keep.txt"), "keep");
    EXPECT_EQ(readText(root + L"precious\\inner\\deep.txt"), "deep");
    removeLeftoverLink(root + L"Acme_20201110");
}

TEST(DownloadFolderStamp, IsYearMonthDayHourSecondWithoutLeadingZeros) {
    SYSTEMTIME time = {};
    time.wYear = 2026;
    time.wMonth = 12;
    time.wDay = 7;
    time.wHour = 10;
    time.wMinute = 5;
    time.wSecond = 9;
    EXPECT_EQ(downloadFolderStamp(time), L"2026127109");
}

TEST(DownloadRoot, EndsWithOneBackslash) {
    const std::wstring root = downloadRoot();
    ASSERT_GE(root.size(), 2u);
    EXPECT_EQ(root.back(), L'\\');
    EXPECT_NE(root[root.size() - 2], L'\\');
}
