#include "clrhost/config_file_name.h"

#include <gtest/gtest.h>

using clrhost::configFileNameFor;

// A name ending in ".dll" in any case only gets ".config"; any other gets ".dll.config".
TEST(ConfigFileName, DllSuffixInAnyCaseIsKept) {
    EXPECT_EQ(L"Talvoro.Actions.dll.config", configFileNameFor(L"Talvoro.Actions.dll"));
    EXPECT_EQ(L"Talvoro.Actions.DLL.config", configFileNameFor(L"Talvoro.Actions.DLL"));
    EXPECT_EQ(L"a.Dll.config", configFileNameFor(L"a.Dll"));
    EXPECT_EQ(L"Talvoro.Actions.dll.config", configFileNameFor(L"Talvoro.Actions"));
    EXPECT_EQ(L"Talvoro.Actions.exe.dll.config", configFileNameFor(L"Talvoro.Actions.exe"));
    EXPECT_EQ(L"actionsdll.dll.config", configFileNameFor(L"actionsdll"));
}

// Names of at most four characters always get both suffixes, even ".dll" itself.
TEST(ConfigFileName, ShortNamesGetBothSuffixes) {
    EXPECT_EQ(L".dll.dll.config", configFileNameFor(L".dll"));
    EXPECT_EQ(L".DLL.dll.config", configFileNameFor(L".DLL"));
    EXPECT_EQ(L"ab.dll.config", configFileNameFor(L"ab"));
    EXPECT_EQ(L".dll.config", configFileNameFor(L""));
}
