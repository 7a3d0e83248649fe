#pragma once
// The progress window's dialog template names its window class. The class is a
// setting (string 109), so the template is rewritten in memory with the class
// the program registered before the window is created from it.
#include <windows.h>

#include <string>
#include <vector>

// A copy of an extended dialog template (DIALOGEX) whose window class is
// className; empty when the data is not a well-formed extended template.
std::vector<BYTE> dialogTemplateWithClass(const BYTE* data, size_t size, const std::wstring& className);

// The dialog template resource's bytes; false when the module has none.
bool findDialogTemplate(HINSTANCE module, int id, const BYTE*& data, size_t& size);
