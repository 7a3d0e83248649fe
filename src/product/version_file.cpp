#include "product/version_file.h"

#include <windows.h>

#include "base/file_io.h"
#include "product/names.h"
#include "xml/utf8.h"

bool loadVersionFile(const std::wstring& path, XmlDocument& document, std::wstring& errorText) {
    std::wstring text;
    {
        std::string bytes;
        if (!ReadWholeFile(path, bytes)) {
            errorText = textWithCode(L"Failed to read 'version_info.xml' file (" + path + L")", ::GetLastError());
            return false;
        }
        // Another encoding would reach the reader as U+FFFD in names and values.
        if (!xml::decodeUtf8(bytes, text)) {
            errorText = textWithCode(L"Failed to read 'version_info.xml' file (" + path + L")",
                                     ERROR_NO_UNICODE_TRANSLATION);
            return false;
        }
    }  // the bytes go before the document takes its own copy
    if (!document.parseText(std::move(text))) {
        errorText = L"Failed to load 'version_info.xml' file (" + path + L").";
        return false;
    }
    return true;
}

std::wstring versionFileTooLargeText() { return L"The file 'version_info.xml' is larger than 16 MB."; }
