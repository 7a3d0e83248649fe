#include "http/request_header.h"

#include <urlmon.h>

RequestHeader::RequestHeader() : userAgent(systemUserAgent()) {}

const wchar_t* methodText(LONG method) {
    switch (method) {
    case 1:
    case 2:
        return L"POST";
    case 3:
        return L"DELETE";
    default:
        return L"GET";
    }
}

std::wstring systemUserAgent() {
    // Asked once per process: every RequestHeader starts with it.
    static const std::wstring agent = [] {
        char text[1024] = {};
        DWORD size = sizeof(text);
        if (FAILED(::ObtainUserAgentString(0, text, &size))) return std::wstring();
        text[sizeof(text) - 1] = '\0';
        const int count = ::MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
        if (count <= 1) return std::wstring();
        std::wstring wide(static_cast<size_t>(count), L'\0');
        ::MultiByteToWideChar(CP_ACP, 0, text, -1, &wide[0], count);
        wide.resize(static_cast<size_t>(count) - 1);
        return wide;
    }();
    return agent;
}

namespace {

DWORD WINAPI warmUpUserAgent(void*) {
    try {
        systemUserAgent();
    } catch (...) {
        // the first request asks again, and fails the usual way
    }
    return 0;
}

}  // namespace

HANDLE startUserAgentWarmUp() { return ::CreateThread(nullptr, 0, warmUpUserAgent, nullptr, 0, nullptr); }
