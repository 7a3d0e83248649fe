#include "app/single_instance.h"

namespace {

struct Search {
    const std::wstring* className;
    bool found;
};

BOOL CALLBACK checkWindow(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<Search*>(parameter);
    wchar_t name[512];
    if (::GetClassNameW(window, name, 512) > 0 && ::lstrcmpiW(name, search->className->c_str()) == 0) {
        search->found = true;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

bool topLevelWindowOfClassExists(const std::wstring& className) {
    Search search = {&className, false};
    ::EnumWindows(checkWindow, reinterpret_cast<LPARAM>(&search));  // stops early on a match
    return search.found;
}

bool anotherInstanceRunning(const std::wstring& atomName, const std::wstring& className) {
    if (atomName.empty()) return false;
    const ATOM atom = ::GlobalFindAtomW(atomName.c_str());
    if (atom == 0) return false;
    if (topLevelWindowOfClassExists(className)) return true;
    ::GlobalDeleteAtom(atom);  // stale: its owner ended without clean-up
    return false;
}
