#pragma once
// Messages between a request's threads, its manager and the event window.
#include <windows.h>

// wParam: request id; lParam: one of the HttpStep values.
constexpr UINT WM_HTTP_STEP = WM_APP + 0x30;  // 32816
// wParam: request id; lParam: bytes appended to the body since the previous
// one (the reads of a few milliseconds, or a single read of a slow body).
constexpr UINT WM_HTTP_DATA = WM_APP + 0x31;  // 32817

enum HttpStep : LPARAM {
    HttpConnected = 0,     // the connect step ended (connection set, or null on failure)
    HttpRequestSent = 1,   // the request was sent; response headers can be read
    HttpBodyFinished = 2,  // the body was read to its end, or a read failed
};
