#pragma once
// Dialog boxes of other processes (message boxes first of all): what they say
// and which button the watcher presses.
#include <windows.h>

#include <string>
#include <vector>

#include "json.h"

namespace watcher {

constexpr int kLeaveOpen = -1;  // the "none" answer: record the box, press nothing
constexpr int kNoButton = -2;   // not a button name or number

// "ok", "cancel", "abort", "retry", "ignore", "yes", "no", "close", "help",
// "tryagain", "continue", "none", or a number.
int parseButton(const std::wstring& name);

// "<substring>=<button>": a box whose caption or text contains the substring
// (case-sensitive; the last "=" separates) is answered with that button.
struct AnswerRule {
    std::wstring match;
    int button = kLeaveOpen;
};
bool parseRule(const std::wstring& text, AnswerRule& rule);

bool isDialog(HWND window);
// A message box's own text (static control 0xFFFF), else the first non-empty
// static text of the dialog.
std::wstring messageTextOf(HWND dialog);
std::vector<int> buttonIdsOf(HWND dialog);

// The first matching rule's button, else defaultButton; defaultButton 0 means
// the first present of OK, Yes, Continue, Retry, Try Again, Cancel, Close, then
// any button. kLeaveOpen when nothing is to be pressed.
int chooseButton(HWND dialog, const std::vector<AnswerRule>& rules, int defaultButton);

// Clicks a button the way the dialog manager reports it: WM_COMMAND/BN_CLICKED.
// True when the click was posted.
bool pressButton(HWND dialog, int id);

// describeWindow plus "text", "buttons" (ids in order) and "icon" (whether a
// message-box icon is shown).
JsonObject describeDialog(HWND dialog);

}  // namespace watcher
