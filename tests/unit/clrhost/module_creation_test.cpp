#include "clrhost/module_creation.h"

#include "standin_fixture.h"

using namespace clrhost;

namespace {

// Holds the created custom-action object for one test.
struct ActionModule {
    ActionModule() { ::VariantInit(&object); }
    ~ActionModule() { ::VariantClear(&object); }
    VARIANT object;
    DISPID ids[ModuleMethodCount] = {};
};

}  // namespace

// The framework module is created from its assembly, told the language as VT_UI4 through id 4097 and disposed.
TEST_F(StandinTest, FrameworkModuleLearnsLanguageAndIsDisposed) {
    StandinScenario scenario;
    startDomain(scenario);
    scenario.clearLog();
    std::wstring error;
    ASSERT_TRUE(CreateFrameworkModule(actionsDomain(), L" 1031", error)) << utf8(error);
    const std::vector<std::string> expected = {"CreateInstance", "Unwrap",         "GetIDsOfNames", "Invoke #4097",
                                               "Invoke Dispose", "Destroy",        "Destroy"};
    EXPECT_EQ(expected, scenario.callNames());
    const auto create = scenario.records("CreateInstance")[0];
    EXPECT_EQ("Korvel.Deployment", create["assembly"].text());
    EXPECT_EQ("Korvel.Deployment.KVLStobrinModule", create["type"].text());
    const auto lookUp = scenario.records("GetIDsOfNames")[0];
    EXPECT_EQ("Dispose", lookUp["name"].text());
    EXPECT_EQ(1, lookUp["count"].number());
    EXPECT_EQ(0, lookUp["lcid"].number());
    EXPECT_TRUE(lookUp["riid_null"].boolean());
    const auto language = scenario.records("Invoke")[0];
    EXPECT_EQ(4097, language["dispid"].number());
    EXPECT_EQ(DISPATCH_METHOD, language["flags"].number());
    EXPECT_EQ(0, language["named"].number());
    ASSERT_EQ(1, language["argc"].number());
    EXPECT_EQ(VT_UI4, language["args"][0]["vt"].number());
    EXPECT_EQ(1031, language["args"][0]["value"].number());
    EXPECT_EQ(0, scenario.records("Invoke")[1]["argc"].number());
}

// A language of "0" or without leading digits skips the language call but still disposes.
TEST_F(StandinTest, FrameworkModuleWithoutLanguage) {
    for (const wchar_t* language : {L"0", L"en-US"}) {
        StandinScenario scenario;
        startDomain(scenario);
        scenario.clearLog();
        std::wstring error;
        EXPECT_TRUE(CreateFrameworkModule(actionsDomain(), language, error));
        const auto invokes = scenario.records("Invoke");
        ASSERT_EQ(1u, invokes.size());
        EXPECT_EQ("Dispose", invokes[0]["method"].text());
        ReleaseRuntime();
    }
}

// Exceptions from the language call and from Dispose are swallowed.
TEST_F(StandinTest, FrameworkModuleExceptionsAreSwallowed) {
    StandinScenario scenario({"Dispose.throw=1"});
    startDomain(scenario);
    std::wstring error;
    EXPECT_TRUE(CreateFrameworkModule(actionsDomain(), L"1033", error));
    EXPECT_EQ(L"", error);
}

// Creation, unwrap and look-up failures of the framework module give their texts.
TEST_F(StandinTest, FrameworkModuleFailureTexts) {
    const std::pair<const char*, const wchar_t*> cases[] = {
        {"fail.CreateInstance.Korvel.Deployment.KVLStobrinModule=0x80070002",
         L"Failed to create an instance of the 'Korvel.Deployment.KVLStobrinModule' class (HRESULT = 0x80070002)."},
        {"fail.Unwrap=0x80131509",
         L"Failed to unwrap the 'Korvel.Deployment.KVLStobrinModule' object (HRESULT = 0x80131509)."},
        {"unwrap.Korvel.Deployment.KVLStobrinModule=garbage",
         L"Failed to unwrap the 'Korvel.Deployment.KVLStobrinModule' object (HRESULT = 0x80004002)."},
        {"missing=Dispose", L"Failed to get DISPID of the Dispose method (HRESULT = 0x80020006)."},
    };
    for (const auto& [line, text] : cases) {
        StandinScenario scenario({line});
        startDomain(scenario);
        std::wstring error;
        EXPECT_FALSE(CreateFrameworkModule(actionsDomain(), L"1033", error)) << line;
        EXPECT_EQ(text, error) << line;
        EXPECT_TRUE(scenario.records("Invoke").empty()) << line;
        ReleaseRuntime();
        EXPECT_EQ(0, standinLiveObjects()) << line;
    }
    std::wstring error;
    EXPECT_FALSE(CreateFrameworkModule(nullptr, L"1033", error));
    EXPECT_EQ(L"The app domain was not created.", error);
}

// The action object is created from the release's assembly and class; its seven ids are looked up in order.
TEST_F(StandinTest, ActionModuleLooksUpSevenMethods) {
    StandinScenario scenario;
    startDomain(scenario);
    scenario.clearLog();
    ActionModule module;
    std::wstring error;
    ASSERT_TRUE(CreateActionModule(actionsDomain(), L"Talvoro.Actions", L"Talvoro.Actions.Setup", module.object,
                                   module.ids, error))
        << utf8(error);
    ASSERT_NE(nullptr, moduleObject(module.object));
    const auto create = scenario.records("CreateInstance")[0];
    EXPECT_EQ("Talvoro.Actions", create["assembly"].text());
    EXPECT_EQ("Talvoro.Actions.Setup", create["type"].text());
    const auto lookUps = scenario.records("GetIDsOfNames");
    ASSERT_EQ(7u, lookUps.size());
    for (int method = 0; method < ModuleMethodCount; ++method) {
        EXPECT_EQ(utf8(methodName(static_cast<ModuleMethod>(method))), lookUps[method]["name"].text());
        EXPECT_EQ(lookUps[method]["dispid"].number(), module.ids[method]);
        EXPECT_NE(0, module.ids[method]);
    }
    // Only the object handle is gone; the object stays in the VARIANT.
    EXPECT_EQ("ObjectHandle", scenario.records("Destroy").back()["object"].text());
}

// A class without some of the methods fails with the text of the first missing one in look-up order.
TEST_F(StandinTest, ActionModuleNamesFirstMissingMethod) {
    const std::pair<const char*, const wchar_t*> cases[] = {
        {"missing.Talvoro.Actions.Setup=DoInstallUIAction,DoAfterInstall",
         L"Failed to get DISPID of the DoAfterInstall method (HRESULT = 0x80020006)."},
        {"missing=DoInstallUIAction", L"Failed to get DISPID of the DoInstallUIAction method (HRESULT = 0x80020006)."},
        {"missing=Dispose", L"Failed to get DISPID of the Dispose method (HRESULT = 0x80020006)."},
        {"fail.CreateInstance=0x80070002",
         L"Failed to create an instance of the managed module (HRESULT = 0x80070002)."},
        {"fail.Unwrap.Talvoro.Actions.Setup=0x80131509", L"Failed to unwrap the managed object (HRESULT = 0x80131509)."},
    };
    for (const auto& [line, text] : cases) {
        StandinScenario scenario({line});
        startDomain(scenario);
        ActionModule module;
        std::wstring error;
        EXPECT_FALSE(CreateActionModule(actionsDomain(), L"Talvoro.Actions", L"Talvoro.Actions.Setup", module.object,
                                        module.ids, error))
            << line;
        EXPECT_EQ(text, error) << line;
        ::VariantClear(&module.object);
        ReleaseRuntime();
    }
}

// With DoAfterInstall missing, the ids looked up before it are kept and the later ones stay 0.
TEST_F(StandinTest, ActionModuleKeepsIdsFoundBeforeFailure) {
    StandinScenario scenario({"missing=DoAfterInstall"});
    startDomain(scenario);
    ActionModule module;
    std::wstring error;
    EXPECT_FALSE(CreateActionModule(actionsDomain(), L"A", L"A.B", module.object, module.ids, error));
    EXPECT_NE(nullptr, moduleObject(module.object));
    EXPECT_NE(0, module.ids[DisposeMethod]);
    EXPECT_NE(0, module.ids[SetParentWindowHandleMethod]);
    for (int method = DoAfterInstallMethod; method < ModuleMethodCount; ++method) EXPECT_EQ(0, module.ids[method]);
    EXPECT_EQ(3u, scenario.records("GetIDsOfNames").size());
}
