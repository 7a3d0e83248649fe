#include "release_preferences.h"

#include <gtest/gtest.h>

namespace {

PublishedRelease published(const wchar_t* showInstallUI, const wchar_t* assembly, const wchar_t* className) {
    PublishedRelease release;
    release.showInstallUI = showInstallUI;
    release.customActionAssembly = assembly;
    release.customActionClass = className;
    return release;
}

NewRelease asked(const wchar_t* showInstallUI, const wchar_t* assembly, const wchar_t* className) {
    NewRelease release;
    release.showInstallUI = showInstallUI;
    release.customActionAssembly = assembly;
    release.customActionClass = className;
    return release;
}

}  // namespace

// Only what the bootstrapper would do differently counts: "true", any other
// text and none all show the installer's UI, and half a custom action is none.
TEST(PreferenceChanges, NoneWhereTheBootstrapperWouldActTheSame) {
    EXPECT_EQ(preferenceChanges(published(L"", L"", L""), asked(L"true", L"", L"")), L"");
    EXPECT_EQ(preferenceChanges(published(L"FALSE", L"", L""), asked(L"false", L"", L"")), L"");
    EXPECT_EQ(preferenceChanges(published(L"", L"a.dll", L""), asked(L"", L"", L"")), L"");
    EXPECT_EQ(preferenceChanges(published(L"", L"A.DLL", L"N.C"), asked(L"", L"a.dll", L"N.C")), L"");
}

TEST(PreferenceChanges, NamesEachDifference) {
    EXPECT_EQ(preferenceChanges(published(L"false", L"", L""), asked(L"", L"", L"")),
              L"showInstallUI false, asked true");
    EXPECT_EQ(preferenceChanges(published(L"", L"a.dll", L"N.C"), asked(L"", L"a.dll", L"N.c")),
              L"custom action class 'N.C' in 'a.dll', asked class 'N.c' in 'a.dll'");
    EXPECT_EQ(preferenceChanges(published(L"true", L"a.dll", L"N.C"), asked(L"false", L"", L"")),
              L"showInstallUI true, asked false; custom action class 'N.C' in 'a.dll', asked none");
}
