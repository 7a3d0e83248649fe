#pragma once
// Where the HTTP test server (tests/support/httpserver/serve.py) listens, and
// a plain blocking fetch for reading what it saw.
#include <windows.h>

#include <string>

namespace httptest {

// "http://127.0.0.1:<port>" + path. Fails the test when run without the server.
std::wstring serverUrl(const std::wstring& path);
// A port on 127.0.0.1 that refuses connections.
int refusedPort();
// The raw request heads the server saw for exactly `path` (see /_/log).
std::string seenRequests(const std::wstring& path);
// Byte i of the server's generated bodies.
inline char patternByte(size_t i) { return static_cast<char>(i % 251); }

}  // namespace httptest
