#include "program_settings.h"

#include "base/unique_any.h"
#include "base/windows_error.h"
#include "product/settings.h"
#include "product/settings_ids.h"

namespace {

std::wstring loadedString(HMODULE module, UINT id) {
    // A zero buffer size hands out a pointer into the resource: no value is cut.
    const wchar_t* text = nullptr;
    const int length = ::LoadStringW(module, id, reinterpret_cast<wchar_t*>(&text), 0);
    return length > 0 && text != nullptr ? std::wstring(text, static_cast<size_t>(length)) : std::wstring();
}

}  // namespace

bool readProgramSettings(const std::wstring& program, std::map<UINT, std::wstring>& table, std::wstring& problem) {
    const std::wstring what = L"'" + program + L"' ";
    base::unique_hmodule module(
        ::LoadLibraryExW(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    if (!module) module.reset(::LoadLibraryExW(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (!module) {
        problem = what + L"cannot be read as a Windows program: " + systemReason(::GetLastError());
        return false;
    }
    std::map<UINT, std::wstring> found;
    for (const SettingField& field : settingFields) found[field.id] = loadedString(module.get(), field.id);
    if (found[IDS_COMPANY_NAME].empty() || found[IDS_INSTALLATION_URL].empty() || found[IDS_VERSION].empty() ||
        found[IDS_LANGUAGE].empty()) {
        problem = what + L"is not a stamped bootstrapper (its string table lacks the company, installation URL, "
                         L"language or version)";
        return false;
    }
    table.swap(found);
    return true;
}
