#pragma once
// Every value publish settings writes, so that a stamped program inherits
// nothing from the built one (whose values are the sample product's).
#include <string>
#include <utility>
#include <vector>

struct StampSettingInputs {
    std::wstring company;       // version_info.xml's application name
    std::wstring manufacturer;  // the package's Manufacturer
    std::wstring productName;   // the package's ProductName
    std::wstring productCode;
    std::wstring language;
    std::wstring version;  // the release's version text on the site
    std::wstring installationUrl;
    std::wstring releasePin;
    std::wstring hostApplication;
    std::wstring copyright;
    std::vector<std::wstring> loaderComponentCodes;
    bool perUser = false;
};

using SettingLine = std::pair<std::wstring, std::wstring>;  // key, value

// One line per setting, in the program's order.
std::vector<SettingLine> stampSettingLines(const StampSettingInputs& inputs);

// The progress window's class (also what the single-instance test looks for):
// the company's letters and digits, upper case, and a hash of the company's and
// the product's whole names, so that two products never share one, whatever
// their names have in common.
std::wstring windowClassNameFor(const std::wstring& company, const std::wstring& productName);
