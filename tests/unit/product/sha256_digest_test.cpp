// The sha256 attribute of release files: its syntax and how the reader of
// version_info.xml takes it.
#include "base/sha256_digest.h"

#include <gtest/gtest.h>

#include "product/product_description.h"
#include "description_reading.h"
#include "xml/xml_document.h"

using descriptiontest::Read;
using descriptiontest::readFiles;

namespace {

const wchar_t abcLower[] = L"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
const wchar_t abcUpper[] = L"BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD";

}  // namespace

TEST(Sha256Digest, SixtyFourHexDigitsOfEitherCaseGiveTheBytes) {
    Sha256Digest lower;
    Sha256Digest upper;
    ASSERT_TRUE(parseSha256Digest(abcLower, lower));
    ASSERT_TRUE(parseSha256Digest(abcUpper, upper));
    EXPECT_TRUE(lower.present);
    EXPECT_EQ(lower.bytes[0], 0xba);
    EXPECT_EQ(lower.bytes[1], 0x78);
    EXPECT_EQ(lower.bytes[31], 0xad);
    EXPECT_TRUE(sameDigest(lower, upper.bytes));
    Sha256Digest mixed;
    ASSERT_TRUE(parseSha256Digest(L"Ba7816bF8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015aD", mixed));
    EXPECT_TRUE(sameDigest(mixed, lower.bytes));
}

TEST(Sha256Digest, AnyOtherTextIsRefusedAndLeavesTheDigestAsItWas) {
    const std::wstring good = abcLower;
    for (const std::wstring& bad :
         {good.substr(0, 63), good + L"0", std::wstring(), L" " + good.substr(1), good.substr(0, 63) + L"g",
          good.substr(0, 62) + L"0x", L"0x" + good.substr(2), good.substr(0, 63) + L"\u0661",
          std::wstring(64, L'\uff10') /* fullwidth digits */, good.substr(0, 32) + L"-" + good.substr(33)}) {
        Sha256Digest digest;
        EXPECT_FALSE(parseSha256Digest(bad, digest)) << bad.size();
        EXPECT_FALSE(digest.present);
    }
}

TEST(Sha256Digest, AnAbsentDigestNeverMatches) {
    const Sha256Digest absent;
    const unsigned char zeros[Sha256Digest::size] = {};
    EXPECT_FALSE(sameDigest(absent, zeros));
}

TEST(ReadProductDescription, EachFileKeepsItsOwnDigestInListOrder) {
    const Read r = readFiles(std::wstring(L"<file sha256='") + abcUpper + L"'>a.msi</file><file>b.dll</file>"
                             L"<file SHA256=''>c.txt</file>");
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_EQ(r.description.fileDigests.size(), 3u);
    EXPECT_EQ(r.description.fileDigests.size(), r.description.localFiles.size());
    EXPECT_TRUE(r.description.fileDigests[0].present);
    EXPECT_EQ(r.description.fileDigests[0].bytes[0], 0xba);
    EXPECT_FALSE(r.description.fileDigests[1].present) << "no attribute: not checked";
    EXPECT_FALSE(r.description.fileDigests[2].present) << "an empty value is read as no attribute";
}

TEST(ReadProductDescription, AMalformedDigestFailsTheWholeReleaseWithTheFileName) {
    const std::wstring short63 = std::wstring(abcLower).substr(0, 63);
    const Read r = readFiles(std::wstring(L"<file sha256='") + abcLower + L"'>a.msi</file><file sha256='" + short63 +
                             L"'>lib/x.dll</file>");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, L"XML error: Wrong SHA-256 digest for the file 'lib/x.dll'.");
    EXPECT_TRUE(r.description.sourceFiles.empty());
    EXPECT_TRUE(r.description.fileDigests.empty());
}

TEST(ReadProductDescription, DigestsOfOtherReleasesAreNotRead) {
    XmlDocument document;
    document.parseText(L"<application name='Talvoro'><product language='1033'>"
                       L"<version name='2.1' productCode='{OLD}'><files><file sha256='bad'>o.msi</file></files>"
                       L"</version><version name='2.2.015'><files msi='a'><file>a.msi</file></files></version>"
                       L"</product></application>");
    ProductDescription description;
    std::wstring error;
    EXPECT_TRUE(readProductDescription(document, descriptiontest::folderInputs(), description, error)) << error;
    EXPECT_EQ(description.fileDigests.size(), 1u);
}
