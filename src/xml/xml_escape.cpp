#include "xml/xml_escape.h"

namespace xml {

std::wstring escapedText(const std::wstring& text, bool inAttribute) {
    std::wstring escaped;
    escaped.reserve(text.size());
    for (wchar_t c : text) {
        switch (c) {
            case L'&': escaped += L"&amp;"; break;
            case L'<': escaped += L"&lt;"; break;
            case L'>': escaped += L"&gt;"; break;
            case L'"': escaped += inAttribute ? L"&quot;" : L"\""; break;
            default: escaped += c;
        }
    }
    return escaped;
}

}  // namespace xml
