#include "product/combine.h"

#include <gtest/gtest.h>

TEST(CombineUrl, AddsTheMissingSlashAndJoins) {
    EXPECT_EQ(combineUrl(L"http://h/rel", L"1033"), L"http://h/rel/1033");
    EXPECT_EQ(combineUrl(L"http://h/rel/", L"1033"), L"http://h/rel/1033");
    EXPECT_EQ(combineUrl(combineUrl(L"http://h/rel/", L"1033"), L"2.2.015"), L"http://h/rel/1033/2.2.015");
    EXPECT_EQ(combineUrl(L"http://h/rel/1033/2.2.015", L"lib/x.dll"), L"http://h/rel/1033/2.2.015/lib/x.dll");
}

TEST(CombinePath, AddsTheMissingBackslashAndReadsSlashesAsBackslashes) {
    EXPECT_EQ(combinePath(L"C:\\dl", L"x.msi"), L"C:\\dl\\x.msi");
    EXPECT_EQ(combinePath(L"C:\\dl\\", L"lib/sub/x.dll"), L"C:\\dl\\lib\\sub\\x.dll");
    EXPECT_EQ(combinePath(L"C:\\dl", std::wstring(300, L'a')), L"") << "beyond 260 characters the join fails";
}

TEST(StaysInsideFolder, RejectsEveryNameThatLeavesTheFolder) {
    for (const wchar_t* name : {L"x.msi", L"lib\\x.dll", L"lib/x.dll", L"a..b", L"..x", L".\\x", L""})
        EXPECT_TRUE(staysInsideFolder(name)) << name;
    for (const wchar_t* name : {L"..\\x", L"../x", L"lib\\..\\..\\x", L"lib/..", L"..", L"... \\x", L".. /x",
                                L"C:\\x", L"C:x", L"\\x", L"/x", L"\\\\server\\share\\x", L"//server/share/x",
                                L"x:stream"})
        EXPECT_FALSE(staysInsideFolder(name)) << name;
}
