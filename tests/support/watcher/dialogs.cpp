#include "dialogs.h"

#include <cwchar>
#include <cwctype>

#include "window_report.h"

namespace watcher {
namespace {

constexpr int kMessageTextId = 0xFFFF;
constexpr int kMessageIconId = 0x0440;

struct ButtonName {
    const wchar_t* name;
    int id;
};
constexpr ButtonName kButtonNames[] = {
    {L"ok", IDOK},       {L"cancel", IDCANCEL},     {L"abort", IDABORT},       {L"retry", IDRETRY},
    {L"ignore", IDIGNORE}, {L"yes", IDYES},         {L"no", IDNO},             {L"close", IDCLOSE},
    {L"help", IDHELP},   {L"tryagain", IDTRYAGAIN}, {L"continue", IDCONTINUE}, {L"none", kLeaveOpen},
};

bool isClass(HWND window, const wchar_t* name) { return ::lstrcmpiW(classNameOf(window).c_str(), name) == 0; }

BOOL CALLBACK collectChild(HWND window, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

std::vector<HWND> controlsOf(HWND dialog) {
    std::vector<HWND> all;
    ::EnumChildWindows(dialog, collectChild, reinterpret_cast<LPARAM>(&all));
    return all;
}

bool contains(const std::wstring& text, const std::wstring& part) { return text.find(part) != std::wstring::npos; }

}  // namespace

int parseButton(const std::wstring& name) {
    std::wstring lower;
    for (wchar_t c : name) lower += static_cast<wchar_t>(std::towlower(c));
    for (const ButtonName& entry : kButtonNames)
        if (lower == entry.name) return entry.id;
    if (lower.empty()) return kNoButton;
    wchar_t* end = nullptr;
    const unsigned long number = std::wcstoul(lower.c_str(), &end, 0);
    if (*end != L'\0' || number > 0xFFFF) return kNoButton;
    return static_cast<int>(number);
}

bool parseRule(const std::wstring& text, AnswerRule& rule) {
    const size_t split = text.rfind(L'=');
    if (split == std::wstring::npos) return false;
    const int button = parseButton(text.substr(split + 1));
    if (button == kNoButton) return false;
    rule.match = text.substr(0, split);
    rule.button = button;
    return true;
}

bool isDialog(HWND window) { return isClass(window, L"#32770"); }

std::wstring messageTextOf(HWND dialog) {
    std::wstring firstStatic;
    for (HWND control : controlsOf(dialog)) {
        if (!isClass(control, L"Static")) continue;
        const std::wstring text = textOf(control);
        if ((::GetDlgCtrlID(control) & 0xFFFF) == kMessageTextId) return text;
        if (firstStatic.empty()) firstStatic = text;
    }
    return firstStatic;
}

std::vector<int> buttonIdsOf(HWND dialog) {
    std::vector<int> ids;
    for (HWND control : controlsOf(dialog))
        if (isClass(control, L"Button") && ::IsWindowVisible(control)) ids.push_back(::GetDlgCtrlID(control));
    return ids;
}

int chooseButton(HWND dialog, const std::vector<AnswerRule>& rules, int defaultButton) {
    const std::wstring caption = textOf(dialog);
    const std::wstring text = messageTextOf(dialog);
    for (const AnswerRule& rule : rules)
        if (contains(caption, rule.match) || contains(text, rule.match)) return rule.button;
    if (defaultButton != 0) return defaultButton;
    const std::vector<int> present = buttonIdsOf(dialog);
    for (int preferred : {IDOK, IDYES, IDCONTINUE, IDRETRY, IDTRYAGAIN, IDCANCEL, IDCLOSE})
        for (int id : present)
            if (id == preferred) return id;
    return present.empty() ? kLeaveOpen : present.front();
}

bool pressButton(HWND dialog, int id) {
    // Posted, not sent: the box's thread may be busy and the watcher must not hang.
    return ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                          reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id))) != FALSE;
}

JsonObject describeDialog(HWND dialog) {
    std::vector<std::string> buttons;
    for (int id : buttonIdsOf(dialog)) buttons.push_back(std::to_string(id));
    // The icon control exists in every message box; it holds an icon only when one was asked for.
    DWORD_PTR icon = 0;
    const HWND iconControl = ::GetDlgItem(dialog, kMessageIconId);
    if (iconControl)
        ::SendMessageTimeoutW(iconControl, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 1000, &icon);
    return describeWindow(dialog)
        .add("text", messageTextOf(dialog))
        .addRaw("buttons", jsonArray(buttons))
        .addBool("icon", icon != 0);
}

}  // namespace watcher
