#pragma once
// Reading the state of other processes' windows and describing it as JSON.
#include <windows.h>

#include <string>
#include <vector>

#include "json.h"

namespace watcher {

std::wstring classNameOf(HWND window);
// The text the system keeps for a window; works across processes without
// sending messages, so a hung target cannot block the watcher.
std::wstring textOf(HWND window);
std::wstring processImageOf(DWORD processId);

std::vector<HWND> topLevelWindows();
// Top-level windows whose class equals className, without regard to case.
std::vector<HWND> topLevelWindowsOfClass(const std::wstring& className);

// One JSON object: handle, process, class, caption, visibility, styles, screen
// rectangles, owner (and whether it is visible) and every child control with
// its id, class, text, style and rectangle.
JsonObject describeWindow(HWND window);
// Handle, process, class, caption, visibility, enabled state and owner only.
JsonObject describeWindowBriefly(HWND window);

}  // namespace watcher
