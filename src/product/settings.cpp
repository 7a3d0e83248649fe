#include "product/settings.h"

namespace {

// ASCII-only case folding, as every comparison of names and values does.
bool equalsIgnoringCase(const std::wstring& text, const wchar_t* expected) {
    size_t i = 0;
    for (; i < text.size() && expected[i] != L'\0'; ++i) {
        wchar_t a = text[i], b = expected[i];
        if (a >= L'A' && a <= L'Z') a = static_cast<wchar_t>(a - L'A' + L'a');
        if (b >= L'A' && b <= L'Z') b = static_cast<wchar_t>(b - L'A' + L'a');
        if (a != b) return false;
    }
    return i == text.size() && expected[i] == L'\0';
}

}  // namespace

bool AppSettings::perUser() const { return equalsIgnoringCase(privileges, L"user"); }

bool AppSettings::progressWindowVisible() const { return !equalsIgnoringCase(showProgressWindow, L"false"); }

AppSettings& appSettings() {
    static AppSettings settings;
    return settings;
}
