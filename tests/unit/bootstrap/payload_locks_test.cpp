// Held release files: readable by the installer, closed to every change.
#include "bootstrap/payload_locks.h"

#include <gtest/gtest.h>

#include "bootstrap/bootstrapper.h"
#include "temp_folder.h"

namespace {

// What a reader like the Windows Installer asks for: read access, writers denied.
bool readableAsInstaller(const std::wstring& path) {
    base::unique_file file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    return file.valid();
}

DWORD openForWriting(const std::wstring& path) {
    base::unique_file file(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                         nullptr, OPEN_EXISTING, 0, nullptr));
    return file ? 0 : ::GetLastError();
}

// Holds path below root as the worker does; false when it could not.
bool holdStored(PayloadLocks& locks, const std::wstring& path, const std::wstring& root) {
    base::unique_file file = PayloadLocks::openLocked(path);
    if (!file) return false;
    return locks.hold(std::move(file), path, root);
}

}  // namespace

TEST(PayloadLocks, AHeldFileCanBeReadButNotWrittenReplacedRenamedOrDeleted) {
    TempFolder folder;
    const std::wstring package = folder / L"Setup.msi";
    const std::wstring other = folder / L"other.msi";
    writeText(package, "genuine");
    writeText(other, "planted");
    PayloadLocks locks;
    ASSERT_TRUE(holdStored(locks, package, folder.path()));

    EXPECT_TRUE(readableAsInstaller(package));
    EXPECT_EQ(openForWriting(package), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_FALSE(::DeleteFileW(package.c_str()));
    EXPECT_FALSE(::MoveFileW(package.c_str(), (folder / L"moved.msi").c_str()));
    EXPECT_FALSE(::MoveFileExW(other.c_str(), package.c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_FALSE(::CopyFileW(other.c_str(), package.c_str(), FALSE));
    EXPECT_EQ(readText(package), "genuine");

    locks.releaseAll();
    EXPECT_EQ(locks.heldFileCount(), 0u);
    EXPECT_EQ(openForWriting(package), 0u);
    EXPECT_TRUE(::MoveFileExW(other.c_str(), package.c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(readText(package), "planted");
}

TEST(PayloadLocks, TheFoldersDownToTheFileCannotBeRenamedOrDeletedButTakeNewFiles) {
    TempFolder parent;
    const std::wstring root = parent / L"Talvoro_1";
    const std::wstring lib = root + L"\\lib";
    ASSERT_TRUE(::CreateDirectoryW(root.c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW(lib.c_str(), nullptr));
    writeText(lib + L"\\x.dll", "x");
    PayloadLocks locks;
    ASSERT_TRUE(holdStored(locks, lib + L"\\x.dll", root + L"\\"));

    EXPECT_FALSE(::MoveFileW(root.c_str(), (parent / L"elsewhere").c_str()));
    EXPECT_FALSE(::MoveFileW(lib.c_str(), (root + L"\\lib2").c_str()));
    EXPECT_FALSE(::RemoveDirectoryW(lib.c_str()));
    writeText(root + L"\\next.msi", "next");
    EXPECT_TRUE(exists(root + L"\\next.msi")) << "later release files still go into the folder";
    ASSERT_TRUE(holdStored(locks, root + L"\\next.msi", root)) << "a folder already held is held once more";

    locks.releaseAll();
    EXPECT_TRUE(::MoveFileW(lib.c_str(), (root + L"\\lib2").c_str()));
    EXPECT_TRUE(DeleteDirectoryTree(root));
}

TEST(PayloadLocks, AFileSomeoneElseCanStillWriteCannotBeSecured) {
    TempFolder folder;
    const std::wstring package = folder / L"Setup.msi";
    writeText(package, "genuine");
    base::unique_file writer(::CreateFileW(package.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                           OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(writer);
    EXPECT_FALSE(PayloadLocks::openLocked(package).valid());
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    writer.reset();
    EXPECT_TRUE(PayloadLocks::openLocked(package).valid());
}

TEST(PayloadLocks, AFolderSomeoneHoldsForDeletionFailsTheHoldAndKeepsNothing) {
    TempFolder folder;
    const std::wstring package = folder / L"Setup.msi";
    writeText(package, "genuine");
    base::unique_file folderForDeletion(::CreateFileW(folder.path().c_str(), DELETE,
                                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    ASSERT_TRUE(folderForDeletion);
    PayloadLocks locks;
    EXPECT_FALSE(holdStored(locks, package, folder.path()));
    EXPECT_EQ(locks.heldFileCount(), 0u);
    EXPECT_EQ(openForWriting(package), 0u) << "the file was let go";
}

TEST(PayloadLocks, ReleasingTheSameFileFindsItUnderAnotherSpellingAndKeepsTheOthers) {
    TempFolder folder;
    writeText(folder / L"Setup.msi", "first");
    writeText(folder / L"Actions.dll", "dll");
    PayloadLocks locks;
    ASSERT_TRUE(holdStored(locks, folder / L"Setup.msi", folder.path()));
    ASSERT_TRUE(holdStored(locks, folder / L"Actions.dll", folder.path()));

    locks.releaseSameFile(folder.path() + L"\\.\\SETUP.MSI");
    EXPECT_EQ(locks.heldFileCount(), 1u);
    writeText(folder / L"Setup.msi", "second");
    EXPECT_EQ(readText(folder / L"Setup.msi"), "second");
    EXPECT_NE(openForWriting(folder / L"Actions.dll"), 0u);
    locks.releaseSameFile(folder / L"missing.bin");
    EXPECT_EQ(locks.heldFileCount(), 1u);
}

TEST(PayloadLocks, TheExitCleanUpLetsGoOfTheRunsHeldFilesBeforeDeletingTheFolder) {
    TempFolder parent;
    const std::wstring root = parent / L"Talvoro_1";
    ASSERT_TRUE(::CreateDirectoryW(root.c_str(), nullptr));
    writeText(root + L"\\Setup.msi", "genuine");
    ASSERT_TRUE(holdStored(bootstrapper().payloadLocks, root + L"\\Setup.msi", root));
    EXPECT_TRUE(CBootstrapper::DeleteDirectoryTree(root));
    EXPECT_FALSE(exists(root));
}
