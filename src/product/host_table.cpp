#include "product/host_table.h"

#include "product/ascii_compare.h"

const HostApplication hostApplications[hostApplicationCount] = {
    {{L"excel", nullptr}, L"excel.exe", L"Microsoft Excel", {L"{00020813-0000-0000-C000-000000000046}", nullptr}},
    {{L"word", nullptr}, L"winword.exe", L"Microsoft Word", {L"{00020905-0000-0000-C000-000000000046}", nullptr}},
    {{L"infopath", nullptr},
     L"infopath.exe",
     L"Microsoft Office InfoPath",
     {L"{FD34A360-115F-43CA-8D6F-BBD45FD6F828}", L"{FD34A370-115F-43CA-8D6F-BBD45FD6F828}"}},
    {{L"access", nullptr}, L"msaccess.exe", L"Microsoft Access", {L"{4AFFC9A0-5F99-101B-AF4E-00AA003F0F07}", nullptr}},
    {{L"outlook", nullptr}, L"outlook.exe", L"Microsoft Outlook", {L"{00062FFF-0000-0000-C000-000000000046}", nullptr}},
    {{L"powerpoint", nullptr},
     L"powerpnt.exe",
     L"Microsoft PowerPoint",
     {L"{91493440-5A91-11CF-8700-00AA0060263B}", nullptr}},
    {{L"publisher", nullptr}, L"mspub.exe", L"Microsoft Publisher", {L"{0002123C-0000-0000-C000-000000000046}", nullptr}},
    {{L"project", nullptr}, L"msproject.exe", L"Microsoft Project", {L"{A7107640-94DF-1068-855E-00DD01075445}", nullptr}},
    {{L"mappoint", nullptr}, L"mappoint.exe", L"Microsoft MapPoint", {L"{15A40120-24D2-4FDB-8155-5F65FCE7017F}", nullptr}},
    {{L"visio", nullptr}, L"visio.exe", L"Microsoft Visio", {L"{00021A98-0000-0000-C000-000000000046}", nullptr}},
    {{L"frontpage", nullptr},
     L"frontpage.exe",
     L"Microsoft FrontPage",
     {L"{3824BCD5-7042-11CE-8E17-0020AF9F9648}", nullptr}},
    {{L"onenote", nullptr}, L"onenote.exe", L"Microsoft OneNote", {nullptr, nullptr}},
    {{L"internet explorer", L"internetexplorer"},
     L"iexplore.exe",
     L"Internet Explorer",
     {L"{EAB22AC0-30C1-11CF-A7EB-0000C05BAE0B}", nullptr}},
};

const HostApplication* findHostApplication(const std::wstring& configuredName) {
    for (const HostApplication& host : hostApplications) {
        for (const wchar_t* key : host.keys) {
            if (key && equalsAsciiNoCase(configuredName, key)) return &host;
        }
    }
    return nullptr;
}
