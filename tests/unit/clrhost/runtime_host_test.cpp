#include "clrhost/runtime_host.h"

#include "clrhost/runtime_version.h"
#include "standin_fixture.h"

using namespace clrhost;

namespace {

// Sets HKLM\SOFTWARE\Microsoft\.NETFramework "InstallRoot" for one test and puts the old value back.
class InstallRootValue {
public:
    InstallRootValue() {
        ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\.NETFramework", 0, nullptr, 0, KEY_ALL_ACCESS,
                          nullptr, &key_, nullptr);
        wchar_t buffer[1024];
        DWORD size = sizeof buffer;
        had_ = ::RegQueryValueExW(key_, L"InstallRoot", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size) ==
               ERROR_SUCCESS;
        if (had_) old_.assign(buffer, size / sizeof(wchar_t) - 1);
    }
    ~InstallRootValue() {
        if (had_) set(old_);
        else ::RegDeleteValueW(key_, L"InstallRoot");
        ::RegCloseKey(key_);
    }
    void set(const std::wstring& value) {
        ::RegSetValueExW(key_, L"InstallRoot", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                         static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    }
    void remove() { ::RegDeleteValueW(key_, L"InstallRoot"); }

private:
    HKEY key_ = nullptr;
    bool had_ = false;
    std::wstring old_;
};

std::wstring systemFolder() {
    wchar_t folder[MAX_PATH];
    ::GetSystemDirectoryW(folder, MAX_PATH);
    return folder;
}

}  // namespace

// The framework root of this program's width (a 64-bit prefix names Framework64 in its 64-bit view and
// Framework in its 32-bit view) holds v2.0.50727, v3.5 (no mscorlib.dll) and v4.0.30319: v4 is picked.
TEST(PickRuntimeVersion, ReadsRootAndPicksNewestFolder) {
#ifdef _WIN64
    const std::wstring expectedRoot = L"C:\\windows\\Microsoft.NET\\Framework64\\";
#else
    const std::wstring expectedRoot = L"C:\\windows\\Microsoft.NET\\Framework\\";
#endif
    std::wstring root, version, error;
    ASSERT_TRUE(PickRuntimeVersion(root, version, error)) << utf8(error);
    EXPECT_EQ(expectedRoot, root);
    EXPECT_EQ(L"v4.0.30319", version);
}

// A missing value, one longer than 512 bytes, and a root without version folders each fail with their text.
TEST(PickRuntimeVersion, RootFailures) {
    InstallRootValue value;
    std::wstring root, version, error;
    value.remove();
    EXPECT_FALSE(PickRuntimeVersion(root, version, error));
    EXPECT_EQ(L"Failed to detect the root folder of the .NET Framework (HRESULT = 0x80070002).", error);

    value.set(L"C:\\" + std::wstring(300, L'x') + L"\\");  // 608 bytes with its terminator
    EXPECT_FALSE(PickRuntimeVersion(root, version, error));
    EXPECT_EQ(L"Failed to detect the root folder of the .NET Framework (HRESULT = 0x800700ea).", error);

    value.set(L"C:\\windows\\");
    EXPECT_FALSE(PickRuntimeVersion(root, version, error));
    EXPECT_EQ(L".NET Framework  is not installed.", error);
    EXPECT_EQ(L"C:\\windows\\", root);
    EXPECT_EQ(L"", version);
}

// The runtime starts through the system folder's mscoree.dll with the version-4 interfaces, once.
TEST_F(StandinTest, StartRuntimeUsesHostingInterfacesInOrder) {
    StandinScenario scenario({"version=v4.0.30319.42000"});
    std::wstring running, error;
    ASSERT_TRUE(StartRuntime(L"v4.0.30319", running, error)) << utf8(error);
    EXPECT_EQ(L"v4.0.30319.42000", running);
    EXPECT_EQ(L"", error);
    ASSERT_NE(nullptr, runtimeHost());
    wchar_t loaded[MAX_PATH];
    ::GetModuleFileNameW(::GetModuleHandleW(L"mscoree.dll"), loaded, MAX_PATH);
    EXPECT_EQ(0, ::lstrcmpiW((systemFolder() + L"\\mscoree.dll").c_str(), loaded));

    const auto calls = scenario.callNames();
    const std::vector<std::string> expected = {"CLRCreateInstance", "GetRuntime", "GetInterface", "Start",
                                               "GetVersionString", "Destroy", "Destroy"};
    EXPECT_EQ(expected, std::vector<std::string>(calls.end() - 7, calls.end()));
    const auto create = scenario.records("CLRCreateInstance")[0];
    EXPECT_EQ("{9280188D-0E8E-4867-B30C-7FA83884E8DE}", create["clsid"].text());
    EXPECT_EQ("{D332DB9E-B9B3-4125-8207-A14884F53216}", create["iid"].text());
    const auto runtime = scenario.records("GetRuntime")[0];
    EXPECT_EQ("v4.0.30319", runtime["version"].text());
    EXPECT_EQ("{BD39D1D2-BA2F-486A-89B0-B4B0CB466891}", runtime["iid"].text());
    const auto host = scenario.records("GetInterface")[0];
    EXPECT_EQ("{CB2F6723-AB3A-11D2-9C40-00C04FA30A3E}", host["clsid"].text());
    EXPECT_EQ("{CB2F6722-AB3A-11D2-9C40-00C04FA30A3E}", host["iid"].text());
    EXPECT_EQ(255, scenario.records("GetVersionString")[0]["capacity"].number());
    // The meta host and the runtime information are let go; the host stays.
    EXPECT_EQ(1, standinLiveObjects());

    scenario.clearLog();
    EXPECT_TRUE(StartRuntime(L"v4.0.30319", running, error));
    EXPECT_TRUE(scenario.records().empty()) << "a second start must not call the runtime";
}

// Each failing hosting call gives its text with the HRESULT; nothing the runtime gave is left alive.
TEST_F(StandinTest, StartRuntimeFailureTexts) {
    const std::pair<const char*, const wchar_t*> cases[] = {
        {"fail.CLRCreateInstance=0x80131700", L"Failed to call 'CLRCreateInstance' (HRESULT = 0x80131700)."},
        {"fail.GetRuntime=0x80131700", L"Failed to initialize CLR (HRESULT = 0x80131700)."},
        {"fail.GetInterface=0x80004002", L"Failed to get 'ICorRuntimeHost' (HRESULT = 0x80004002)."},
        {"fail.Start=0x80131022", L"Failed to call 'Start' (HRESULT = 0x80131022)."},
        {"fail.GetVersionString=0x8007007a", L"Failed to call 'GetVersionString' (HRESULT = 0x8007007a)."},
    };
    for (const auto& [line, text] : cases) {
        StandinScenario scenario({line});
        std::wstring running = L"unchanged", error;
        EXPECT_FALSE(StartRuntime(L"v4.0.30319", running, error)) << line;
        EXPECT_EQ(text, error) << line;
        EXPECT_EQ(L"unchanged", running) << line;
        ReleaseRuntime();
        EXPECT_EQ(nullptr, runtimeHost());
        EXPECT_EQ(0, standinLiveObjects()) << line;
    }
}

// A host whose Start failed is kept until the release, which drops it.
TEST_F(StandinTest, HostOfFailedStartIsReleasedLater) {
    StandinScenario scenario({"fail.Start=0x80004005"});
    std::wstring running, error;
    EXPECT_FALSE(StartRuntime(L"v4.0.30319", running, error));
    EXPECT_NE(nullptr, runtimeHost());
    EXPECT_EQ(1, standinLiveObjects());
    ReleaseRuntime();
    EXPECT_EQ("CorRuntimeHost", scenario.records("Destroy").back()["object"].text());
}

// A success code other than S_OK from the last call fails without a text.
TEST_F(StandinTest, StartRuntimeSuccessCodeOtherThanOkFailsSilently) {
    StandinScenario scenario({"fail.GetVersionString=1"});
    std::wstring running, error;
    EXPECT_FALSE(StartRuntime(L"v4.0.30319", running, error));
    EXPECT_EQ(L"", error);
}

// The domain gets the download folder as base, "actions" below it as private path and the program's folder as name.
TEST_F(StandinTest, CreateActionsDomainWithoutConfigFile) {
    StandinScenario scenario;
    std::wstring running, error;
    ASSERT_TRUE(StartRuntime(L"v4.0.30319", running, error));
    scenario.clearLog();
    ASSERT_TRUE(CreateActionsDomain(scenario.folder(), L"Talvoro.Actions", L"C:\\e2e\\", error)) << utf8(error);
    EXPECT_NE(nullptr, actionsDomain());
    EXPECT_EQ(L"Talvoro.Actions.dll.config", domainConfigFileName());
    const std::vector<std::string> expected = {"CreateDomainSetup", "QueryInterface", "put_ApplicationBase",
                                               "put_PrivateBinPath", "CreateDomainEx", "QueryInterface", "Destroy"};
    EXPECT_EQ(expected, scenario.callNames());
    const auto domain = scenario.records("CreateDomainEx")[0];
    EXPECT_EQ("C:\\e2e\\", domain["name"].text());
    EXPECT_TRUE(domain["setup"].boolean());
    EXPECT_FALSE(domain["evidence"].boolean());
    EXPECT_EQ(utf8(scenario.folder()), domain["application_base"].text());
    EXPECT_EQ(utf8(scenario.folder()) + "\\actions", domain["private_bin_path"].text());
    EXPECT_EQ("", domain["configuration_file"].text());
    EXPECT_EQ("{27FFF232-A7A8-40DD-8D4A-734AD59FCD41}", scenario.records("QueryInterface")[0]["iid"].text());
    EXPECT_EQ("{05F696DC-2B29-3663-AD8B-C4389CF2A713}", scenario.records("QueryInterface")[1]["iid"].text());

    scenario.clearLog();
    EXPECT_TRUE(CreateActionsDomain(scenario.folder(), L"Talvoro.Actions", L"C:\\e2e\\", error));
    EXPECT_TRUE(scenario.records().empty()) << "a second creation must not call the runtime";

    ReleaseRuntime();
    const std::vector<std::string> release = {"UnloadDomain", "Destroy", "Destroy"};
    EXPECT_EQ(release, scenario.callNames());
    EXPECT_TRUE(scenario.records("UnloadDomain")[0]["ours"].boolean());
    EXPECT_EQ(nullptr, actionsDomain());
}

// An existing "actions\<assembly>.config" file is given to the domain by its full path.
TEST_F(StandinTest, CreateActionsDomainWithConfigFile) {
    StandinScenario scenario;
    ::CreateDirectoryW((scenario.folder() + L"\\actions").c_str(), nullptr);
    const std::wstring config = scenario.folder() + L"\\actions\\Talvoro.Actions.DLL.config";
    writeTextFile(config, "<configuration/>");
    startDomain(scenario, L"Talvoro.Actions.DLL");
    const auto put = scenario.records("put_ConfigurationFile");
    ASSERT_EQ(1u, put.size());
    EXPECT_EQ(utf8(config), put[0]["value"].text());
    EXPECT_EQ(utf8(config), scenario.records("CreateDomainEx")[0]["configuration_file"].text());
}

// Each failing domain step gives its text; the host stays for the release.
TEST_F(StandinTest, CreateActionsDomainFailureTexts) {
    const std::pair<const char*, const wchar_t*> cases[] = {
        {"fail.CreateDomainSetup=0x80004005", L"Failed to create the app domain setup(HRESULT = 0x80004005)."},
        {"fail.QueryAppDomainSetup=0x80004002", L"Failed to obtain the app domain setup (HRESULT = 0x80004002)."},
        {"fail.put_ApplicationBase=0x80070057", L"Failed to set the app base for the domain (HRESULT = 0x80070057)."},
        {"fail.put_PrivateBinPath=0x80070057",
         L"Failed to set the private bin path for the domain (HRESULT = 0x80070057)."},
        {"fail.put_ConfigurationFile=0x80070005",
         L"Failed to set the config file for the domain (HRESULT = 0x80070005)."},
        {"fail.CreateDomainEx=0x80131522", L"Failed to create the app domain (HRESULT = 0x80131522)."},
        {"fail.QueryAppDomain=0x80004002", L"Failed to obtain the app domain (HRESULT = 0x80004002)."},
    };
    for (const auto& [line, text] : cases) {
        StandinScenario scenario({line});
        ::CreateDirectoryW((scenario.folder() + L"\\actions").c_str(), nullptr);
        writeTextFile(scenario.folder() + L"\\actions\\A.dll.config", "<configuration/>");
        std::wstring running, error;
        ASSERT_TRUE(StartRuntime(L"v4.0.30319", running, error));
        EXPECT_FALSE(CreateActionsDomain(scenario.folder(), L"A", L"C:\\e2e\\", error)) << line;
        EXPECT_EQ(text, error) << line;
        EXPECT_EQ(nullptr, actionsDomain()) << line;
        EXPECT_NE(nullptr, runtimeHost()) << line;
        ReleaseRuntime();
        EXPECT_EQ(0, standinLiveObjects()) << line;
    }
}

// Without a runtime there is no domain to create, and the release does nothing.
TEST_F(StandinTest, DomainNeedsRuntime) {
    StandinScenario scenario;
    std::wstring error;
    EXPECT_FALSE(CreateActionsDomain(scenario.folder(), L"A", L"C:\\", error));
    EXPECT_EQ(L"Failed to create the app domain setup(HRESULT = 0x80004003).", error);
    ReleaseRuntime();
    EXPECT_TRUE(scenario.records().empty());
}
