#include "product/file_sha256.h"

#include <wincrypt.h>

#include <vector>

#include "base/unique_any.h"

namespace {

// 64 KiB blocks: few system calls, little memory, whatever the file's size.
constexpr DWORD blockSize = 64 * 1024;

}  // namespace

bool ComputeFileSha256(HANDLE file, unsigned char (&digest)[Sha256Digest::size]) {
    base::unique_crypt_provider provider;
    // No key container is needed for hashing; never show a dialog.
    if (!::CryptAcquireContextW(provider.put(), nullptr, nullptr, PROV_RSA_AES,
                                CRYPT_VERIFYCONTEXT | CRYPT_SILENT))
        return false;
    base::unique_crypt_hash hash;
    if (!::CryptCreateHash(provider.get(), CALG_SHA_256, 0, 0, hash.put())) return false;

    LARGE_INTEGER start = {};
    if (!::SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) return false;
    std::vector<BYTE> block(blockSize);
    for (;;) {
        DWORD read = 0;
        if (!::ReadFile(file, block.data(), blockSize, &read, nullptr)) return false;
        if (read == 0) break;
        if (!::CryptHashData(hash.get(), block.data(), read, 0)) return false;
    }

    BYTE value[Sha256Digest::size];
    DWORD length = sizeof value;
    if (!::CryptGetHashParam(hash.get(), HP_HASHVAL, value, &length, 0)) return false;
    if (length != sizeof value) {
        ::SetLastError(ERROR_INVALID_DATA);
        return false;
    }
    for (size_t i = 0; i < Sha256Digest::size; ++i) digest[i] = value[i];
    return true;
}
