#pragma once
// Drives the stand-in runtime from a test: writes its scenario file into a
// fresh folder, names it through STANDIN_RUNTIME_SCENARIO, and reads back the
// call log it writes.
#include <windows.h>

#include <string>
#include <vector>

#include "json_value.h"

class StandinScenario {
public:
    // lines: "key=value" lines of the scenario (the log line is added).
    explicit StandinScenario(const std::vector<std::string>& lines = {});
    ~StandinScenario();
    StandinScenario(const StandinScenario&) = delete;
    StandinScenario& operator=(const StandinScenario&) = delete;

    // Replaces the scenario's lines; the log is kept.
    void script(const std::vector<std::string>& lines);
    void clearLog();

    // Every record so far, or those of one call.
    std::vector<JsonValue> records() const;
    std::vector<JsonValue> records(const std::string& call) const;
    // The "call" names in order, "Invoke" records as "Invoke <method>".
    std::vector<std::string> callNames() const;

    // A fresh folder of the scenario's own, for download folders and the like.
    const std::wstring& folder() const { return folder_; }

private:
    std::wstring folder_;
    std::wstring scenarioFile_;
    std::wstring logFile_;
};

// How many of the stand-in's objects are alive; -1 when it is not loaded.
LONG standinLiveObjects();

std::string utf8(const std::wstring& text);
void writeTextFile(const std::wstring& path, const std::string& content);
