// The release pin: what it covers, and the size attribute it needs.
#include "product/release_pin.h"

#include <gtest/gtest.h>

#include "description_reading.h"

using descriptiontest::Read;
using descriptiontest::readFiles;

namespace {

const wchar_t digestA[] = L"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
const wchar_t digestB[] = L"e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";

std::wstring pinOf(const std::wstring& files, const std::wstring& filesAttributes = L"msi='a'") {
    const Read r = readFiles(files, filesAttributes);
    EXPECT_TRUE(r.ok) << std::string(r.error.begin(), r.error.end());
    std::wstring pin;
    return releasePinText(r.description, pin) ? pin : L"(none)";
}

std::wstring file(const std::wstring& name, const std::wstring& digest, const std::wstring& size) {
    return L"<file sha256='" + digest + L"' size='" + size + L"'>" + name + L"</file>";
}

}  // namespace

TEST(ReleasePin, EveryNameSizeDigestAndRoleOfTheReleaseChangesThePin) {
    const std::wstring files = file(L"a.msi", digestA, L"100") + file(L"b.dll", digestB, L"0");
    const std::wstring pin = pinOf(files, L"msi='a' customActionAssembly='b.dll' customActionClass='C'");
    ASSERT_EQ(pin.size(), 64u);
    EXPECT_TRUE(releaseMatchesPin(readFiles(files, L"msi='a' customActionAssembly='b.dll' customActionClass='C'").description,
                                  std::wstring(pin.begin(), pin.end())));
    const std::wstring changed[][2] = {
        {file(L"a.msi", digestA, L"101") + file(L"b.dll", digestB, L"0"), L"msi='a' customActionAssembly='b.dll' customActionClass='C'"},
        {file(L"a.msi", digestB, L"100") + file(L"b.dll", digestB, L"0"), L"msi='a' customActionAssembly='b.dll' customActionClass='C'"},
        {file(L"A.msi", digestA, L"100") + file(L"b.dll", digestB, L"0"), L"msi='a' customActionAssembly='b.dll' customActionClass='C'"},
        {file(L"b.dll", digestB, L"0") + file(L"a.msi", digestA, L"100"), L"msi='a' customActionAssembly='b.dll' customActionClass='C'"},
        {files + file(L"c.txt", digestA, L"3"), L"msi='a' customActionAssembly='b.dll' customActionClass='C'"},
        {files, L"msi='a' customActionAssembly='b.dll' customActionClass='D'"},
        {files, L"msi='a'"},
    };
    for (const auto& other : changed) EXPECT_NE(pinOf(other[0], other[1]), pin) << testing::PrintToString(other[0] + L" " + other[1]);
    // Which of two listed packages is installed is part of it too.
    const std::wstring twoPackages = files + file(L"c.msi", digestA, L"100");
    EXPECT_NE(pinOf(twoPackages, L"msi='a'"), pinOf(twoPackages, L"msi='c'"));
}

TEST(ReleasePin, AFileWithoutSizeOrDigestCannotBePinnedAndAMalformedSizeIsRefused) {
    EXPECT_EQ(pinOf(L"<file sha256='" + std::wstring(digestA) + L"'>a.msi</file>"), L"(none)");
    EXPECT_EQ(pinOf(L"<file size='1'>a.msi</file>"), L"(none)");
    for (const wchar_t* size : {L"-1", L"1e3", L" 1", L"0x10", L"1234567890123456789"}) {
        const Read r = readFiles(file(L"a.msi", digestA, size));
        EXPECT_FALSE(r.ok) << testing::PrintToString(std::wstring(size));
        EXPECT_EQ(r.error, L"XML error: Wrong size for the file 'a.msi'.");
    }
    const Read r = readFiles(file(L"a.msi", digestA, L"123456789012345678"));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.description.fileSizes, std::vector<long long>{123456789012345678LL});
}
