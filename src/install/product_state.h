#pragma once
// What the Windows Installer knows about a product, and whether this process may remove it.
#include <string>

// True when the installer knows the product for this user (MsiGetProductInfoW
// "VersionString" succeeds).
bool IsProductInstalled(const std::wstring& productCode);

struct RemovalRights {
    bool processElevated = false;
    bool laterThanVersion5 = false;  // Windows Vista or later
    std::wstring privileges;         // "user" means a per-user product
};

// Whether the product may be removed by this process: an elevated process may
// when the product is installed at all; a non-elevated one on Windows 5 only a
// per-user product; a non-elevated one on a later Windows always (the installer
// asks for consent itself).
bool MayRemoveProduct(const RemovalRights& rights, const std::wstring& productCode);

extern const wchar_t removalForbiddenText[];
