#include "clrhost/module_calls.h"

#include "clrhost/module_creation.h"
#include "standin_fixture.h"

using namespace clrhost;

namespace {

class ModuleCallTest : public StandinTest {
protected:
    void TearDown() override {
        ::VariantClear(&object_);
        StandinTest::TearDown();
    }

    // Creates the custom-action object in a fresh domain; the log then starts empty.
    void create(StandinScenario& scenario) {
        startDomain(scenario);
        std::wstring error;
        ASSERT_TRUE(CreateActionModule(actionsDomain(), L"Talvoro.Actions", L"Talvoro.Actions.Setup", object_, ids_,
                                       error))
            << utf8(error);
        scenario.clearLog();
    }
    IDispatch* module() { return moduleObject(object_); }
    DISPID id(ModuleMethod method) { return ids_[method]; }

    // The one Invoke record of the log.
    static JsonValue onlyInvoke(const StandinScenario& scenario) {
        const auto invokes = scenario.records("Invoke");
        EXPECT_EQ(1u, invokes.size());
        return invokes.empty() ? JsonValue() : invokes[0];
    }

    VARIANT object_ = {};
    DISPID ids_[ModuleMethodCount] = {};
};

void expectText(const JsonValue& argument, const std::string& text) {
    EXPECT_EQ(VT_BSTR, argument["vt"].number());
    EXPECT_EQ(text, argument["value"].text());
}

void expectCellArray(const JsonValue& argument, size_t addresses, size_t count) {
    EXPECT_EQ(VT_ARRAY, argument["vt"].number()) << "a plain VT_ARRAY, no element type in the VARIANT";
    EXPECT_EQ(1, argument["dims"].number());
    EXPECT_EQ(VT_VARIANT, argument["element_vt"].number());
    EXPECT_EQ(0, argument["lbound"].number());
    ASSERT_EQ(static_cast<long long>(count), argument["count"].number());
    for (size_t i = 0; i < addresses; ++i) {
        EXPECT_EQ(VT_I8, argument["elements"][i]["vt"].number());
        EXPECT_EQ("ok", argument["elements"][i]["address"].text()) << "element " << i;
    }
}

}  // namespace

// Without a module every call returns true at once and leaves the caller's values alone.
TEST(ModuleCalls, NoModuleDoesNothing) {
    std::wstring text = L"A=1", error;
    LONG level = 5, result = 3;
    bool cancel = false;
    EXPECT_TRUE(SetParentWindowHandle(nullptr, 1, nullptr, error));
    EXPECT_TRUE(DoInitialize(nullptr, 1, InitializeArguments{}, cancel, error));
    EXPECT_TRUE(DoBeforeUninstall(nullptr, 1, L"{X}", L"", text, level, L"PowerPoint", cancel, error));
    EXPECT_TRUE(DoBeforeInstall(nullptr, 1, text, level, cancel, error));
    EXPECT_TRUE(DoInstallUIAction(nullptr, 1, 1, 0, 1, result, error));
    EXPECT_TRUE(DoAfterInstall(nullptr, 1, L"C:\\", error));
    EXPECT_TRUE(Dispose(nullptr, 0));
    EXPECT_EQ(L"A=1", text);
    EXPECT_EQ(5, level);
    EXPECT_EQ(3, result);
    EXPECT_FALSE(cancel);
    EXPECT_EQ(L"", error);
}

// A method whose id is 0 is not called; its own text says so.
TEST_F(ModuleCallTest, MissingIdGivesMethodText) {
    StandinScenario scenario;
    create(scenario);
    std::wstring text, error;
    LONG level = 2, result = 0;
    bool cancel = false;
    EXPECT_FALSE(SetParentWindowHandle(module(), 0, nullptr, error));
    EXPECT_EQ(L"Failed to call the SetParentWindowHandle method of the Stobrin module.", error);
    EXPECT_FALSE(DoInitialize(module(), 0, InitializeArguments{}, cancel, error));
    EXPECT_EQ(L"Failed to call the DoInitialize method of the Stobrin module.", error);
    EXPECT_FALSE(DoBeforeUninstall(module(), 0, L"", L"", text, level, L"", cancel, error));
    EXPECT_EQ(L"Failed to call the DoBeforeUninstall method of the Stobrin module.", error);
    EXPECT_FALSE(DoBeforeInstall(module(), 0, text, level, cancel, error));
    EXPECT_EQ(L"Failed to call the DoBeforeInstall method of the Stobrin module.", error);
    EXPECT_FALSE(DoInstallUIAction(module(), 0, 1, 0, 1, result, error));
    EXPECT_EQ(L"Failed to call the DoInstallUIAction method of the Stobrin module.", error);
    EXPECT_FALSE(DoAfterInstall(module(), 0, L"", error));
    EXPECT_EQ(L"Failed to call the DoAfterInstall method of the Stobrin module.", error);
    EXPECT_FALSE(Dispose(module(), 0));
    EXPECT_TRUE(scenario.records("Invoke").empty());
}

// The window handle travels sign-extended as VT_UI8; calls are positional methods with locale 0.
TEST_F(ModuleCallTest, SetParentWindowHandleSignExtends) {
    StandinScenario scenario;
    create(scenario);
    std::wstring error;
    ASSERT_TRUE(SetParentWindowHandle(module(), id(SetParentWindowHandleMethod),
                                      reinterpret_cast<HWND>(static_cast<INT_PTR>(-2)), error));
    ASSERT_TRUE(SetParentWindowHandle(module(), id(SetParentWindowHandleMethod), reinterpret_cast<HWND>(0x1234),
                                      error));
    const auto invokes = scenario.records("Invoke");
    ASSERT_EQ(2u, invokes.size());
    for (const auto& call : invokes) {
        EXPECT_EQ("SetParentWindowHandle", call["method"].text());
        EXPECT_EQ(DISPATCH_METHOD, call["flags"].number());
        EXPECT_TRUE(call["riid_null"].boolean());
        EXPECT_EQ(0, call["lcid"].number());
        EXPECT_EQ(0, call["named"].number());
        EXPECT_TRUE(call["result_given"].boolean());
        ASSERT_EQ(1, call["argc"].number());
        EXPECT_EQ(VT_UI8, call["args"][0]["vt"].number());
    }
    EXPECT_EQ(-2, invokes[0]["args"][0]["value"].number());  // 0xFFFFFFFFFFFFFFFE
    EXPECT_EQ(0x1234, invokes[1]["args"][0]["value"].number());
}

// DoInitialize passes the settings as texts in their order, the language as VT_I4 and the cancel cell last.
TEST_F(ModuleCallTest, DoInitializeArguments) {
    StandinScenario scenario({"DoInitialize.cancel=1"});
    create(scenario);
    InitializeArguments values{L"C:\\dl", L"Talvoro Plug-in", L"{58DE7ACE-695E-467E-BBD1-89985E2AB819}",
                               L"http://127.0.0.1/", L"2.2.015", L"1033", L"administrator"};
    bool cancel = false;
    std::wstring error;
    ASSERT_TRUE(DoInitialize(module(), id(DoInitializeMethod), values, cancel, error));
    EXPECT_TRUE(cancel);
    const auto call = onlyInvoke(scenario);
    EXPECT_EQ(id(DoInitializeMethod), call["dispid"].number());
    ASSERT_EQ(8, call["argc"].number());
    const auto& args = call["args"];
    expectText(args[0], "C:\\dl");
    expectText(args[1], "Talvoro Plug-in");
    expectText(args[2], "{58DE7ACE-695E-467E-BBD1-89985E2AB819}");
    expectText(args[3], "http://127.0.0.1/");
    expectText(args[4], "2.2.015");
    EXPECT_EQ(VT_I4, args[5]["vt"].number());
    EXPECT_EQ(1033, args[5]["value"].number());
    expectText(args[6], "administrator");
    expectCellArray(args[7], 1, 1);
    EXPECT_EQ(0, call["read"]["cancel"].number());
    EXPECT_EQ(1, call["wrote"]["cancel"].number());
}

// DoBeforeUninstall: code, location, then text, level and cancel cells and the host name; cells come back.
TEST_F(ModuleCallTest, DoBeforeUninstallCellsRoundTrip) {
    StandinScenario scenario({"DoBeforeUninstall.text=REMOVE=ALL REBOOT=ReallySuppress", "DoBeforeUninstall.level=5"});
    create(scenario);
    std::wstring text = L"REMOVE=ALL", error;
    LONG level = 2;
    bool cancel = false;
    ASSERT_TRUE(DoBeforeUninstall(module(), id(DoBeforeUninstallMethod), L"{OLD}", L"C:\\Program Files\\Talvoro\\",
                                  text, level, L"PowerPoint", cancel, error));
    EXPECT_EQ(L"REMOVE=ALL REBOOT=ReallySuppress", text);
    EXPECT_EQ(5, level);
    EXPECT_FALSE(cancel);
    const auto call = onlyInvoke(scenario);
    ASSERT_EQ(3, call["argc"].number());
    expectText(call["args"][0], "{OLD}");
    expectText(call["args"][1], "C:\\Program Files\\Talvoro\\");
    expectCellArray(call["args"][2], 3, 4);
    expectText(call["args"][2]["elements"][3], "PowerPoint");
    EXPECT_EQ("REMOVE=ALL", call["read"]["text"].text());
    EXPECT_EQ(22, call["read"]["text_block_bytes"].number());
    EXPECT_EQ(2, call["read"]["level"].number());
    EXPECT_EQ(0, call["read"]["cancel"].number());
}

// "when" scripts one product only: the other entry's call leaves the cells as the caller set them.
TEST_F(ModuleCallTest, DoBeforeUninstallCancelsOneEntry) {
    StandinScenario scenario({"DoBeforeUninstall.when={B}", "DoBeforeUninstall.cancel=1"});
    create(scenario);
    std::wstring error;
    for (const wchar_t* code : {L"{A}", L"{B}"}) {
        std::wstring text = L"REMOVE=ALL";
        LONG level = 2;
        bool cancel = false;
        ASSERT_TRUE(DoBeforeUninstall(module(), id(DoBeforeUninstallMethod), code, L"", text, level, L"", cancel,
                                      error));
        EXPECT_EQ(std::wstring(code) == L"{B}", cancel);
        EXPECT_EQ(L"REMOVE=ALL", text);
    }
}

// DoBeforeInstall: an empty text goes as a null cell and stays empty; the level comes back lowered.
TEST_F(ModuleCallTest, DoBeforeInstallLowersLevel) {
    StandinScenario scenario({"DoBeforeInstall.level=2", "DoBeforeInstall.cancel=0"});
    create(scenario);
    std::wstring text, error;
    LONG level = 5;
    bool cancel = false;
    ASSERT_TRUE(DoBeforeInstall(module(), id(DoBeforeInstallMethod), text, level, cancel, error));
    EXPECT_EQ(2, level);
    EXPECT_FALSE(cancel);
    EXPECT_EQ(L"", text);
    const auto call = onlyInvoke(scenario);
    ASSERT_EQ(1, call["argc"].number());
    expectCellArray(call["args"][0], 3, 3);
    EXPECT_TRUE(call["read"]["text"].isNull());
    EXPECT_EQ(5, call["read"]["level"].number());
}

// A module may hand back a new text block or null, and the caller takes it over.
TEST_F(ModuleCallTest, DoBeforeInstallTextReplacedOrCleared) {
    StandinScenario scenario({"DoBeforeInstall.text=A=1 B= =C D"});
    create(scenario);
    std::wstring text, error;
    LONG level = 5;
    bool cancel = false;
    ASSERT_TRUE(DoBeforeInstall(module(), id(DoBeforeInstallMethod), text, level, cancel, error));
    EXPECT_EQ(L"A=1 B= =C D", text);
    scenario.script({"DoBeforeInstall.text="});
    ASSERT_TRUE(DoBeforeInstall(module(), id(DoBeforeInstallMethod), text, level, cancel, error));
    EXPECT_EQ(L"", text);
    EXPECT_EQ("A=1 B= =C D", scenario.records("Invoke")[1]["read"]["text"].text());
}

// A call that raises an exception fails with its text and leaves every cell as it was before.
TEST_F(ModuleCallTest, ExceptionLeavesCellsUnchanged) {
    StandinScenario scenario({"DoBeforeInstall.throw=1", "DoBeforeInstall.level=2", "DoBeforeInstall.cancel=1",
                              "DoBeforeInstall.text=X=1"});
    create(scenario);
    std::wstring text = L"A=1", error;
    LONG level = 5;
    bool cancel = false;
    EXPECT_FALSE(DoBeforeInstall(module(), id(DoBeforeInstallMethod), text, level, cancel, error));
    EXPECT_EQ(L"Failed to call the DoBeforeInstall method of the Stobrin module.", error);
    EXPECT_EQ(L"A=1", text);
    EXPECT_EQ(5, level);
    EXPECT_FALSE(cancel);
}

// A failure HRESULT without an exception is not looked at: the call succeeds and the cells come back.
TEST_F(ModuleCallTest, FailureHresultIsIgnored) {
    StandinScenario scenario({"DoBeforeInstall.hresult=0x80004005", "DoBeforeInstall.level=2"});
    create(scenario);
    std::wstring text, error;
    LONG level = 5;
    bool cancel = false;
    EXPECT_TRUE(DoBeforeInstall(module(), id(DoBeforeInstallMethod), text, level, cancel, error));
    EXPECT_EQ(2, level);
    EXPECT_EQ(L"", error);
}

// Garbage in the cells does not crash: a text pointer that is no global block is ignored.
TEST_F(ModuleCallTest, GarbageCellsAreSurvived) {
    StandinScenario scenario({"DoBeforeUninstall.garbage=1"});
    create(scenario);
    std::wstring text = L"REMOVE=ALL", error;
    LONG level = 5;
    bool cancel = false;
    ASSERT_TRUE(DoBeforeUninstall(module(), id(DoBeforeUninstallMethod), L"{A}", L"", text, level, L"", cancel,
                                  error));
    EXPECT_EQ(L"REMOVE=ALL", text);
    EXPECT_EQ(0x5A5A5A5A, level);
    EXPECT_FALSE(cancel);
}

// DoInstallUIAction splits the message type into kind (VT_UINT) and three VT_I1 codes; the result comes back.
TEST_F(ModuleCallTest, DoInstallUIActionEncodesMessage) {
    StandinScenario scenario({"DoInstallUIAction.result=6"});
    create(scenario);
    LONG result = 0;
    std::wstring error;
    const UINT type = 0x03000000 | MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2;
    ASSERT_TRUE(DoInstallUIAction(module(), id(DoInstallUIActionMethod), 0x80000001u, type, 77, result, error));
    EXPECT_EQ(6, result);
    const auto call = onlyInvoke(scenario);
    ASSERT_EQ(7, call["argc"].number());
    const auto& args = call["args"];
    EXPECT_EQ(VT_UI8, args[0]["vt"].number());
    EXPECT_EQ(0x80000001LL, args[0]["value"].number()) << "zero-extended";
    EXPECT_EQ(VT_UINT, args[1]["vt"].number());
    EXPECT_EQ(0x03000000, args[1]["value"].number());
    EXPECT_EQ(VT_UI8, args[2]["vt"].number());
    EXPECT_EQ(77, args[2]["value"].number());
    EXPECT_EQ(VT_I1, args[3]["vt"].number());
    EXPECT_EQ(MB_YESNO, args[3]["value"].number());
    EXPECT_EQ(VT_I1, args[4]["vt"].number());
    EXPECT_EQ(MB_ICONQUESTION >> 4, args[4]["value"].number());
    EXPECT_EQ(VT_I1, args[5]["vt"].number());
    EXPECT_EQ(MB_DEFBUTTON2 >> 8, args[5]["value"].number());
    expectCellArray(args[6], 1, 1);
    EXPECT_EQ(0, call["read"]["result"].number());
}

// DoAfterInstall passes the folder; Dispose passes nothing.
TEST_F(ModuleCallTest, DoAfterInstallAndDispose) {
    StandinScenario scenario;
    create(scenario);
    std::wstring error;
    ASSERT_TRUE(DoAfterInstall(module(), id(DoAfterInstallMethod), L"C:\\Loader\\", error));
    ASSERT_TRUE(Dispose(module(), id(DisposeMethod)));
    const auto invokes = scenario.records("Invoke");
    ASSERT_EQ(2u, invokes.size());
    ASSERT_EQ(1, invokes[0]["argc"].number());
    expectText(invokes[0]["args"][0], "C:\\Loader\\");
    EXPECT_EQ("Dispose", invokes[1]["method"].text());
    EXPECT_EQ(0, invokes[1]["argc"].number());
}
