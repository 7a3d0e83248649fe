#include "install/product_state.h"

#include <gtest/gtest.h>

#include "clrhost/installer_messages.h"

TEST(MayRemoveProduct, ANonElevatedProcessOnWindows5MayRemoveOnlyAPerUserProduct) {
    RemovalRights rights;
    rights.privileges = L"administrator";
    EXPECT_FALSE(MayRemoveProduct(rights, L"{58DE7ACE-695E-467E-BBD1-89985E2AB819}"));
    rights.privileges = L"USER";
    EXPECT_TRUE(MayRemoveProduct(rights, L"{58DE7ACE-695E-467E-BBD1-89985E2AB819}"));
    rights.privileges = L"administrator";
    rights.laterThanVersion5 = true;
    EXPECT_TRUE(MayRemoveProduct(rights, L"{58DE7ACE-695E-467E-BBD1-89985E2AB819}"))
        << "later systems ask for consent themselves";
    EXPECT_STREQ(removalForbiddenText,
                 L"This installation is forbidden by system policy (1625). Contact your system administrator.");
}

TEST(IsProductInstalled, AnUnknownProductIsNotInstalled) {
    EXPECT_FALSE(IsProductInstalled(L"{00000000-0000-0000-0000-000000000002}"));
    EXPECT_FALSE(IsProductInstalled(L""));
}

TEST(InstallerErrorText, InstallerErrorsInDecimalEverythingElseAsAnHresult) {
    EXPECT_EQ(installerErrorText(L"Failed to open the msi package", 1602),
              L"Failed to open the msi package (Error = 1602).");
    EXPECT_EQ(installerErrorText(L"Failed to open the msi package", 1601),
              L"Failed to open the msi package (Error = 1601).");
    EXPECT_EQ(installerErrorText(L"Failed to open the msi package", 1699),
              L"Failed to open the msi package (Error = 1699).");
    EXPECT_EQ(installerErrorText(L"Failed to execute the install action", 1700),
              L"Failed to execute the install action (HRESULT = 0x800706a4).");
    EXPECT_EQ(installerErrorText(L"Failed to execute the install action", 1600),
              L"Failed to execute the install action (HRESULT = 0x80070640).");
    EXPECT_EQ(installerErrorText(L"x", 0), L"x (HRESULT = 0x0).");
    EXPECT_EQ(installerErrorText(L"x", 0x80004005u), L"x (HRESULT = 0x80004005).") << "negative codes stay as they are";
}
