#include "product/installation_source.h"

#include <gtest/gtest.h>

#include "temp_folder.h"

TEST(InstallationSource, WebAddressesGetOneSlashBeforeTheVersionFile) {
    auto a = classifyInstallationUrl(L"http://127.0.0.1:8000/rel", L"C:\\p\\");
    EXPECT_EQ(a.kind, WebAddress);
    EXPECT_EQ(a.versionInfoLocation, L"http://127.0.0.1:8000/rel/version_info.xml");
    auto b = classifyInstallationUrl(L"https://example.test/rel/", L"C:\\p\\");
    EXPECT_EQ(b.kind, WebAddress);
    EXPECT_EQ(b.versionInfoLocation, L"https://example.test/rel/version_info.xml");
}

TEST(InstallationSource, FtpInAnyCaseIsRejected) {
    EXPECT_EQ(classifyInstallationUrl(L"ftp://host/rel", L"C:\\p\\").kind, FtpAddress);
    EXPECT_EQ(classifyInstallationUrl(L"SFTP://host/rel", L"C:\\p\\").kind, FtpAddress);
    EXPECT_TRUE(classifyInstallationUrl(L"FTP://host/rel", L"C:\\p\\").versionInfoLocation.empty());
}

TEST(InstallationSource, SharesFoldersAndRelativeNames) {
    auto share = classifyInstallationUrl(L"\\\\server\\share\\rel", L"C:\\p\\");
    EXPECT_EQ(share.kind, NetworkShare);
    EXPECT_EQ(share.versionInfoLocation, L"\\\\server\\share\\rel\\version_info.xml");

    auto relative = classifyInstallationUrl(L"releases", L"C:\\program\\");
    EXPECT_EQ(relative.kind, LocalFolder);
    EXPECT_EQ(relative.versionInfoLocation, L"C:\\program\\releases\\version_info.xml");

    TempFolder temp;
    auto folder = classifyInstallationUrl(temp.path(), L"C:\\p\\");
    EXPECT_EQ(folder.kind, LocalFolder);
    EXPECT_EQ(folder.versionInfoLocation, temp.path() + L"\\version_info.xml");
}

TEST(InstallationSource, AbsoluteFilesAndMissingFoldersAreUnrecognized) {
    TempFolder temp;
    writeText(temp / L"file.txt", "x");
    EXPECT_EQ(classifyInstallationUrl(temp / L"file.txt", L"C:\\p\\").kind, Unrecognized);
    EXPECT_EQ(classifyInstallationUrl(temp / L"missing", L"C:\\p\\").kind, Unrecognized);
}
