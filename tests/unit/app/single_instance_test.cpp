#include "app/single_instance.h"

#include <gtest/gtest.h>

#include "base/unique_any.h"

namespace {

const wchar_t atomName[] = L"app_tests_single_instance.exe";
const wchar_t className[] = L"AppTestsSingleInstance";

}  // namespace

TEST(SingleInstance, NoAtomMeansNoOtherCopy) {
    EXPECT_FALSE(anotherInstanceRunning(atomName, className));
}

TEST(SingleInstance, StaleAtomIsDeletedAndStartGoesOn) {
    ASSERT_NE(::GlobalAddAtomW(atomName), 0);
    EXPECT_FALSE(anotherInstanceRunning(atomName, className));
    EXPECT_EQ(::GlobalFindAtomW(atomName), 0);
}

TEST(SingleInstance, AtomAndWindowOfTheClassMeanAnotherCopy) {
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = ::DefWindowProcW;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = className;
    ::RegisterClassExW(&windowClass);
    base::unique_hwnd window(::CreateWindowExW(0, className, L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                               windowClass.hInstance, nullptr));
    ASSERT_TRUE(window.valid());
    const ATOM atom = ::GlobalAddAtomW(atomName);
    // The class is compared without regard to case.
    EXPECT_TRUE(anotherInstanceRunning(atomName, L"appTESTSsingleinstance"));
    EXPECT_EQ(::GlobalFindAtomW(atomName), atom);  // the running copy keeps its atom
    ::GlobalDeleteAtom(atom);
}
