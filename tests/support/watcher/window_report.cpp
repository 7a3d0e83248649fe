#include "window_report.h"

#include "base/unique_any.h"
#include "json.h"

namespace watcher {
namespace {

long long handleNumber(HWND window) { return static_cast<long long>(reinterpret_cast<UINT_PTR>(window)); }

std::string rectJson(const RECT& r) {
    return jsonArray({std::to_string(r.left), std::to_string(r.top), std::to_string(r.right),
                      std::to_string(r.bottom)});
}

std::string clientRectJson(HWND window) {
    RECT r{};
    ::GetClientRect(window, &r);
    ::MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&r), 2);
    return rectJson(r);
}

BOOL CALLBACK collectWindow(HWND window, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

std::vector<HWND> childrenOf(HWND parent) {
    std::vector<HWND> all;
    ::EnumChildWindows(parent, collectWindow, reinterpret_cast<LPARAM>(&all));
    std::vector<HWND> direct;
    for (HWND child : all)
        if (::GetParent(child) == parent) direct.push_back(child);
    return direct;
}

std::string describeChild(HWND child) {
    RECT r{};
    ::GetWindowRect(child, &r);
    return JsonObject()
        .add("id", static_cast<long long>(::GetDlgCtrlID(child)))
        .add("class", classNameOf(child))
        .add("text", textOf(child))
        .add("style", static_cast<long long>(static_cast<DWORD>(::GetWindowLongW(child, GWL_STYLE))))
        .addBool("visible", ::IsWindowVisible(child) != FALSE)
        .addRaw("rect", rectJson(r))
        .str();
}

}  // namespace

std::wstring classNameOf(HWND window) {
    wchar_t name[512] = L"";
    ::GetClassNameW(window, name, 512);
    return name;
}

std::wstring textOf(HWND window) {
    // Large enough for any string-table value a test may stamp.
    std::vector<wchar_t> text(0x10000, L'\0');
    const int length = ::InternalGetWindowText(window, text.data(), static_cast<int>(text.size()));
    return std::wstring(text.data(), length > 0 ? length : 0);
}

std::wstring processImageOf(DWORD processId) {
    base::unique_handle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    if (!process) return {};
    wchar_t path[MAX_PATH * 2] = L"";
    DWORD size = MAX_PATH * 2;
    if (!::QueryFullProcessImageNameW(process.get(), 0, path, &size)) return {};
    return path;
}

std::vector<HWND> topLevelWindows() {
    std::vector<HWND> windows;
    ::EnumWindows(collectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

std::vector<HWND> topLevelWindowsOfClass(const std::wstring& className) {
    std::vector<HWND> found;
    for (HWND window : topLevelWindows())
        if (::lstrcmpiW(classNameOf(window).c_str(), className.c_str()) == 0) found.push_back(window);
    return found;
}

JsonObject describeWindow(HWND window) {
    DWORD processId = 0;
    ::GetWindowThreadProcessId(window, &processId);
    RECT r{};
    ::GetWindowRect(window, &r);
    const HWND owner = ::GetWindow(window, GW_OWNER);
    std::vector<std::string> children;
    for (HWND child : childrenOf(window)) children.push_back(describeChild(child));

    JsonObject report;
    report.add("hwnd", handleNumber(window))
        .add("pid", static_cast<long long>(processId))
        .add("process", processImageOf(processId))
        .add("class", classNameOf(window))
        .add("caption", textOf(window))
        .addBool("visible", ::IsWindowVisible(window) != FALSE)
        .addBool("enabled", ::IsWindowEnabled(window) != FALSE)
        .add("style", static_cast<long long>(static_cast<DWORD>(::GetWindowLongW(window, GWL_STYLE))))
        .add("exstyle", static_cast<long long>(static_cast<DWORD>(::GetWindowLongW(window, GWL_EXSTYLE))))
        .addRaw("rect", rectJson(r))
        .addRaw("client", clientRectJson(window))
        .add("owner", handleNumber(owner))
        .addBool("owner_visible", owner && ::IsWindowVisible(owner))
        .add("owner_class", owner ? classNameOf(owner) : std::wstring())
        .add("owner_caption", owner ? textOf(owner) : std::wstring())
        .addRaw("children", jsonArray(children));
    return report;
}

JsonObject describeWindowBriefly(HWND window) {
    DWORD processId = 0;
    const DWORD threadId = ::GetWindowThreadProcessId(window, &processId);
    JsonObject report;
    report.add("hwnd", handleNumber(window))
        .add("pid", static_cast<long long>(processId))
        .add("tid", static_cast<long long>(threadId))
        .add("process", processImageOf(processId))
        .add("class", classNameOf(window))
        .add("caption", textOf(window))
        .addBool("visible", ::IsWindowVisible(window) != FALSE)
        .addBool("enabled", ::IsWindowEnabled(window) != FALSE)
        .add("owner", handleNumber(::GetWindow(window, GW_OWNER)));
    return report;
}

}  // namespace watcher
