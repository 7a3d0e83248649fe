#include "xml_position.h"

#include "xml/xml_document.h"

namespace {

size_t failureOffset(const XmlDocument& document) {
    const std::wstring& text = document.documentText();
    const std::wstring& result = document.resultText();
    const std::wstring marker = L"at offset ";
    const size_t found = result.find(marker);
    if (found != std::wstring::npos) {
        size_t offset = 0;
        for (size_t i = found + marker.size(); i < result.size() && result[i] >= L'0' && result[i] <= L'9'; ++i)
            offset = offset * 10 + static_cast<size_t>(result[i] - L'0');
        return offset < text.size() ? offset : text.size();
    }
    if (!text.empty() && document.elementRecord(0).firstChild != 0) {
        const xml::ElementRecord& root = document.elementRecord(document.elementRecord(0).firstChild);
        if (root.nextSibling != 0) return static_cast<size_t>(document.elementRecord(root.nextSibling).start);
    }
    return text.size();
}

}  // namespace

std::wstring parseErrorPlace(const XmlDocument& document) {
    const std::wstring& text = document.documentText();
    const size_t offset = failureOffset(document);
    size_t line = 1, column = 1;
    for (size_t i = 0; i < offset; ++i) {
        if (text[i] == L'\n') {
            ++line;
            column = 1;
        } else if (text[i] != L'\r' && !(i == 0 && text[i] == 0xFEFF)) {
            ++column;
        }
    }
    return L"line " + std::to_wstring(line) + L", column " + std::to_wstring(column) + L": " + document.resultText();
}
