#pragma once
// The VS_VERSIONINFO block that stamp writes: what Properties > Details, the
// elevation prompt and antivirus heuristics read from the program file.
#include <windows.h>

#include <string>
#include <vector>

struct VersionStrings {
    std::wstring companyName;
    std::wstring productName;
    std::wstring productVersion;    // the version text as the publisher wrote it
    std::wstring originalFilename;  // the stamped file's own name
    std::wstring copyright;         // may be empty
};

// "2.2.015" -> {2, 2, 15, 0}: one to four dot-separated decimal parts, each at
// most 65535. False (and all zeros) for any other text.
bool numericVersion(const std::wstring& text, WORD parts[4]);

// The resource bytes: fixed info with the numeric version, and one string
// table in US English, Unicode (040904b0). Empty when the texts are too long
// for the block's 16-bit lengths.
std::vector<BYTE> encodeVersionResource(const VersionStrings& strings);
