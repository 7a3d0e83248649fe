#include "version_resource.h"

namespace {

class BlockWriter {
public:
    std::vector<BYTE> bytes;
    bool tooLong = false;  // a block's length is one 16-bit word

    void word(WORD value) {
        bytes.push_back(static_cast<BYTE>(value & 0xFF));
        bytes.push_back(static_cast<BYTE>(value >> 8));
    }
    void dword(DWORD value) {
        word(static_cast<WORD>(value & 0xFFFF));
        word(static_cast<WORD>(value >> 16));
    }
    void text(const std::wstring& value) {
        for (wchar_t c : value) word(static_cast<WORD>(c));
        word(0);
    }
    void align() {
        while (bytes.size() % 4 != 0) bytes.push_back(0);
    }
    // Opens a block: wLength (patched by close), wValueLength, wType, szKey, padding.
    size_t open(const std::wstring& key, WORD valueLength, WORD type) {
        align();
        const size_t start = bytes.size();
        word(0);
        word(valueLength);
        word(type);
        text(key);
        align();
        return start;
    }
    void close(size_t start) {
        const size_t length = bytes.size() - start;
        if (length > 0xFFFF) tooLong = true;
        bytes[start] = static_cast<BYTE>(length & 0xFF);
        bytes[start + 1] = static_cast<BYTE>(length >> 8);
    }
    // A String entry; its value length counts characters with the terminator.
    void string(const std::wstring& key, const std::wstring& value) {
        const size_t start = open(key, static_cast<WORD>(value.size() + 1), 1);
        text(value);
        close(start);
    }
};

bool parsePart(const std::wstring& text, size_t begin, size_t end, WORD& part) {
    if (begin == end || end - begin > 5) return false;
    unsigned long value = 0;
    for (size_t i = begin; i < end; ++i) {
        if (text[i] < L'0' || text[i] > L'9') return false;
        value = value * 10 + static_cast<unsigned long>(text[i] - L'0');
    }
    if (value > 0xFFFF) return false;
    part = static_cast<WORD>(value);
    return true;
}

std::wstring dotted(const WORD parts[4]) {
    return std::to_wstring(parts[0]) + L"." + std::to_wstring(parts[1]) + L"." + std::to_wstring(parts[2]) + L"." +
           std::to_wstring(parts[3]);
}

}  // namespace

bool numericVersion(const std::wstring& text, WORD parts[4]) {
    WORD found[4] = {0, 0, 0, 0};
    size_t begin = 0;
    for (int index = 0;; ++index) {
        const size_t dot = text.find(L'.', begin);
        const size_t end = dot == std::wstring::npos ? text.size() : dot;
        if (index == 4 || !parsePart(text, begin, end, found[index])) {
            for (int i = 0; i < 4; ++i) parts[i] = 0;
            return false;
        }
        if (dot == std::wstring::npos) break;
        begin = dot + 1;
    }
    for (int i = 0; i < 4; ++i) parts[i] = found[i];
    return true;
}

std::vector<BYTE> encodeVersionResource(const VersionStrings& strings) {
    WORD version[4];
    numericVersion(strings.productVersion, version);  // all zeros when the text has no numeric form
    const DWORD high = (static_cast<DWORD>(version[0]) << 16) | version[1];
    const DWORD low = (static_cast<DWORD>(version[2]) << 16) | version[3];

    BlockWriter w;
    const size_t root = w.open(L"VS_VERSION_INFO", sizeof(VS_FIXEDFILEINFO), 0);
    w.dword(0xFEEF04BD);  // signature
    w.dword(0x00010000);  // structure version
    w.dword(high);        // file version
    w.dword(low);
    w.dword(high);  // product version
    w.dword(low);
    w.dword(0x3F);          // flags mask
    w.dword(0);             // flags
    w.dword(VOS_NT_WINDOWS32);
    w.dword(VFT_APP);
    w.dword(0);  // subtype
    w.dword(0);  // date
    w.dword(0);

    const size_t fileInfo = w.open(L"StringFileInfo", 0, 1);
    const size_t table = w.open(L"040904b0", 0, 1);
    w.string(L"CompanyName", strings.companyName);
    w.string(L"FileDescription", strings.productName + L" Setup");
    w.string(L"FileVersion", dotted(version));
    w.string(L"LegalCopyright", strings.copyright);
    w.string(L"OriginalFilename", strings.originalFilename);
    w.string(L"ProductName", strings.productName);
    w.string(L"ProductVersion", strings.productVersion);
    w.close(table);
    w.close(fileInfo);

    const size_t varInfo = w.open(L"VarFileInfo", 0, 1);
    const size_t translation = w.open(L"Translation", 4, 0);
    w.word(0x0409);
    w.word(1200);
    w.close(translation);
    w.close(varInfo);
    w.close(root);
    return w.tooLong ? std::vector<BYTE>() : w.bytes;
}
