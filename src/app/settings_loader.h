#pragma once
// Reads the settings from a module's string table and derives the rest.
#include <windows.h>

#include <string>

#include "product/settings.h"

// The string resource with the id, whatever its length; empty when missing.
std::wstring loadStringResource(HINSTANCE module, UINT id);

// Ids 132 to 143 into the record.
void loadStringSettings(HINSTANCE module, AppSettings& settings);

// Id 109, cut to 99 characters like the window-class buffer of 100. An empty
// name, or one in the "#number" form of a system class atom, falls back to the
// shipped one: a template with such a class makes a plain dialog that never
// reaches our window procedure, so the program could neither start nor close.
void loadWindowClassName(HINSTANCE module, AppSettings& settings);

// exePath, exeDirectory and exeFileName from the given full path of the module.
void deriveExePaths(const std::wstring& modulePath, AppSettings& settings);

// The full path of this module's own file (not taken from the command line,
// whose arguments can occur inside the path).
std::wstring moduleFilePath(HINSTANCE module);

// A function shaped like GetVersionExW.
using VersionQuery = BOOL(WINAPI*)(OSVERSIONINFOW*);

// dwMajorVersion from query, asked with the extended structure first and, when
// that fails (systems before NT 4.0 SP6 know only the basic one), with the basic
// structure; 0 when both fail.
DWORD queryOsMajorVersion(VersionQuery query = ::GetVersionExW);
