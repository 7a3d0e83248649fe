#include "base/sha256_hash.h"

#include <wincrypt.h>

bool Sha256Hash::begin() {
    hash_.reset();
    // No key container is needed for hashing; never show a dialog.
    if (!::CryptAcquireContextW(provider_.put(), nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT | CRYPT_SILENT))
        return false;
    return ::CryptCreateHash(provider_.get(), CALG_SHA_256, 0, 0, hash_.put()) != FALSE;
}

bool Sha256Hash::add(const void* data, DWORD size) {
    if (size == 0) return true;
    return ::CryptHashData(hash_.get(), static_cast<const BYTE*>(data), size, 0) != FALSE;
}

bool Sha256Hash::finish(unsigned char (&digest)[Sha256Digest::size]) {
    BYTE value[Sha256Digest::size];
    DWORD length = sizeof value;
    if (!::CryptGetHashParam(hash_.get(), HP_HASHVAL, value, &length, 0)) return false;
    hash_.reset();
    if (length != sizeof value) {
        ::SetLastError(ERROR_INVALID_DATA);
        return false;
    }
    for (size_t i = 0; i < Sha256Digest::size; ++i) digest[i] = value[i];
    return true;
}
