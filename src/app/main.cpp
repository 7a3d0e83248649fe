#include <windows.h>

#include "app/dll_search.h"
#include "app/entry.h"

// The runtime's own entry: starts the C runtime, runs the static constructors
// (the pipeline object and its HTTP window among them), then wWinMain.
extern "C" int WinMainCRTStartup();

// The process entry (the link names it): before anything else runs, DLL loads
// are restricted to the system folder, so that nothing the runtime, the static
// constructors or the program loads later can come from the program's folder.
extern "C" int bootstrapperStartup() {
    dll_search::restrictToSystemFolder();  // best effort: see dll_search.h for the fallback
    return WinMainCRTStartup();
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int showCommand) {
    return runApplication(instance, commandLine, showCommand);
}
