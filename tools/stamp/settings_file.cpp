#include "settings_file.h"

#include "product/settings.h"

namespace {

// A string-table entry's length is one 16-bit word.
constexpr size_t maxValueLength = 0xFFFF;

bool isBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r'; }

std::wstring trimmed(const std::wstring& text) {
    size_t begin = 0, end = text.size();
    while (begin < end && isBlank(text[begin])) ++begin;
    while (end > begin && isBlank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

bool utf8ToWide(const std::string& bytes, std::wstring& wide) {
    wide.clear();
    if (bytes.empty()) return true;
    const int size = static_cast<int>(bytes.size());
    const int length = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
    if (length <= 0) return false;
    wide.resize(static_cast<size_t>(length));
    return ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), size, &wide[0], length) == length;
}

std::wstring lineError(size_t line, const std::wstring& what) { return L"line " + std::to_wstring(line) + L": " + what; }

}  // namespace

UINT settingStringId(const std::wstring& key) {
    for (const SettingField& field : settingFields)
        if (key == field.name) return field.id;
    return 0;
}

std::vector<std::wstring> missingSettingKeys(const std::map<UINT, std::wstring>& values) {
    std::vector<std::wstring> missing;
    for (const SettingField& field : settingFields)
        if (values.count(field.id) == 0) missing.push_back(field.name);
    return missing;
}

bool parseSettingsText(const std::string& bytes, std::map<UINT, std::wstring>& values,
                       std::vector<std::wstring>& problems) {
    std::string text = bytes;
    if (text.size() >= 3 && text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
    std::wstring wide;
    if (!utf8ToWide(text, wide)) {
        problems.push_back(L"the settings file is not UTF-8 text");
        return false;
    }
    std::map<UINT, std::wstring> result;
    std::vector<std::wstring> found;
    size_t lineNumber = 0;
    size_t start = 0;
    while (start <= wide.size()) {
        size_t end = wide.find(L'\n', start);
        if (end == std::wstring::npos) end = wide.size();
        const std::wstring line = trimmed(wide.substr(start, end - start));
        start = end + 1;
        ++lineNumber;
        if (line.empty() || line[0] == L'#') continue;
        const size_t equals = line.find(L'=');
        if (equals == std::wstring::npos) {
            found.push_back(lineError(lineNumber, L"expected key=value, found '" + line + L"'"));
            continue;
        }
        const std::wstring key = trimmed(line.substr(0, equals));
        const std::wstring value = trimmed(line.substr(equals + 1));
        const UINT id = settingStringId(key);
        if (id == 0) {
            found.push_back(lineError(lineNumber, L"unknown key '" + key + L"'"));
            continue;
        }
        if (result.count(id) != 0) {
            found.push_back(lineError(lineNumber, L"key '" + key + L"' is given twice"));
            continue;
        }
        if (value.size() > maxValueLength) {
            found.push_back(lineError(lineNumber, L"the value of '" + key + L"' is longer than 65535 characters"));
            continue;
        }
        result[id] = value;
    }
    if (!found.empty()) {
        problems.insert(problems.end(), found.begin(), found.end());
        return false;
    }
    values.swap(result);
    return true;
}
