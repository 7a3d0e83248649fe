#include "install/product_family.h"

#include <gtest/gtest.h>

#include <cwctype>

#include "bootstrap/payload_locks.h"
#include "install/msiexec.h"
#include "install/product_state.h"
#include "install_test_support.h"

using namespace installtest;

namespace {

const wchar_t olderRelease[] = L"{B2F6E1D3-8C4A-4D9F-AE2B-3C4D5E6F7081}";  // talvoro-addin-2.1.0
const wchar_t addinUpgradeCode[] = L"{6E0C2B1A-3D4F-4E5A-9B6C-7D8E9F0A1B2C}";
const wchar_t foreignUpgradeCode[] = L"{0E09B10B-2DF3-4669-BD54-3E9C160D9F73}";  // orvanel-notes

// "Failed to read the package '<name>'. Error: <n>." with some number n.
bool isReadFailure(const std::wstring& text, const std::wstring& name) {
    const std::wstring lead = L"Failed to read the package '" + name + L"'. Error: ";
    if (text.compare(0, lead.size(), lead) != 0 || text.size() < lead.size() + 2 || text.back() != L'.') return false;
    for (size_t i = lead.size(); i + 1 < text.size(); ++i)
        if (!std::iswdigit(text[i])) return false;
    return true;
}

// The sample add-in's 2.1.0 release (Manufacturer "Talvoro", the add-in's UpgradeCode), installed for the suite.
class ProductFamilyTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::wstring text;
        if (!IsProductInstalled(olderRelease))
            RunMsiexec(L"/i \"" + packagePath(L"talvoro-addin-2.1.0") + L"\" /quiet", false, text);
    }
    static void TearDownTestSuite() {
        std::wstring ignored;
        RunMsiexec(std::wstring(L"/x") + olderRelease + L" /quiet", false, ignored);
    }
};

}  // namespace

// The package is read while held as the pipeline holds its payload: read access, read sharing only.
TEST(ReadPackageFamily, ReadsTheUpgradeCodeAndManufacturerOfAHeldPackage) {
    const std::wstring folder = programFolder() + L"\\packages";
    base::unique_file held = PayloadLocks::openLocked(folder + L"\\talvoro-addin-2.2.15.msi");
    ASSERT_TRUE(held.valid());
    PackageFamily family;
    std::wstring error;
    ASSERT_TRUE(ReadPackageFamily(folder, L"talvoro-addin-2.2.15.msi", family, error)) << error;
    EXPECT_EQ(family.upgradeCode, addinUpgradeCode);
    EXPECT_EQ(family.manufacturer, L"Talvoro");
}

// A file that is no package, and a missing one, fail with the package's name and the installer's code.
TEST(ReadPackageFamily, AnUnreadablePackageFailsWithItsName) {
    TempFolder folder;
    writeFile(folder / L"Setup.msi", "not a package");
    PackageFamily family{L"kept", L"kept"};
    std::wstring error;
    EXPECT_FALSE(ReadPackageFamily(folder.path(), L"Setup.msi", family, error));
    EXPECT_TRUE(isReadFailure(error, L"Setup.msi")) << error;
    EXPECT_EQ(family.upgradeCode, L"kept");
    EXPECT_FALSE(ReadPackageFamily(folder.path(), L"missing.msi", family, error));
    EXPECT_TRUE(isReadFailure(error, L"missing.msi")) << error;
}

TEST_F(ProductFamilyTest, EitherTheUpgradeCodeOrThePublisherMakesAProductKin) {
    ASSERT_TRUE(IsProductInstalled(olderRelease));
    EXPECT_EQ(ProductPublisher(olderRelease), L"Talvoro");
    EXPECT_TRUE(IsOfPackageFamily({addinUpgradeCode, L"Orvanel"}, olderRelease)) << "installed under the UpgradeCode";
    EXPECT_TRUE(IsOfPackageFamily({foreignUpgradeCode, L"tALVORO"}, olderRelease)) << "Publisher, ASCII case folded";
    EXPECT_TRUE(IsOfPackageFamily({L"", L"Talvoro"}, olderRelease)) << "a package without an UpgradeCode";
    EXPECT_FALSE(IsOfPackageFamily({foreignUpgradeCode, L"Orvanel"}, olderRelease));
    EXPECT_FALSE(IsOfPackageFamily({foreignUpgradeCode, L"Talvor"}, olderRelease)) << "no prefix match";
    EXPECT_FALSE(IsOfPackageFamily({L"", L""}, olderRelease)) << "empty values match nothing";
    EXPECT_FALSE(IsOfPackageFamily({addinUpgradeCode, L"Talvoro"}, L"{00000000-0000-0000-0000-000000000002}"));
    EXPECT_EQ(ProductPublisher(L"{00000000-0000-0000-0000-000000000002}"), L"");
}
