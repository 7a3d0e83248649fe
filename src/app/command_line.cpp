#include "app/command_line.h"

#include "product/split_list.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cwctype>
#endif

namespace {

bool isBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\v' || c == L'\f'; }

std::wstring trimmed(const std::wstring& text) {
    size_t begin = 0, end = text.size();
    while (begin < end && isBlank(text[begin])) ++begin;
    while (end > begin && isBlank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

std::wstring withoutQuotes(const std::wstring& text) {
    std::wstring result;
    result.reserve(text.size());
    for (wchar_t c : text)
        if (c != L'"') result.push_back(c);
    return result;
}

void toLower(std::wstring& text) {
    if (text.empty()) return;
#ifdef _WIN32
    ::CharLowerBuffW(&text[0], static_cast<DWORD>(text.size()));
#else
    for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
#endif
}

}  // namespace

std::vector<std::wstring> splitCommandLine(const std::wstring& commandLine) {
    std::vector<std::wstring> pieces;
    for (const std::wstring& token : splitList(commandLine, L'/')) {
        const std::wstring option = L"/" + trimmed(token);
        bool first = true;
        for (const std::wstring& part : splitList(option, L'=')) {
            if (pieces.size() == maxArgumentPieces) return pieces;
            std::wstring piece = withoutQuotes(part);
            if (first) toLower(piece);
            first = false;
            pieces.push_back(std::move(piece));
        }
    }
    return pieces;
}

std::wstring optionArgument(const std::wstring& name, const std::wstring& value) {
    bool blank = false;
    for (wchar_t c : value) blank = blank || isBlank(c);
    return name + L"=" + (blank ? L"\"" + value + L"\"" : value);
}

bool OptionTable::isOption(const std::wstring& piece) {
    return piece.size() > 1 && piece[0] == L'/' && !(piece[1] >= L'0' && piece[1] <= L'9');
}

int OptionTable::parse(const std::vector<std::wstring>& pieces) {
    options_.clear();
    std::wstring lastOption;
    for (size_t i = 0; i < pieces.size(); ++i) {
        const std::wstring& piece = pieces[i];
        if (isOption(piece)) {
            lastOption = piece;
            std::vector<std::wstring> values;
            if (i + 1 < pieces.size() && !isOption(pieces[i + 1])) {
                ++i;
                if (!pieces[i].empty()) values.push_back(pieces[i]);
            }
            options_.emplace(piece, std::move(values));  // keeps an existing entry
        } else {
            auto found = options_.find(lastOption);
            if (found != options_.end()) found->second.push_back(piece);
        }
    }
    return static_cast<int>(options_.size());
}

bool OptionTable::has(const std::wstring& name) const { return options_.count(name) != 0; }

int OptionTable::valueCount(const std::wstring& name) const {
    auto found = options_.find(name);
    return found == options_.end() ? -1 : static_cast<int>(found->second.size());
}

const std::wstring& OptionTable::firstValue(const std::wstring& name) const {
    auto found = options_.find(name);
    if (found == options_.end() || found->second.empty()) throw 0;
    return found->second.front();
}
