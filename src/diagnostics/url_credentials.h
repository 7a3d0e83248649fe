#pragma once
// Keeps user names and passwords of URLs out of what the program writes down.
#include <string>

namespace diagnostics {

// The text with the "user:password@" part of every URL in it ("scheme://"
// followed by an authority) removed. Text without URLs comes back unchanged.
std::wstring withoutUrlCredentials(const std::wstring& text);

}  // namespace diagnostics
