#include "app/elevation.h"

#include <shellapi.h>

#include "app/errors.h"
#include "base/unique_any.h"

namespace {

bool tokenIsElevated() {
    base::unique_handle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put())) throw windows_error(::GetLastError());
    TOKEN_ELEVATION elevation = {};
    DWORD size = 0;
    if (!::GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof(elevation), &size))
        throw windows_error(::GetLastError());
    return elevation.TokenIsElevated != 0;
}

bool isAdministratorsMember() {
    base::unique_handle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_DUPLICATE | TOKEN_QUERY, token.put())) return false;
    base::unique_handle duplicate;
    if (!::DuplicateToken(token.get(), SecurityIdentification, duplicate.put())) return false;
    // BUILTIN\Administrators built by hand: CreateWellKnownSid needs Windows XP.
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    BYTE sid[SECURITY_MAX_SID_SIZE];
    if (!::InitializeSid(sid, &ntAuthority, 2)) return false;
    *::GetSidSubAuthority(sid, 0) = SECURITY_BUILTIN_DOMAIN_RID;
    *::GetSidSubAuthority(sid, 1) = DOMAIN_ALIAS_RID_ADMINS;
    BOOL member = FALSE;
    if (!::CheckTokenMembership(duplicate.get(), sid, &member)) return false;
    return member != FALSE;
}

}  // namespace

bool processIsElevated(DWORD osMajorVersion) {
    return osMajorVersion >= 6 ? tokenIsElevated() : isAdministratorsMember();
}

DWORD relaunchElevated(const std::wstring& exePath, const std::wstring& exeDirectory, const std::wstring& arguments,
                       bool wait) {
    SHELLEXECUTEINFOW start = {};
    start.cbSize = sizeof(start);
    start.fMask = wait ? SEE_MASK_NOCLOSEPROCESS : 0;
    start.lpVerb = L"runas";
    start.lpFile = exePath.c_str();
    start.lpParameters = arguments.empty() ? nullptr : arguments.c_str();
    start.lpDirectory = exeDirectory.c_str();
    start.nShow = SW_SHOW;
    ::ShellExecuteExW(&start);
    // hInstApp is what ShellExecuteW would return, judged at its full width: a
    // 64-bit value cut to 32 bits could look like an error code.
    const ULONG_PTR value = reinterpret_cast<ULONG_PTR>(start.hInstApp);
    base::unique_handle process(start.hProcess);
    if (value < 32) throw windows_error(static_cast<DWORD>(value));
    DWORD exitCode = 0;
    if (wait && (!process || ::WaitForSingleObject(process.get(), INFINITE) != WAIT_OBJECT_0 ||
                 !::GetExitCodeProcess(process.get(), &exitCode)))
        exitCode = ERROR_INSTALL_FAILURE;
    return exitCode;
}
