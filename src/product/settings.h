#pragma once
// The program's settings: its own string table plus what is derived at start-up.
// Filled once by the entry before the window exists; read-only afterwards, so
// any thread (the pipeline worker included) may read it without locking.
#include <windows.h>

#include <string>

struct AppSettings {
    // From the string table (ids in parentheses).
    std::wstring windowClassName;       // 109, at most 99 characters
    std::wstring loaderComponentCodes;  // 132, ";"-separated component codes
    std::wstring installationUrl;       // 133
    std::wstring language;              // 134, decimal language id
    std::wstring privileges;            // 135, "user" means per-user
    std::wstring productName;           // 136, caption of every message box
    std::wstring productCode;           // 137
    std::wstring companyName;           // 139
    std::wstring hostApplication;       // 140
    std::wstring windowTitle;           // 141
    std::wstring version;               // 142
    std::wstring showProgressWindow;    // 143, "false" hides the window
    std::wstring releaseDigest;         // 144, empty, or the pin of the one release to install
    std::wstring downloadRetries;       // 145, empty or "0" to "10": tries after a broken transfer
    std::wstring copyright;             // 146, the version resource's LegalCopyright; may be empty

    // Derived at start-up.
    std::wstring commandLine;   // argument part of the command line
    std::wstring exePath;       // full path of this program file
    std::wstring exeDirectory;  // with its trailing backslash
    std::wstring exeFileName;   // file name with extension
    DWORD osMajorVersion = 0;
    // From the options: /quiet (no window, no box, no question; the exit code
    // tells the outcome) and /layout=<folder> (full path; empty without it).
    bool quiet = false;
    std::wstring layoutFolder;

    // "user" without regard to case.
    bool perUser() const;
    // Anything but "false" (without regard to case) shows the progress window.
    bool progressWindowVisible() const;
    // downloadRetries as a number: 0 when empty or not a number from 0 to 10.
    int downloadRetryCount() const;
};

// The process-wide record.
AppSettings& appSettings();

// The string-table settings in the order of their ids: the name a settings
// file and the diagnostic log give each, its string id and its field.
struct SettingField {
    const wchar_t* name;
    UINT id;
    std::wstring AppSettings::*value;
};
extern const SettingField settingFields[15];
