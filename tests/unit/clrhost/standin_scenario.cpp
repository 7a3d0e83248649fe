#include "standin_scenario.h"

#include <shellapi.h>

namespace {

std::string readFile(const std::wstring& path) {
    std::string content;
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return content;
    char buffer[8192];
    DWORD read = 0;
    while (::ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) content.append(buffer, read);
    ::CloseHandle(file);
    return content;
}

void removeTree(const std::wstring& folder) {
    std::wstring from = folder;
    from.push_back(L'\0');  // SHFileOperation wants a double terminator
    SHFILEOPSTRUCTW operation = {};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    operation.fFlags = FOF_NO_UI;
    ::SHFileOperationW(&operation);
}

}  // namespace

std::string utf8(const std::wstring& text) {
    if (text.empty()) return std::string();
    const int length =
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(length, '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], length, nullptr, nullptr);
    return out;
}

void writeTextFile(const std::wstring& path, const std::string& content) {
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    ::WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    ::CloseHandle(file);
}

StandinScenario::StandinScenario(const std::vector<std::string>& lines) {
    static LONG counter = 0;
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    folder_ = std::wstring(temp) + L"clrhost-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
              std::to_wstring(::InterlockedIncrement(&counter));
    removeTree(folder_);
    ::CreateDirectoryW(folder_.c_str(), nullptr);
    scenarioFile_ = folder_ + L"\\scenario.txt";
    logFile_ = folder_ + L"\\calls.jsonl";
    script(lines);
    ::SetEnvironmentVariableW(L"STANDIN_RUNTIME_SCENARIO", scenarioFile_.c_str());
}

StandinScenario::~StandinScenario() {
    ::SetEnvironmentVariableW(L"STANDIN_RUNTIME_SCENARIO", nullptr);
    removeTree(folder_);
}

void StandinScenario::script(const std::vector<std::string>& lines) {
    std::string content = "log=" + utf8(logFile_) + "\n";
    for (const std::string& line : lines) content += line + "\n";
    writeTextFile(scenarioFile_, content);
}

void StandinScenario::clearLog() { ::DeleteFileW(logFile_.c_str()); }

std::vector<JsonValue> StandinScenario::records() const {
    std::vector<JsonValue> result;
    const std::string content = readFile(logFile_);
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find('\n', start);
        if (end == std::string::npos) end = content.size();
        if (end > start) result.push_back(JsonValue::parse(content.substr(start, end - start)));
        start = end + 1;
    }
    return result;
}

std::vector<JsonValue> StandinScenario::records(const std::string& call) const {
    std::vector<JsonValue> result;
    for (const JsonValue& record : records()) {
        if (record["call"].text() == call) result.push_back(record);
    }
    return result;
}

std::vector<std::string> StandinScenario::callNames() const {
    std::vector<std::string> names;
    for (const JsonValue& record : records()) {
        std::string name = record["call"].text();
        if (name == "Invoke") name += " " + record["method"].text();
        names.push_back(name);
    }
    return names;
}

LONG standinLiveObjects() {
    HMODULE runtime = ::GetModuleHandleW(L"mscoree.dll");
    if (runtime == nullptr) return -1;
    using LiveObjects = LONG(WINAPI*)();
    auto live = reinterpret_cast<LiveObjects>(
        reinterpret_cast<void (*)()>(::GetProcAddress(runtime, "StandinLiveObjects")));
    return live != nullptr ? live() : -1;
}
