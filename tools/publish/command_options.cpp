#include "command_options.h"

std::wstring CommandOptions::value(const std::wstring& name) const {
    const auto found = given_.find(name);
    return found == given_.end() || found->second.empty() ? std::wstring() : found->second.front();
}

std::vector<std::wstring> CommandOptions::values(const std::wstring& name) const {
    const auto found = given_.find(name);
    return found == given_.end() ? std::vector<std::wstring>() : found->second;
}

bool CommandOptions::parse(const std::vector<std::wstring>& args, const std::vector<OptionSpec>& specs,
                           std::wstring& error) {
    std::map<std::wstring, std::vector<std::wstring>> given;
    for (size_t i = 0; i < args.size(); ++i) {
        const OptionSpec* spec = nullptr;
        for (const OptionSpec& candidate : specs)
            if (args[i] == candidate.name) spec = &candidate;
        if (spec == nullptr) {
            error = L"unknown option '" + args[i] + L"'";
            return false;
        }
        if (given.count(spec->name) != 0 && spec->kind != OptionSpec::Repeated) {
            error = std::wstring(spec->name) + L" is given twice";
            return false;
        }
        std::vector<std::wstring>& values = given[spec->name];
        if (spec->kind == OptionSpec::Flag) continue;
        if (i + 1 >= args.size()) {
            error = std::wstring(spec->name) + L" needs a value";
            return false;
        }
        values.push_back(args[++i]);
    }
    for (const OptionSpec& spec : specs) {
        if (spec.required && given.count(spec.name) == 0) {
            error = std::wstring(spec.name) + L" is required";
            return false;
        }
    }
    given_.swap(given);
    return true;
}
