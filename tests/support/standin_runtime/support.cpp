// Scenario reading, text conversions and the JSON log of the stand-in.
#include <cstdio>
#include <cstdlib>
#include <map>

#include "standin.h"

namespace standin {
namespace {

std::wstring environment(const wchar_t* name) {
    wchar_t buffer[1024];
    const DWORD length = ::GetEnvironmentVariableW(name, buffer, 1024);
    return length > 0 && length < 1024 ? std::wstring(buffer, length) : std::wstring();
}

std::wstring scenarioPath() {
    std::wstring path = environment(L"STANDIN_RUNTIME_SCENARIO");
    if (!path.empty()) return path;
    wchar_t module[MAX_PATH];
    const DWORD length = ::GetModuleFileNameW(thisModule, module, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return std::wstring();
    path.assign(module, length);
    const size_t slash = path.rfind(L'\\');
    return path.substr(0, slash + 1) + L"mscoree.scenario";
}

std::string readFile(const std::wstring& path) {
    std::string content;
    if (path.empty()) return content;
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return content;
    char buffer[4096];
    DWORD read = 0;
    while (::ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) content.append(buffer, read);
    ::CloseHandle(file);
    return content;
}

std::string trim(const std::string& text) {
    size_t begin = 0, end = text.size();
    while (begin < end && (text[begin] == ' ' || text[begin] == '\t' || text[begin] == '\r')) ++begin;
    while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t' || text[end - 1] == '\r')) --end;
    return text.substr(begin, end - begin);
}

std::map<std::string, std::string> loadScenario() {
    std::map<std::string, std::string> values;
    const std::string content = readFile(scenarioPath());
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find('\n', start);
        if (end == std::string::npos) end = content.size();
        std::string line = content.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const size_t equal = line.find('=');
        if (line.empty() || line[0] == '#' || equal == std::string::npos) continue;
        // Values are taken as they stand: a text may end in blanks or be empty.
        values[trim(line.substr(0, equal))] = line.substr(equal + 1);
    }
    return values;
}

std::wstring logPath() {
    const std::string configured = setting("log");
    if (!configured.empty()) return widen(configured);
    return environment(L"STANDIN_RUNTIME_LOG");
}

}  // namespace

std::string setting(const std::string& key) {
    const auto values = loadScenario();
    const auto found = values.find(key);
    return found == values.end() ? std::string() : found->second;
}

bool hasSetting(const std::string& key) {
    const auto values = loadScenario();
    return values.find(key) != values.end();
}

long long parseNumber(const std::string& text) {
    const std::string value = trim(text);
    return std::strtoll(value.c_str(), nullptr, 0);
}

HRESULT scriptedFailure(const std::string& call) {
    const std::string value = setting("fail." + call);
    return value.empty() ? S_OK : static_cast<HRESULT>(static_cast<unsigned long>(parseNumber(value)));
}

std::wstring widen(const std::string& text) {
    if (text.empty()) return std::wstring();
    const int length = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(length, L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0], length);
    return wide;
}

std::string narrow(const std::wstring& text) {
    if (text.empty()) return std::string();
    const int length = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                             nullptr, nullptr);
    std::string utf8(length, '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &utf8[0], length, nullptr,
                          nullptr);
    return utf8;
}

std::string guidText(REFGUID guid) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned long>(guid.Data1), guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1],
                  guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
    return buffer;
}

std::string hexText(unsigned long value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%lx", value);
    return buffer;
}

std::string jsonString(const std::string& utf8) {
    std::string out = "\"";
    for (unsigned char c : utf8) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

Record::Record(const char* call) : body_("{\"call\":" + jsonString(call)) {
    number("tid", static_cast<long long>(::GetCurrentThreadId()));
}

void Record::key(const char* name) { body_ += "," + jsonString(name) + ":"; }

Record& Record::text(const char* name, const std::string& value) {
    key(name);
    body_ += jsonString(value);
    return *this;
}

Record& Record::text(const char* name, const std::wstring& value) { return text(name, narrow(value)); }

Record& Record::text(const char* name, const wchar_t* value) {
    if (value == nullptr) return raw(name, "null");
    return text(name, std::wstring(value));
}

Record& Record::number(const char* name, long long value) {
    key(name);
    body_ += std::to_string(value);
    return *this;
}

Record& Record::unsignedNumber(const char* name, unsigned long long value) {
    key(name);
    body_ += std::to_string(value);
    return *this;
}

Record& Record::flag(const char* name, bool value) {
    key(name);
    body_ += value ? "true" : "false";
    return *this;
}

Record& Record::raw(const char* name, const std::string& json) {
    key(name);
    body_ += json;
    return *this;
}

void Record::write() const {
    const std::wstring path = logPath();
    if (path.empty()) return;
    const DWORD lastError = ::GetLastError();  // the caller's error must survive the log
    HANDLE file = ::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_ALWAYS, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        const std::string line = json() + "\n";
        DWORD written = 0;
        ::WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        ::CloseHandle(file);
    }
    ::SetLastError(lastError);
}

void recordDestroyed(const char* object, const std::wstring& type) {
    Record record("Destroy");
    record.text("object", object);
    if (!type.empty()) record.text("type", type);
    record.write();
}

}  // namespace standin
