#pragma once
// Whole-file questions of the publisher's tool.
#include <string>

#include "base/sha256_digest.h"

// An existing file, not a folder.
bool isFile(const std::wstring& path);

// True when both files can be read and hold the same bytes.
bool sameFileBytes(const std::wstring& first, const std::wstring& second);

// The SHA-256 of the file, as the bootstrapper computes it; false with
// GetLastError() set when it cannot be read.
bool fileDigest(const std::wstring& path, unsigned char (&digest)[Sha256Digest::size]);

