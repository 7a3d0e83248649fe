#pragma once
// The hostApplication setting against the host table the program itself uses:
// a name the table does not know is silently ignored at run time, so the
// running-applications check would never see the add-in's host.
#include <string>

// Empty when every ";"-separated name is one the program knows (or the value
// is empty: no host is checked); otherwise one line naming the unknown name
// and the known ones.
std::wstring hostApplicationProblem(const std::wstring& value);

// The names the table knows, as a publisher writes them: "Excel, Word, ...".
std::wstring knownHostNames();
