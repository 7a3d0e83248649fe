// The layout a /layout run writes, and the program copy in it, on real files.
#include "bootstrap/release_layout.h"

#include <shlwapi.h>

#include <gtest/gtest.h>

#include "base/unique_any.h"
#include "bootstrap/bootstrapper.h"
#include "bootstrap/program_copy.h"
#include "product/settings.h"
#include "product/settings_ids.h"
#include "temp_folder.h"

namespace {

std::wstring thisProgram() {
    wchar_t path[MAX_PATH];
    const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    return std::wstring(path, length);
}

std::wstring stringOf(const std::wstring& program, UINT id) {
    base::unique_hmodule module(::LoadLibraryExW(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (!module) return L"<not loaded>";
    wchar_t text[512] = {};
    ::LoadStringW(module.get(), id, text, 512);
    return text;
}

// A run that fetched version_info.xml and two release files (one listed with
// ".deploy", one in a sub-folder) into its download folder.
class ReleaseLayoutTest : public ::testing::Test {
protected:
    void SetUp() override {
        downloads = temp / L"downloads";
        layout = temp / L"layout";
        ::CreateDirectoryW(downloads.c_str(), nullptr);
        ::CreateDirectoryW((downloads + L"\\actions").c_str(), nullptr);
        ::CreateDirectoryW(layout.c_str(), nullptr);
        writeText(downloads + L"\\version_info.xml", "<application/>");
        writeText(downloads + L"\\Setup.msi", "package");
        writeText(downloads + L"\\actions\\Module.dll", "module");
        pipeline.downloadFolder = downloads;
        pipeline.localFiles = {downloads + L"\\Setup.msi.deploy", downloads + L"\\actions\\Module.dll"};
        AppSettings& settings = appSettings();
        settings.layoutFolder = layout;
        settings.language = L"1033";
        settings.version = L"2.2.015";
        settings.exePath = thisProgram();
        settings.exeFileName = L"bootstrapper.exe";
    }

    TempFolder temp;
    std::wstring downloads, layout;
    CBootstrapper pipeline;
};

}  // namespace

TEST_F(ReleaseLayoutTest, WritesTheSitesLayoutAndACopyThatInstallsFromItsOwnFolder) {
    ASSERT_TRUE(WriteReleaseLayout(pipeline)) << std::string(pipeline.errorText.begin(), pipeline.errorText.end());
    EXPECT_EQ(LaidOut, pipeline.installationOutcome);
    EXPECT_EQ("<application/>", readText(layout + L"\\version_info.xml"));
    EXPECT_EQ("package", readText(layout + L"\\1033\\2.2.015\\Setup.msi.deploy")) << "the listed name, as on the site";
    EXPECT_EQ("module", readText(layout + L"\\1033\\2.2.015\\actions\\Module.dll"));
    const std::wstring copy = layout + L"\\bootstrapper.exe";
    EXPECT_EQ(L".", stringOf(copy, IDS_INSTALLATION_URL));
    EXPECT_EQ(stringOf(thisProgram(), IDS_PRODUCT_NAME), stringOf(copy, IDS_PRODUCT_NAME))
        << "the rest of the block stays";
    EXPECT_EQ(stringOf(thisProgram(), IDS_VERSION), stringOf(copy, IDS_VERSION));
}

TEST_F(ReleaseLayoutTest, AFailureRemovesEverythingItWrote) {
    ::DeleteFileW((downloads + L"\\actions\\Module.dll").c_str());
    EXPECT_FALSE(WriteReleaseLayout(pipeline));
    EXPECT_EQ(L"Failed to write '" + layout + L"\\1033\\2.2.015\\actions\\Module.dll'. Error: 2.",
              pipeline.errorText);
    EXPECT_TRUE(::PathIsDirectoryEmptyW(layout.c_str())) << "no half-made layout";
    EXPECT_NE(LaidOut, pipeline.installationOutcome);
}

TEST_F(ReleaseLayoutTest, AVersionThatIsNoFolderNameIsRefused) {
    for (const wchar_t* version : {L"..", L"a\\b", L"x:y"}) {
        appSettings().version = version;
        EXPECT_FALSE(WriteReleaseLayout(pipeline));
        EXPECT_EQ(L"Failed to write '" + layout + L"\\version_info.xml'. Error: 123.",
                  pipeline.errorText);
        EXPECT_TRUE(::PathIsDirectoryEmptyW(layout.c_str()));
    }
}

TEST(WriteProgramCopy, AStringOutsideTheProgramsBlocksIsRefused) {
    TempFolder temp;
    EXPECT_FALSE(WriteProgramCopy(thisProgram().c_str(), (temp / L"copy.exe").c_str(), 4000, L"x"));
}
