#pragma once
// Lines for the publisher: UTF-8 on the console streams, flushed at once so
// that output interleaves as it happens when stdout and stderr share a pipe.
#include <cstdio>
#include <string>

void printLine(FILE* stream, const std::wstring& text);
