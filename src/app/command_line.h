#pragma once
// Splitting the command line into argument pieces and the option table built
// from them. Only the entry uses these; they need no window.
#include <map>
#include <string>
#include <vector>

// At most this many pieces are kept; the rest of a longer command line is ignored.
constexpr size_t maxArgumentPieces = 256;

// Tokens at "/" (empty ones skipped), each trimmed and given its "/" back, then
// cut at "=" (empty parts skipped); quotes removed; option names lower-cased.
std::vector<std::wstring> splitCommandLine(const std::wstring& commandLine);

// "/name=value" as a command line for another copy of this program: the value
// in quotes when it has blanks. The value must not hold "/", "=" or quotes,
// which the splitting above would cut or drop.
std::wstring optionArgument(const std::wstring& name, const std::wstring& value);

class OptionTable {
public:
    // Clears the table and fills it from the pieces; returns the number of
    // distinct options. The first occurrence of a repeated option wins.
    int parse(const std::vector<std::wstring>& pieces);

    bool has(const std::wstring& name) const;
    // -1 when absent, otherwise the number of values.
    int valueCount(const std::wstring& name) const;
    // Throws the integer 0 when the option is absent or has no value.
    const std::wstring& firstValue(const std::wstring& name) const;

    // "/x" with x not a decimal digit.
    static bool isOption(const std::wstring& piece);

private:
    std::map<std::wstring, std::vector<std::wstring>> options_;
};
