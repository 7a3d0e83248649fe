#include "clrhost/config_file_name.h"

namespace clrhost {
namespace {

wchar_t foldAscii(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

bool endsWithDll(const std::wstring& name) {
    static const wchar_t suffix[] = L".dll";
    if (name.size() <= 4) return false;
    const size_t start = name.size() - 4;
    for (size_t i = 0; i < 4; ++i) {
        if (foldAscii(name[start + i]) != suffix[i]) return false;
    }
    return true;
}

}  // namespace

std::wstring configFileNameFor(const std::wstring& assemblyName) {
    std::wstring name = assemblyName;
    if (!endsWithDll(name)) name += L".dll";
    name += L".config";
    return name;
}

}  // namespace clrhost
