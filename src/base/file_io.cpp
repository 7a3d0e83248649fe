#include "base/file_io.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "base/unique_any.h"

bool ReadWholeFile(const std::wstring& path, std::string& bytes) {
    bytes.clear();
    base::unique_file file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    const DWORD size = ::GetFileSize(file.get(), nullptr);
    if (size == INVALID_FILE_SIZE && ::GetLastError() != NO_ERROR) return false;
    if (size == 0) {
        ::SetLastError(NO_ERROR);
        return false;
    }
    bytes.resize(size);
    DWORD read = 0;
    if (!::ReadFile(file.get(), &bytes[0], size, &read, nullptr) || read != size) {
        bytes.clear();
        return false;
    }
    return true;
}

bool WriteWholeFile(const void* data, DWORD size, const std::wstring& path) {
    // best effort: a missing file has no attributes to clear
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    base::unique_file file(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    if (size != 0 && !::WriteFile(file.get(), data, size, &written, nullptr)) return false;
    if (written != size) return false;
    // A failed close can lose buffered data: report it as a failed write.
    HANDLE handle = file.release();
    return ::CloseHandle(handle) != FALSE;
}

std::wstring Utf8ToWide(const std::string& bytes) {
    if (bytes.empty() || bytes.size() > static_cast<size_t>(INT_MAX)) return std::wstring();
    const int length = static_cast<int>(bytes.size());
    const int needed = ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), length, nullptr, 0);
    if (needed <= 0) return std::wstring();
    std::wstring text(static_cast<size_t>(needed), L'\0');
    if (::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), length, &text[0], needed) != needed) return std::wstring();
    return text;
}

bool FileHoldsBytes(HANDLE file, const std::string& bytes) {
    LARGE_INTEGER start = {};
    LARGE_INTEGER size = {};
    if (!::SetFilePointerEx(file, start, nullptr, FILE_BEGIN) || !::GetFileSizeEx(file, &size)) return false;
    if (static_cast<unsigned long long>(size.QuadPart) != bytes.size()) {
        ::SetLastError(ERROR_INVALID_DATA);
        return false;
    }
    // 64 KiB blocks: few system calls, little memory, whatever the file's size.
    constexpr DWORD blockSize = 64 * 1024;
    std::string block(blockSize, '\0');
    for (size_t done = 0; done < bytes.size();) {
        const DWORD want = static_cast<DWORD>(std::min<size_t>(blockSize, bytes.size() - done));
        DWORD read = 0;
        if (!::ReadFile(file, &block[0], want, &read, nullptr)) return false;
        if (read == 0 || std::memcmp(block.data(), bytes.data() + done, read) != 0) {
            ::SetLastError(ERROR_INVALID_DATA);
            return false;
        }
        done += read;
    }
    return true;
}
