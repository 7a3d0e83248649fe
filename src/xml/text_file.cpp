// The file boundary: whole files in byte mode, converted from and to UTF-8;
// a file that is not UTF-8 is refused, never read with replacement characters.
// The C runtime's file functions keep this portable; only the wide-path open
// differs between Windows and the native build.
#include "xml/xml_document.h"

#include "xml/utf8.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using unique_stdio_file = std::unique_ptr<std::FILE, FileCloser>;

std::FILE* openFile(const std::wstring& path, bool write) {
#ifdef _WIN32
    return _wfopen(path.c_str(), write ? L"wb" : L"rb");
#else
    return std::fopen(xml::wideToUtf8(path).c_str(), write ? "wb" : "rb");
#endif
}

// The C runtime's standard text for an error number, such as "No such file or directory".
std::wstring errorText(int error) {
    const char* text = std::strerror(error);
    return xml::utf8ToWide(text ? text : "Unknown error");
}

}  // namespace

bool XmlDocument::readTextFile(const std::wstring& path, std::wstring& text, std::wstring& result) {
    if (path.find(L'\0') != std::wstring::npos) {  // would name another file
        result = errorText(EINVAL);
        return false;
    }
    errno = 0;
    unique_stdio_file file(openFile(path, false));
    if (!file) {
        result = errorText(errno ? errno : ENOENT);
        return false;
    }
    std::string bytes;
    char buffer[65536];
    for (;;) {
        const size_t got = std::fread(buffer, 1, sizeof buffer, file.get());
        bytes.append(buffer, got);
        if (got < sizeof buffer) break;
    }
    if (std::ferror(file.get())) {
        result = errorText(errno ? errno : EIO);
        return false;
    }
    // Bytes in another encoding would come back as U+FFFD and be written over on
    // save: refuse them as a failed read.
    std::wstring converted;
    if (!xml::decodeUtf8(bytes, converted)) {
        result = errorText(EILSEQ);
        return false;
    }
    result = std::to_wstring(bytes.size()) + L" bytes to " + std::to_wstring(converted.size()) +
             L" wide chars";
    text = std::move(converted);
    return true;
}

bool XmlDocument::writeTextFile(const std::wstring& path, const std::wstring& text,
                                std::wstring& result) {
    if (path.find(L'\0') != std::wstring::npos) {
        result = errorText(EINVAL);
        return false;
    }
    const std::string bytes = xml::wideToUtf8(text);
    errno = 0;
    unique_stdio_file file(openFile(path, true));
    if (!file) {
        result = errorText(errno ? errno : EACCES);
        return false;
    }
    errno = 0;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
    const bool closed = std::fclose(file.release()) == 0;
    if (!written || !closed) {
        result = errorText(errno ? errno : EIO);
        return false;
    }
    result = std::to_wstring(text.size()) + L" wide chars to " + std::to_wstring(bytes.size()) +
             L" bytes";
    return true;
}

bool XmlDocument::loadFile(const std::wstring& path) {
    std::wstring text;
    std::wstring result;
    if (!readTextFile(path, text, result)) {
        resultText_ = std::move(result);
        return false;
    }
    text_ = std::move(text);
    resultText_ = std::move(result);
    return parseDocument();
}

bool XmlDocument::saveFile(const std::wstring& path) {
    return writeTextFile(path, text_, resultText_);
}
