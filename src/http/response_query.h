#pragma once
// Reading response headers of a WinINet request.
#include <windows.h>
#include <wininet.h>

#include <string>

// Text of one header (HTTP_QUERY_* level), asked twice: once for its size,
// then into a buffer of that size plus 2 bytes. False, with `out` empty, when
// the header is absent or the query fails.
bool queryText(HINTERNET request, DWORD level, std::wstring& out);

// The header read as a number with leadingNumber; 0 when absent.
LONG queryNumber(HINTERNET request, DWORD level);

// The value of the leading decimal digits of `text`; 0 when there are none,
// LONG_MAX when they exceed it.
LONG leadingNumber(const std::wstring& text);
