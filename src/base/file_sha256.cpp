#include "base/file_sha256.h"

#include <vector>

#include "base/sha256_hash.h"

namespace {

// 64 KiB blocks: few system calls, little memory, whatever the file's size.
constexpr DWORD blockSize = 64 * 1024;

}  // namespace

bool ComputeFileSha256(HANDLE file, unsigned char (&digest)[Sha256Digest::size]) {
    Sha256Hash hash;
    if (!hash.begin()) return false;
    LARGE_INTEGER start = {};
    if (!::SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) return false;
    std::vector<BYTE> block(blockSize);
    for (;;) {
        DWORD read = 0;
        if (!::ReadFile(file, block.data(), blockSize, &read, nullptr)) return false;
        if (read == 0) break;
        if (!hash.add(block.data(), read)) return false;
    }
    return hash.finish(digest);
}
