#include "host_check.h"

#include "product/host_table.h"
#include "product/split_list.h"

namespace {

// "powerpoint" -> "PowerPoint": the table's keys are lower case; the docs and
// the shipped table write them capitalised.
std::wstring displayed(const wchar_t* key) {
    static const wchar_t* const spelled[] = {L"Excel",     L"Word",     L"InfoPath", L"Access",   L"Outlook",
                                             L"PowerPoint", L"Publisher", L"Project", L"MapPoint", L"Visio",
                                             L"FrontPage", L"OneNote",  L"InternetExplorer"};
    for (int i = 0; i < hostApplicationCount; ++i)
        if (hostApplications[i].keys[0] == key) return spelled[i];
    return key;
}

}  // namespace

std::wstring knownHostNames() {
    std::wstring names;
    for (const HostApplication& host : hostApplications) names += (names.empty() ? L"" : L", ") + displayed(host.keys[0]);
    return names;
}

std::wstring hostApplicationProblem(const std::wstring& value) {
    for (const std::wstring& name : splitList(value, L';')) {
        if (findHostApplication(name) == nullptr)
            return L"hostApplication: '" + name + L"' is not a host the program knows (" + knownHostNames() + L")";
    }
    return std::wstring();
}
