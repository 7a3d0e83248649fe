#include "command_options.h"

std::wstring CommandOptions::value(const std::wstring& name) const {
    const auto found = given_.find(name);
    return found == given_.end() || found->second.empty() ? std::wstring() : found->second.front();
}

std::vector<std::wstring> CommandOptions::values(const std::wstring& name) const {
    const auto found = given_.find(name);
    return found == given_.end() ? std::vector<std::wstring>() : found->second;
}

bool CommandOptions::parse(const std::vector<std::wstring>& args, const std::vector<OptionRule>& rules,
                           std::wstring& error) {
    std::map<std::wstring, std::vector<std::wstring>> given;
    for (size_t i = 0; i < args.size(); ++i) {
        const OptionRule* rule = nullptr;
        for (const OptionRule& candidate : rules)
            if (args[i] == candidate.name) rule = &candidate;
        if (rule == nullptr) {
            error = L"unknown option '" + args[i] + L"'";
            return false;
        }
        if (given.count(rule->name) != 0 && rule->kind != OptionRule::Repeated) {
            error = std::wstring(rule->name) + L" is given twice";
            return false;
        }
        std::vector<std::wstring>& values = given[rule->name];
        if (rule->kind == OptionRule::Flag) continue;
        if (i + 1 >= args.size()) {
            error = std::wstring(rule->name) + L" needs a value";
            return false;
        }
        values.push_back(args[++i]);
    }
    for (const OptionRule& rule : rules) {
        if (rule.required && given.count(rule.name) == 0) {
            error = std::wstring(rule.name) + L" is required";
            return false;
        }
    }
    given_.swap(given);
    return true;
}
