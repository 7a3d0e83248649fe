#pragma once
// Texts the progress window shows; kept apart from the window so they can be
// checked without one.
#include <cstdint>
#include <string>

// "%.2f%s" of the byte count in units of 1000: 999 -> "999.00B", 1500 -> "1.50kB".
std::wstring sizeText(uint32_t bytes);

// Name of a TaskKind value; empty outside 0 to 8.
std::wstring windowTaskName(long taskKind);

// The box after an installation that found no component of loaderComponentCodes.
extern const wchar_t loaderNotFoundText[];

// The box after an installation that asked for a restart of Windows.
extern const wchar_t restartRequiredText[];

// What the box for WM_PIPELINE_FAILED says; text may be null (no copy was made).
std::wstring pipelineFailureText(const wchar_t* text, long taskKind);
