// Runs with a runtime library from before the version-4 hosting interface
// (no CLRCreateInstance export) installed as the system's mscoree.dll.
#include <gtest/gtest.h>

#include "clrhost/runtime_host.h"
#include "standin_scenario.h"

using namespace clrhost;

namespace {

std::wstring runtimeLibrary() {
    wchar_t folder[MAX_PATH];
    ::GetSystemDirectoryW(folder, MAX_PATH);
    return std::wstring(folder) + L"\\mscoree.dll";
}

}  // namespace

// A library without the export fails with the export's text and is unloaded again.
TEST(OldRuntime, MissingExportFailsAndFreesLibrary) {
    StandinScenario scenario;
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::wstring running, error;
        EXPECT_FALSE(StartRuntime(L"v2.0.50727", running, error));
        EXPECT_EQ(L"Failed to get procedure address for 'CLRCreateInstance' (HRESULT = 0x8007007f).", error);
        EXPECT_EQ(nullptr, runtimeHost());
        EXPECT_EQ(nullptr, ::GetModuleHandleW(L"mscoree.dll")) << "the library must be freed after the failure";
    }
    const std::vector<std::string> expected = {"Load", "Unload", "Load", "Unload"};
    EXPECT_EQ(expected, scenario.callNames());
}

// No library in the system folder: the load failure's text.
TEST(OldRuntime, MissingLibraryFailsToLoad) {
    const std::wstring library = runtimeLibrary();
    const std::wstring aside = library + L".aside";
    ASSERT_TRUE(::MoveFileW(library.c_str(), aside.c_str()));
    std::wstring running, error;
    const bool started = StartRuntime(L"v4.0.30319", running, error);
    ::MoveFileW(aside.c_str(), library.c_str());
    EXPECT_FALSE(started);
    EXPECT_EQ(L"Failed to load mscoree.dll (HRESULT = 0x8007007e).", error);
}
