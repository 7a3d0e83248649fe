/* A program that imports the KnownDLLs the bootstrapper imports, and nothing
 * else. Any planted DLL loaded at its start-up is loaded by the system's own
 * DLLs (Wine's user32 imports version.dll; Windows' does not), not by a
 * program's imports: the DLL planting scenario tells those apart with it. */
#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>

int main(int argc, char** argv) {
    (void)argv;
    /* Never called: only the imports matter. */
    if (argc > 1000) {
        HKEY key = NULL;
        RegCloseKey(key);
        MessageBeep(0);
        CoUninitialize();
        SysFreeString(NULL);
        ShellExecuteW(NULL, NULL, NULL, NULL, NULL, 0);
        PathFileExistsW(NULL);
    }
    return 0;
}
