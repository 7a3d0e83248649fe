#include "site_lock.h"

#include <gtest/gtest.h>

#include "folder_tree.h"
#include "lock_owner.h"

namespace {

std::string readShared(const std::wstring& path) {
    base::unique_file file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                         nullptr, OPEN_EXISTING, 0, nullptr));
    char buffer[1024];
    DWORD read = 0;
    if (!file || !::ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr)) return std::string();
    return std::string(buffer, read);
}

void plant(const std::wstring& path, const std::string& text) {
    base::unique_file file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    DWORD written = 0;
    ASSERT_TRUE(file && ::WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr));
}

bool exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

// A second run waits the time it is given, then refuses naming the holder;
// once the holder lets go, the lock file is gone and the next run gets it.
TEST(SiteLock, IsExclusiveWaitsAndNamesItsHolder) {
    ScratchFolder site(makeTemporaryFolder(L"site-lock-"));
    SiteLock first;
    std::wstring problem;
    ASSERT_TRUE(first.take(site.path(), 0, problem)) << problem;
    LockOwner owner;
    ASSERT_TRUE(parseLockText(readShared(siteLockPath(site.path())), owner));
    EXPECT_EQ(owner.processId, ::GetCurrentProcessId());

    SiteLock second;
    const DWORD start = ::GetTickCount();
    EXPECT_FALSE(second.take(site.path(), 1500, problem));
    EXPECT_GE(::GetTickCount() - start, 1500u);
    EXPECT_EQ(problem, siteLockPath(site.path()) + L": " + describeLockOwner(currentLockOwner()) +
                           L" is editing the site; gave up after waiting 1 s");

    first.release();
    EXPECT_FALSE(exists(siteLockPath(site.path())));
    EXPECT_TRUE(second.take(site.path(), 0, problem)) << problem;
}

// A lock whose owner has ended (no such process, or its id now names a process
// started at another time) is refused at once, named, and left where it is.
TEST(SiteLock, ALockLeftByAnEndedProcessIsNamedNeverBroken) {
    ScratchFolder site(makeTemporaryFolder(L"site-lock-"));
    LockOwner gone = currentLockOwner();
    gone.processId = 0xFFFFFFF0;
    LockOwner reused = currentLockOwner();
    reused.started = L"2001-01-01 00:00:00.000 UTC";
    for (const LockOwner& owner : {gone, reused}) {
        plant(siteLockPath(site.path()), lockText(owner));
        SiteLock lock;
        std::wstring problem;
        const DWORD start = ::GetTickCount();
        EXPECT_FALSE(lock.take(site.path(), 10000, problem));
        EXPECT_LT(::GetTickCount() - start, 5000u) << "no wait for an ended owner";
        EXPECT_EQ(problem, siteLockPath(site.path()) + L": left by " + describeLockOwner(owner) +
                               L", which has ended; if no publish add is editing the site, delete the lock and run again");
        EXPECT_EQ(readShared(siteLockPath(site.path())), lockText(owner));
        ASSERT_TRUE(::DeleteFileW(siteLockPath(site.path()).c_str()));
    }
}

// What cannot be told ended counts as running: an owner on another computer,
// a lock that names nobody.
TEST(SiteLock, AnOwnerItCannotCheckIsWaitedFor) {
    ScratchFolder site(makeTemporaryFolder(L"site-lock-"));
    LockOwner elsewhere = currentLockOwner();
    elsewhere.computer = L"OTHER-HOST";
    elsewhere.processId = 0xFFFFFFF0;
    plant(siteLockPath(site.path()), lockText(elsewhere));
    SiteLock lock;
    std::wstring problem;
    EXPECT_FALSE(lock.take(site.path(), 200, problem));
    EXPECT_NE(problem.find(L": process 4294967280 on OTHER-HOST, started "), std::wstring::npos) << problem;
    ASSERT_TRUE(::DeleteFileW(siteLockPath(site.path()).c_str()));

    plant(siteLockPath(site.path()), "");
    EXPECT_FALSE(lock.take(site.path(), 200, problem));
    EXPECT_EQ(problem, siteLockPath(site.path()) +
                           L": the site is locked by a process the lock does not name; gave up after waiting 0 s "
                           L"(delete the lock if no publish add is editing the site)");
}
