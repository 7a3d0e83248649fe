/* A program without the defence against DLL planting: it imports wininet
 * statically and loads msi.dll by name, as a careless program would. The DLL
 * planting scenario shows that its planted DLLs are loaded. */
#include <windows.h>
#include <wininet.h>

int main(int argc, char** argv) {
    (void)argv;
    /* Never called: only the import matters. */
    if (argc > 1000) InternetCloseHandle(NULL);
    HMODULE msi = LoadLibraryW(L"msi.dll");
    return msi != NULL ? 0 : 1;
}
