#include "product/product_description.h"

#include <gtest/gtest.h>

#include "description_reading.h"
#include "xml/xml_document.h"

using descriptiontest::folderInputs;
using descriptiontest::read;
using descriptiontest::Read;

namespace {

const wchar_t* const exampleFile =
    L"<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
    L"<application name=\"Talvoro\">\n"
    L" <product language=\"1033\">\n"
    L"  <version name=\"2.1.007\" productCode=\"{OLD-CODE}\">\n"
    L"   <preferences><showUninstallUI>true</showUninstallUI></preferences>\n"
    L"  </version>\n"
    L"  <version name=\"2.2.015\" productCode=\"{IGNORED}\" showRunningApplicationsWarning=\"false\">\n"
    L"   <files msi=\"TalvoroSetup\" customActionAssembly=\"Talvoro.Actions.dll\" "
    L"customActionClass=\"Talvoro.Actions.Module\">\n"
    L"    <file>TalvoroSetup.msi</file>\n"
    L"    <file>Talvoro.Actions.dll</file>\n"
    L"    <file>Talvoro.Actions.dll.config</file>\n"
    L"   </files>\n"
    L"   <preferences><showInstallUI>false</showInstallUI></preferences>\n"
    L"  </version>\n"
    L" </product>\n"
    L"</application>\n";

// One release of our language and version with the given inside of its version element.
std::wstring release(const std::wstring& inner, const std::wstring& versionAttributes = L"") {
    return L"<application name='Talvoro'><product language='1033'><version name='2.2.015'" + versionAttributes +
           L">" + inner + L"</version></product></application>";
}

}  // namespace

TEST(ReadProductDescription, TheExampleFileGivesTheReleaseFilesPreferencesAndEveryProductCode) {
    const Read r = read(exampleFile);
    ASSERT_TRUE(r.ok) << r.error;
    const ProductDescription& d = r.description;
    EXPECT_EQ(d.msiFileName, L"TalvoroSetup.msi");
    EXPECT_EQ(d.customActionAssembly, L"Talvoro.Actions.dll");
    EXPECT_EQ(d.customActionClass, L"Talvoro.Actions.Module");
    ASSERT_EQ(d.sourceFiles.size(), 3u);
    ASSERT_EQ(d.localFiles.size(), 3u);
    EXPECT_EQ(d.sourceFiles[0], L"\\\\server\\share\\rel\\1033\\2.2.015\\TalvoroSetup.msi");
    EXPECT_EQ(d.localFiles[2], L"C:\\dl\\Talvoro_1\\Talvoro.Actions.dll.config");
    EXPECT_FALSE(d.showInstallUI);
    EXPECT_FALSE(d.showUninstallUI);
    EXPECT_FALSE(d.showRunningApplicationsWarning);
    ASSERT_EQ(d.products.size(), 2u);
    EXPECT_EQ(d.products[0].productCode, L"{OLD-CODE}");
    EXPECT_EQ(d.products[0].version, L"2.1.007");
    EXPECT_EQ(d.products[0].language, L"1033");
    EXPECT_TRUE(d.products[0].showInstallUI);
    EXPECT_TRUE(d.products[0].showUninstallUI);
    EXPECT_EQ(d.products[1].productCode, L"{THIS-CODE}");
    EXPECT_EQ(d.products[1].version, L"2.2.015");
    EXPECT_FALSE(d.products[1].showInstallUI);
    EXPECT_FALSE(d.products[1].showUninstallUI);
}

TEST(ReadProductDescription, WebReleaseFilesAreJoinedAsUrlsAndStoredBelowTheDownloadFolder) {
    DescriptionInputs inputs = folderInputs();
    inputs.webSource = true;
    inputs.installationUrl = L"http://127.0.0.1:8000/rel/";
    const Read r = read(release(L"<files msi='a'><file>a.msi</file><file>lib/x.dll</file></files>"), inputs);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.description.sourceFiles[0], L"http://127.0.0.1:8000/rel/1033/2.2.015/a.msi");
    EXPECT_EQ(r.description.sourceFiles[1], L"http://127.0.0.1:8000/rel/1033/2.2.015/lib/x.dll");
    EXPECT_EQ(r.description.localFiles[1], L"C:\\dl\\Talvoro_1\\lib\\x.dll");
}

TEST(ReadProductDescription, FailuresHaveTheirTexts) {
    EXPECT_EQ(read(L"<other name='Talvoro'/>").error, L"XML error: Can't find the 'application' tag.");
    EXPECT_EQ(read(L"<application name='Other'/>").error, L"XML error: Wrong product name.");
    EXPECT_EQ(read(L"<application/>").error, L"XML error: Wrong product name.");
    EXPECT_EQ(read(release(L"<preferences/>")).error, L"XML error: Can't find the 'files' tag.");
    EXPECT_EQ(read(L"").error, L"XML error: Can't find the 'application' tag.");
    EXPECT_EQ(read(release(L"<files msi='a'><file>a.msi</file><file/></files>")).error,
              L"XML error: A 'file' element has no file name.");
}

TEST(ReadProductDescription, ThePackageMustBeOneOfTheReleasesFilesByItsStoredName) {
    const Read absent = read(release(L"<files msi='a'><file>b.msi</file></files>"));
    EXPECT_FALSE(absent.ok);
    EXPECT_EQ(absent.error, L"XML error: The package 'a.msi' is not among the release's files.");
    // Stored without ".deploy", in a sub-folder, compared without ASCII case.
    for (const wchar_t* files : {L"<file>x.dll</file><file>A.MSI.Deploy</file>", L"<file>a.msi</file>"}) {
        const Read r = read(release(std::wstring(L"<files msi='a'>") + files + L"</files>"));
        EXPECT_TRUE(r.ok) << r.error;
    }
    EXPECT_TRUE(read(release(L"<files msi='lib/a'><file>lib\\a.msi</file></files>")).ok);
    EXPECT_FALSE(read(release(L"<files msi='a'><file>lib/a.msi</file></files>")).ok) << "another folder";
    EXPECT_FALSE(read(release(L"<files msi='a'><file>a.msi.bak</file></files>")).ok);
}

TEST(ReadProductDescription, NamesAndValuesMatchWithoutAsciiCaseButVersionsAreText) {
    const Read r = read(
        L"<APPLICATION NAME='talvoro'><Product Language='1033'><Version Name='2.2.015'><FILES MSI='a.MSI'>"
        L"<FILE>a.MSI</FILE></FILES></Version><version name='2.2.15' productCode='{X}'/></Product></APPLICATION>");
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.description.msiFileName, L"a.MSI");
    ASSERT_EQ(r.description.products.size(), 2u) << "2.2.15 is another release than 2.2.015";
    EXPECT_EQ(r.description.products[0].productCode, L"{THIS-CODE}");
    EXPECT_EQ(r.description.products[1].productCode, L"{X}");
}

TEST(ReadProductDescription, MsiNamesGetTheExtensionUnlessTheyEndInIt) {
    EXPECT_EQ(read(release(L"<files msi='a.msi.bak'/>")).description.msiFileName, L"a.msi.bak.msi");
    EXPECT_EQ(read(release(L"<files/>")).description.msiFileName, L".msi");
}

TEST(ReadProductDescription, PreferencesCountOnlyAfterFilesAndInTheirOrder) {
    const Read before = read(release(L"<preferences><showInstallUI>false</showInstallUI></preferences><files/>"));
    EXPECT_TRUE(before.description.showInstallUI);
    const Read reversed = read(release(
        L"<files/><preferences><showUninstallUI>true</showUninstallUI><showInstallUI>false</showInstallUI>"
        L"</preferences>"));
    EXPECT_FALSE(reversed.description.showInstallUI);
    EXPECT_FALSE(reversed.description.showUninstallUI) << "searched after showInstallUI, so not seen";
    const Read spaced = read(release(L"<files/><preferences><showInstallUI> false </showInstallUI></preferences>"));
    EXPECT_TRUE(spaced.description.showInstallUI) << "texts are not trimmed";
}

TEST(ReadProductDescription, OtherLanguagesListTheirCodesButNotTheirFiles) {
    const Read r = read(
        L"<application name='Talvoro'>"
        L"<product language='1031'><version name='2.2.015' productCode='{DE}'><files><file>de.msi</file></files>"
        L"</version><version name='' productCode='{NONAME}'/></product>"
        L"<product language='1033'><version name='2.0' productCode='{de}'/>"
        L"<version name='2.2.015'><files msi='en'><file>en.msi</file></files></version></product>"
        L"</application>");
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(r.description.sourceFiles.size(), 1u);
    EXPECT_EQ(r.description.localFiles[0], L"C:\\dl\\Talvoro_1\\en.msi");
    ASSERT_EQ(r.description.products.size(), 2u) << "a code already listed in another case is skipped";
    EXPECT_EQ(r.description.products[0].productCode, L"{DE}");
    EXPECT_EQ(r.description.products[1].productCode, L"{THIS-CODE}");
}

TEST(ReadProductDescription, NoMatchingReleaseIsNotAFailure) {
    const Read r = read(L"<application name='Talvoro'><product language='1031'/></application>");
    EXPECT_TRUE(r.ok);
    EXPECT_TRUE(r.description.products.empty());
    EXPECT_TRUE(r.description.msiFileName.empty());
}

TEST(ReadProductDescription, AFileNameThatLeavesTheDownloadFolderRejectsTheWholeRelease) {
    for (const wchar_t* name : {L"..\\..\\Windows\\evil.dll", L"C:\\evil.dll", L"\\\\host\\share\\evil.dll",
                                L"/evil.dll", L"lib/../../evil.dll", L"C:evil.dll"}) {
        const Read r = read(release(std::wstring(L"<files msi='a'><file>a.msi</file><file>") + name +
                                    L"</file></files>"));
        EXPECT_FALSE(r.ok) << name;
        EXPECT_EQ(r.error, std::wstring(L"XML error: The file name '") + name + L"' points outside the download folder.");
        EXPECT_TRUE(r.description.sourceFiles.empty()) << name;
        EXPECT_TRUE(r.description.localFiles.empty()) << name;
    }
}
