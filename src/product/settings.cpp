#include "product/settings.h"

#include "product/settings_ids.h"

namespace {

// ASCII-only case folding, as every comparison of names and values does.
bool equalsIgnoringCase(const std::wstring& text, const wchar_t* expected) {
    size_t i = 0;
    for (; i < text.size() && expected[i] != L'\0'; ++i) {
        wchar_t a = text[i], b = expected[i];
        if (a >= L'A' && a <= L'Z') a = static_cast<wchar_t>(a - L'A' + L'a');
        if (b >= L'A' && b <= L'Z') b = static_cast<wchar_t>(b - L'A' + L'a');
        if (a != b) return false;
    }
    return i == text.size() && expected[i] == L'\0';
}

}  // namespace

bool AppSettings::perUser() const { return equalsIgnoringCase(privileges, L"user"); }

bool AppSettings::progressWindowVisible() const { return !equalsIgnoringCase(showProgressWindow, L"false"); }

int AppSettings::downloadRetryCount() const {
    // One or two digits, at most 10; anything else is the stamped default of none.
    if (downloadRetries.empty() || downloadRetries.size() > 2) return 0;
    int count = 0;
    for (wchar_t c : downloadRetries) {
        if (c < L'0' || c > L'9') return 0;
        count = count * 10 + (c - L'0');
    }
    return count <= 10 ? count : 0;
}

AppSettings& appSettings() {
    static AppSettings settings;
    return settings;
}

const SettingField settingFields[15] = {
    {L"windowClassName", IDS_WINDOW_CLASS_NAME, &AppSettings::windowClassName},
    {L"loaderComponentCodes", IDS_LOADER_COMPONENT_CODES, &AppSettings::loaderComponentCodes},
    {L"installationUrl", IDS_INSTALLATION_URL, &AppSettings::installationUrl},
    {L"language", IDS_LANGUAGE, &AppSettings::language},
    {L"privileges", IDS_PRIVILEGES, &AppSettings::privileges},
    {L"productName", IDS_PRODUCT_NAME, &AppSettings::productName},
    {L"productCode", IDS_PRODUCT_CODE, &AppSettings::productCode},
    {L"companyName", IDS_COMPANY_NAME, &AppSettings::companyName},
    {L"hostApplication", IDS_HOST_APPLICATION, &AppSettings::hostApplication},
    {L"windowTitle", IDS_WINDOW_TITLE, &AppSettings::windowTitle},
    {L"version", IDS_VERSION, &AppSettings::version},
    {L"showProgressWindow", IDS_SHOW_PROGRESS_WINDOW, &AppSettings::showProgressWindow},
    {L"releaseDigest", IDS_RELEASE_DIGEST, &AppSettings::releaseDigest},
    {L"downloadRetries", IDS_DOWNLOAD_RETRIES, &AppSettings::downloadRetries},
    {L"copyright", IDS_COPYRIGHT, &AppSettings::copyright},
};
