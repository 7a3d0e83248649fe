#include "stamp.h"

#include <algorithm>
#include <map>
#include <vector>

#include "base/file_io.h"
#include "base/unique_any.h"
#include "base/windows_error.h"
#include "pe_image.h"
#include "product/settings_ids.h"
#include "settings_check.h"
#include "settings_file.h"
#include "string_table.h"
#include "version_resource.h"

namespace {

// An open resource update; closing it without commit throws the changes away.
struct resource_update_traits {
    using type = HANDLE;
    static HANDLE invalid() noexcept { return nullptr; }
    static void close(HANDLE h) noexcept { ::EndUpdateResourceW(h, TRUE); }
};
using unique_resource_update = base::unique_any<resource_update_traits>;

const LANGID defaultLanguage = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

// One string-table block in one language.
struct BlockKey {
    WORD block;
    LANGID language;
    bool operator<(const BlockKey& other) const {
        return block != other.block ? block < other.block : language < other.language;
    }
};
using Blocks = std::map<BlockKey, StringBlock>;

std::wstring failure(const std::wstring& what, DWORD code) { return what + L": " + systemReason(code); }

bool readFile(const std::wstring& path, std::string& bytes, std::wstring& error) {
    base::unique_file file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        error = failure(L"cannot read the settings file '" + path + L"'", ::GetLastError());
        return false;
    }
    std::string result;
    char buffer[8192];
    for (;;) {
        DWORD read = 0;
        if (!::ReadFile(file.get(), buffer, sizeof(buffer), &read, nullptr)) {
            error = failure(L"cannot read the settings file '" + path + L"'", ::GetLastError());
            return false;
        }
        if (read == 0) break;
        result.append(buffer, read);
    }
    bytes.swap(result);
    return true;
}

BOOL CALLBACK addLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR parameter) {
    reinterpret_cast<std::vector<LANGID>*>(parameter)->push_back(language);
    return TRUE;
}

// The blocks that hold the given ids, in every language the program has them in.
bool readBlocks(const std::wstring& program, const std::vector<WORD>& blockIds, Blocks& blocks, std::wstring& error) {
    base::unique_hmodule module(::LoadLibraryExW(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (!module) {
        error = failure(L"cannot open the program '" + program + L"'", ::GetLastError());
        return false;
    }
    for (WORD block : blockIds) {
        std::vector<LANGID> languages;
        ::EnumResourceLanguagesW(module.get(), MAKEINTRESOURCEW(6) /* RT_STRING */, MAKEINTRESOURCEW(block),
                                 addLanguage, reinterpret_cast<LONG_PTR>(&languages));
        if (languages.empty()) blocks[{block, defaultLanguage}] = StringBlock();
        for (LANGID language : languages) {
            HRSRC resource =
                ::FindResourceExW(module.get(), MAKEINTRESOURCEW(6), MAKEINTRESOURCEW(block), language);
            HGLOBAL loaded = resource != nullptr ? ::LoadResource(module.get(), resource) : nullptr;
            const BYTE* data = loaded != nullptr ? static_cast<const BYTE*>(::LockResource(loaded)) : nullptr;
            if (data == nullptr) {
                error = failure(L"cannot read the string table of '" + program + L"'", ::GetLastError());
                return false;
            }
            blocks[{block, language}] = decodeStringBlock(data, ::SizeofResource(module.get(), resource));
        }
    }
    return true;
}

const WORD versionResourceId = 1;

bool writeResources(const std::wstring& program, const Blocks& blocks, const std::vector<BYTE>& versionInfo,
                    std::wstring& error) {
    unique_resource_update update(::BeginUpdateResourceW(program.c_str(), FALSE));
    if (!update) {
        error = failure(L"cannot update the resources of '" + program + L"'", ::GetLastError());
        return false;
    }
    for (const auto& entry : blocks) {
        std::vector<BYTE> data = encodeStringBlock(entry.second);
        if (!::UpdateResourceW(update.get(), MAKEINTRESOURCEW(6), MAKEINTRESOURCEW(entry.first.block),
                               entry.first.language, data.data(), static_cast<DWORD>(data.size()))) {
            error = failure(L"cannot update the string table of '" + program + L"'", ::GetLastError());
            return false;
        }
    }
    if (!::UpdateResourceW(update.get(), MAKEINTRESOURCEW(16) /* RT_VERSION */, MAKEINTRESOURCEW(versionResourceId),
                           defaultLanguage, const_cast<BYTE*>(versionInfo.data()),
                           static_cast<DWORD>(versionInfo.size()))) {
        error = failure(L"cannot update the version resource of '" + program + L"'", ::GetLastError());
        return false;
    }
    if (!::EndUpdateResourceW(update.release(), FALSE)) {
        error = failure(L"cannot write the resources of '" + program + L"'", ::GetLastError());
        return false;
    }
    return true;
}

// Whether the program's version resource holds exactly these bytes.
bool versionReadsBack(const std::wstring& program, const std::vector<BYTE>& expected) {
    base::unique_hmodule module(::LoadLibraryExW(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (!module) return false;
    HRSRC resource = ::FindResourceExW(module.get(), MAKEINTRESOURCEW(16), MAKEINTRESOURCEW(versionResourceId),
                                       defaultLanguage);
    HGLOBAL loaded = resource != nullptr ? ::LoadResource(module.get(), resource) : nullptr;
    const BYTE* data = loaded != nullptr ? static_cast<const BYTE*>(::LockResource(loaded)) : nullptr;
    return data != nullptr && ::SizeofResource(module.get(), resource) == expected.size() &&
           std::equal(expected.begin(), expected.end(), data);
}

// The file's headers made to cover its rewritten resource section (see fitResourceSection).
bool fitResourceHeaders(const std::wstring& program, std::wstring& error) {
    std::string image;
    if (!ReadWholeFile(program, image)) {
        error = failure(L"cannot read back '" + program + L"'", ::GetLastError());
        return false;
    }
    std::string fitted = image;
    if (!fitResourceSection(fitted)) {
        error = L"the resources written to '" + program + L"' lie outside its resource section";
        return false;
    }
    if (fitted != image && !WriteWholeFile(fitted.data(), static_cast<DWORD>(fitted.size()), program)) {
        error = failure(L"cannot write '" + program + L"'", ::GetLastError());
        return false;
    }
    return true;
}

std::wstring fullPath(const std::wstring& path) {
    wchar_t buffer[MAX_PATH * 4];
    const DWORD length = ::GetFullPathNameW(path.c_str(), MAX_PATH * 4, buffer, nullptr);
    return length != 0 && length < MAX_PATH * 4 ? std::wstring(buffer, length) : path;
}

// Blocks 7, 9 and 10 hold ids 96-111, 128-143 and 144-159: every setting lives there.
const std::vector<WORD> settingBlocks = {7, 9, 10};

// The source's blocks with the given values written over them.
bool stampedBlocks(const std::wstring& source, const std::map<UINT, std::wstring>& values, Blocks& blocks,
                   std::wstring& error) {
    if (!readBlocks(source, settingBlocks, blocks, error)) return false;
    for (auto& entry : blocks)
        for (const auto& value : values)
            if (stringBlockId(value.first) == entry.first.block) entry.second[value.first & 15] = value.second;
    return true;
}

// What the program would find wrong in its table, in every language the table has.
std::vector<std::wstring> tableProblems(const Blocks& blocks, const std::wstring& target) {
    std::map<LANGID, std::map<UINT, std::wstring>> tables;
    for (const auto& entry : blocks)
        for (UINT i = 0; i < 16; ++i) tables[entry.first.language][(entry.first.block - 1u) * 16 + i] = entry.second[i];
    const std::wstring full = fullPath(target);
    const std::wstring folder = full.substr(0, full.rfind(L'\\') + 1);
    std::vector<std::wstring> problems;
    for (const auto& table : tables)
        for (const std::wstring& problem : settingProblems(table.second, folder))
            if (std::find(problems.begin(), problems.end(), problem) == problems.end()) problems.push_back(problem);
    return problems;
}

// The version resource that describes the stamped program, from its US English
// table (or the first language it has) and its file name.
std::vector<BYTE> versionResourceFor(const Blocks& blocks, const std::wstring& target) {
    std::map<UINT, std::wstring> table;
    LANGID language = blocks.empty() ? defaultLanguage : blocks.begin()->first.language;
    for (const auto& entry : blocks)
        if (entry.first.language == defaultLanguage) language = defaultLanguage;
    for (const auto& entry : blocks)
        if (entry.first.language == language)
            for (UINT i = 0; i < 16; ++i) table[(entry.first.block - 1u) * 16 + i] = entry.second[i];
    const std::wstring full = fullPath(target);
    VersionStrings strings;
    strings.companyName = table[IDS_COMPANY_NAME];
    strings.productName = table[IDS_PRODUCT_NAME];
    strings.productVersion = table[IDS_VERSION];
    strings.copyright = table[IDS_COPYRIGHT];
    strings.originalFilename = full.substr(full.find_last_of(L"\\/") + 1);
    return encodeVersionResource(strings);
}

bool writeCopy(const std::wstring& source, const Blocks& blocks, const std::wstring& target, std::wstring& error) {
    if (!::CopyFileW(source.c_str(), target.c_str(), FALSE)) {
        error = failure(L"cannot write the target '" + target + L"'", ::GetLastError());
        return false;
    }
    // A copy can come out read-only from a read-only source; it must be updatable.
    const DWORD attributes = ::GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        ::SetFileAttributesW(target.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);  // best effort
    const std::vector<BYTE> versionInfo = versionResourceFor(blocks, target);
    if (versionInfo.empty()) {
        error = L"the version resource for '" + target + L"' would be too long; shorten the names";
        return false;
    }
    if (!writeResources(target, blocks, versionInfo, error) || !fitResourceHeaders(target, error)) return false;

    // Read the result back: a target that does not say what was asked is no target.
    Blocks written;
    if (!readBlocks(target, settingBlocks, written, error)) return false;
    for (const auto& entry : blocks) {
        auto found = written.find(entry.first);
        if (found == written.end() || found->second != entry.second) {
            error = L"the string table written to '" + target + L"' does not read back as written";
            return false;
        }
    }
    if (!versionReadsBack(target, versionInfo)) {
        error = L"the version resource written to '" + target + L"' does not read back as written";
        return false;
    }
    return true;
}

// Stamping rewrites bytes that a signature covers and would leave a broken one behind.
bool refuseSignedProgram(const std::wstring& source, std::wstring& error) {
    std::string image;
    if (!ReadWholeFile(source, image)) {
        error = failure(L"cannot open the program '" + source + L"'", ::GetLastError());
        return false;
    }
    if (!hasAuthenticodeSignature(image)) return true;
    error = L"the program '" + source + L"' is already signed: stamp the unsigned program, then sign";
    return false;
}

}  // namespace

bool stampProgram(const std::wstring& source, const std::wstring& settingsFile, const std::wstring& target,
                  bool checked, bool keepBuiltIn, std::vector<std::wstring>& problems) {
    std::wstring error;
    auto fail = [&problems](const std::wstring& problem) {
        problems.push_back(problem);
        return false;
    };
    std::string bytes;
    if (!readFile(settingsFile, bytes, error)) return fail(error);
    std::map<UINT, std::wstring> values;
    std::vector<std::wstring> reasons;
    if (!parseSettingsText(bytes, values, reasons)) {
        for (const std::wstring& reason : reasons) problems.push_back(L"settings file '" + settingsFile + L"', " + reason);
        return false;
    }
    if (checked && !keepBuiltIn) {
        const std::vector<std::wstring> missing = missingSettingKeys(values);
        if (!missing.empty()) {
            std::wstring names;
            for (const std::wstring& key : missing) names += (names.empty() ? L"" : L", ") + key;
            return fail(L"settings file '" + settingsFile + L"' leaves out " + names +
                        L", which would keep the built program's values; give every setting "
                        L"(publish settings writes them all), or --keep-built-in to keep them on purpose");
        }
    }
    if (::GetFileAttributesW(source.c_str()) == INVALID_FILE_ATTRIBUTES)
        return fail(failure(L"cannot open the program '" + source + L"'", ::GetLastError()));
    if (::lstrcmpiW(fullPath(source).c_str(), fullPath(target).c_str()) == 0)
        return fail(L"the target '" + target + L"' is the source itself; stamp a copy");
    if (!refuseSignedProgram(source, error)) return fail(error);
    Blocks blocks;
    if (!stampedBlocks(source, values, blocks, error)) return fail(error);
    if (checked) {
        const std::vector<std::wstring> found = tableProblems(blocks, target);
        if (!found.empty()) {
            problems.insert(problems.end(), found.begin(), found.end());
            return false;
        }
    }
    if (writeCopy(source, blocks, target, error)) return true;
    ::DeleteFileW(target.c_str());  // best effort: a half-stamped program must not look finished
    return fail(error);
}
