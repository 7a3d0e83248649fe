#pragma once
// What the tests of the version_info.xml reader share: this program's settings
// for a folder source, and reading a text (or one release's files) with them.
#include <string>

#include "product/product_description.h"
#include "xml/xml_document.h"

namespace descriptiontest {

inline DescriptionInputs folderInputs() {
    DescriptionInputs inputs;
    inputs.companyName = L"Talvoro";
    inputs.language = L"1033";
    inputs.version = L"2.2.015";
    inputs.productCode = L"{THIS-CODE}";
    inputs.installationUrl = L"\\\\server\\share\\rel";
    inputs.downloadFolder = L"C:\\dl\\Talvoro_1";
    inputs.webSource = false;
    return inputs;
}

struct Read {
    bool ok = false;
    ProductDescription description;
    std::wstring error;
};

inline Read read(const std::wstring& text, const DescriptionInputs& inputs = folderInputs()) {
    XmlDocument document;
    document.parseText(text);
    Read result;
    result.ok = readProductDescription(document, inputs, result.description, result.error);
    return result;
}

// The current release with these file elements inside a files element with these attributes.
inline Read readFiles(const std::wstring& files, const std::wstring& filesAttributes = L"msi='a'") {
    return read(L"<application name='Talvoro'><product language='1033'><version name='2.2.015'><files " +
                filesAttributes + L">" + files + L"</files></version></product></application>");
}

}  // namespace descriptiontest
