#include "stamp_setting_values.h"

#include <gtest/gtest.h>

#include "host_check.h"
#include "product/settings.h"
#include "settings_file.h"

// publish settings leaves nothing to the built program: one line for every
// setting the program has, in its order, and stamp's completeness check agrees.
TEST(StampSettingLines, CoverEverySettingOnceInTheProgramsOrder) {
    const std::vector<SettingLine> lines = stampSettingLines(StampSettingInputs());
    ASSERT_EQ(lines.size(), sizeof(settingFields) / sizeof(settingFields[0]));
    std::map<UINT, std::wstring> table;
    for (size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].first, settingFields[i].name);
        table[settingStringId(lines[i].first)] = lines[i].second;
    }
    EXPECT_TRUE(missingSettingKeys(table).empty());
}

TEST(StampSettingLines, ScopeComponentsAndFixedValuesComeFromThePackage) {
    StampSettingInputs inputs;
    inputs.company = L"Brindlewick Softworks";
    inputs.productName = L"Ledger Notes";
    inputs.loaderComponentCodes = {L"{A}", L"{B}"};
    inputs.perUser = true;
    std::map<std::wstring, std::wstring> values;
    for (const SettingLine& line : stampSettingLines(inputs)) values[line.first] = line.second;
    EXPECT_EQ(values[L"privileges"], L"user");
    EXPECT_EQ(values[L"loaderComponentCodes"], L"{A};{B}");
    EXPECT_EQ(values[L"showProgressWindow"], L"true");
    EXPECT_EQ(values[L"windowTitle"], L"Ledger Notes");
    EXPECT_EQ(values[L"windowClassName"], windowClassNameFor(L"Brindlewick Softworks", L"Ledger Notes"));
    inputs.perUser = false;
    for (const SettingLine& line : stampSettingLines(inputs)) {
        if (line.first == L"privileges") {
            EXPECT_EQ(line.second, L"administrator");
        }
    }
}

// Companies whose letters agree still get their own class, and so do two
// products of one company; the same names written in another ASCII case are
// the same names, as everywhere else.
TEST(WindowClassNameFor, OnePerProductWithinTheProgramsLimit) {
    EXPECT_NE(windowClassNameFor(L"Quillfern Labs", L"Margin Notes"), windowClassNameFor(L"Quillfern Labs", L"Ink"));
    EXPECT_NE(windowClassNameFor(L"A", L"BC"), windowClassNameFor(L"AB", L"C"));
    EXPECT_EQ(windowClassNameFor(L"Quillfern Labs", L"P").substr(0, 14), L"QUILLFERNLABS_");
    EXPECT_NE(windowClassNameFor(L"Quillfern Labs", L"P"), windowClassNameFor(L"QuillfernLabs", L"P"));
    EXPECT_NE(windowClassNameFor(L"Talvoro", L"P"), windowClassNameFor(L"Talvoro Ltd", L"P"));
    EXPECT_EQ(windowClassNameFor(L"ACME", L"P"), windowClassNameFor(L"acme", L"P"));
    EXPECT_NE(windowClassNameFor(L"\x00C9quipe", L"P"), windowClassNameFor(L"\x00C8quipe", L"P"));
    const std::wstring longest = windowClassNameFor(std::wstring(242, L'q'), L"P");
    EXPECT_LE(longest.size(), 99u);
    EXPECT_NE(longest, windowClassNameFor(std::wstring(241, L'q'), L"P"));
    EXPECT_NE(windowClassNameFor(L"", L"P").front(), L'#');
}

TEST(HostApplicationProblem, EveryNameMustBeInTheProgramsTable) {
    EXPECT_EQ(hostApplicationProblem(L""), L"");
    EXPECT_EQ(hostApplicationProblem(L"PowerPoint;excel;InternetExplorer"), L"");
    const std::wstring unknown = hostApplicationProblem(L"Excel;Notepad");
    EXPECT_EQ(unknown.find(L"hostApplication: 'Notepad' is not a host the program knows (Excel, Word,"), 0u) << unknown;
    // The program splits on ";" and compares whole names: a blank is part of the name.
    EXPECT_NE(hostApplicationProblem(L"Excel; Word"), L"");
}
