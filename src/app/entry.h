#pragma once
#include <windows.h>

// The program: settings, checks, single instance, options, self-elevation, the
// progress window and its message loop, clean-up. Every failure is shown in a
// box; the result is always 0.
int runApplication(HINSTANCE instance, const wchar_t* commandLine, int showCommand);
