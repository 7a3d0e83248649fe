#include "app/window_texts.h"

#include <gtest/gtest.h>

TEST(SizeText, UnitsStepAtOneThousand) {
    EXPECT_EQ(sizeText(0), L"0.00B");
    EXPECT_EQ(sizeText(999), L"999.00B");
    EXPECT_EQ(sizeText(1000), L"1.00kB");
    EXPECT_EQ(sizeText(1500), L"1.50kB");
    EXPECT_EQ(sizeText(2500000), L"2.50MB");
    EXPECT_EQ(sizeText(4294967295u), L"4.29GB");
}

TEST(SizeText, RoundsLikePrintingAtTheUnitEdge) {
    // 999999 bytes is 999.999 kB: it stays in kB and rounds up to 1000.00.
    EXPECT_EQ(sizeText(999999), L"1000.00kB");
    EXPECT_EQ(sizeText(1234), L"1.23kB");
}

TEST(WindowTaskName, NamesTheNineTasksAndNothingElse) {
    EXPECT_EQ(windowTaskName(0), L"Idle");
    EXPECT_EQ(windowTaskName(2), L"DownloadVersionInfo");
    EXPECT_EQ(windowTaskName(7), L"RunMSI");
    EXPECT_EQ(windowTaskName(8), L"Exit");
    EXPECT_EQ(windowTaskName(9), L"");
    EXPECT_EQ(windowTaskName(-1), L"");
}

TEST(PipelineFailureText, TextAndTaskNameOrTheUnknownErrorText) {
    EXPECT_EQ(pipelineFailureText(L"Failed to parse the file.", 5), L"Failed to parse the file. Task name: ParseXML.");
    EXPECT_EQ(pipelineFailureText(nullptr, 3), L"Download failed (unknown error). Task name: DownloadFile.");
    EXPECT_EQ(pipelineFailureText(L"Bad.", 42), L"Bad. Task name: .");
}

TEST(PipelineFailureText, LongTextIsKeptWhole) {
    const std::wstring text(100000, L'x');
    EXPECT_EQ(pipelineFailureText(text.c_str(), 1), text + L" Task name: ProcessResponse.");
}
