#pragma once
// How a finished request is judged: whether its body arrived whole, and the
// sentence that tells the user why not. Shared by everything that fetches a
// release, so that they all judge a server alike.
#include <string>

#include "http/http_request.h"

// takenBytes: every body byte the owner took out of the request (or that its
// sink took from this response). With a
// Content-Length the body is whole when exactly that many arrived; without
// one, when the last read ended normally.
bool bodyComplete(const FCHttpRequest& request, long long takenBytes);

// The failure text of a finished request that did not bring a whole 200 body.
std::wstring finishedRequestFailure(const FCHttpRequest& request);

// The failure text of a request that got no answer at all (status 0).
std::wstring unansweredRequestFailure(const FCHttpRequest& request);

// Whether a request that failed as above may succeed when sent again: no
// answer, a stall, a body cut short, a 5xx. Never a 4xx, a body too large or
// one longer than it announced.
// (A write into the sink that failed is the owner's to judge: never retried.)
bool worthRetrying(const FCHttpRequest& request);
