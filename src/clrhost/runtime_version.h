#pragma once
// Finding the installed .NET Framework: its root folder from the registry and
// the newest version folder below it that holds mscorlib.dll.
#include <windows.h>

#include <string>

namespace clrhost {

// Reads "InstallRoot" of HKLM\SOFTWARE\Microsoft\.NETFramework in the registry
// view of this program's width (at most 512 bytes). On failure returns false
// and the HRESULT of the failing call.
bool readInstallRoot(std::wstring& root, HRESULT& hr);

// The greatest name (ASCII case folded, plain text order; the first of equal
// names wins) among the folders root + "v*" that hold "mscorlib.dll"; empty
// when there is none. root ends with a backslash.
std::wstring pickVersionFolder(const std::wstring& root);

// Fills clrInstallRoot and clrVersion; false with errorText set on failure.
bool PickRuntimeVersion(std::wstring& clrInstallRoot, std::wstring& clrVersion, std::wstring& errorText);

}  // namespace clrhost
