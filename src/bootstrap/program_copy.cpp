#include "bootstrap/program_copy.h"

#include <cwchar>

#include "base/unique_any.h"

namespace {

// An open resource update; closing it without commit throws the changes away.
void discardUpdate(HANDLE update) { ::EndUpdateResourceW(update, TRUE); }
using unique_resource_update = base::unique_any<base::simple_traits<HANDLE, nullptr, discardUpdate>>;

// The languages the block is in; the enumeration stops when they do not fit.
struct BlockLanguages {
    WORD ids[16];
    UINT count;
};

// No allocation here: nothing may be thrown through the system's enumeration.
BOOL CALLBACK addLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR parameter) {
    BlockLanguages& languages = *reinterpret_cast<BlockLanguages*>(parameter);
    if (languages.count == 16) return FALSE;
    languages.ids[languages.count++] = language;
    return TRUE;
}

// The block in one language with string `index` replaced. A block is 16 counted
// UTF-16 strings; a cut one reads as empty strings for what is missing.
bool changeBlock(HANDLE update, LPCWSTR name, WORD language, UINT index, const wchar_t* value) {
    const HMODULE module = ::GetModuleHandleW(nullptr);
    const HRSRC found = ::FindResourceExW(module, MAKEINTRESOURCEW(6), name, language);
    const HGLOBAL loaded = found ? ::LoadResource(module, found) : nullptr;
    const wchar_t* data = loaded ? static_cast<const wchar_t*>(::LockResource(loaded)) : nullptr;
    if (data == nullptr) return false;
    const size_t count = ::SizeofResource(module, found) / sizeof(wchar_t);
    std::wstring block;
    size_t at = 0;
    for (UINT i = 0; i < 16; ++i) {
        size_t length = at < count ? data[at++] : 0;
        if (length > count - at) length = count - at;
        if (i == index)
            block.append(1, static_cast<wchar_t>(std::wcslen(value))).append(value);
        else
            block.append(1, static_cast<wchar_t>(length)).append(data + at, length);
        at += length;
    }
    return ::UpdateResourceW(update, MAKEINTRESOURCEW(6), name, language, &block[0],
                             static_cast<DWORD>(block.size() * sizeof(wchar_t))) != FALSE;
}

}  // namespace

bool WriteProgramCopy(const wchar_t* programPath, const wchar_t* target, UINT stringId, const wchar_t* value) {
    if (!::CopyFileExW(programPath, target, nullptr, nullptr, nullptr, 0)) return false;
    unique_resource_update update(::BeginUpdateResourceW(target, FALSE));
    if (!update) return false;
    const LPCWSTR name = MAKEINTRESOURCEW((stringId >> 4) + 1);
    BlockLanguages languages;
    languages.count = 0;
    ::EnumResourceLanguagesW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(6) /* RT_STRING */, name, addLanguage,
                             reinterpret_cast<LONG_PTR>(&languages));
    bool changed = languages.count != 0;
    for (UINT i = 0; changed && i < languages.count; ++i)
        changed = changeBlock(update.get(), name, languages.ids[i], stringId & 15, value);
    return changed && ::EndUpdateResourceW(update.release(), FALSE) != FALSE;
}
