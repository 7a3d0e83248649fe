#include "product/loader_manifest.h"

#include <windows.h>
#include <shlwapi.h>

#include <cwchar>
#include <vector>

#include "base/unique_any.h"
#include "diagnostics/diagnostic_log.h"
#include "product/combine.h"
#include "product/uninstall_key.h"
#include "xml/xml_document.h"
#include "xml/xml_escape.h"

const wchar_t loaderManifestName[] = L"kvlloader.dll.manifest";

namespace {

const wchar_t msiSection[] =
    L"<msi>\r\n    <installationUrl/>\r\n    <language/>\r\n    <version/>\r\n    <productCode/>\r\n  </msi>";

struct ManifestField {
    const wchar_t* element;
    const std::wstring LoaderManifestValues::*value;
    const wchar_t* missing;
};

const ManifestField fields[] = {
    {L"installationUrl", &LoaderManifestValues::installationUrl,
     L"Can't find the 'installationUrl' element in the manifest file."},
    {L"language", &LoaderManifestValues::language, L"Can't find the 'language' element in the manifest file."},
    {L"version", &LoaderManifestValues::version, L"Can't find the 'version' element in the manifest file."},
    {L"productCode", &LoaderManifestValues::productCode, L"Can't find the 'productCode' element in the manifest file."},
};

const wchar_t noConfiguration[] = L"Can't find the 'configuration' section in the manifest file.";

// Gives the manifest an msi section with the four elements, adding what is missing.
void completeMsiSection(XmlDocument& document) {
    if (document.findElement(L"msi")) {
        document.enterElement();
        // Each search goes on after the element found or added for the previous name.
        for (const ManifestField& field : fields) {
            if (!document.findElement(field.element)) document.addElement(field.element);
        }
        document.leaveElement();
        return;
    }
    document.resetPosition();
    if (!document.insertSubDocument(msiSection)) return;
    std::wstring text = document.documentText();
    const size_t at = text.find(L"<msi>");
    if (at != std::wstring::npos && at > 0) {
        text.insert(at, L"  ");
        document.parseText(std::move(text));
    }
}

// Saves the text beside the manifest first and then puts it in the manifest's
// place, so a failed write never leaves a half-written manifest.
bool saveManifest(const std::wstring& path, const std::wstring& text) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) return false;
    const std::wstring temporary = path + L".new";
    std::wstring result;
    if (!XmlDocument::writeTextFile(temporary, text, result)) {
        ::DeleteFileW(temporary.c_str());  // best effort: a partial copy is never read
        return false;
    }
    if (!::MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ::DeleteFileW(temporary.c_str());
        return false;
    }
    return true;
}

// "InstallLocation" of an open key when it is a string; false otherwise.
bool readLocation(HKEY key, std::wstring& location) {
    DWORD type = 0;
    DWORD size = 0;
    if (::RegQueryValueExW(key, L"InstallLocation", nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return false;
    std::vector<wchar_t> data(size / sizeof(wchar_t) + 2, L'\0');
    size = static_cast<DWORD>((data.size() - 1) * sizeof(wchar_t));
    if (::RegQueryValueExW(key, L"InstallLocation", nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ)
        return false;
    location.assign(data.data(), wcsnlen(data.data(), data.size()));
    return true;
}

}  // namespace

std::wstring escapeElementText(const std::wstring& text) { return xml::escapedText(text, false); }

bool updateLoaderManifest(const LoaderManifestValues& values, const std::wstring& folder, std::wstring& errorText) {
    const std::wstring path = combinePath(folder, loaderManifestName);
    if (path.empty() || !::PathFileExistsW(path.c_str())) {
        errorText = L"Can't find the manifest file.";
        return false;
    }

    XmlDocument document;
    if (!document.loadFile(path)) {
        errorText = L"Failed to read the manifest file.";
        return false;
    }
    if (!document.findElement(L"configuration")) {
        errorText = noConfiguration;
        return false;
    }
    document.enterElement();
    completeMsiSection(document);

    // Start over from the top: the insertion may have parsed the text anew.
    while (document.leaveElement()) {
    }
    document.resetPosition();
    if (!document.findElement(L"configuration")) {
        errorText = noConfiguration;
        return false;
    }
    document.enterElement();
    if (!document.findElement(L"msi")) {
        errorText = L"Can't find the 'msi' section in the manifest file.";
        return false;
    }
    document.enterElement();
    for (const ManifestField& field : fields) {
        if (!document.findElement(field.element)) {
            errorText = field.missing;
            return false;
        }
        document.setElementContent(escapeElementText(values.*field.value));  // result not needed: the text is plain
    }

    if (!saveManifest(path, document.documentText())) {
        errorText = L"Can't save the manifest file.";
        return false;
    }
    // best effort: the manifest is what counts
    const bool recorded = recordInstallLocation(values.productCode, values.perUser, folder);
    diagnostics::log(L"InstallLocation of " + values.productCode + (values.perUser ? L" (per user)" : L"") +
                     (recorded ? L": " + folder + L" (or the location it named already)"
                               : std::wstring(L": not recorded (no uninstall key, or it cannot be written)")));
    return true;
}

bool recordInstallLocation(const std::wstring& productCode, bool perUser, const std::wstring& folder) {
    HKEY root = perUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
    const std::wstring keyName = uninstallKeyName(productCode);
    // Found once; the writes and the check below stay in the view that holds it.
    REGSAM view = 0;
    {
        base::unique_hkey key;
        if (!openUninstallKey(root, productCode, KEY_READ, key, view)) return false;
        std::wstring existing;
        if (readLocation(key.get(), existing) && !existing.empty()) return true;  // never replaced
    }
    {
        base::unique_hkey key;
        if (::RegOpenKeyExW(root, keyName.c_str(), 0, KEY_SET_VALUE | view, key.put()) == ERROR_SUCCESS) {
            ::RegSetValueExW(key.get(), L"InstallLocation", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                             static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t)));
        }
    }
    base::unique_hkey key;
    std::wstring location;
    return ::RegOpenKeyExW(root, keyName.c_str(), 0, KEY_READ | view, key.put()) == ERROR_SUCCESS &&
           readLocation(key.get(), location) && location == folder;
}
