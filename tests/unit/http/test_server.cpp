#include "test_server.h"

#include <wininet.h>

#include <gtest/gtest.h>

#include "http/internet_handle.h"

namespace httptest {
namespace {

std::wstring environment(const wchar_t* name) {
    wchar_t value[512] = {};
    const DWORD length = ::GetEnvironmentVariableW(name, value, 512);
    return length > 0 && length < 512 ? std::wstring(value, length) : std::wstring();
}

std::wstring escapeQuery(const std::wstring& text) {
    std::wstring out;
    for (wchar_t c : text) {
        if (iswalnum(c) || c == L'/' || c == L'-' || c == L'_' || c == L'.') {
            out += c;
        } else {
            wchar_t hex[8];
            swprintf(hex, 8, L"%%%02X", static_cast<unsigned>(c) & 0xFF);
            out += hex;
        }
    }
    return out;
}

}  // namespace

std::wstring serverUrl(const std::wstring& path) {
    const std::wstring base = environment(L"HTTP_TEST_URL");
    EXPECT_FALSE(base.empty()) << "HTTP_TEST_URL is not set: run through ctest or serve.py -- <program>";
    return base + path;
}

int refusedPort() {
    return _wtoi(environment(L"HTTP_TEST_REFUSED_PORT").c_str());
}

std::string seenRequests(const std::wstring& path) {
    const std::wstring url = serverUrl(L"/_/log?format=raw&path=" + escapeQuery(path));
    http::unique_hinternet session(::InternetOpenW(L"test", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
    http::unique_hinternet file(::InternetOpenUrlW(session.get(), url.c_str(), nullptr, 0,
                                                   INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0));
    std::string text;
    char chunk[4096];
    DWORD count = 0;
    while (file && ::InternetReadFile(file.get(), chunk, sizeof(chunk), &count) && count > 0) text.append(chunk, count);
    return text;
}

}  // namespace httptest
