#pragma once
// A product's uninstall key, SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\<product code>,
// in the registry view where the installer registered it: a 32-bit package in
// the 32-bit view, a 64-bit package in the 64-bit view.
#include <windows.h>

#include <string>

#include "base/unique_any.h"

std::wstring uninstallKeyName(const std::wstring& productCode);

// Opens the existing key under root with access, looking in the process's own
// view first and then in the other one; never creates it. view gets the flag
// the key was found with, so the caller can open the same key again with other
// rights. False when neither view holds the key (or it cannot be opened).
bool openUninstallKey(HKEY root, const std::wstring& productCode, REGSAM access, base::unique_hkey& key,
                      REGSAM& view);
