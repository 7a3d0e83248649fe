#include "app/dll_search.h"

#include <delayimp.h>

namespace dll_search {
namespace {

// Set before the C runtime starts, read later: a plain zero-initialised word.
bool restricted = false;

// Looked up at run time: the program must still load where these are missing
// (SetDefaultDllDirectories before the 2011 loader update, SetDllDirectoryW
// before XP SP1, the activation context calls on Windows 2000).
template <typename Function>
Function kernelFunction(const char* name) {
    HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    if (kernel == nullptr) return nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(kernel, name)));
}

// A DLL name as wide text: ASCII only, no folder part.
bool widenFileName(const char* name, wchar_t* wide, size_t size) {
    if (name == nullptr || *name == '\0') return false;
    size_t length = 0;
    for (const char* c = name; *c != '\0'; ++c, ++length) {
        const unsigned char byte = static_cast<unsigned char>(*c);
        if (byte < 0x20 || byte > 0x7e || byte == '\\' || byte == '/' || byte == ':') return false;
        if (length + 1 >= size) return false;
        wide[length] = static_cast<wchar_t>(byte);
    }
    wide[length] = L'\0';
    return !(length <= 2 && name[0] == '.' && (length == 1 || name[1] == '.'));
}

// Fixed buffers: this runs inside the delay-load helper, where nothing may throw.
bool systemPath(const char* name, wchar_t (&path)[MAX_PATH]) {
    wchar_t file[MAX_PATH];
    if (!widenFileName(name, file, MAX_PATH)) return false;
    UINT length = ::GetSystemDirectoryW(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return false;
    if (path[length - 1] != L'\\') path[length++] = L'\\';
    for (const wchar_t* c = file; *c != L'\0'; ++c) {
        if (length + 1 >= MAX_PATH) return false;
        path[length++] = *c;
    }
    path[length] = L'\0';
    return true;
}

}  // namespace

bool restrictToSystemFolder() {
    using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
    using SetDllDirectoryFunction = BOOL(WINAPI*)(LPCWSTR);
    if (auto setDefault = kernelFunction<SetDefaultDllDirectoriesFunction>("SetDefaultDllDirectories")) {
        if (setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
            restricted = true;
            return true;
        }
    }
    if (auto setDirectory = kernelFunction<SetDllDirectoryFunction>("SetDllDirectoryW"))
        setDirectory(L"");  // best effort: the program's own folder still comes first there
    return false;
}

bool searchRestricted() {
    return restricted;
}

std::wstring systemLibraryPath(const char* name) {
    wchar_t path[MAX_PATH];
    return systemPath(name, path) ? std::wstring(path) : std::wstring();
}

bool redirectedBySideBySide(const char* name) {
    using FindSectionFunction = BOOL(WINAPI*)(DWORD, const GUID*, ULONG, LPCWSTR, PACTCTX_SECTION_KEYED_DATA);
    wchar_t file[MAX_PATH];
    if (!widenFileName(name, file, MAX_PATH)) return false;
    auto find = kernelFunction<FindSectionFunction>("FindActCtxSectionStringW");
    if (find == nullptr) return false;
    ACTCTX_SECTION_KEYED_DATA data{};
    data.cbSize = sizeof(data);
    const DWORD lastError = ::GetLastError();
    const bool found = find(0, nullptr, ACTIVATION_CONTEXT_SECTION_DLL_REDIRECTION, file, &data) != FALSE;
    ::SetLastError(lastError);  // not found is the usual answer, not a failure
    return found;
}

HMODULE loadSystemLibrary(const char* name) {
    if (redirectedBySideBySide(name)) return ::LoadLibraryA(name);
    wchar_t path[MAX_PATH];
    if (!systemPath(name, path)) {
        ::SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    // Without the restriction, the altered search order makes the DLL's own
    // dependencies come from the system folder too.
    return ::LoadLibraryExW(path, nullptr, restricted ? 0 : LOAD_WITH_ALTERED_SEARCH_PATH);
}
}  // namespace dll_search

namespace {

// The delay-load helper asks before each load; answering with a module skips
// its own LoadLibraryA, which without the restriction would search the
// program's folder first.
FARPROC WINAPI delayLoadNotify(unsigned notification, PDelayLoadInfo info) {
    if (notification != dliNotePreLoadLibrary || info == nullptr || info->szDll == nullptr) return nullptr;
    HMODULE module = dll_search::loadSystemLibrary(info->szDll);
    if (module == nullptr && !dll_search::searchRestricted()) {
        // Fail as the helper does for a missing DLL rather than let it search.
        info->dwLastError = ::GetLastError();
        ULONG_PTR argument = reinterpret_cast<ULONG_PTR>(info);
        ::RaiseException(VcppException(ERROR_SEVERITY_ERROR, ERROR_MOD_NOT_FOUND), 0, 1, &argument);
    }
    return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(module));
}

}  // namespace

// Replaces the runtime's empty hook (the helper reads it on every first call).
extern "C" {
PfnDliHook __pfnDliNotifyHook2 = delayLoadNotify;
}
