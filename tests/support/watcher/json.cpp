#include "json.h"

#include <cstdio>

namespace watcher {

std::string utf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string out(size > 0 ? size : 0, '\0');
    if (size > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], size,
                              nullptr, nullptr);
    return out;
}

std::string jsonString(const std::wstring& text) {
    std::string out = "\"";
    for (unsigned char c : utf8(text)) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                out += escaped;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

void JsonObject::key(const char* name) {
    if (!body_.empty()) body_ += ",";
    body_ += "\"";
    body_ += name;
    body_ += "\":";
}

JsonObject& JsonObject::add(const char* name, const std::wstring& value) {
    key(name);
    body_ += jsonString(value);
    return *this;
}

JsonObject& JsonObject::add(const char* name, long long value) {
    key(name);
    body_ += std::to_string(value);
    return *this;
}

JsonObject& JsonObject::addBool(const char* name, bool value) {
    key(name);
    body_ += value ? "true" : "false";
    return *this;
}

JsonObject& JsonObject::addRaw(const char* name, const std::string& json) {
    key(name);
    body_ += json;
    return *this;
}

std::string jsonArray(const std::vector<std::string>& items) {
    std::string out = "[";
    for (size_t i = 0; i < items.size(); ++i) {
        if (i) out += ",";
        out += items[i];
    }
    return out + "]";
}

}  // namespace watcher
