#include "file_bytes.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "base/unique_any.h"
#include "base/file_sha256.h"

namespace {

base::unique_file openForReading(const std::wstring& path) {
    return base::unique_file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                           FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

// Fills the block as far as the file allows; false on a read error.
bool readBlock(HANDLE file, std::vector<char>& block, DWORD& filled) {
    filled = 0;
    while (filled < block.size()) {
        DWORD read = 0;
        if (!::ReadFile(file, block.data() + filled, static_cast<DWORD>(block.size()) - filled, &read, nullptr))
            return false;
        if (read == 0) break;
        filled += read;
    }
    return true;
}

}  // namespace

bool isFile(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool sameFileBytes(const std::wstring& first, const std::wstring& second) {
    base::unique_file a = openForReading(first);
    base::unique_file b = openForReading(second);
    LARGE_INTEGER sizeA = {}, sizeB = {};
    if (!a || !b || !::GetFileSizeEx(a.get(), &sizeA) || !::GetFileSizeEx(b.get(), &sizeB) ||
        sizeA.QuadPart != sizeB.QuadPart)
        return false;
    std::vector<char> blockA(64 * 1024), blockB(64 * 1024);
    for (;;) {
        DWORD filledA = 0, filledB = 0;
        if (!readBlock(a.get(), blockA, filledA) || !readBlock(b.get(), blockB, filledB) || filledA != filledB)
            return false;
        if (filledA == 0) return true;
        if (std::memcmp(blockA.data(), blockB.data(), filledA) != 0) return false;
    }
}

bool fileDigest(const std::wstring& path, unsigned char (&digest)[Sha256Digest::size]) {
    base::unique_file file = openForReading(path);
    return file && ComputeFileSha256(file.get(), digest);
}
