#include "site_description.h"

#include "product/ascii_compare.h"
#include "xml/xml_document.h"
#include "xml/xml_escape.h"

namespace {

std::wstring attribute(const wchar_t* name, const std::wstring& value) {
    return std::wstring(L" ") + name + L"=\"" + xml::escapedText(value, true) + L"\"";
}

bool isBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

// The white space in front of the element on its own line; empty when other
// text stands before it on that line.
std::wstring indentationOf(const std::wstring& text, size_t start) {
    size_t begin = start;
    while (begin > 0 && (text[begin - 1] == L' ' || text[begin - 1] == L'\t')) --begin;
    if (begin > 0 && text[begin - 1] != L'\n') return std::wstring();
    return text.substr(begin, start - begin);
}

struct Layout {
    std::wstring lineEnd;
    std::wstring parentIndent;
    std::wstring childIndent;
    std::wstring step;  // one more level
};

// How the children of the current element are laid out, so a new one matches.
Layout layoutOfCurrent(const XmlDocument& document) {
    const std::wstring& text = document.documentText();
    const xml::ElementRecord& parent = document.elementRecord(document.currentIndex());
    Layout layout;
    layout.lineEnd = text.find(L"\r\n") != std::wstring::npos || text.find(L'\n') == std::wstring::npos ? L"\r\n" : L"\n";
    layout.parentIndent = indentationOf(text, static_cast<size_t>(parent.start));
    layout.step = layout.parentIndent.find(L'\t') != std::wstring::npos ? L"\t" : L"  ";
    layout.childIndent = layout.parentIndent + layout.step;
    if (parent.firstChild > 0) {
        const xml::ElementRecord& last = document.elementRecord(document.elementRecord(parent.firstChild).previousSibling);
        const std::wstring indent = indentationOf(text, static_cast<size_t>(last.start));
        if (indent.size() > layout.parentIndent.size() && indent.compare(0, layout.parentIndent.size(), layout.parentIndent) == 0) {
            layout.childIndent = indent;
            layout.step = indent.substr(layout.parentIndent.size());
        }
    }
    return layout;
}

// Puts markup (lines without indentation or line ends) after the last content
// of the current element, on lines of its own; what the element held stays as it was.
bool appendChild(XmlDocument& document, const std::vector<std::wstring>& lines, const std::vector<int>& depths) {
    const Layout layout = layoutOfCurrent(document);
    const std::wstring& text = document.documentText();
    const xml::ElementRecord& parent = document.elementRecord(document.currentIndex());
    const int startTag = parent.startTagLength();
    const int endTag = parent.endTagLength();
    std::wstring content;
    if (endTag > 0) content = text.substr(static_cast<size_t>(parent.start + startTag),
                                          static_cast<size_t>(parent.length - startTag - endTag));
    while (!content.empty() && isBlank(content.back())) content.pop_back();
    for (size_t i = 0; i < lines.size(); ++i) {
        content += layout.lineEnd + layout.childIndent;
        for (int d = 0; d < depths[i]; ++d) content += layout.step;
        content += lines[i];
    }
    content += layout.lineEnd + layout.parentIndent;
    return document.setElementContent(content);
}

bool findProduct(XmlDocument& document, const std::wstring& language) {
    document.resetPosition();
    while (document.findElement(L"product")) {
        if (equalsAsciiNoCase(document.getAttribute(L"language"), language)) return true;
    }
    return false;
}

// Back at the top of the document (whatever was read before), on its
// application element; false, with the reason, when there is none.
bool findApplication(XmlDocument& document, std::wstring& error) {
    while (document.leaveElement()) {
    }
    document.resetPosition();
    if (document.findElement(L"application")) return true;
    error = L"there is no 'application' element";
    return false;
}

// As the bootstrapper reads them: only a preferences element after files counts.
void readPreferences(XmlDocument& document, PublishedRelease& release) {
    if (!document.findElement(L"preferences")) return;
    document.enterElement();
    if (document.findElement(L"showInstallUI")) release.showInstallUI = document.getElementText();
    document.leaveElement();
}

}  // namespace

bool readSiteDescription(XmlDocument& document, SiteDescription& site, std::wstring& error) {
    if (!findApplication(document, error)) return false;
    SiteDescription result;
    result.applicationName = document.getAttribute(L"name");
    document.enterElement();
    while (document.findElement(L"product")) {
        const std::wstring language = document.getAttribute(L"language");
        document.enterElement();
        while (document.findElement(L"version")) {
            PublishedRelease release;
            release.language = language;
            release.version = document.getAttribute(L"name");
            release.productCode = document.getAttribute(L"productCode");
            document.enterElement();
            if (document.findElement(L"files")) {
                release.msi = document.getAttribute(L"msi");
                release.customActionAssembly = document.getAttribute(L"customActionAssembly");
                release.customActionClass = document.getAttribute(L"customActionClass");
                document.enterElement();
                while (document.findElement(L"file")) {
                    release.fileDigests.push_back(document.getAttribute(L"sha256"));
                    release.files.push_back(document.getElementText());
                }
                document.leaveElement();
                readPreferences(document, release);
            }
            document.leaveElement();
            result.releases.push_back(std::move(release));
        }
        document.leaveElement();
    }
    document.leaveElement();
    site = std::move(result);
    return true;
}

std::wstring emptySiteText(const std::wstring& applicationName) {
    return L"<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<application" + attribute(L"name", applicationName) +
           L">\r\n</application>\r\n";
}

bool addRelease(XmlDocument& document, const NewRelease& release, std::wstring& error) {
    std::vector<std::wstring> lines;
    std::vector<int> depths;
    auto line = [&](int depth, const std::wstring& text) {
        depths.push_back(depth);
        lines.push_back(text);
    };
    line(0, L"<version" + attribute(L"name", release.version) + attribute(L"productCode", release.productCode) + L">");
    std::wstring files = L"<files" + attribute(L"msi", release.msi);
    if (!release.customActionAssembly.empty())
        files += attribute(L"customActionAssembly", release.customActionAssembly) +
                 attribute(L"customActionClass", release.customActionClass);
    line(1, files + L">");
    // The bootstrapper takes a file element's text as written, so a name goes in unescaped.
    for (const ReleaseFile& file : release.files)
        line(2, L"<file" + attribute(L"sha256", file.sha256) + attribute(L"size", std::to_wstring(file.size)) + L">" +
                    file.name + L"</file>");
    line(1, L"</files>");
    if (!release.showInstallUI.empty())
        line(1, L"<preferences><showInstallUI>" + release.showInstallUI + L"</showInstallUI></preferences>");
    line(0, L"</version>");

    if (!findApplication(document, error)) return false;
    document.enterElement();
    if (!findProduct(document, release.language)) {
        // A new language: a product element of its own at the end of application.
        document.leaveElement();
        for (int& depth : depths) ++depth;
        lines.insert(lines.begin(), L"<product" + attribute(L"language", release.language) + L">");
        depths.insert(depths.begin(), 0);
        lines.push_back(L"</product>");
        depths.push_back(0);
    }
    if (!appendChild(document, lines, depths)) {
        error = L"the new release could not be added to the document";
        return false;
    }
    return true;
}
