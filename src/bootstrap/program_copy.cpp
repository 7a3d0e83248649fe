#include "bootstrap/program_copy.h"

#include <vector>

#include "base/unique_any.h"

namespace {

// An open resource update; closing it without commit throws the changes away.
void discardUpdate(HANDLE update) { ::EndUpdateResourceW(update, TRUE); }
using unique_resource_update = base::unique_any<base::simple_traits<HANDLE, nullptr, discardUpdate>>;

BOOL CALLBACK addLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR languages) {
    reinterpret_cast<std::vector<WORD>*>(languages)->push_back(language);
    return TRUE;
}

// A block is 16 counted UTF-16 strings; this one's string `index` becomes value.
// A cut block reads as empty strings for what is missing.
std::vector<wchar_t> blockWith(const wchar_t* data, size_t count, UINT index, const std::wstring& value) {
    std::vector<wchar_t> block;
    size_t at = 0;
    for (UINT i = 0; i < 16; ++i) {
        size_t length = at < count ? data[at++] : 0;
        if (length > count - at) length = count - at;
        const wchar_t* text = data + at;
        at += length;
        if (i == index) {
            text = value.c_str();
            length = value.size();
        }
        block.push_back(static_cast<wchar_t>(length));
        block.insert(block.end(), text, text + length);
    }
    return block;
}

}  // namespace

bool WriteProgramCopy(const std::wstring& programPath, const std::wstring& target, UINT stringId,
                      const std::wstring& value) {
    if (value.size() > 0xFFFF || !::CopyFileW(programPath.c_str(), target.c_str(), FALSE)) return false;
    const HMODULE self = ::GetModuleHandleW(nullptr);
    const LPCWSTR blockName = MAKEINTRESOURCEW((stringId >> 4) + 1);
    std::vector<WORD> languages;
    ::EnumResourceLanguagesW(self, MAKEINTRESOURCEW(6) /* RT_STRING */, blockName, addLanguage,
                             reinterpret_cast<LONG_PTR>(&languages));
    if (languages.empty()) {
        ::SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return false;
    }
    unique_resource_update update(::BeginUpdateResourceW(target.c_str(), FALSE));
    if (!update) return false;
    for (WORD language : languages) {
        const HRSRC found = ::FindResourceExW(self, MAKEINTRESOURCEW(6), blockName, language);
        const HGLOBAL loaded = found ? ::LoadResource(self, found) : nullptr;
        const void* data = loaded ? ::LockResource(loaded) : nullptr;
        if (data == nullptr) return false;
        std::vector<wchar_t> block = blockWith(static_cast<const wchar_t*>(data),
                                               ::SizeofResource(self, found) / sizeof(wchar_t), stringId & 15, value);
        if (!::UpdateResourceW(update.get(), MAKEINTRESOURCEW(6), blockName, language, block.data(),
                               static_cast<DWORD>(block.size() * sizeof(wchar_t))))
            return false;
    }
    return ::EndUpdateResourceW(update.release(), FALSE) != FALSE;
}
