#include "app/settings_loader.h"

#include <vector>

#include "app/resource_ids.h"

std::wstring loadStringResource(HINSTANCE module, UINT id) {
    // With a zero buffer size LoadStringW hands out a read-only pointer into the
    // resource itself, so no value is ever cut or overflows a buffer.
    const wchar_t* text = nullptr;
    const int length = ::LoadStringW(module, id, reinterpret_cast<wchar_t*>(&text), 0);
    if (length <= 0 || text == nullptr) return std::wstring();
    return std::wstring(text, static_cast<size_t>(length));
}

void loadStringSettings(HINSTANCE module, AppSettings& s) {
    // Every setting but the window class name, whose rules are its own.
    for (const SettingField& field : settingFields) {
        if (field.id != IDS_WINDOW_CLASS_NAME) s.*field.value = loadStringResource(module, field.id);
    }
}

void loadWindowClassName(HINSTANCE module, AppSettings& s) {
    std::wstring name = loadStringResource(module, IDS_WINDOW_CLASS_NAME);
    if (name.size() > 99) name.resize(99);
    if (name.empty() || name[0] == L'#') name = SHIPPED_WINDOW_CLASS_NAME;
    s.windowClassName = name;
}

void deriveExePaths(const std::wstring& modulePath, AppSettings& s) {
    std::vector<wchar_t> buffer(MAX_PATH);
    wchar_t* filePart = nullptr;
    DWORD length = ::GetFullPathNameW(modulePath.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), &filePart);
    if (length >= buffer.size()) {
        // Longer than MAX_PATH: ask again with the size the system wants.
        buffer.resize(length + 1);
        length = ::GetFullPathNameW(modulePath.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), &filePart);
    }
    s.exePath = modulePath;
    if (length == 0 || length >= buffer.size()) {
        s.exeDirectory.clear();
        s.exeFileName.clear();
        return;
    }
    const std::wstring full(buffer.data(), length);
    if (filePart == nullptr) {
        s.exeDirectory = full;
        s.exeFileName.clear();
    } else {
        const size_t split = static_cast<size_t>(filePart - buffer.data());
        s.exeDirectory = full.substr(0, split);
        s.exeFileName = full.substr(split);
    }
}

std::wstring moduleFilePath(HINSTANCE module) {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return std::wstring();
        if (length < buffer.size()) return std::wstring(buffer.data(), length);
        if (buffer.size() >= 32768) return std::wstring(buffer.data(), length);
        buffer.resize(buffer.size() * 2);
    }
}

DWORD queryOsMajorVersion(VersionQuery query) {
    OSVERSIONINFOEXW extended = {};
    extended.dwOSVersionInfoSize = sizeof(extended);
    if (query(reinterpret_cast<OSVERSIONINFOW*>(&extended))) return extended.dwMajorVersion;
    OSVERSIONINFOW basic = {};
    basic.dwOSVersionInfoSize = sizeof(basic);
    if (query(&basic)) return basic.dwMajorVersion;
    return 0;
}
