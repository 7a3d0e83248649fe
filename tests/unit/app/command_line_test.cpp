#include "app/command_line.h"

#include <gtest/gtest.h>

using Pieces = std::vector<std::wstring>;

TEST(SplitCommandLine, NamesAreLowerCasedAndQuotesRemovedFromValues) {
    EXPECT_EQ(splitCommandLine(L"/DebugDirectory=\"C:\\some dir\" /debugversion=2.2.015"),
              (Pieces{L"/debugdirectory", L"C:\\some dir", L"/debugversion", L"2.2.015"}));
}

TEST(SplitCommandLine, EveryTokenGetsASlashAndBlanksAreTrimmed) {
    EXPECT_EQ(splitCommandLine(L"help"), (Pieces{L"/help"}));
    EXPECT_EQ(splitCommandLine(L"/HELP   "), (Pieces{L"/help"}));
    // Blanks before the first "/" make a token of their own: a lone "/" piece.
    EXPECT_EQ(splitCommandLine(L"  /HELP"), (Pieces{L"/", L"/help"}));
    EXPECT_EQ(splitCommandLine(L"42"), (Pieces{L"/42"}));
}

TEST(SplitCommandLine, EmptyTokensAndPartsProduceNothing) {
    EXPECT_TRUE(splitCommandLine(L"").empty());
    EXPECT_TRUE(splitCommandLine(L"/").empty());
    EXPECT_TRUE(splitCommandLine(L"///").empty());
    EXPECT_EQ(splitCommandLine(L"/a==b=/c"), (Pieces{L"/a", L"b", L"/c"}));
}

TEST(SplitCommandLine, ValuesAreCutAtSlashAndEquals) {
    EXPECT_EQ(splitCommandLine(L"/dir=C:/x=y"), (Pieces{L"/dir", L"C:", L"/x", L"y"}));
}

TEST(SplitCommandLine, NamesAreLowerCasedBeyondAscii) {
    EXPECT_EQ(splitCommandLine(L"/\x00C9T\x00C9=\x00C9"), (Pieces{L"/\x00E9t\x00E9", L"\x00C9"}));
}

TEST(SplitCommandLine, PiecesBeyond256AreIgnored) {
    std::wstring line;
    for (int i = 0; i < 300; ++i) line += L"/o" + std::to_wstring(i) + L"=v ";
    const Pieces pieces = splitCommandLine(line);
    ASSERT_EQ(pieces.size(), maxArgumentPieces);
    EXPECT_EQ(pieces.back(), L"v");
    EXPECT_EQ(pieces[254], L"/o127");
}

TEST(OptionTable, OptionNeedsSlashAndNoDigitAfterIt) {
    EXPECT_TRUE(OptionTable::isOption(L"/h"));
    EXPECT_TRUE(OptionTable::isOption(L"/?"));
    EXPECT_FALSE(OptionTable::isOption(L"/"));
    EXPECT_FALSE(OptionTable::isOption(L"/1a"));
    EXPECT_FALSE(OptionTable::isOption(L"h"));
    EXPECT_FALSE(OptionTable::isOption(L""));
}

TEST(OptionTable, ValuesFollowTheirOptionAndLooseOnesAreIgnored) {
    OptionTable table;
    EXPECT_EQ(table.parse({L"/", L"loose", L"/a", L"1", L"2", L"/b", L"/c", L"x"}), 3);
    EXPECT_EQ(table.valueCount(L"/a"), 2);
    EXPECT_EQ(table.firstValue(L"/a"), L"1");
    EXPECT_EQ(table.valueCount(L"/b"), 0);
    EXPECT_EQ(table.valueCount(L"/c"), 1);
    EXPECT_EQ(table.valueCount(L"/missing"), -1);
    EXPECT_FALSE(table.has(L"loose"));
}

TEST(OptionTable, FirstOccurrenceWinsAndItsValueListGrows) {
    OptionTable table;
    EXPECT_EQ(table.parse({L"/a", L"first", L"/a", L"second", L"third"}), 1);
    EXPECT_EQ(table.firstValue(L"/a"), L"first");
    EXPECT_EQ(table.valueCount(L"/a"), 2);  // "third" joins the last option seen
}

TEST(OptionTable, EmptyFirstValueCountsAsNone) {
    OptionTable table;
    table.parse({L"/a", L""});
    EXPECT_EQ(table.valueCount(L"/a"), 0);
}

TEST(OptionTable, FirstValueOfAbsentOrEmptyOptionThrowsZero) {
    OptionTable table;
    table.parse({L"/a"});
    EXPECT_THROW(table.firstValue(L"/a"), int);
    try {
        table.firstValue(L"/b");
        FAIL();
    } catch (int code) {
        EXPECT_EQ(code, 0);
    }
}

TEST(OptionTable, ParseStartsFromAnEmptyTable) {
    OptionTable table;
    table.parse({L"/a"});
    EXPECT_EQ(table.parse({L"/b"}), 1);
    EXPECT_FALSE(table.has(L"/a"));
}

TEST(OptionTable, EarlyEndingOptionsFromRealCommandLines) {
    OptionTable table;
    table.parse(splitCommandLine(L"/h=x"));
    EXPECT_TRUE(table.has(L"/h"));
    table.parse(splitCommandLine(L"/debugdirectory=a /debugversion=b"));
    EXPECT_GT(table.valueCount(L"/debugdirectory"), 0);
    EXPECT_GT(table.valueCount(L"/debugversion"), 0);
    table.parse(splitCommandLine(L"/debugdirectory /debugversion"));
    EXPECT_EQ(table.valueCount(L"/debugdirectory"), 0);
}

TEST(OptionArgument, ALogPathReachesTheRelaunchedCopyWholeAndASlashCutsIt) {
    OptionTable table;
    for (const wchar_t* path : {L"C:\\logs\\run.log", L"C:\\Documents and Settings\\me\\run one.log"}) {
        const std::wstring argument = optionArgument(L"/log", path);
        ASSERT_EQ(table.parse(splitCommandLine(argument)), 1) << argument;
        EXPECT_EQ(table.firstValue(L"/log"), path) << argument;
    }
    EXPECT_EQ(optionArgument(L"/log", L"C:\\a b.log"), L"/log=\"C:\\a b.log\"");
    // Like every value, a path written with "/" is cut there: the rest are options of their own.
    table.parse(splitCommandLine(L"/LOG=C:/logs/run.log /log=D:\\second.log"));
    EXPECT_EQ(table.firstValue(L"/log"), L"C:");
}
