#pragma once
// Where an installed product and its add-in loader live.
#include <string>

// "InstallLocation" of the product's uninstall key, under HKEY_CURRENT_USER and
// then HKEY_LOCAL_MACHINE, each in whichever registry view holds the key; its
// data is taken as text whatever its type. Empty when neither has one.
std::wstring GetInstallLocation(const std::wstring& productCode);

// The string a Windows Installer registry key path names ("01:\Software\Key\Value",
// the two digits choosing the root: 00 HKEY_CLASSES_ROOT, 01 HKEY_CURRENT_USER,
// 02 HKEY_LOCAL_MACHINE, 03 HKEY_USERS, all in the 32-bit view; 20-23 the same
// in the 64-bit view).
// Empty when the path is malformed, the root unknown, or the value missing or not REG_SZ.
std::wstring ReadRegistryKeyPath(const std::wstring& keyPath);

// The folder of the installed loader component: the folder its key path file
// lies in, the key path folder itself, or the folder a registry key path's value
// names. Empty when the component is not installed locally.
std::wstring LocateManifestFolder(const std::wstring& componentCode);
