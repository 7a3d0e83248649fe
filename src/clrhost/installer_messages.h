#pragma once
// Failure texts for results of the Windows Installer function interface.
#include <windows.h>

#include <string>

// lead + " (Error = <code>)." for an installer error (1601-1699), otherwise
// lead + " (HRESULT = 0x<hex>)." with the code as an HRESULT.
std::wstring installerErrorText(const std::wstring& lead, UINT code);

// A positive code as a Win32 HRESULT (0x8007xxxx); zero and negative codes as they are.
DWORD installerCodeAsHresult(UINT code);
