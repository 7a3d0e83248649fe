#pragma once
// One line of the diagnostic log per HTTP request: what was asked, what came
// back and how fast. The window's thread, as the request ends.
#include "http/http_request.h"

// "finished", "got no response", "timed out": how the request ended.
void logRequestEnd(const FCHttpRequest& request, const wchar_t* ending);
