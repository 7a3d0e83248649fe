#pragma once
// Tests against the stand-in runtime installed in the test prefix. Every test
// ends with the runtime released and checks that no stand-in object is left.
#include <gtest/gtest.h>

#include "clrhost/runtime_host.h"
#include "standin_scenario.h"

class StandinTest : public ::testing::Test {
protected:
    void TearDown() override {
        clrhost::ReleaseRuntime();
        EXPECT_EQ(0, standinLiveObjects()) << "the host left stand-in objects alive";
    }

    // Starts the runtime and creates the actions domain over the scenario's folder.
    void startDomain(StandinScenario& scenario, const std::wstring& assembly = L"Talvoro.Actions") {
        std::wstring running;
        std::wstring error;
        ASSERT_TRUE(clrhost::StartRuntime(L"v4.0.30319", running, error)) << utf8(error);
        ASSERT_TRUE(clrhost::CreateActionsDomain(scenario.folder(), assembly, L"C:\\e2e\\", error)) << utf8(error);
    }
};
