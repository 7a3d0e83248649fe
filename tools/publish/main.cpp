// publish.exe: the publisher's tool.
//   publish add       adds one release to an installation site
//   publish settings  writes stamp.exe's settings file for a published release
//   publish check     runs what a user's bootstrapper would run, up to the installation
// Exit codes: 0 done, 1 refused or problems found, 2 usage.
#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "base/file_io.h"
#include "base/windows_error.h"
#include "product/settings_ids.h"
#include "settings_file.h"

#include "command_options.h"
#include "console.h"
#include "package_signature.h"
#include "publish_add.h"
#include "publish_settings.h"
#include "site_check.h"

namespace {

const wchar_t* const usageLines[] = {
    L"usage: publish.exe add --site DIR --package PKG.msi [--file F]... [--custom-action-assembly A "
    L"--custom-action-class C] [--deploy] [--show-install-ui true|false] [--version-text T]",
    L"       publish.exe settings --site DIR --version-text T --installation-url URL [--language L] --out FILE",
    L"       publish.exe check --installation-url URL --company C --language L --version-text T",
    L"       publish.exe check --settings FILE   (the values stamp.exe takes; an option given too wins)",
};

int usage(const std::wstring& problem) {
    if (!problem.empty()) printLine(stderr, L"publish: " + problem);
    for (const wchar_t* line : usageLines) printLine(stderr, line);
    return 2;
}

// The report of a command that did its work, or its problems: the exit code.
int finish(bool done, const std::wstring& report, const std::vector<std::wstring>& problems) {
    if (!done) {
        for (const std::wstring& problem : problems) printLine(stderr, L"publish: " + problem);
        return 1;
    }
    printLine(stdout, report);
    return 0;
}

int add(const CommandOptions& options) {
    AddRequest request;
    request.site = options.value(L"--site");
    request.package = options.value(L"--package");
    request.files = options.values(L"--file");
    request.customActionAssembly = options.value(L"--custom-action-assembly");
    request.customActionClass = options.value(L"--custom-action-class");
    request.deploy = options.has(L"--deploy");
    request.showInstallUI = options.value(L"--show-install-ui");
    request.versionText = options.value(L"--version-text");
    if (request.customActionAssembly.empty() != request.customActionClass.empty())
        return usage(L"--custom-action-assembly and --custom-action-class go together");
    if (options.has(L"--show-install-ui") && request.showInstallUI != L"true" && request.showInstallUI != L"false")
        return usage(L"--show-install-ui is true or false");
    if (options.has(L"--version-text") && request.versionText.empty()) return usage(L"--version-text is empty");
    std::wstring report, problem;
    const bool published = publishRelease(request, report, problem);
    if (published && !packageIsSigned(request.package))
        printLine(stderr, L"publish: " + unsignedPackageWarning(request.package));
    return finish(published, report, {problem});
}

int settings(const CommandOptions& options) {
    SettingsRequest request;
    request.site = options.value(L"--site");
    request.versionText = options.value(L"--version-text");
    request.installationUrl = options.value(L"--installation-url");
    request.language = options.value(L"--language");
    request.out = options.value(L"--out");
    std::wstring report;
    std::vector<std::wstring> problems;
    const bool written = writeStampSettings(request, report, problems);
    return finish(written, report, problems);
}

// The values a program stamped with that settings file would run with.
bool readCheckSettings(const std::wstring& path, CheckRequest& request, std::vector<std::wstring>& problems) {
    std::string bytes;
    std::map<UINT, std::wstring> values;
    if (!ReadWholeFile(path, bytes)) {
        problems.push_back(L"'" + path + L"': cannot be read: " + systemReason(::GetLastError()));
        return false;
    }
    if (!parseSettingsText(bytes, values, problems)) return false;
    request.installationUrl = values[IDS_INSTALLATION_URL];
    request.company = values[IDS_COMPANY_NAME];
    request.language = values[IDS_LANGUAGE];
    request.versionText = values[IDS_VERSION];
    request.releaseDigest = values[IDS_RELEASE_DIGEST];
    return true;
}

int check(const CommandOptions& options) {
    CheckRequest request;
    std::vector<std::wstring> problems;
    if (options.has(L"--settings") && !readCheckSettings(options.value(L"--settings"), request, problems))
        return finish(false, std::wstring(), problems);
    const auto take = [&options](const wchar_t* name, std::wstring& value) {
        if (options.has(name)) value = options.value(name);
        return !value.empty();
    };
    if (!take(L"--installation-url", request.installationUrl) || !take(L"--company", request.company) ||
        !take(L"--language", request.language) || !take(L"--version-text", request.versionText))
        return usage(L"check needs --installation-url, --company, --language and --version-text, or --settings");
    const CheckOutcome outcome = checkSite(request);
    for (const std::wstring& problem : outcome.problems) printLine(stdout, L"problem: " + problem);
    if (!outcome.boxText.empty()) {
        printLine(stdout, L"box: " + outcome.boxText);
        return 1;
    }
    printLine(stdout, L"ok: a run reaches the installation step (" + counted(outcome.files, L"file", L"files") + L", " +
                          counted(static_cast<unsigned long long>(outcome.bytes), L"byte", L"bytes") + L" checked)");
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return usage(std::wstring());
    const std::wstring command = argv[1];
    const std::vector<std::wstring> args(argv + 2, argv + argc);
    using K = OptionRule;
    std::vector<OptionRule> rules;
    int (*run)(const CommandOptions&) = nullptr;
    if (command == L"add") {
        rules = {{L"--site", K::Single, true},
                 {L"--package", K::Single, true},
                 {L"--file", K::Repeated, false},
                 {L"--custom-action-assembly", K::Single, false},
                 {L"--custom-action-class", K::Single, false},
                 {L"--deploy", K::Flag, false},
                 {L"--show-install-ui", K::Single, false},
                 {L"--version-text", K::Single, false}};
        run = add;
    } else if (command == L"settings") {
        rules = {{L"--site", K::Single, true},
                 {L"--version-text", K::Single, true},
                 {L"--installation-url", K::Single, true},
                 {L"--language", K::Single, false},
                 {L"--out", K::Single, true}};
        run = settings;
    } else if (command == L"check") {
        rules = {{L"--installation-url", K::Single, false},
                 {L"--company", K::Single, false},
                 {L"--language", K::Single, false},
                 {L"--version-text", K::Single, false},
                 {L"--settings", K::Single, false}};
        run = check;
    } else {
        return usage(L"unknown command '" + command + L"'");
    }
    CommandOptions options;
    std::wstring problem;
    if (!options.parse(args, rules, problem)) return usage(problem);
    try {
        return run(options);
    } catch (const std::exception&) {
        printLine(stderr, L"publish: out of memory or an unexpected failure");
        return 1;
    }
}
