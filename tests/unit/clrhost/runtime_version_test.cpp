#include "clrhost/runtime_version.h"

#include <gtest/gtest.h>

#include "standin_scenario.h"

namespace {

// A framework root in a fresh folder: version folders, some with mscorlib.dll.
class FrameworkRoot {
public:
    FrameworkRoot() : root_(scenario_.folder() + L"\\Framework\\") { ::CreateDirectoryW(root_.c_str(), nullptr); }
    void version(const std::wstring& name, bool withMscorlib) {
        ::CreateDirectoryW((root_ + name).c_str(), nullptr);
        if (withMscorlib) writeTextFile(root_ + name + L"\\mscorlib.dll", "x");
    }
    void file(const std::wstring& name) { writeTextFile(root_ + name, "x"); }
    const std::wstring& root() const { return root_; }

private:
    StandinScenario scenario_;  // only for its folder
    std::wstring root_;
};

}  // namespace

// Only the 2.0.50727 folder holds mscorlib.dll: it is picked; 3.0 and 3.5 never are.
TEST(PickVersionFolder, FolderWithoutMscorlibIsNoCandidate) {
    FrameworkRoot framework;
    framework.version(L"v1.0.3705", false);
    framework.version(L"v2.0.50727", true);
    framework.version(L"v3.0", false);
    framework.version(L"v3.5", false);
    EXPECT_EQ(L"v2.0.50727", clrhost::pickVersionFolder(framework.root()));
}

// Plain text order without regard to case: 4.0.30319 beats 2.0.50727; files named v* do not count.
TEST(PickVersionFolder, GreatestNameWins) {
    FrameworkRoot framework;
    framework.version(L"v2.0.50727", true);
    framework.version(L"V4.0.30319", true);
    framework.version(L"v3.5", false);
    framework.file(L"v9.txt");
    EXPECT_EQ(L"V4.0.30319", clrhost::pickVersionFolder(framework.root()));
    framework.version(L"v10.0", true);  // text order, not version order
    EXPECT_EQ(L"V4.0.30319", clrhost::pickVersionFolder(framework.root()));
}

// No root, no folders or no mscorlib.dll anywhere: no version.
TEST(PickVersionFolder, NothingUsable) {
    FrameworkRoot framework;
    EXPECT_EQ(L"", clrhost::pickVersionFolder(framework.root()));
    framework.version(L"v4.0.30319", false);
    framework.version(L"other", true);
    EXPECT_EQ(L"", clrhost::pickVersionFolder(framework.root()));
    EXPECT_EQ(L"", clrhost::pickVersionFolder(L""));
}
