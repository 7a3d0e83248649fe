#include "product/install_location.h"

#include <gtest/gtest.h>

#include "base/registry_view.h"
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

// A 32-bit and a 64-bit package each registered the product in its own view,
// which the program finds whatever its own width.
TEST(GetInstallLocation, FindsTheUninstallKeyInEitherRegistryView) {
    if (!base::systemHasRegistryViews())
        GTEST_SKIP() << "32-bit Windows has one registry view: there is no other view to find the key in";
    for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
        const REGSAM other = view == KEY_WOW64_32KEY ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
        ScratchKey machine(HKEY_LOCAL_MACHINE, uninstall, view);
        const std::wstring folder = view == KEY_WOW64_32KEY ? L"C:\\Program Files (x86)\\Add-in\\"
                                                            : L"C:\\Program Files\\Add-in\\";
        machine.set(L"InstallLocation", folder);
        ASSERT_FALSE(keyExists(HKEY_LOCAL_MACHINE, uninstall, other)) << "the views are apart";
        EXPECT_EQ(GetInstallLocation(product), folder);
    }
}

TEST(ReadRegistryKeyPath, OpensTheRootTheKeyPathNames) {
    ScratchKey user(HKEY_CURRENT_USER, L"Software\\Talvoro Test\\Loader");
    user.set(L"Path", L"C:\\Per User\\");
    user.set(L"Number", L"7", REG_EXPAND_SZ);
    // 02 names the 32-bit view, 22 the 64-bit view, whatever this program's width.
    ScratchKey wide(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Talvoro Test\\Loader", KEY_WOW64_64KEY);
    wide.set(L"Path", L"C:\\64-bit\\");
    ScratchKey narrow(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Talvoro Test\\Loader", KEY_WOW64_32KEY);
    narrow.set(L"Path", L"C:\\32-bit\\");  // with one view only, this replaces the value above

    EXPECT_EQ(ReadRegistryKeyPath(L"01:\\Software\\Talvoro Test\\Loader\\Path"), L"C:\\Per User\\");
    EXPECT_EQ(ReadRegistryKeyPath(L"02:\\SOFTWARE\\Talvoro Test\\Loader\\Path"), L"C:\\32-bit\\");
    EXPECT_EQ(ReadRegistryKeyPath(L"22:\\SOFTWARE\\Talvoro Test\\Loader\\Path"),
              base::systemHasRegistryViews() ? L"C:\\64-bit\\" : L"C:\\32-bit\\");
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
