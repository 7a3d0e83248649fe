#pragma once
// Registry views. On 64-bit Windows, HKEY_LOCAL_MACHINE\SOFTWARE (and a few
// other keys) has a 64-bit and a 32-bit view (Wow6432Node); KEY_WOW64_64KEY and
// KEY_WOW64_32KEY open one of them whatever the width of the process.
#include <windows.h>

#include "base/wow64.h"

namespace base {

#ifdef _WIN64
constexpr REGSAM ownRegistryView = KEY_WOW64_64KEY;
constexpr REGSAM otherRegistryView = KEY_WOW64_32KEY;
#else
constexpr REGSAM ownRegistryView = KEY_WOW64_32KEY;
constexpr REGSAM otherRegistryView = KEY_WOW64_64KEY;
#endif

// Whether this system has two views: always for a 64-bit process, for a 32-bit
// one only when it runs on 64-bit Windows.
inline bool systemHasRegistryViews() {
#ifdef _WIN64
    return true;
#else
    return runsOnWow64();
#endif
}

// The view flag to pass to the registry: none where there is only one view,
// since Windows 2000 refuses the flags (32-bit XP and later ignore them).
inline REGSAM registryView(REGSAM view) { return systemHasRegistryViews() ? view : 0; }

}  // namespace base
