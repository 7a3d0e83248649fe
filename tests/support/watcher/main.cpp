// Test-side watcher: runs in the same Wine prefix as the program under test,
// records every dialog box it shows and answers it, and reports or pokes the
// program's top-level windows. Every report is one line of UTF-8 JSON.
//
//   watcher watch --log FILE [--track CLASS]... [--answer TEXT=BUTTON]...
//                 [--default BUTTON] [--interval MS]
//       Polls the top-level windows until killed. Each visible dialog (class
//       "#32770") is answered and logged once as {"event":"dialog", ...} with
//       caption, text, buttons, owner and owner_visible: the first --answer
//       rule whose text occurs in the caption or the message picks the button,
//       otherwise --default (or OK, Yes, ... when none is given); "none" leaves
//       the box open. The click is posted before the box is logged ("posted"
//       says whether it went out) and repeated every second while the box
//       stays, each time logged as {"event":"press", ...}: keep the watcher
//       running until the box's program has ended. Each change of a tracked
//       class's first window is logged as
//       {"event":"window","class":..,"count":..,"state":{...}|null}. After the
//       first poll {"event":"ready"} is logged.
//   watcher window CLASS       prints the first window of CLASS (or null);
//                              exit code 0 when there is one, 1 otherwise
//   watcher dialogs            prints every visible dialog, one per line
//   watcher windows            prints every top-level window in brief (handle,
//                              process, class, caption, visibility, owner), one
//                              per line, for diagnosing a program that hangs
//   watcher post CLASS MSG [WPARAM [LPARAM]]
//                              posts a message to the first window of CLASS
//   watcher close CLASS        posts WM_CLOSE to it
//   watcher press TEXT BUTTON  answers the first visible dialog whose caption or
//                              message contains TEXT; exit code 0 when there is one
//   watcher type CLASS [alt+]C  brings the window to the front and types the
//                              character C as keyboard input, Alt held down
//                              with "alt+" (for accelerators)
#include <windows.h>

#include <cstring>
#include <cwchar>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "base/unique_any.h"
#include "dialogs.h"
#include "json.h"
#include "window_report.h"

using namespace watcher;

namespace {

constexpr int kUsageError = 2;

void writeLine(HANDLE out, const std::string& line) {
    const std::string text = line + "\n";
    DWORD written = 0;
    ::WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

void printLine(const std::string& line) { writeLine(::GetStdHandle(STD_OUTPUT_HANDLE), line); }

void printError(const std::wstring& text) {
    writeLine(::GetStdHandle(STD_ERROR_HANDLE), "watcher: " + utf8(text));
}

bool parseNumber(const wchar_t* text, UINT_PTR& value) {
    wchar_t* end = nullptr;
    value = static_cast<UINT_PTR>(std::wcstoull(text, &end, 0));
    return *text != L'\0' && *end == L'\0';
}

HWND firstWindowOf(const std::wstring& className) {
    const std::vector<HWND> windows = topLevelWindowsOfClass(className);
    return windows.empty() ? nullptr : windows.front();
}

struct WatchOptions {
    std::wstring logPath;
    std::vector<std::wstring> tracked;
    std::vector<AnswerRule> rules;
    int defaultButton = 0;
    DWORD interval = 50;
};

struct SeenDialog {
    int answer = kLeaveOpen;
    DWORD lastPress = 0;  // tick count of the last click
};

int watch(const WatchOptions& options) {
    base::unique_file log(::CreateFileW(options.logPath.c_str(), FILE_APPEND_DATA,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                        OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!log) {
        printError(L"cannot open the log " + options.logPath);
        return 1;
    }
    auto event = [&](const char* name) {
        JsonObject line;
        line.add("event", std::wstring(name, name + std::strlen(name)))
            .add("t", static_cast<long long>(::GetTickCount()));
        return line;
    };

    std::map<HWND, SeenDialog> seen;
    std::map<std::wstring, std::string> lastState;
    for (bool first = true;; first = false) {
        for (HWND window : topLevelWindows()) {
            if (!isDialog(window) || !::IsWindowVisible(window)) continue;
            auto known = seen.find(window);
            if (known == seen.end()) {
                SeenDialog dialog;
                dialog.answer = chooseButton(window, options.rules, options.defaultButton);
                const std::string box = describeDialog(window).str();  // before the click closes it
                // Clicked before the box is logged: a test that stops the watcher
                // as soon as it reads of a box must not stop it before the click.
                bool posted = false;
                if (dialog.answer != kLeaveOpen) {
                    posted = pressButton(window, dialog.answer);
                    dialog.lastPress = ::GetTickCount();
                }
                JsonObject line = event("dialog");
                line.addRaw("box", box).add("answer", dialog.answer).addBool("posted", posted);
                writeLine(log.get(), line.str());
                seen.emplace(window, dialog);
                continue;
            }
            // Pressed again now and then: a click posted while the box was still
            // being set up can be lost.
            SeenDialog& dialog = known->second;
            if (dialog.answer != kLeaveOpen && ::GetTickCount() - dialog.lastPress > 1000) {
                const bool posted = pressButton(window, dialog.answer);
                dialog.lastPress = ::GetTickCount();
                JsonObject line = event("press");
                line.add("hwnd", static_cast<long long>(reinterpret_cast<UINT_PTR>(window)))
                    .add("answer", dialog.answer)
                    .addBool("posted", posted);
                writeLine(log.get(), line.str());
            }
        }
        for (auto it = seen.begin(); it != seen.end();)
            it = ::IsWindow(it->first) ? std::next(it) : seen.erase(it);

        for (const std::wstring& className : options.tracked) {
            const std::vector<HWND> windows = topLevelWindowsOfClass(className);
            const std::string state = windows.empty() ? "null" : describeWindow(windows.front()).str();
            const std::string summary = std::to_string(windows.size()) + state;
            auto last = lastState.find(className);
            if (last != lastState.end() && last->second == summary) continue;
            lastState[className] = summary;
            JsonObject line = event("window");
            line.add("class", className).add("count", static_cast<long long>(windows.size())).addRaw("state", state);
            writeLine(log.get(), line.str());
        }
        if (first) writeLine(log.get(), event("ready").str());
        ::Sleep(options.interval);
    }
}

int watchCommand(int argc, wchar_t** argv) {
    WatchOptions options;
    for (int i = 2; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (i + 1 >= argc) {
            printError(L"missing value after " + arg);
            return kUsageError;
        }
        const wchar_t* value = argv[++i];
        if (arg == L"--log") {
            options.logPath = value;
        } else if (arg == L"--track") {
            options.tracked.push_back(value);
        } else if (arg == L"--answer") {
            AnswerRule rule;
            if (!parseRule(value, rule)) {
                printError(L"bad answer rule " + std::wstring(value));
                return kUsageError;
            }
            options.rules.push_back(rule);
        } else if (arg == L"--default") {
            options.defaultButton = parseButton(value);
            if (options.defaultButton == kNoButton) {
                printError(L"bad button " + std::wstring(value));
                return kUsageError;
            }
        } else if (arg == L"--interval") {
            UINT_PTR ms = 0;
            if (!parseNumber(value, ms) || ms == 0) return kUsageError;
            options.interval = static_cast<DWORD>(ms);
        } else {
            printError(L"unknown option " + arg);
            return kUsageError;
        }
    }
    if (options.logPath.empty()) {
        printError(L"watch needs --log FILE");
        return kUsageError;
    }
    return watch(options);
}

int postCommand(const std::wstring& className, UINT message, WPARAM wParam, LPARAM lParam) {
    const HWND window = firstWindowOf(className);
    if (!window) return 1;
    return ::PostMessageW(window, message, wParam, lParam) ? 0 : 1;
}

INPUT keyInput(WORD virtualKey, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.wScan = static_cast<WORD>(::MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return input;
}

// Real key strokes from the keyboard layout (Unicode packets lose the
// character when Alt is held under Wine).
int typeCommand(const std::wstring& className, std::wstring keys) {
    const HWND window = firstWindowOf(className);
    if (!window) return 1;
    const bool alt = keys.size() > 4 && ::lstrcmpiW(keys.substr(0, 4).c_str(), L"alt+") == 0;
    if (alt) keys = keys.substr(4);
    if (keys.size() != 1) return kUsageError;
    const SHORT scan = ::VkKeyScanW(keys[0]);
    if (scan == -1) return kUsageError;
    std::vector<WORD> modifiers;
    if (alt) modifiers.push_back(VK_MENU);
    if (scan & 0x100) modifiers.push_back(VK_SHIFT);
    if (scan & 0x200) modifiers.push_back(VK_CONTROL);
    std::vector<INPUT> inputs;
    for (WORD key : modifiers) inputs.push_back(keyInput(key, false));
    inputs.push_back(keyInput(LOBYTE(scan), false));
    inputs.push_back(keyInput(LOBYTE(scan), true));
    for (auto key = modifiers.rbegin(); key != modifiers.rend(); ++key) inputs.push_back(keyInput(*key, true));
    ::SetForegroundWindow(window);
    const UINT sent = ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    return sent == inputs.size() ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring command = argc > 1 ? argv[1] : L"";
    if (command == L"watch") return watchCommand(argc, argv);
    if (command == L"window" && argc == 3) {
        const HWND window = firstWindowOf(argv[2]);
        printLine(window ? describeWindow(window).str() : "null");
        return window ? 0 : 1;
    }
    if (command == L"dialogs" && argc == 2) {
        for (HWND window : topLevelWindows())
            if (isDialog(window) && ::IsWindowVisible(window)) printLine(describeDialog(window).str());
        return 0;
    }
    if (command == L"windows" && argc == 2) {
        for (HWND window : topLevelWindows()) printLine(describeWindowBriefly(window).str());
        return 0;
    }
    if (command == L"press" && argc == 4) {
        AnswerRule rule;
        if (!parseRule(std::wstring(argv[2]) + L"=" + argv[3], rule) || rule.button == kLeaveOpen)
            return kUsageError;
        for (HWND window : topLevelWindows()) {
            if (!isDialog(window) || !::IsWindowVisible(window)) continue;
            if (chooseButton(window, {rule}, kLeaveOpen) != rule.button) continue;
            pressButton(window, rule.button);
            return 0;
        }
        return 1;
    }
    if (command == L"type" && argc == 4) return typeCommand(argv[2], argv[3]);
    if (command == L"close" && argc == 3) return postCommand(argv[2], WM_CLOSE, 0, 0);
    if (command == L"post" && argc >= 4 && argc <= 6) {
        UINT_PTR message = 0, wParam = 0, lParam = 0;
        if (!parseNumber(argv[3], message) || (argc > 4 && !parseNumber(argv[4], wParam)) ||
            (argc > 5 && !parseNumber(argv[5], lParam)))
            return kUsageError;
        return postCommand(argv[2], static_cast<UINT>(message), wParam, static_cast<LPARAM>(lParam));
    }
    printError(L"usage: watcher watch|window|windows|dialogs|post|close|press|type ... (see main.cpp)");
    return kUsageError;
}
