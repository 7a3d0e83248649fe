#pragma once
// Lines for the publisher: UTF-8 on the console streams, flushed at once so
// that output interleaves as it happens when stdout and stderr share a pipe.
#include <cstdio>
#include <string>

void printLine(FILE* stream, const std::wstring& text);

// "1 file", "2 files": a count with its noun, in the singular for one.
std::wstring counted(unsigned long long count, const wchar_t* singular, const wchar_t* plural);
