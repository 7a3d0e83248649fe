#pragma once
// What the installation tests share: folders of their own, the stand-in host
// program and the sample packages built beside the tests, and processes that
// are stopped by their id when a test ends.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "base/unique_any.h"

namespace installtest {

// Folder of the test program: fakehost.exe lies there, the packages in "packages".
std::wstring programFolder();
std::wstring packagePath(const std::wstring& name);  // e.g. L"talvoro-addin-2.1.0"

// A fresh folder (its name holds a blank) under the temporary folder, deleted with its contents.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::wstring& path() const { return path_; }
    std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
};

// Copies fakehost.exe to path (creating its folder).
void copyFakeHost(const std::wstring& path);

// Writes a small file (creating its folder).
void writeFile(const std::wstring& path, const std::string& bytes);

// A started program, terminated by its id when this goes away.
class ChildProcess {
public:
    explicit ChildProcess(const std::wstring& path);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    bool started() const { return process_.valid(); }
    DWORD id() const { return id_; }
    void stop();

private:
    base::unique_handle process_;
    DWORD id_ = 0;
};

// Terminates the process with that id (for programs started by the code under test).
void stopProcess(DWORD id);

// The process ids a fake host logged in "<path>.log", one per start.
std::vector<DWORD> loggedStarts(const std::wstring& hostPath);

// Polls check until it is true or the deadline passes; returns its last result.
bool waitFor(const std::function<bool()>& check, DWORD timeoutMs = 30000);

// A message box of this process with that caption, or null.
HWND findMessageBox(const std::wstring& caption);
std::wstring messageBoxText(HWND box);

// HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE key, in the registry view given
// (KEY_WOW64_32KEY, KEY_WOW64_64KEY or 0), removed with its values at the end.
class ScratchKey {
public:
    ScratchKey(HKEY root, const std::wstring& name, REGSAM view = 0);
    ~ScratchKey();
    void set(const wchar_t* value, const std::wstring& data, DWORD type = REG_SZ);

private:
    HKEY root_;
    std::wstring name_;
    REGSAM view_;
    base::unique_hkey key_;
};

// Whether the key exists in that registry view.
bool keyExists(HKEY root, const std::wstring& name, REGSAM view);

}  // namespace installtest
