#pragma once
// Just enough JSON writing for the watcher's one-line reports.
#include <windows.h>

#include <string>
#include <vector>

namespace watcher {

std::string utf8(const std::wstring& text);

// A JSON string literal (quotes included) for a UTF-16 text.
std::string jsonString(const std::wstring& text);

class JsonObject {
public:
    JsonObject& add(const char* key, const std::wstring& value);
    JsonObject& add(const char* key, const wchar_t* value) { return add(key, std::wstring(value)); }
    JsonObject& add(const char* key, long long value);
    JsonObject& addBool(const char* key, bool value);
    // A value that is already JSON text (an object, an array, null).
    JsonObject& addRaw(const char* key, const std::string& json);
    std::string str() const { return "{" + body_ + "}"; }

private:
    void key(const char* name);
    std::string body_;
};

std::string jsonArray(const std::vector<std::string>& items);

}  // namespace watcher
