// publish.exe: the publisher's tool.
//   publish add       adds one release to an installation site
//   publish settings  writes stamp.exe's settings file for a published release
//   publish check     runs what a user's bootstrapper would run, up to the installation
//   publish --help, publish COMMAND --help
// Exit codes: 0 done, 1 refused or problems found, 2 usage.
#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "base/file_io.h"
#include "base/windows_error.h"
#include "product/settings_ids.h"
#include "program_settings.h"
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
    L"--custom-action-class C] [--deploy] [--show-install-ui true|false] [--version-text T] [--repair]",
    L"       publish.exe settings --site DIR --version-text T --installation-url URL --host H [--language L] --out FILE",
    L"       publish.exe check --installation-url URL --company C --language L --version-text T",
    L"       publish.exe check --program SETUP.EXE | --settings FILE   (an option given too wins)",
    L"       publish.exe COMMAND --help",
};

const wchar_t* const addHelp[] = {
    L"publish.exe add --site DIR --package PKG.msi [options]",
    L"Adds one release to the installation site DIR: copies the package (and each --file) to",
    L"DIR\\<language>\\<version>\\ and lists it, with each file's size and SHA-256, in DIR\\version_info.xml.",
    L"The language is the package's ProductLanguage; a new site takes its company from the Manufacturer.",
    L"Warns when the package installs no kvlloader.dll.manifest; refuses a package msiexec cannot open.",
    L"  --file F                      another release file (repeat for each)",
    L"  --custom-action-assembly A    with --custom-action-class C: the managed custom-action object",
    L"  --deploy                      store every file with \".deploy\" appended (for servers that refuse .dll)",
    L"  --show-install-ui true|false  the release's showInstallUI preference; default: none is written, and",
    L"                                the bootstrapper then shows the installer's own user interface (as true)",
    L"  --version-text T              the release's version text (default: the package's ProductVersion); the",
    L"                                program is stamped with the same text",
    L"  --repair                      the release is already published and these files match its recorded",
    L"                                digests: put back the site's missing or damaged copies, nothing else",
    L"Exit codes: 0 done (or nothing to do), 1 refused, 2 usage.",
};

const wchar_t* const settingsHelp[] = {
    L"publish.exe settings --site DIR --version-text T --installation-url URL --host H [--language L] --out FILE",
    L"Writes stamp.exe's settings file for a published release, with every setting: the company, product",
    L"name and code, language and version from the site and the package, loaderComponentCodes (the package's",
    L"components that install kvlloader.dll.manifest), privileges (user for a per-user package, else",
    L"administrator), windowClassName (from the company and product), showProgressWindow true, downloadRetries 3,",
    L"copyright (the year and the package's Manufacturer) and the release's pin.",
    L"  --installation-url URL  where the stamped program will find the site",
    L"  --host H                the Office host the add-in runs in (several: H1;H2); one of:",
    L"                          Excel, Word, InfoPath, Access, Outlook, PowerPoint, Publisher, Project,",
    L"                          MapPoint, Visio, FrontPage, OneNote, InternetExplorer",
    L"  --language L            needed only when the version is published in several languages",
    L"Exit codes: 0 written, 1 refused (nothing written), 2 usage.",
};

const wchar_t* const checkHelp[] = {
    L"publish.exe check --program SETUP.EXE",
    L"publish.exe check --settings FILE",
    L"publish.exe check --installation-url URL --company C --language L --version-text T",
    L"Runs what a user's bootstrapper would run, up to the installation: fetches version_info.xml and",
    L"the release's files with the program's own code and checks them with its checks. --program reads",
    L"the stamped program's own string table (company, language, version, installation URL, pin);",
    L"--settings reads a settings file. An option given as well wins over either.",
    L"Prints \"problem:\" lines, then \"box:\" with the text the program would show and \"detail:\" lines",
    L"naming both sides of each mismatch; or \"ok:\".",
    L"Exit codes: 0 ok, 1 the program would fail (or the input is refused), 2 usage.",
};

int usage(const std::wstring& problem) {
    if (!problem.empty()) printLine(stderr, L"publish: " + problem);
    for (const wchar_t* line : usageLines) printLine(stderr, line);
    return 2;
}

template <size_t N>
int help(const wchar_t* const (&lines)[N]) {
    for (const wchar_t* line : lines) printLine(stdout, line);
    return 0;
}

// The report of a command that did its work, or its problems: the exit code.
int finish(bool done, const std::wstring& report, const std::vector<std::wstring>& problems,
           const std::vector<std::wstring>& warnings = std::vector<std::wstring>()) {
    if (!done) {  // a refusal is its one line
        for (const std::wstring& problem : problems) printLine(stderr, L"publish: " + problem);
        return 1;
    }
    for (const std::wstring& warning : warnings) printLine(stderr, L"publish: warning: " + warning);
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
    request.repair = options.has(L"--repair");
    if (request.customActionAssembly.empty() != request.customActionClass.empty())
        return usage(L"--custom-action-assembly and --custom-action-class go together");
    if (options.has(L"--show-install-ui") && request.showInstallUI != L"true" && request.showInstallUI != L"false")
        return usage(L"--show-install-ui is true or false");
    if (options.has(L"--version-text") && request.versionText.empty()) return usage(L"--version-text is empty");
    std::wstring report, problem;
    std::vector<std::wstring> warnings;
    const bool published = publishRelease(request, report, warnings, problem);
    if (published && !packageIsSigned(request.package)) warnings.push_back(unsignedPackageWarning(request.package));
    return finish(published, report, {problem}, warnings);
}

int settings(const CommandOptions& options) {
    SettingsRequest request;
    request.site = options.value(L"--site");
    request.versionText = options.value(L"--version-text");
    request.installationUrl = options.value(L"--installation-url");
    request.language = options.value(L"--language");
    request.host = options.value(L"--host");
    request.out = options.value(L"--out");
    std::wstring report;
    std::vector<std::wstring> problems;
    const bool written = writeStampSettings(request, report, problems);
    return finish(written, report, problems);
}

// What check compares with the site, from a settings table.
void takeCheckValues(std::map<UINT, std::wstring>& values, const wchar_t* givenBy, CheckRequest& request) {
    request.installationUrl = values[IDS_INSTALLATION_URL];
    request.company = values[IDS_COMPANY_NAME];
    request.language = values[IDS_LANGUAGE];
    request.versionText = values[IDS_VERSION];
    request.releaseDigest = values[IDS_RELEASE_DIGEST];
    request.givenBy = givenBy;
}

// The values a program stamped with that settings file would run with.
bool readCheckSettings(const std::wstring& path, CheckRequest& request, std::vector<std::wstring>& problems) {
    std::string bytes;
    std::map<UINT, std::wstring> values;
    if (!ReadWholeFile(path, bytes)) {
        problems.push_back(L"'" + path + L"': cannot be read: " + systemReason(::GetLastError()));
        return false;
    }
    if (!parseSettingsText(bytes, values, problems)) {
        for (std::wstring& problem : problems) problem = L"settings file '" + path + L"', " + problem;
        return false;
    }
    takeCheckValues(values, L"the settings file gives", request);
    return true;
}

// The values the stamped program itself runs with.
bool readCheckProgram(const std::wstring& path, CheckRequest& request, std::vector<std::wstring>& problems) {
    std::map<UINT, std::wstring> values;
    std::wstring problem;
    if (!readProgramSettings(path, values, problem)) {
        problems.push_back(problem);
        return false;
    }
    takeCheckValues(values, L"the program is stamped for", request);
    wchar_t full[MAX_PATH * 4];
    wchar_t* name = nullptr;
    const DWORD length = ::GetFullPathNameW(path.c_str(), MAX_PATH * 4, full, &name);
    if (length != 0 && length < MAX_PATH * 4 && name != nullptr) request.programFolder.assign(full, name);
    return true;
}

int check(const CommandOptions& options) {
    CheckRequest request;
    std::vector<std::wstring> problems;
    if (options.has(L"--settings") && options.has(L"--program"))
        return usage(L"check takes --settings or --program, not both");
    if (options.has(L"--settings") && !readCheckSettings(options.value(L"--settings"), request, problems))
        return finish(false, std::wstring(), problems);
    if (options.has(L"--program") && !readCheckProgram(options.value(L"--program"), request, problems))
        return finish(false, std::wstring(), problems);
    const auto take = [&options](const wchar_t* name, std::wstring& value) {
        if (options.has(name)) value = options.value(name);
        return !value.empty();
    };
    if (!take(L"--installation-url", request.installationUrl) || !take(L"--company", request.company) ||
        !take(L"--language", request.language) || !take(L"--version-text", request.versionText))
        return usage(
            L"check needs --installation-url, --company, --language and --version-text, or --program or --settings");
    const CheckOutcome outcome = checkSite(request);
    for (const std::wstring& problem : outcome.problems) printLine(stdout, L"problem: " + problem);
    if (!outcome.boxText.empty()) {
        printLine(stdout, L"box: " + outcome.boxText);
        for (const std::wstring& detail : outcome.details) printLine(stdout, L"detail: " + detail);
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
    if (command == L"--help" || command == L"-h" || command == L"/?" || command == L"help") {
        if (args.size() == 1 && args[0] == L"add") return help(addHelp);
        if (args.size() == 1 && args[0] == L"settings") return help(settingsHelp);
        if (args.size() == 1 && args[0] == L"check") return help(checkHelp);
        for (const wchar_t* line : usageLines) printLine(stdout, line);
        return 0;
    }
    bool helpAsked = false;
    for (const std::wstring& arg : args) helpAsked = helpAsked || arg == L"--help" || arg == L"-h";
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
                 {L"--version-text", K::Single, false},
                 {L"--repair", K::Flag, false}};
        run = add;
        if (helpAsked) return help(addHelp);
    } else if (command == L"settings") {
        rules = {{L"--site", K::Single, true},
                 {L"--version-text", K::Single, true},
                 {L"--installation-url", K::Single, true},
                 {L"--host", K::Single, true},
                 {L"--language", K::Single, false},
                 {L"--out", K::Single, true}};
        run = settings;
        if (helpAsked) return help(settingsHelp);
    } else if (command == L"check") {
        rules = {{L"--installation-url", K::Single, false},
                 {L"--company", K::Single, false},
                 {L"--language", K::Single, false},
                 {L"--version-text", K::Single, false},
                 {L"--settings", K::Single, false},
                 {L"--program", K::Single, false}};
        run = check;
        if (helpAsked) return help(checkHelp);
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
