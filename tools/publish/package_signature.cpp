#include "package_signature.h"

#include <windows.h>
#include <objbase.h>

namespace {

template <typename T>
struct ReleaseOnExit {
    T* pointer = nullptr;
    ~ReleaseOnExit() {
        if (pointer != nullptr) pointer->Release();
    }
};

}  // namespace

bool packageIsSigned(const std::wstring& path) {
    ReleaseOnExit<IStorage> storage;
    if (FAILED(::StgOpenStorage(path.c_str(), nullptr, STGM_READ | STGM_SHARE_DENY_WRITE, nullptr, 0,
                                &storage.pointer)))
        return false;
    // Where Authenticode keeps an installer package's signature.
    ReleaseOnExit<IStream> stream;
    return SUCCEEDED(storage.pointer->OpenStream(L"\x0005" L"DigitalSignature", nullptr,
                                                STGM_READ | STGM_SHARE_EXCLUSIVE, 0, &stream.pointer));
}

std::wstring unsignedPackageWarning(const std::wstring& path) {
    return L"package '" + path + L"' is not signed: the Windows Installer will show an unknown publisher";
}
