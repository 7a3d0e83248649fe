#pragma once
// Reading a stored version_info.xml, as the bootstrapper's ReadXML step does.
#include <string>

#include "xml/xml_document.h"

// Reads the file at path as UTF-8 and parses it into document. False with the
// failure's text (the run's own wording, the system's reason included) in
// errorText.
bool loadVersionFile(const std::wstring& path, XmlDocument& document, std::wstring& errorText);

// version_info.xml is a few kilobytes; a body past this comes from a hostile or
// broken server and is not worth the memory.
constexpr long long maxVersionFileBytes = 16LL << 20;
std::wstring versionFileTooLargeText();
