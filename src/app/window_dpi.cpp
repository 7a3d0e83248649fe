#include "app/window_dpi.h"

#include "base/unique_any.h"

namespace {

void deleteFont(HFONT font) { ::DeleteObject(font); }
using unique_font = base::unique_any<base::simple_traits<HFONT, nullptr, deleteFont>>;

UINT knownDpi = 96;
unique_font scaledFont;  // the font of the last rescale; the dialog manager owns the first

template <typename Function>
Function user32Function(const char* name) {
    return reinterpret_cast<Function>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"user32.dll"), name)));
}

// GetDpiForWindow exists from Windows 10 1607; before it the window has the system DPI.
UINT dpiOf(HWND window) {
    using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
    static const GetDpiForWindowFunction getDpiForWindow = user32Function<GetDpiForWindowFunction>("GetDpiForWindow");
    if (getDpiForWindow != nullptr) {
        const UINT dpi = getDpiForWindow(window);
        if (dpi != 0) return dpi;
    }
    HDC screen = ::GetDC(nullptr);
    const int dpi = screen != nullptr ? ::GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen != nullptr) ::ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

}  // namespace

void prepareDpiScaling(HWND window) {
    knownDpi = dpiOf(window);
    // Windows 10 1703 and later rescale dialogs by themselves under per-monitor v2.
    using SetBehaviorFunction = BOOL(WINAPI*)(HWND, int, int);
    const SetBehaviorFunction setBehavior = user32Function<SetBehaviorFunction>("SetDialogDpiChangeBehavior");
    const int disableAll = 1;  // DDC_DISABLE_ALL
    if (setBehavior != nullptr) setBehavior(window, disableAll, disableAll);  // best effort: then both may rescale
}

void rescaleForDpi(HWND window, UINT newDpi, const RECT& suggested) {
    const UINT oldDpi = knownDpi;
    if (newDpi == 0 || oldDpi == 0) return;
    knownDpi = newDpi;
    ::SetWindowPos(window, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                   suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    if (newDpi == oldDpi) return;

    auto scale = [oldDpi, newDpi](LONG value) {
        return ::MulDiv(value, static_cast<int>(newDpi), static_cast<int>(oldDpi));
    };
    HFONT font = nullptr;
    LOGFONTW face;
    // Our class answers no WM_GETFONT; the controls hold the dialog's font.
    HFONT current = nullptr;
    for (HWND child = ::GetWindow(window, GW_CHILD); child != nullptr && current == nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT))
        current = reinterpret_cast<HFONT>(::SendMessageW(child, WM_GETFONT, 0, 0));
    if (current != nullptr && ::GetObjectW(current, sizeof(face), &face) == sizeof(face)) {
        face.lfHeight = scale(face.lfHeight);
        face.lfWidth = scale(face.lfWidth);
        font = ::CreateFontIndirectW(&face);
    }
    for (HWND child = ::GetWindow(window, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
        RECT box;
        ::GetWindowRect(child, &box);
        ::MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&box), 2);
        ::SetWindowPos(child, nullptr, scale(box.left), scale(box.top), scale(box.right - box.left),
                       scale(box.bottom - box.top), SWP_NOZORDER | SWP_NOACTIVATE);
        if (font != nullptr) ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    }
    if (font != nullptr) scaledFont.reset(font);  // the previous scaled font is no longer used
}
