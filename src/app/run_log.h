#pragma once
// What the diagnostic log says about the start of a run: which program, on
// which Windows, with which settings. Main thread, during start-up.
#include <string>

#include "app/command_line.h"
#include "product/settings.h"

// The /log option's file as a full path (a relative one is taken from the
// current folder); empty when the option is absent or has no value.
std::wstring logFileOption(const OptionTable& options);

// Opens the log at fullPath when it is not empty and writes the run's first
// line. A file that cannot be opened leaves the run as it would be without it.
void startDiagnosticLog(const std::wstring& fullPath, const std::wstring& commandLine);

// The program, its width, the Windows version and every string-table setting.
void logProgramAndSettings(const AppSettings& settings);
