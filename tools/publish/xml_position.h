#pragma once
// Where in a text the XML engine's parse failed, in the terms of an editor.
#include <string>

class XmlDocument;

// "line L, column C: <reason>" for a document whose parse failed. The engine's
// result text names a character offset ("... at offset N ..."); a second root
// element is placed at its start, and a result without a place (an empty
// document, no root element) at the end of the text.
std::wstring parseErrorPlace(const XmlDocument& document);
