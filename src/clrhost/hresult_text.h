#pragma once
// Error numbers as the custom-action host reports them: every failure text
// carries an HRESULT, written as "0x%x".
#include <windows.h>

#include <initializer_list>
#include <string>

namespace clrhost {

// A Win32 error as an HRESULT: 0 becomes E_FAIL, a positive code c becomes
// 0x80070000 | (c & 0xFFFF), a value that is already negative stays as it is.
HRESULT hresultFromError(DWORD error);

// hresultFromError(GetLastError()).
HRESULT hresultFromLastError();

// Lower-case hexadecimal without leading zeros, as printf's %x writes it.
std::wstring hexText(DWORD value);

// Replaces the conversions %s, %d and %x of format, in order, by the given
// texts (already formatted); anything else is copied as it stands.
std::wstring formatText(const wchar_t* format, std::initializer_list<std::wstring> values);

// A failure text whose only conversion is the HRESULT ("... (HRESULT = 0x%x).").
std::wstring hresultMessage(const wchar_t* format, HRESULT hr);

// A failure text that names something (%s) and then gives the HRESULT.
std::wstring hresultMessage(const wchar_t* format, const std::wstring& name, HRESULT hr);

}  // namespace clrhost
