// The stamping tool, through its parser and through the real stamp.exe on a
// copy of the real bootstrapper.exe.
#include <gtest/gtest.h>

#include <string>

#include "app/resource_ids.h"
#include "app/settings_loader.h"
#include "base/file_io.h"
#include "base/unique_any.h"
#include "pe_image.h"
#include "version_resource.h"
#include "product/settings_ids.h"
#include "settings_check.h"
#include "settings_file.h"

namespace {

// Problems one per line, for comparing in one go.
std::wstring lines(const std::vector<std::wstring>& problems) {
    std::wstring text;
    for (const std::wstring& problem : problems) text += (text.empty() ? L"" : L"\n") + problem;
    return text;
}

std::map<UINT, std::wstring> parsed(const std::string& text) {
    std::map<UINT, std::wstring> values;
    std::vector<std::wstring> problems;
    EXPECT_TRUE(parseSettingsText(text, values, problems)) << testing::PrintToString(lines(problems));
    return values;
}

std::wstring parseError(const std::string& text) {
    std::map<UINT, std::wstring> values;
    std::vector<std::wstring> problems;
    EXPECT_FALSE(parseSettingsText(text, values, problems));
    EXPECT_TRUE(values.empty());
    return lines(problems);
}

}  // namespace

TEST(SettingsFile, CommentsBlanksBomAndLineEndsAreSkipped) {
    const auto values = parsed("\xEF\xBB\xBF# release 2.3\r\n\r\n  version = 2.3.001 \r\nproductName=P\xC2\xAE\n");
    ASSERT_EQ(values.size(), 2u);
    EXPECT_EQ(values.at(IDS_VERSION), L"2.3.001");
    EXPECT_EQ(values.at(IDS_PRODUCT_NAME), L"P\x00AE");
}

TEST(SettingsFile, EveryFieldNameMapsToItsId) {
    const auto values = parsed(
        "windowClassName=1\nloaderComponentCodes=2\ninstallationUrl=3\nlanguage=4\nprivileges=5\nproductName=6\n"
        "productCode=7\ncompanyName=8\nhostApplication=9\nwindowTitle=10\nversion=11\nshowProgressWindow=12\n");
    EXPECT_EQ(values.size(), 12u);
    EXPECT_EQ(values.at(IDS_WINDOW_CLASS_NAME), L"1");
    EXPECT_EQ(values.at(IDS_SHOW_PROGRESS_WINDOW), L"12");
}

TEST(SettingsFile, EmptyValueAndValueWithEqualsAreKept) {
    const auto values = parsed("companyName=\ninstallationUrl=http://h/x?a=b\n");
    EXPECT_EQ(values.at(IDS_COMPANY_NAME), L"");
    EXPECT_EQ(values.at(IDS_INSTALLATION_URL), L"http://h/x?a=b");
}

TEST(SettingsFile, BadLinesAreErrorsNamingTheLine) {
    EXPECT_EQ(parseError("version=1\ncolour=red\n"), L"line 2: unknown key 'colour'");
    EXPECT_EQ(parseError("Version=1\n"), L"line 1: unknown key 'Version'");
    EXPECT_EQ(parseError("version=1\nversion=2\n"), L"line 2: key 'version' is given twice");
    EXPECT_EQ(parseError("\nversion\n"), L"line 2: expected key=value, found 'version'");
    EXPECT_EQ(parseError("version=\xC3\x28\n"), L"the settings file is not UTF-8 text");
    EXPECT_EQ(parseError("colour=red\nversion=1\nshape\n"), L"line 1: unknown key 'colour'\nline 3: expected key=value, found 'shape'");
}

TEST(SettingsFile, ValueLongerThanAStringTableEntryIsRefused) {
    EXPECT_TRUE(parsed("version=" + std::string(65535, 'x')).size() == 1);
    EXPECT_NE(parseError("version=" + std::string(65536, 'x')).find(L"longer than 65535"), std::wstring::npos);
}

namespace {

// A table the program accepts, as the shipped one.
std::map<UINT, std::wstring> validTable() {
    return {{IDS_LOADER_COMPONENT_CODES, L"{4B6C9D8C-737F-5F9C-E940-16E917592AE1}"},
            {IDS_INSTALLATION_URL, L"https://example.invalid/addin/"},
            {IDS_LANGUAGE, L"1033"},
            {IDS_PRIVILEGES, L"administrator"},
            {IDS_PRODUCT_CODE, L"{58de7ace-695e-467e-bbd1-89985e2ab819}"},
            {IDS_COMPANY_NAME, L"Talvoro"},
            {IDS_VERSION, L"2.2.015"},
            {IDS_SHOW_PROGRESS_WINDOW, L"true"}};
}

std::wstring problemsWith(UINT id, const std::wstring& value) {
    std::map<UINT, std::wstring> table = validTable();
    table[id] = value;
    return lines(settingProblems(table, L"C:\\dist\\"));
}

}  // namespace

TEST(SettingChecks, ValuesTheProgramAcceptsPass) {
    EXPECT_EQ(lines(settingProblems(validTable(), L"C:\\dist\\")), L"");
    const std::pair<UINT, const wchar_t*> accepted[] = {
        {IDS_PRIVILEGES, L"USER"}, {IDS_SHOW_PROGRESS_WINDOW, L"False"}, {IDS_LANGUAGE, L"1"},
        {IDS_LANGUAGE, L"65535"}, {IDS_INSTALLATION_URL, L"\\\\server\\share\\addin"},
        {IDS_INSTALLATION_URL, L"release"}, {IDS_INSTALLATION_URL, L"C:\\"},
        {IDS_COMPANY_NAME, L"Talvoro Software, Inc."}, {IDS_RELEASE_DIGEST, L""},
        {IDS_DOWNLOAD_RETRIES, L""}, {IDS_DOWNLOAD_RETRIES, L"0"}, {IDS_DOWNLOAD_RETRIES, L"10"},
        {IDS_RELEASE_DIGEST, L"0123456789ABCDEF0123456789abcdef0123456789abcdef0123456789abcdef"},
        {IDS_LOADER_COMPONENT_CODES, L"{4B6C9D8C-737F-5F9C-E940-16E917592AE1};{4B6C9D8C-737F-5F9C-E940-16E917592AE2};"},
        {IDS_COPYRIGHT, L""}, {IDS_COPYRIGHT, L"\x00A9 2026 Talvoro Software, Inc."},
    };
    for (const auto& value : accepted) EXPECT_EQ(problemsWith(value.first, value.second), L"") << value.first;
}

TEST(SettingChecks, EachRefusedValueIsOneLineNamingItsSetting) {
    const std::pair<UINT, const wchar_t*> refused[] = {
        {IDS_COMPANY_NAME, L"companyName:"},  // empty
        {IDS_LANGUAGE, L"language:"},
        {IDS_VERSION, L"version:"},
        {IDS_LOADER_COMPONENT_CODES, L"loaderComponentCodes:"},
        {IDS_PRODUCT_CODE, L"productCode:"},
        {IDS_PRIVILEGES, L"privileges:"},
        {IDS_SHOW_PROGRESS_WINDOW, L"showProgressWindow:"},
        {IDS_INSTALLATION_URL, L"installationUrl:"},
    };
    for (const auto& empty : refused) EXPECT_EQ(problemsWith(empty.first, L"").find(empty.second), 0u) << empty.second;

    const std::pair<UINT, const wchar_t*> malformed[] = {
        {IDS_COMPANY_NAME, L"*"}, {IDS_COMPANY_NAME, L"Tal?oro"}, {IDS_COMPANY_NAME, L"..\\Temp"},
        {IDS_COMPANY_NAME, L"a/b"}, {IDS_COMPANY_NAME, L"C:x"}, {IDS_COMPANY_NAME, L"a\tb"},
        {IDS_LANGUAGE, L"0"}, {IDS_LANGUAGE, L"65536"}, {IDS_LANGUAGE, L"01033"}, {IDS_LANGUAGE, L"0x409"},
        {IDS_LANGUAGE, L"-1033"}, {IDS_LANGUAGE, L"99999999999"},
        {IDS_PRODUCT_CODE, L"58DE7ACE-695E-467E-BBD1-89985E2AB819"},
        {IDS_PRODUCT_CODE, L"{58DE7ACE-695E-467E-BBD1-89985E2AB81G}"},
        {IDS_PRODUCT_CODE, L"{58DE7ACE695E-467E-BBD1-89985E2AB8191}"},
        {IDS_LOADER_COMPONENT_CODES, L"{4B6C9D8C-737F-5F9C-E940-16E917592AE1};x"}, {IDS_LOADER_COMPONENT_CODES, L";"},
        {IDS_PRIVILEGES, L"admin"}, {IDS_SHOW_PROGRESS_WINDOW, L"yes"},
        {IDS_INSTALLATION_URL, L"ftp://example.invalid/addin"}, {IDS_INSTALLATION_URL, L"C:\\no\\such\\folder"},
        {IDS_RELEASE_DIGEST, L"0123"}, {IDS_RELEASE_DIGEST, L" 0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef"},
        {IDS_RELEASE_DIGEST, L"0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdeg"},
        {IDS_DOWNLOAD_RETRIES, L"11"}, {IDS_DOWNLOAD_RETRIES, L"-1"}, {IDS_DOWNLOAD_RETRIES, L"3 "},
        {IDS_DOWNLOAD_RETRIES, L"99999999999"},
        {IDS_COPYRIGHT, L"\x00A9 2026\tTalvoro"}, {IDS_COPYRIGHT, L"Talvoro\x0085"}, {IDS_COPYRIGHT, L"\x007F"},
    };
    for (const auto& value : malformed) {
        const std::wstring text = problemsWith(value.first, value.second);
        EXPECT_NE(text, L"") << testing::PrintToString(std::wstring(value.second));
        EXPECT_EQ(text.find(L'\n'), std::wstring::npos) << testing::PrintToString(text);
    }
    EXPECT_EQ(problemsWith(IDS_COMPANY_NAME, std::wstring(243, L'x')).find(L"companyName:"), 0u);
}

namespace {

std::wstring binDirectory() {
    AppSettings settings;
    deriveExePaths(moduleFilePath(nullptr), settings);
    return settings.exeDirectory;
}

// A fresh folder for one test, removed with its files at the end.
class TempFolder {
public:
    TempFolder() {
        wchar_t base[MAX_PATH];
        ::GetTempPathW(MAX_PATH, base);
        path_ = std::wstring(base) + L"stamp_test_" + std::to_wstring(::GetCurrentProcessId()) + L"_" +
                std::to_wstring(counter_++) + L"\\";
        ::CreateDirectoryW(path_.c_str(), nullptr);
    }
    ~TempFolder() {
        WIN32_FIND_DATAW data;
        base::unique_find find(::FindFirstFileW((path_ + L"*").c_str(), &data));
        if (find) {
            do {
                ::DeleteFileW((path_ + data.cFileName).c_str());
            } while (::FindNextFileW(find.get(), &data));
        }
        find.reset();
        ::RemoveDirectoryW(path_.c_str());
    }
    const std::wstring& path() const { return path_; }

private:
    static int counter_;
    std::wstring path_;
};
int TempFolder::counter_ = 0;

void writeFile(const std::wstring& path, const std::string& bytes) {
    base::unique_file file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file.valid());
    DWORD written = 0;
    ASSERT_TRUE(::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
}

bool fileExists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

struct RunResult {
    DWORD exitCode = 0xFFFFFFFF;
    std::string errorOutput;
};

// Runs stamp.exe with the arguments, collecting what it writes to stderr.
RunResult runStamp(const std::wstring& arguments) {
    RunResult result;
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    base::unique_handle readEnd, writeEnd;
    if (!::CreatePipe(readEnd.put(), writeEnd.put(), &inherit, 0)) return result;
    ::SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdError = writeEnd.get();
    startup.hStdOutput = writeEnd.get();
    std::wstring commandLine = L"\"" + binDirectory() + L"stamp.exe\" " + arguments;
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                          &startup, &process))
        return result;
    base::unique_handle processHandle(process.hProcess), threadHandle(process.hThread);
    writeEnd.reset();
    char buffer[4096];
    DWORD read = 0;
    while (::ReadFile(readEnd.get(), buffer, sizeof(buffer), &read, nullptr) && read > 0)
        result.errorOutput.append(buffer, read);
    if (::WaitForSingleObject(processHandle.get(), 30000) != WAIT_OBJECT_0) {
        ::TerminateProcess(processHandle.get(), 99);
        return result;
    }
    ::GetExitCodeProcess(processHandle.get(), &result.exitCode);
    return result;
}

std::wstring quoted(const std::wstring& path) { return L"\"" + path + L"\""; }

// With --keep-built-in: these tests give only the keys they are about.
std::wstring stampArguments(const std::wstring& source, const std::wstring& settings, const std::wstring& target) {
    return L"--keep-built-in " + quoted(source) + L" " + quoted(settings) + L" " + quoted(target);
}

// The settings a bootstrapper would read from its own string table.
AppSettings settingsOf(const std::wstring& program) {
    AppSettings settings;
    base::unique_hmodule module(::LoadLibraryExW(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    EXPECT_TRUE(module.valid());
    if (!module) return settings;
    // A data-file module handle carries flag bits; the string functions take it as it is.
    const HINSTANCE instance = reinterpret_cast<HINSTANCE>(module.get());
    loadStringSettings(instance, settings);
    loadWindowClassName(instance, settings);
    return settings;
}

int lineCount(const std::string& text) {
    int lines = 0;
    for (char c : text)
        if (c == '\n') ++lines;
    return lines;
}

}  // namespace

class StampProgram : public ::testing::Test {
protected:
    TempFolder folder;
    const std::wstring source = binDirectory() + L"bootstrapper.exe";
    const std::wstring settingsFile = folder.path() + L"settings.txt";
    const std::wstring target = folder.path() + L"stamped.exe";
};

TEST_F(StampProgram, RoundTripChangesGivenKeysAndKeepsTheRest) {
    const std::string longUrl = "http://127.0.0.1:8080/" + std::string(5000, 'u') + "/";
    writeFile(settingsFile, "installationUrl=" + longUrl + "\nproductName=Caf\xC3\xA9 \xE6\x97\xA5\nlanguage=65535\n"
                            "windowClassName=" + std::string(300, 'C') + "\nshowProgressWindow=FALSE\n");
    const RunResult run = runStamp(stampArguments(source, settingsFile, target));
    ASSERT_EQ(run.exitCode, 0u) << run.errorOutput;
    EXPECT_EQ(run.errorOutput, "");

    const AppSettings stamped = settingsOf(target);
    EXPECT_EQ(stamped.installationUrl, std::wstring(longUrl.begin(), longUrl.end()));
    EXPECT_EQ(stamped.productName, L"Caf\x00E9 \x65E5");
    EXPECT_EQ(stamped.language, L"65535");
    EXPECT_EQ(stamped.windowClassName, std::wstring(99, L'C'));  // the class buffer holds 99
    EXPECT_EQ(stamped.showProgressWindow, L"FALSE");

    const AppSettings original = settingsOf(source);
    EXPECT_EQ(stamped.productCode, original.productCode);
    EXPECT_EQ(stamped.version, original.version);
    EXPECT_EQ(stamped.windowTitle, original.windowTitle);
    EXPECT_EQ(stamped.companyName, original.companyName);
    EXPECT_EQ(stamped.loaderComponentCodes, original.loaderComponentCodes);
}

TEST_F(StampProgram, StampedProgramKeepsItsOtherResources) {
    writeFile(settingsFile, "version=9.9.999\n");
    ASSERT_EQ(runStamp(stampArguments(source, settingsFile, target)).exitCode, 0u);
    base::unique_hmodule module(::LoadLibraryExW(target.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    ASSERT_TRUE(module.valid());
    EXPECT_NE(::FindResourceW(module.get(), MAKEINTRESOURCEW(IDD_PROGRESS), MAKEINTRESOURCEW(5)), nullptr);
    EXPECT_NE(::FindResourceW(module.get(), MAKEINTRESOURCEW(IDC_ACCELERATORS), MAKEINTRESOURCEW(9)), nullptr);
    EXPECT_NE(::FindResourceW(module.get(), MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24)), nullptr);
    EXPECT_EQ(settingsOf(target).version, L"9.9.999");
}

TEST_F(StampProgram, EmptyOrAtomClassNameFallsBackToTheShippedOne) {
    for (const char* name : {"", "#32770"}) {
        writeFile(settingsFile, std::string("windowClassName=") + name + "\n");
        ASSERT_EQ(runStamp(stampArguments(source, settingsFile, target)).exitCode, 0u);
        EXPECT_EQ(settingsOf(target).windowClassName, L"STOBRINDOWNLOADER") << name;
    }
}

TEST_F(StampProgram, UnknownKeyIsAOneLineErrorAndNoTarget) {
    writeFile(settingsFile, "version=1\ncolour=red\n");
    const RunResult run = runStamp(stampArguments(source, settingsFile, target));
    EXPECT_NE(run.exitCode, 0u);
    EXPECT_NE(run.errorOutput.find("line 2: unknown key 'colour'"), std::string::npos) << run.errorOutput;
    EXPECT_EQ(lineCount(run.errorOutput), 1);
    EXPECT_FALSE(fileExists(target));
}

TEST_F(StampProgram, RefusedValuesAreOneLineEachWithNoTargetUnlessUnchecked) {
    writeFile(settingsFile, "companyName=\nlanguage=0\ninstallationUrl=ftp://127.0.0.1/rel\nversion=3\n");
    const RunResult run = runStamp(stampArguments(source, settingsFile, target));
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_EQ(lineCount(run.errorOutput), 3) << run.errorOutput;
    for (const char* key : {"stamp: companyName:", "stamp: language:", "stamp: installationUrl:"})
        EXPECT_NE(run.errorOutput.find(key), std::string::npos) << run.errorOutput;
    EXPECT_FALSE(fileExists(target));

    // The tests of the program's own refusals need such a table.
    const RunResult unchecked = runStamp(L"--unchecked " + stampArguments(source, settingsFile, target));
    ASSERT_EQ(unchecked.exitCode, 0u) << unchecked.errorOutput;
    EXPECT_EQ(settingsOf(target).companyName, L"");

    // What a stamped program already holds is checked as well as what the file gives.
    const std::wstring restamped = folder.path() + L"restamped.exe";
    writeFile(settingsFile, "language=1033\ninstallationUrl=http://127.0.0.1/rel\n");
    const RunResult again = runStamp(stampArguments(target, settingsFile, restamped));
    EXPECT_EQ(again.exitCode, 1u);
    EXPECT_EQ(lineCount(again.errorOutput), 1) << again.errorOutput;
    EXPECT_NE(again.errorOutput.find("stamp: companyName:"), std::string::npos) << again.errorOutput;
    EXPECT_FALSE(fileExists(restamped));
}

TEST_F(StampProgram, MissingFilesAndUnwritableTargetsFail) {
    writeFile(settingsFile, "version=1\n");
    struct Case {
        std::wstring arguments;
        const char* says;
    } cases[] = {
        {stampArguments(source, folder.path() + L"missing.txt", target), "cannot read the settings file"},
        {stampArguments(folder.path() + L"missing.exe", settingsFile, target), "cannot open the program"},
        {stampArguments(source, settingsFile, folder.path() + L"no\\such\\dir\\x.exe"), "cannot write the target"},
        {stampArguments(settingsFile, settingsFile, target), "cannot open the program"},
        {stampArguments(source, settingsFile, source), "is the source itself"},
        {quoted(source) + L" " + quoted(settingsFile), "usage:"},
    };
    for (const Case& c : cases) {
        const RunResult run = runStamp(c.arguments);
        EXPECT_NE(run.exitCode, 0u) << c.says;
        EXPECT_NE(run.errorOutput.find(c.says), std::string::npos) << run.errorOutput;
        EXPECT_EQ(lineCount(run.errorOutput), 1) << run.errorOutput;
        EXPECT_FALSE(fileExists(target)) << c.says;
    }
}

// A left-out key would silently keep the built program's (the sample's) value.
TEST_F(StampProgram, LeftOutKeysAreNamedUnlessKeptOnPurpose) {
    writeFile(settingsFile, "version=3.1.0\nlanguage=1033\n");
    const std::wstring plain = quoted(source) + L" " + quoted(settingsFile) + L" " + quoted(target);
    const RunResult run = runStamp(plain);
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_EQ(lineCount(run.errorOutput), 1) << run.errorOutput;
    EXPECT_NE(run.errorOutput.find("leaves out windowClassName, loaderComponentCodes, installationUrl, privileges,"),
              std::string::npos)
        << run.errorOutput;
    EXPECT_EQ(run.errorOutput.find("language,"), std::string::npos) << run.errorOutput;
    EXPECT_FALSE(fileExists(target));

    ASSERT_EQ(runStamp(stampArguments(source, settingsFile, target)).exitCode, 0u);
    EXPECT_EQ(settingsOf(target).version, L"3.1.0");
}

TEST_F(StampProgram, AHostTheProgramDoesNotKnowIsRefused) {
    writeFile(settingsFile, "hostApplication=Notepad\n");
    const RunResult run = runStamp(stampArguments(source, settingsFile, target));
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_NE(run.errorOutput.find("stamp: hostApplication: 'Notepad' is not a host the program knows (Excel,"),
              std::string::npos)
        << run.errorOutput;
    EXPECT_FALSE(fileExists(target));
}
namespace {

// The file offset of the first section header and of the data directories of a PE32+ or PE32 image.
void headerOffsets(const std::string& image, size_t& directories, size_t& sections, unsigned& count) {
    const size_t pe = *reinterpret_cast<const DWORD*>(&image[0x3C]);
    const size_t optional = pe + 24;
    const bool wide = *reinterpret_cast<const WORD*>(&image[optional]) == 0x20B;
    directories = optional + (wide ? 112 : 96);
    sections = optional + *reinterpret_cast<const WORD*>(&image[pe + 20]);
    count = *reinterpret_cast<const WORD*>(&image[pe + 6]);
}

DWORD& dwordAt(std::string& image, size_t offset) { return *reinterpret_cast<DWORD*>(&image[offset]); }

}  // namespace

TEST(VersionNumbers, NumericFormIsUpToFourDecimalParts) {
    const std::pair<const wchar_t*, std::vector<WORD>> cases[] = {
        {L"2.2.015", {2, 2, 15, 0}}, {L"7", {7, 0, 0, 0}}, {L"1.2.3.65535", {1, 2, 3, 65535}},
        {L"1.2.3.4.5", {0, 0, 0, 0}}, {L"2.2.15-beta", {0, 0, 0, 0}}, {L"", {0, 0, 0, 0}},
        {L"1..2", {0, 0, 0, 0}}, {L"65536", {0, 0, 0, 0}}, {L"v1", {0, 0, 0, 0}}, {L"1.2.", {0, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        WORD parts[4] = {9, 9, 9, 9};
        EXPECT_EQ(numericVersion(c.first, parts), c.second != std::vector<WORD>(4, 0)) << c.first;
        EXPECT_EQ(std::vector<WORD>(parts, parts + 4), c.second) << c.first;
    }
}

TEST_F(StampProgram, SignedProgramOrControlCharacterInCopyrightIsRefusedWithNoTarget) {
    // A copy whose certificate table names a signature after the image.
    std::string image;
    ASSERT_TRUE(ReadWholeFile(source, image));
    EXPECT_FALSE(hasAuthenticodeSignature(image));
    size_t directories = 0, sections = 0;
    unsigned count = 0;
    headerOffsets(image, directories, sections, count);
    dwordAt(image, directories + 4 * 8) = static_cast<DWORD>(image.size());
    dwordAt(image, directories + 4 * 8 + 4) = 16;
    image.append(16, '\0');
    EXPECT_TRUE(hasAuthenticodeSignature(image));
    const std::wstring signedCopy = folder.path() + L"signed.exe";
    writeFile(signedCopy, image);
    writeFile(settingsFile, "version=1\n");
    RunResult run = runStamp(stampArguments(signedCopy, settingsFile, target));
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_EQ(lineCount(run.errorOutput), 1) << run.errorOutput;
    EXPECT_NE(run.errorOutput.find("stamp the unsigned program, then sign"), std::string::npos) << run.errorOutput;
    EXPECT_FALSE(fileExists(target));

    writeFile(settingsFile, "copyright=\xC2\xA9 2026\x07Talvoro\n");
    run = runStamp(stampArguments(source, settingsFile, target));
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_EQ(lineCount(run.errorOutput), 1) << run.errorOutput;
    EXPECT_NE(run.errorOutput.find("stamp: copyright:"), std::string::npos) << run.errorOutput;
    EXPECT_FALSE(fileExists(target));
}

TEST_F(StampProgram, ResourceSectionHeadersAreGrownToCoverTheRewrittenTree) {
    writeFile(settingsFile, "productName=Other Product\n");
    ASSERT_EQ(runStamp(stampArguments(source, settingsFile, target)).exitCode, 0u);
    std::string stamped;
    ASSERT_TRUE(ReadWholeFile(target, stamped));
    std::string fitted = stamped;
    ASSERT_TRUE(fitResourceSection(fitted));
    EXPECT_TRUE(fitted == stamped) << "stamp leaves nothing to fit";

    // As Wine leaves a tree that grew within the section's file space: old sizes.
    size_t directories = 0, sections = 0;
    unsigned count = 0;
    headerOffsets(stamped, directories, sections, count);
    const DWORD root = dwordAt(stamped, directories + 2 * 8);
    size_t section = sections;
    while (section < sections + 40 * count && dwordAt(stamped, section + 12) != root) section += 40;
    ASSERT_LT(section, sections + 40 * count);
    std::string shrunk = stamped;
    dwordAt(shrunk, section + 8) -= 0x100;
    dwordAt(shrunk, directories + 2 * 8 + 4) -= 0x100;
    const DWORD shrunkSize = dwordAt(shrunk, section + 8), shrunkDirectory = dwordAt(shrunk, directories + 2 * 8 + 4);
    ASSERT_TRUE(fitResourceSection(shrunk));
    // Grown to the tree's end, which the stamped headers (page-rounded where Wine moved the section) cover.
    EXPECT_GT(dwordAt(shrunk, section + 8), shrunkSize);
    EXPECT_LE(dwordAt(shrunk, section + 8), dwordAt(stamped, section + 8));
    EXPECT_GT(dwordAt(shrunk, directories + 2 * 8 + 4), shrunkDirectory);
    EXPECT_LE(dwordAt(shrunk, directories + 2 * 8 + 4), dwordAt(stamped, directories + 2 * 8 + 4));
    const std::string once = shrunk;
    ASSERT_TRUE(fitResourceSection(shrunk));
    EXPECT_TRUE(shrunk == once) << "a fitted image needs no second fit";

    // A tree that points past the section's file space is refused and left alone.
    std::string broken = stamped;
    dwordAt(broken, section + 16) = 0x10;  // the section's file size
    const std::string before = broken;
    EXPECT_FALSE(fitResourceSection(broken));
    EXPECT_TRUE(broken == before);
    std::string notAnImage = "MZ not a program";
    EXPECT_FALSE(fitResourceSection(notAnImage));
    EXPECT_FALSE(hasAuthenticodeSignature(notAnImage));
}
