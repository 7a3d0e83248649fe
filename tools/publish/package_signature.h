#pragma once
// Whether a Windows Installer package carries an Authenticode signature: the
// installer names an unsigned package's publisher as unknown.
#include <string>

// True when the package's storage holds a digital-signature stream. False for
// an unsigned package and for a file that cannot be opened as one.
bool packageIsSigned(const std::wstring& path);

// The warning publish add prints for an unsigned package.
std::wstring unsignedPackageWarning(const std::wstring& path);
