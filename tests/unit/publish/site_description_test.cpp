#include <gtest/gtest.h>

#include "site_description.h"
#include "xml/xml_document.h"

namespace {

NewRelease release(const wchar_t* language, const wchar_t* version) {
    NewRelease r;
    r.language = language;
    r.version = version;
    r.productCode = L"{C0DE}";
    r.msi = L"a.msi";
    r.files = {{L"a.msi", L"00ff", 4096}};
    return r;
}

std::wstring added(const std::wstring& text, const NewRelease& r) {
    XmlDocument document;
    EXPECT_TRUE(document.parseText(text));
    std::wstring error;
    EXPECT_TRUE(addRelease(document, r, error)) << error;
    return document.documentText();
}

}  // namespace

// The release goes after what the product held, indented like its siblings,
// with the file's own line ends; the text around it is kept to the character.
TEST(SiteDescription, AddReleaseKeepsTheTextAroundItAndMatchesItsLayout) {
    EXPECT_EQ(added(L"<application name=\"T\">\n"
                    L"   <product language=\"1033\">\n"
                    L"      <version name=\"1\" productCode=\"{OLD}\"/> <!-- kept -->\n"
                    L"   </product>\n"
                    L"</application>\n",
                    release(L"1033", L"2")),
              L"<application name=\"T\">\n"
              L"   <product language=\"1033\">\n"
              L"      <version name=\"1\" productCode=\"{OLD}\"/> <!-- kept -->\n"
              L"      <version name=\"2\" productCode=\"{C0DE}\">\n"
              L"         <files msi=\"a.msi\">\n"
              L"            <file sha256=\"00ff\" size=\"4096\">a.msi</file>\n"
              L"         </files>\n"
              L"      </version>\n"
              L"   </product>\n"
              L"</application>\n");

    // A language of its own: a product element at the end of application.
    NewRelease german = release(L"1031", L"2");
    german.showInstallUI = L"false";
    EXPECT_EQ(added(L"<application name=\"T\">\r\n\t<product language=\"1033\"/>\r\n</application>", german),
              L"<application name=\"T\">\r\n"
              L"\t<product language=\"1033\"/>\r\n"
              L"\t<product language=\"1031\">\r\n"
              L"\t\t<version name=\"2\" productCode=\"{C0DE}\">\r\n"
              L"\t\t\t<files msi=\"a.msi\">\r\n"
              L"\t\t\t\t<file sha256=\"00ff\" size=\"4096\">a.msi</file>\r\n"
              L"\t\t\t</files>\r\n"
              L"\t\t\t<preferences><showInstallUI>false</showInstallUI></preferences>\r\n"
              L"\t\t</version>\r\n"
              L"\t</product>\r\n"
              L"</application>");
}

// What was added reads back as a release, beside the earlier one, in a new
// file whose company name needed escaping.
TEST(SiteDescription, AnAddedReleaseReadsBack) {
    XmlDocument document;
    ASSERT_TRUE(document.parseText(emptySiteText(L"A & B")));
    std::wstring error;
    ASSERT_TRUE(addRelease(document, release(L"1033", L"1"), error));
    NewRelease second = release(L"1033", L"2");
    second.customActionAssembly = L"a.dll";
    second.customActionClass = L"N.Actions";
    second.showInstallUI = L"false";
    ASSERT_TRUE(addRelease(document, second, error));
    ASSERT_TRUE(document.parseText(std::wstring(document.documentText())));  // well formed as a whole
    SiteDescription site;
    ASSERT_TRUE(readSiteDescription(document, site, error)) << error;
    EXPECT_EQ(site.applicationName, L"A & B");
    ASSERT_EQ(site.releases.size(), 2u);
    EXPECT_EQ(site.releases[1].language, L"1033");
    EXPECT_EQ(site.releases[1].version, L"2");
    EXPECT_EQ(site.releases[1].productCode, L"{C0DE}");
    EXPECT_EQ(site.releases[1].msi, L"a.msi");
    EXPECT_EQ(site.releases[1].files, std::vector<std::wstring>{L"a.msi"});
    EXPECT_EQ(site.releases[1].customActionAssembly, L"a.dll");
    EXPECT_EQ(site.releases[1].customActionClass, L"N.Actions");
    EXPECT_EQ(site.releases[1].showInstallUI, L"false");
    EXPECT_EQ(site.releases[0].showInstallUI, L"");
}
