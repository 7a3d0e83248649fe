#pragma once
// The Office host applications the add-in can live in: what their processes are
// called, what the user is told, and where to look for the executable when the
// process list gives no path.
#include <string>

struct HostApplication {
    const wchar_t* keys[2];            // configured names; the second may be null
    const wchar_t* executable;         // process image name
    const wchar_t* displayName;        // shown to the user; key of hostPaths
    const wchar_t* typeLibraries[2];   // registered type libraries, tried in order; may be null
};

constexpr int hostApplicationCount = 13;
extern const HostApplication hostApplications[hostApplicationCount];

// The row whose key equals the configured name without regard to ASCII case; null for none.
const HostApplication* findHostApplication(const std::wstring& configuredName);
