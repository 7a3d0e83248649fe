#include "bootstrap/program_copy.h"

#include <vector>

#include "base/unique_any.h"

namespace {

// An open resource update; closing it without commit throws the changes away.
void discardUpdate(HANDLE update) { ::EndUpdateResourceW(update, TRUE); }
using unique_resource_update = base::unique_any<base::simple_traits<HANDLE, nullptr, discardUpdate>>;

struct BlockChange {
    HANDLE update;
    UINT index;  // of the string in its block of 16
    const std::wstring* value;
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
    std::vector<wchar_t> block;
    size_t at = 0;
    for (UINT i = 0; i < 16; ++i) {
        size_t length = at < count ? data[at++] : 0;
        if (length > count - at) length = count - at;
        const wchar_t* text = data + at;
        at += length;
        if (i == change.index) {
            text = change.value->c_str();
            length = change.value->size();
        }
        block.push_back(static_cast<wchar_t>(length));
        block.insert(block.end(), text, text + length);
    }
    change.done = data != nullptr && ::UpdateResourceW(change.update, type, name, language, block.data(),
                                                       static_cast<DWORD>(block.size() * sizeof(wchar_t)));
    return change.done;
}

}  // namespace

bool WriteProgramCopy(const std::wstring& programPath, const std::wstring& target, UINT stringId,
                      const std::wstring& value) {
    if (value.size() > 0xFFFF || !::CopyFileW(programPath.c_str(), target.c_str(), FALSE)) return false;
    unique_resource_update update(::BeginUpdateResourceW(target.c_str(), FALSE));
    if (!update) return false;
    BlockChange change = {update.get(), stringId & 15, &value, false};
    ::SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);  // kept when the program has no such block
    ::EnumResourceLanguagesW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(6) /* RT_STRING */,
                             MAKEINTRESOURCEW((stringId >> 4) + 1), changeBlock, reinterpret_cast<LONG_PTR>(&change));
    return change.done && ::EndUpdateResourceW(update.release(), FALSE) != FALSE;
}
