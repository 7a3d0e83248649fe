#pragma once
// The "--name value" options of one command.
#include <map>
#include <string>
#include <vector>

struct OptionRule {
    enum Kind { Single, Repeated, Flag };
    const wchar_t* name;  // with its leading "--"
    Kind kind;
    bool required;
};

class CommandOptions {
public:
    // The option's value, or an empty text when it was not given.
    std::wstring value(const std::wstring& name) const;
    std::vector<std::wstring> values(const std::wstring& name) const;
    bool has(const std::wstring& name) const { return given_.count(name) != 0; }

    // Reads args against rules. False with error naming the first option that is
    // unknown, lacks its value, is given twice (unless Repeated) or is missing.
    bool parse(const std::vector<std::wstring>& args, const std::vector<OptionRule>& rules, std::wstring& error);

private:
    std::map<std::wstring, std::vector<std::wstring>> given_;
};
