#pragma once
// Whether this 32-bit process runs on 64-bit Windows.
#include <windows.h>

namespace base {

inline bool runsOnWow64() {
#ifdef _WIN64
    return false;
#else
    static const bool wow64 = [] {
        // Looked up, not imported: Windows 2000 and XP before SP2 lack it, and
        // the loader would refuse the whole program for one missing import.
        using IsWow64ProcessFunction = BOOL(WINAPI*)(HANDLE, PBOOL);
        HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
        auto isWow64 = reinterpret_cast<IsWow64ProcessFunction>(
            reinterpret_cast<void (*)()>(::GetProcAddress(kernel, "IsWow64Process")));
        BOOL result = FALSE;
        return isWow64 != nullptr && isWow64(::GetCurrentProcess(), &result) && result;
    }();
    return wow64;
#endif
}

}  // namespace base
