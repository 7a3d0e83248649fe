#pragma once
// Move-only owner of a WinINet handle.
#include <windows.h>
#include <wininet.h>

#include "base/unique_any.h"

namespace http {
namespace detail {
inline void closeInternet(HINTERNET h) { ::InternetCloseHandle(h); }
}  // namespace detail
using unique_hinternet = base::unique_any<base::simple_traits<HINTERNET, nullptr, detail::closeInternet>>;
}  // namespace http
