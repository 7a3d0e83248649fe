#pragma once
// SHA-256 over data that arrives in pieces, through CryptoAPI (advapi32;
// SHA-256 there since Windows XP SP3). One thread at a time.
#include <windows.h>

#include "base/unique_any.h"
#include "base/sha256_digest.h"

class Sha256Hash {
public:
    // False with GetLastError() set when the system cannot hash.
    bool begin();
    // False with GetLastError() set; the hash is then of no use.
    bool add(const void* data, DWORD size);
    // The digest of everything added; the hash is used up.
    bool finish(unsigned char (&digest)[Sha256Digest::size]);

private:
    base::unique_crypt_provider provider_;
    base::unique_crypt_hash hash_;
};
