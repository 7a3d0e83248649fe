#pragma once
// String-table resources: a block of 16 counted UTF-16 strings; block n holds
// the ids (n - 1) * 16 to n * 16 - 1.
#include <windows.h>

#include <array>
#include <string>
#include <vector>

using StringBlock = std::array<std::wstring, 16>;

inline WORD stringBlockId(UINT stringId) { return static_cast<WORD>((stringId >> 4) + 1); }

// Reads a block resource's bytes; a short or cut block yields empty strings
// for what is missing.
StringBlock decodeStringBlock(const BYTE* data, size_t size);
std::vector<BYTE> encodeStringBlock(const StringBlock& block);
