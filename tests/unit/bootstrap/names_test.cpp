#include "product/names.h"

#include <gtest/gtest.h>

TEST(Names, DeploySuffixIsDroppedInAnyCaseOnlyFromLongerNames) {
    EXPECT_EQ(withoutDeploySuffix(L"C:\\dl\\Setup.MSI.DEPLOY"), L"C:\\dl\\Setup.MSI");
    EXPECT_EQ(withoutDeploySuffix(L"x.dll.Deploy"), L"x.dll");
    EXPECT_EQ(withoutDeploySuffix(L"x.deploy.txt"), L"x.deploy.txt");
    EXPECT_EQ(withoutDeploySuffix(L".deploy"), L".deploy");
    EXPECT_EQ(withoutDeploySuffix(L"a.deploy"), L"a");
}

TEST(Names, BaseNameAndFolderCutAtTheLastSeparators) {
    EXPECT_EQ(baseName(L"C:\\dl\\lib\\x.dll"), L"x.dll");
    EXPECT_EQ(baseName(L"C:\\dl\\lib/x.dll"), L"x.dll");
    EXPECT_EQ(baseName(L"plain"), L"plain");
    EXPECT_EQ(folderOfTarget(L"C:\\dl\\lib\\x.dll"), L"C:\\dl\\lib");
    EXPECT_EQ(folderOfTarget(L"plain"), L"plain");
}

TEST(Names, ErrorNumberIsAppendedOnlyWhenNotZero) {
    EXPECT_EQ(textWithCode(L"Failed to copy 'a' file", 5), L"Failed to copy 'a' file. Error: 5.");
    EXPECT_EQ(textWithCode(L"Failed to copy 'a' file", 0), L"Failed to copy 'a' file.");
    EXPECT_EQ(textWithCode(L"x", 0x80004005), L"x. Error: -2147467259.");
}
