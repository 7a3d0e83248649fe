#include "install_test_support.h"

#include <shellapi.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <cstdlib>
#include <string>

namespace installtest {

std::wstring programFolder() {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder = path;
    return folder.substr(0, folder.rfind(L'\\'));
}

std::wstring packagePath(const std::wstring& name) { return programFolder() + L"\\packages\\" + name + L".msi"; }

namespace {

void deleteTree(const std::wstring& folder) {
    std::wstring from = folder;
    from.push_back(L'\0');  // double-NUL terminated list
    SHFILEOPSTRUCTW operation{};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    operation.fFlags = FOF_NO_UI;
    ::SHFileOperationW(&operation);
}

}  // namespace

TempFolder::TempFolder() {
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    static LONG counter = 0;
    path_ = std::wstring(temp) + L"install test " + std::to_wstring(::GetCurrentProcessId()) + L"_" +
            std::to_wstring(::InterlockedIncrement(&counter));
    ::CreateDirectoryW(path_.c_str(), nullptr);
}

TempFolder::~TempFolder() { deleteTree(path_); }

void copyFakeHost(const std::wstring& path) {
    ::SHCreateDirectoryExW(nullptr, path.substr(0, path.rfind(L'\\')).c_str(), nullptr);
    ::CopyFileW((programFolder() + L"\\fakehost.exe").c_str(), path.c_str(), FALSE);
}

void writeFile(const std::wstring& path, const std::string& bytes) {
    ::SHCreateDirectoryExW(nullptr, path.substr(0, path.rfind(L'\\')).c_str(), nullptr);
    base::unique_file file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (file && !bytes.empty()) ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

ChildProcess::ChildProcess(const std::wstring& path) {
    std::wstring commandLine = L"\"" + path + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &info))
        return;
    process_.reset(info.hProcess);
    ::CloseHandle(info.hThread);
    id_ = info.dwProcessId;
    ::WaitForInputIdle(process_.get(), 10000);
}

ChildProcess::~ChildProcess() { stop(); }

void ChildProcess::stop() {
    if (!process_) return;
    ::TerminateProcess(process_.get(), 0);
    ::WaitForSingleObject(process_.get(), 10000);
    process_.reset();
}

void stopProcess(DWORD id) {
    base::unique_handle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id));
    if (!process) return;
    ::TerminateProcess(process.get(), 0);
    ::WaitForSingleObject(process.get(), 10000);
}

std::vector<DWORD> loggedStarts(const std::wstring& hostPath) {
    std::vector<DWORD> ids;
    base::unique_file log(::CreateFileW((hostPath + L".log").c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!log) return ids;
    std::string text;
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(log.get(), buffer, sizeof buffer, &got, nullptr) && got) text.append(buffer, got);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) break;  // a line still being written
        ids.push_back(static_cast<DWORD>(std::strtoul(text.c_str() + start, nullptr, 10)));
        start = end + 1;
    }
    return ids;
}

bool waitFor(const std::function<bool()>& check, DWORD timeoutMs) {
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;) {
        if (check()) return true;
        if (::GetTickCount64() > deadline) return false;
        ::Sleep(20);
    }
}

namespace {

struct BoxSearch {
    std::wstring caption;
    HWND found = nullptr;
};

BOOL CALLBACK findBox(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<BoxSearch*>(data);
    DWORD process = 0;
    ::GetWindowThreadProcessId(window, &process);
    if (process != ::GetCurrentProcessId()) return TRUE;
    wchar_t cls[64] = {};
    wchar_t caption[512] = {};
    ::GetClassNameW(window, cls, 64);
    ::GetWindowTextW(window, caption, 512);
    if (std::wstring(cls) == L"#32770" && search->caption == caption && ::IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

HWND findMessageBox(const std::wstring& caption) {
    BoxSearch search;
    search.caption = caption;
    ::EnumWindows(findBox, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::wstring messageBoxText(HWND box) {
    wchar_t text[4096] = {};
    ::GetDlgItemTextW(box, 0xFFFF, text, 4096);  // the message's static control
    return text;
}

ScratchKey::ScratchKey(HKEY root, const std::wstring& name, REGSAM view) : root_(root), name_(name), view_(view) {
    ::RegCreateKeyExW(root, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, key_.put(), nullptr);
}

ScratchKey::~ScratchKey() {
    if (key_) ::RegDeleteTreeW(key_.get(), nullptr);  // its values (and any subkeys), then the key itself
    key_.reset();
    ::RegDeleteKeyExW(root_, name_.c_str(), view_, 0);
}

bool keyExists(HKEY root, const std::wstring& name, REGSAM view) {
    base::unique_hkey key;
    return ::RegOpenKeyExW(root, name.c_str(), 0, KEY_READ | view, key.put()) == ERROR_SUCCESS;
}

void ScratchKey::set(const wchar_t* value, const std::wstring& data, DWORD type) {
    ::RegSetValueExW(key_.get(), value, 0, type, reinterpret_cast<const BYTE*>(data.c_str()),
                     static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
}

}  // namespace installtest
