/* A DLL planted under a system DLL's name. It exports nothing anyone needs:
 * loading it is the fault, and it records that by writing a marker file
 * "<its name>--<program name>--<process id>.loaded" into the folder named by
 * PLANTED_DLL_MARKERS (a Windows path), or beside itself. The marker holds
 * the DLL's and the program's full paths and how it was loaded: "start-up"
 * when the loader resolved a static import before the program ran (DllMain's
 * reserved argument is then not null), "dynamic" for a load at run time. */
#include <windows.h>

#include <wchar.h>

static const wchar_t* baseName(const wchar_t* path) {
    const wchar_t* slash = wcsrchr(path, L'\\');
    return slash != NULL ? slash + 1 : path;
}

static void recordLoad(HINSTANCE self, int atStartUp) {
    wchar_t dll[MAX_PATH], program[MAX_PATH], folder[MAX_PATH], marker[3 * MAX_PATH], text[2 * MAX_PATH + 16];
    if (GetModuleFileNameW(self, dll, MAX_PATH) == 0) return;
    if (GetModuleFileNameW(NULL, program, MAX_PATH) == 0) return;
    DWORD length = GetEnvironmentVariableW(L"PLANTED_DLL_MARKERS", folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        wcscpy(folder, dll);
        *(wchar_t*)baseName(folder) = L'\0';
    }
    size_t end = wcslen(folder);
    const wchar_t* separator = end > 0 && folder[end - 1] == L'\\' ? L"" : L"\\";
    _snwprintf(marker, 3 * MAX_PATH, L"%ls%ls%ls--%ls--%lu.loaded", folder, separator, baseName(dll),
               baseName(program), (unsigned long)GetCurrentProcessId());
    marker[3 * MAX_PATH - 1] = L'\0';
    _snwprintf(text, 2 * MAX_PATH + 16, L"%ls\r\n%ls\r\n%ls\r\n", dll, program, atStartUp ? L"start-up" : L"dynamic");
    text[2 * MAX_PATH + 15] = L'\0';

    HANDLE file = CreateFileW(marker, GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return;
    char utf8[4 * MAX_PATH + 32];
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, NULL, NULL);
    DWORD written = 0;
    if (bytes > 1) WriteFile(file, utf8, (DWORD)(bytes - 1), &written, NULL);
    CloseHandle(file);
}

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) recordLoad(self, reserved != NULL);
    return TRUE;
}
