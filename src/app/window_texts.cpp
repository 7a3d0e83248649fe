#include "app/window_texts.h"

#include <cwchar>

std::wstring sizeText(uint32_t bytes) {
    static const wchar_t* const units[] = {L"B", L"kB", L"MB", L"GB", L"TB", L"PB", L"EB", L"ZB", L"YB"};
    const size_t lastUnit = sizeof(units) / sizeof(units[0]) - 1;
    double value = static_cast<double>(bytes);
    size_t unit = 0;
    while (value >= 1000.0 && unit < lastUnit) {
        value /= 1000.0;
        ++unit;
    }
    // Printing rounds to two decimals; reading the text back and printing it
    // again gave the same digits, and pulled a whole number parser into the program.
    wchar_t buffer[64];
    std::swprintf(buffer, 64, L"%.2f%ls", value, units[unit]);
    return buffer;
}

std::wstring windowTaskName(long taskKind) {
    static const wchar_t* const names[] = {L"Idle",    L"ProcessResponse", L"DownloadVersionInfo",
                                           L"DownloadFile", L"ReadXML",   L"ParseXML",
                                           L"SaveFile", L"RunMSI",        L"Exit"};
    if (taskKind < 0 || taskKind > 8) return std::wstring();
    return names[taskKind];
}

std::wstring pipelineFailureText(const wchar_t* text, long taskKind) {
    const std::wstring name = windowTaskName(taskKind);
    if (text != nullptr) return std::wstring(text) + L" Task name: " + name + L".";
    return L"Download failed (unknown error). Task name: " + name + L".";
}

const wchar_t loaderNotFoundText[] =
    L"The product was installed, but its add-in loader was not found, so the add-in will not start.";

const wchar_t restartRequiredText[] = L"Restart Windows to finish the installation.";
