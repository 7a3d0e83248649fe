#pragma once
// Whole-file reads and writes and the UTF-8 conversion used for version_info.xml
// and the release files. Callable from any thread.
#include <windows.h>

#include <string>

// Reads the whole file into bytes. An empty file, a missing one or a short read
// is a failure (GetLastError() tells why when the system knows).
bool ReadWholeFile(const std::wstring& path, std::string& bytes);

// Writes size bytes to path, replacing it (a read-only leftover too). True only
// when every byte was written; an empty body makes an empty file.
bool WriteWholeFile(const void* data, DWORD size, const std::wstring& path);

// UTF-8 bytes to UTF-16; empty for empty or unconvertible input. A byte-order
// mark is kept as the character U+FEFF.
std::wstring Utf8ToWide(const std::string& bytes);

// Whether the open file (read access) holds exactly these bytes, read from its
// start. False with GetLastError() set when it cannot be read, and with
// ERROR_INVALID_DATA when it holds other bytes.
bool FileHoldsBytes(HANDLE file, const std::string& bytes);
