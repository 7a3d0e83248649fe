#pragma once
// SHA-256 of an open file through CryptoAPI (advapi32, always loaded from the
// system folder; SHA-256 there since Windows XP SP3). Callable from any thread.
#include <windows.h>

#include "base/sha256_digest.h"

// Reads the file from its start to its end in blocks through the given handle
// (which needs read access) and gives its digest. False with GetLastError()
// set when the system cannot hash or the file cannot be read.
bool ComputeFileSha256(HANDLE file, unsigned char (&digest)[Sha256Digest::size]);
