#include "stamp_setting_values.h"

#include <cstdio>

std::wstring windowClassNameFor(const std::wstring& company, const std::wstring& productName) {
    std::wstring letters;
    unsigned long hash = 2166136261UL;  // FNV-1a over the ASCII-folded names: tells names apart, no secret
    // A line break cannot be part of either name: it keeps "A"+"BC" apart from "AB"+"C".
    const std::wstring names = company + L"\n" + productName;
    for (size_t i = 0; i < names.size(); ++i) {
        const wchar_t c = names[i];
        const wchar_t folded = c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
        hash = ((hash ^ static_cast<unsigned long>(folded)) * 16777619UL) & 0xFFFFFFFFUL;
        if (i < company.size() && letters.size() < 48 &&
            ((c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z')))
            letters += folded >= L'a' && folded <= L'z' ? static_cast<wchar_t>(folded - L'a' + L'A') : folded;
    }
    wchar_t hex[9] = {};
    std::swprintf(hex, 9, L"%08lX", hash);
    return letters + L"_" + hex + L"_DOWNLOADER";
}

std::vector<SettingLine> stampSettingLines(const StampSettingInputs& in) {
    std::wstring components;
    for (const std::wstring& code : in.loaderComponentCodes) components += (components.empty() ? L"" : L";") + code;
    // One line per setting: a setting added to the program gets its line here.
    return {
        {L"windowClassName", windowClassNameFor(in.company, in.productName)},
        {L"loaderComponentCodes", components},
        {L"installationUrl", in.installationUrl},
        {L"language", in.language},
        {L"privileges", in.perUser ? L"user" : L"administrator"},
        {L"productName", in.productName},
        {L"productCode", in.productCode},
        {L"companyName", in.company},
        {L"hostApplication", in.hostApplication},
        {L"windowTitle", in.productName},
        {L"version", in.version},
        {L"showProgressWindow", L"true"},
        {L"releaseDigest", in.releasePin},
        {L"downloadRetries", L"3"},
        {L"copyright", in.copyright},
    };
}
