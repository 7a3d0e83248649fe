#include "clrhost/hresult_text.h"

#include <gtest/gtest.h>

using namespace clrhost;

// 0 becomes E_FAIL, a Win32 code gets the 0x8007 facility with its low 16 bits, a negative value stays.
TEST(HresultText, ErrorCodesBecomeHresults) {
    EXPECT_EQ(static_cast<HRESULT>(0x80004005), hresultFromError(0));
    EXPECT_EQ(static_cast<HRESULT>(0x80070002), hresultFromError(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(static_cast<HRESULT>(0x8007007f), hresultFromError(ERROR_PROC_NOT_FOUND));
    EXPECT_EQ(static_cast<HRESULT>(0x80072345), hresultFromError(0x00012345));
    EXPECT_EQ(static_cast<HRESULT>(0x80131522), hresultFromError(0x80131522));
    ::SetLastError(ERROR_MOD_NOT_FOUND);
    EXPECT_EQ(static_cast<HRESULT>(0x8007007e), hresultFromLastError());
    ::SetLastError(0);
    EXPECT_EQ(E_FAIL, hresultFromLastError());
}

// The texts write the HRESULT in lower-case hex without leading zeros, as %x does.
TEST(HresultText, MessagesUsePrintfHexForm) {
    EXPECT_EQ(L"0", hexText(0));
    EXPECT_EQ(L"1", hexText(1));
    EXPECT_EQ(L"80004005", hexText(0x80004005));
    EXPECT_EQ(L"Failed to load mscoree.dll (HRESULT = 0x8007007e).",
              hresultMessage(L"Failed to load mscoree.dll (HRESULT = 0x%x).", static_cast<HRESULT>(0x8007007e)));
    EXPECT_EQ(L"Failed to create an instance of the 'A.B' class (HRESULT = 0x80131522).",
              hresultMessage(L"Failed to create an instance of the '%s' class (HRESULT = 0x%x).", L"A.B",
                             static_cast<HRESULT>(0x80131522)));
    EXPECT_EQ(L".NET Framework  is not installed.", formatText(L".NET Framework %s is not installed.", {L""}));
    EXPECT_EQ(L"100% of %q", formatText(L"100% of %q", {}));
}
