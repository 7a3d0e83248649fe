#include "install/install_location.h"

#include <gtest/gtest.h>

#include "install_test_support.h"

using namespace installtest;

namespace {

const std::wstring product = L"{7E6D5C4B-3A29-4817-8695-A4B3C2D1E0F9}";
const std::wstring uninstall = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + product;

}  // namespace

TEST(GetInstallLocation, CurrentUserFirstThenLocalMachineWhateverTheValueType) {
    EXPECT_EQ(GetInstallLocation(product), L"") << "no key anywhere";
    {
        ScratchKey machine(HKEY_LOCAL_MACHINE, uninstall);
        machine.set(L"InstallLocation", L"C:\\Machine Folder\\");
        EXPECT_EQ(GetInstallLocation(product), L"C:\\Machine Folder\\");

        ScratchKey user(HKEY_CURRENT_USER, uninstall);
        user.set(L"InstallLocation", L"");
        EXPECT_EQ(GetInstallLocation(product), L"C:\\Machine Folder\\") << "an empty location counts as none";
        user.set(L"InstallLocation", L"%LOCALAPPDATA%\\Add-in", REG_EXPAND_SZ);
        EXPECT_EQ(GetInstallLocation(product), L"%LOCALAPPDATA%\\Add-in");
    }
    EXPECT_EQ(GetInstallLocation(product), L"");
}

TEST(ReadRegistryKeyPath, OpensTheRootTheKeyPathNames) {
    ScratchKey user(HKEY_CURRENT_USER, L"Software\\Talvoro Test\\Loader");
    user.set(L"Path", L"C:\\Per User\\");
    user.set(L"Number", L"7", REG_EXPAND_SZ);
    ScratchKey machine(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Talvoro Test\\Loader");
    machine.set(L"Path", L"C:\\Per Machine\\");

    EXPECT_EQ(ReadRegistryKeyPath(L"01:\\Software\\Talvoro Test\\Loader\\Path"), L"C:\\Per User\\");
    EXPECT_EQ(ReadRegistryKeyPath(L"02:\\SOFTWARE\\Talvoro Test\\Loader\\Path"), L"C:\\Per Machine\\")
        << "a per-machine loader is read from HKEY_LOCAL_MACHINE";
    EXPECT_EQ(ReadRegistryKeyPath(L"22:\\SOFTWARE\\Talvoro Test\\Loader\\Path"), L"C:\\Per Machine\\");
    EXPECT_EQ(ReadRegistryKeyPath(L"01:\\Software\\Talvoro Test\\Loader\\dir/Path"), L"C:\\Per User\\")
        << "the value name is what follows the last slash";
    EXPECT_EQ(ReadRegistryKeyPath(L"01:Software\\Talvoro Test\\Loader\\Path"), L"C:\\Per User\\");

    for (const wchar_t* path : {L"01:\\Software\\Talvoro Test\\Loader\\Number",  // not REG_SZ
                                L"01:\\Software\\Talvoro Test\\Loader\\Missing", L"01:Path", L"01:",
                                L"Software\\Talvoro Test\\Loader\\Path", L"04:\\Software\\Talvoro Test\\Loader\\Path",
                                L"1:\\Software\\Talvoro Test\\Loader\\Path"})
        EXPECT_EQ(ReadRegistryKeyPath(path), L"") << path;
}

TEST(LocateManifestFolder, AComponentTheInstallerDoesNotKnowHasNoFolder) {
    EXPECT_EQ(LocateManifestFolder(L"{00000000-0000-0000-0000-000000000001}"), L"");
    EXPECT_EQ(LocateManifestFolder(L"not a code"), L"");
}
