#include "replacement_file.h"

#include <windows.h>
#include <wincrypt.h>

#include "base/unique_any.h"
#include "base/windows_error.h"

std::wstring randomScratchName(const std::wstring& path) {
    base::unique_crypt_provider provider;
    unsigned char bytes[8];
    if (!::CryptAcquireContextW(provider.put(), nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT | CRYPT_SILENT) ||
        !::CryptGenRandom(provider.get(), sizeof bytes, bytes))
        return std::wstring();
    std::wstring hex;
    for (unsigned char b : bytes) {
        hex += L"0123456789abcdef"[b >> 4];
        hex += L"0123456789abcdef"[b & 15];
    }
    return path + L".publish-" + hex + L".tmp";
}

ReplacementFile::~ReplacementFile() {
    if (!scratch_.empty()) ::DeleteFileW(scratch_.c_str());  // best effort: a leftover only costs space
}

bool ReplacementFile::write(const std::string& bytes, std::wstring& problem) {
    const std::wstring name = randomScratchName(target_);
    if (name.empty()) {
        problem = target_ + L": no name for its new version: " + systemReason(::GetLastError());
        return false;
    }
    // CREATE_NEW fails on any existing name, a link's included; the flag keeps
    // the open on the name itself should one appear there.
    base::unique_file file(::CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                         FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file) {
        problem = name + L": cannot be created: " + systemReason(::GetLastError());
        return false;
    }
    scratch_ = name;  // ours from here on: deleted unless it replaces the target
    DWORD written = 0;
    if (!::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size() || !::FlushFileBuffers(file.get())) {
        problem = name + L": cannot be written: " + systemReason(::GetLastError());
        return false;
    }
    return true;
}

bool ReplacementFile::replaceTarget(std::wstring& problem) {
    if (!::MoveFileExW(scratch_.c_str(), target_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        problem = target_ + L": cannot be replaced: " + systemReason(::GetLastError());
        return false;
    }
    scratch_.clear();
    return true;
}
