#include "bootstrap/program_copy.h"

#include <cwchar>

#include "base/unique_any.h"

namespace {

// An open resource update; closing it without commit throws the changes away.
void discardUpdate(HANDLE update) { ::EndUpdateResourceW(update, TRUE); }
using unique_resource_update = base::unique_any<base::simple_traits<HANDLE, nullptr, discardUpdate>>;

struct BlockChange {
    HANDLE update;
    UINT index;  // of the string in its block of 16
    const wchar_t* value;
    bool done;
};

// For each language of the block: the block with the string replaced. A block
// is 16 counted UTF-16 strings; a cut one reads as empty strings for what is missing.
BOOL CALLBACK changeBlock(HMODULE module, LPCWSTR type, LPCWSTR name, WORD language, LONG_PTR parameter) {
    BlockChange& change = *reinterpret_cast<BlockChange*>(parameter);
    const HRSRC found = ::FindResourceExW(module, type, name, language);
    const HGLOBAL loaded = found ? ::LoadResource(module, found) : nullptr;
    const wchar_t* data = loaded ? static_cast<const wchar_t*>(::LockResource(loaded)) : nullptr;
    const size_t count = data ? ::SizeofResource(module, found) / sizeof(wchar_t) : 0;
    std::wstring block;
    size_t at = 0;
    for (UINT i = 0; i < 16; ++i) {
        size_t length = at < count ? data[at++] : 0;
        if (length > count - at) length = count - at;
        if (i == change.index)
            block.append(1, static_cast<wchar_t>(std::wcslen(change.value))).append(change.value);
        else
            block.append(1, static_cast<wchar_t>(length)).append(data + at, length);
        at += length;
    }
    change.done = data != nullptr && ::UpdateResourceW(change.update, type, name, language, &block[0],
                                                       static_cast<DWORD>(block.size() * sizeof(wchar_t)));
    return change.done;
}

}  // namespace

bool WriteProgramCopy(const wchar_t* programPath, const wchar_t* target, UINT stringId, const wchar_t* value) {
    if (!::CopyFileExW(programPath, target, nullptr, nullptr, nullptr, 0)) return false;
    unique_resource_update update(::BeginUpdateResourceW(target, FALSE));
    if (!update) return false;
    BlockChange change = {update.get(), stringId & 15, value, false};
    ::SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);  // kept when the program has no such block
    ::EnumResourceLanguagesW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(6) /* RT_STRING */,
                             MAKEINTRESOURCEW((stringId >> 4) + 1), changeBlock, reinterpret_cast<LONG_PTR>(&change));
    return change.done && ::EndUpdateResourceW(update.release(), FALSE) != FALSE;
}
