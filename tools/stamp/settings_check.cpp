#include "settings_check.h"

#include "base/sha256_digest.h"
#include "host_check.h"
#include "product/ascii_compare.h"
#include "product/installation_source.h"
#include "product/names.h"
#include "product/settings_ids.h"
#include "product/split_list.h"

namespace {

// Values are quoted in messages; a very long one is cut so the line stays readable.
std::wstring quoted(const std::wstring& value) {
    const size_t longest = 80;
    if (value.size() <= longest) return L"'" + value + L"'";
    return L"'" + value.substr(0, longest) + L"...'";
}

std::wstring valueOf(const std::map<UINT, std::wstring>& table, UINT id) {
    const auto found = table.find(id);
    return found == table.end() ? std::wstring() : found->second;
}

bool isHexDigit(wchar_t c) {
    return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
}

// "{8-4-4-4-12}" hex digits, the form Windows Installer writes and compares.
bool isBracedGuid(const std::wstring& text) {
    if (text.size() != 38 || text.front() != L'{' || text.back() != L'}') return false;
    for (size_t i = 1; i < 37; ++i) {
        const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
        if (dash ? text[i] != L'-' : !isHexDigit(text[i])) return false;
    }
    return true;
}

std::wstring companyProblem(const std::wstring& company) {
    if (company.empty()) return L"companyName: the value is empty; it starts the download folder's name";
    if (!isPlainFolderNamePart(company))
        return L"companyName: " + quoted(company) +
               L" is no plain folder-name part (at most 242 characters, none of \\ / : * ? \" < > | "
               L"or control characters)";
    return std::wstring();
}

std::wstring urlProblem(const std::wstring& url, const std::wstring& programFolder) {
    // The program would take an empty one as its own folder; that is never what a publisher meant.
    if (url.empty()) return L"installationUrl: the value is empty (\".\" names the program's own folder)";
    // The program's own classification: what it would refuse at its start.
    const SourceKind kind = classifyInstallationUrl(url, programFolder).kind;
    if (kind == FtpAddress) return L"installationUrl: " + quoted(url) + L" is an FTP address, which the program refuses";
    if (kind == Unrecognized)
        return L"installationUrl: " + quoted(url) +
               L" is not correctly formed (not a web address, a network share, a relative folder or an existing "
               L"folder)";
    return std::wstring();
}

void checkChoice(const std::wstring& key, const std::wstring& value, const wchar_t* first, const wchar_t* second,
                 std::vector<std::wstring>& problems) {
    if (!equalsAsciiNoCase(value, first) && !equalsAsciiNoCase(value, second))
        problems.push_back(key + L": " + quoted(value) + L" is neither '" + first + L"' nor '" + second + L"'");
}

void checkComponentCodes(const std::wstring& list, std::vector<std::wstring>& problems) {
    // Split as the program splits it, empty pieces skipped.
    const std::vector<std::wstring> codes = splitList(list, L';');
    for (const std::wstring& code : codes) {
        if (!isBracedGuid(code))
            problems.push_back(L"loaderComponentCodes: " + quoted(code) + L" is not a braced GUID");
    }
    if (codes.empty()) problems.push_back(L"loaderComponentCodes: the list names no component code");
}

// The version resource shows it as it is: a control character would garble the
// Properties page or hide part of the text.
std::wstring copyrightProblem(const std::wstring& copyright) {
    for (wchar_t c : copyright)
        if (c < 0x20 || (c >= 0x7F && c <= 0x9F))
            return L"copyright: " + quoted(copyright) + L" holds a control character";
    return std::wstring();
}

}  // namespace

bool isLanguageId(const std::wstring& text) {
    if (text.empty() || text.size() > 5 || text[0] == L'0') return false;
    unsigned long value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return false;
        value = value * 10 + static_cast<unsigned long>(c - L'0');
    }
    return value <= 65535;
}

std::vector<std::wstring> settingProblems(const std::map<UINT, std::wstring>& table, const std::wstring& programFolder) {
    std::vector<std::wstring> problems;
    auto add = [&problems](const std::wstring& problem) {
        if (!problem.empty()) problems.push_back(problem);
    };
    checkComponentCodes(valueOf(table, IDS_LOADER_COMPONENT_CODES), problems);
    add(urlProblem(valueOf(table, IDS_INSTALLATION_URL), programFolder));
    const std::wstring language = valueOf(table, IDS_LANGUAGE);
    if (!isLanguageId(language))
        add(L"language: " + quoted(language) + L" is not a decimal language identifier from 1 to 65535");
    checkChoice(L"privileges", valueOf(table, IDS_PRIVILEGES), L"user", L"administrator", problems);
    const std::wstring productCode = valueOf(table, IDS_PRODUCT_CODE);
    if (!isBracedGuid(productCode)) add(L"productCode: " + quoted(productCode) + L" is not a braced GUID");
    add(companyProblem(valueOf(table, IDS_COMPANY_NAME)));
    if (valueOf(table, IDS_VERSION).empty()) add(L"version: the value is empty");
    add(hostApplicationProblem(valueOf(table, IDS_HOST_APPLICATION)));
    checkChoice(L"showProgressWindow", valueOf(table, IDS_SHOW_PROGRESS_WINDOW), L"true", L"false", problems);
    const std::wstring pin = valueOf(table, IDS_RELEASE_DIGEST);
    Sha256Digest parsed;
    if (!pin.empty() && !parseSha256Digest(pin, parsed))
        add(L"releaseDigest: " + quoted(pin) + L" is not 64 hexadecimal digits (the pin that publish settings writes)");
    const std::wstring retries = valueOf(table, IDS_DOWNLOAD_RETRIES);
    if (!retries.empty() && (retries.size() > 2 || retries.find_first_not_of(L"0123456789") != std::wstring::npos ||
                             std::stoi(retries) > 10))
        add(L"downloadRetries: " + quoted(retries) + L" is not a number from 0 to 10");
    add(copyrightProblem(valueOf(table, IDS_COPYRIGHT)));
    return problems;
}
