#include "product/release_pin.h"

#include "base/sha256_hash.h"
#include "product/ascii_compare.h"
#include "xml/utf8.h"

namespace {

bool releaseListing(const ProductDescription& release, std::wstring& listing) {
    const size_t count = release.fileNames.size();
    if (release.fileSizes.size() != count || release.fileDigests.size() != count) return false;
    std::wstring text = L"msi=" + release.msiFileName + L"\n";
    text += L"customActionAssembly=" + release.customActionAssembly + L"\n";
    text += L"customActionClass=" + release.customActionClass + L"\n";
    for (size_t i = 0; i < count; ++i) {
        if (release.fileSizes[i] < 0 || !release.fileDigests[i].present) return false;
        text += L"file=" + release.fileNames[i] + L"|" + std::to_wstring(release.fileSizes[i]) + L"|" +
                sha256Text(release.fileDigests[i].bytes) + L"\n";
    }
    listing.swap(text);
    return true;
}

}  // namespace

bool releasePinText(const ProductDescription& release, std::wstring& pin) {
    std::wstring listing;
    if (!releaseListing(release, listing)) return false;
    const std::string bytes = xml::wideToUtf8(listing);
    Sha256Hash hash;
    unsigned char digest[Sha256Digest::size];
    if (!hash.begin() || !hash.add(bytes.data(), static_cast<DWORD>(bytes.size())) || !hash.finish(digest))
        return false;
    pin = sha256Text(digest);
    return true;
}

bool releaseMatchesPin(const ProductDescription& release, const std::wstring& pin) {
    std::wstring actual;
    return releasePinText(release, actual) && equalsAsciiNoCase(actual, pin);
}

std::wstring pinnedListingMismatchText() {
    return L"The files listed in 'version_info.xml' are not the release this program was made for.";
}

std::wstring pinnedFileTooLargeText(const std::wstring& name) {
    return L"The file '" + name + L"' is larger than the release this program was made for.";
}

std::wstring pinnedFileMismatchText(const std::wstring& name) {
    return L"The file '" + name + L"' does not match the release this program was made for.";
}
