#include "product/loader_manifest.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "base/registry_view.h"
#include "base/unique_any.h"
#include "xml/xml_document.h"

namespace {

const wchar_t testProductCode[] = L"{0F1E2D3C-4B5A-4968-8776-A5B4C3D2E1F0}";
const std::wstring uninstallKey =
    std::wstring(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") + testProductCode;

class ManifestFolder {
public:
    ManifestFolder() {
        wchar_t temp[MAX_PATH];
        ::GetTempPathW(MAX_PATH, temp);
        static LONG counter = 0;
        path_ = std::wstring(temp) + L"manifest test " + std::to_wstring(::GetCurrentProcessId()) + L"_" +
                std::to_wstring(::InterlockedIncrement(&counter));
        ::CreateDirectoryW(path_.c_str(), nullptr);
    }
    ~ManifestFolder() {
        for (const wchar_t* name : {loaderManifestName, L"kvlloader.dll.manifest.new"}) {
            const std::wstring file = path_ + L"\\" + name;
            ::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
            ::DeleteFileW(file.c_str());
        }
        ::RemoveDirectoryW(path_.c_str());
    }
    const std::wstring& path() const { return path_; }
    std::wstring manifest() const { return path_ + L"\\" + loaderManifestName; }

    void write(const std::string& bytes) const {
        base::unique_file file(::CreateFileW(manifest().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                             FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD written = 0;
        if (!bytes.empty()) ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    }
    std::string read() const {
        base::unique_file file(
            ::CreateFileW(manifest().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        std::string bytes;
        char buffer[4096];
        DWORD got = 0;
        while (file && ::ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got) bytes.append(buffer, got);
        return bytes;
    }

private:
    std::wstring path_;
};

LoaderManifestValues values(const std::wstring& url = L"http://127.0.0.1/addin/") {
    LoaderManifestValues v;
    v.installationUrl = url;
    v.language = L"1033";
    v.version = L"2.2.015";
    v.productCode = testProductCode;
    v.perUser = true;
    return v;
}

const char filledSection[] =
    "<installationUrl>http://127.0.0.1/addin/</installationUrl>\r\n"
    "    <language>1033</language>\r\n"
    "    <version>2.2.015</version>\r\n"
    "    <productCode>{0F1E2D3C-4B5A-4968-8776-A5B4C3D2E1F0}</productCode>\r\n";

// The uninstall key of the test product (under HKEY_CURRENT_USER unless told
// otherwise, in the registry view given), removed at the end.
class UninstallKey {
public:
    explicit UninstallKey(HKEY root = HKEY_CURRENT_USER, REGSAM view = 0) : root_(root), view_(view) {
        ::RegCreateKeyExW(root, uninstallKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, key_.put(),
                          nullptr);
    }
    ~UninstallKey() {
        key_.reset();
        ::RegDeleteKeyExW(root_, uninstallKey.c_str(), view_, 0);
    }
    void set(const std::wstring& location) {
        ::RegSetValueExW(key_.get(), L"InstallLocation", 0, REG_SZ, reinterpret_cast<const BYTE*>(location.c_str()),
                         static_cast<DWORD>((location.size() + 1) * sizeof(wchar_t)));
    }
    std::wstring location() const {
        wchar_t data[512] = {};
        DWORD size = sizeof data - sizeof(wchar_t);
        DWORD type = 0;
        if (::RegQueryValueExW(key_.get(), L"InstallLocation", nullptr, &type, reinterpret_cast<BYTE*>(data), &size) !=
            ERROR_SUCCESS)
            return L"<none>";
        return data;
    }

private:
    HKEY root_;
    REGSAM view_;
    base::unique_hkey key_;
};

bool uninstallKeyExists(HKEY root = HKEY_CURRENT_USER, REGSAM view = 0) {
    base::unique_hkey key;
    return ::RegOpenKeyExW(root, uninstallKey.c_str(), 0, KEY_READ | view, key.put()) == ERROR_SUCCESS;
}

}  // namespace

TEST(UpdateLoaderManifest, AddsTheMissingMsiSectionInFrontOfTheConfigurationEndTag) {
    ManifestFolder folder;
    folder.write(
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<configuration>\r\n  <loader>\r\n"
        "    <assembly>A.dll</assembly>\r\n  </loader>\r\n</configuration>\r\n");
    std::wstring error;
    ASSERT_TRUE(updateLoaderManifest(values(), folder.path(), error)) << error;
    EXPECT_EQ(folder.read(),
              std::string("<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<configuration>\r\n  <loader>\r\n"
                          "    <assembly>A.dll</assembly>\r\n  </loader>\r\n  <msi>\r\n    ") +
                  filledSection + "  </msi>\r\n</configuration>\r\n");
    EXPECT_TRUE(error.empty());
}

TEST(UpdateLoaderManifest, FillsAnExistingSectionAndAddsAMissingElementBeforeTheNextOne) {
    ManifestFolder folder;
    folder.write(
        "<configuration>\r\n  <msi>\r\n    <installationUrl>old</installationUrl>\r\n    <version>1.0</version>\r\n"
        "    <productCode>{old}</productCode>\r\n  </msi>\r\n</configuration>");
    std::wstring error;
    ASSERT_TRUE(updateLoaderManifest(values(), folder.path(), error)) << error;
    EXPECT_EQ(folder.read(),
              "<configuration>\r\n  <msi>\r\n    <installationUrl>http://127.0.0.1/addin/</installationUrl>\r\n"
              "    <language>1033</language>\r\n<version>2.2.015</version>\r\n"
              "    <productCode>{0F1E2D3C-4B5A-4968-8776-A5B4C3D2E1F0}</productCode>\r\n  </msi>\r\n</configuration>");
}

TEST(UpdateLoaderManifest, ElementsOutOfOrderGetASecondVersionAfterLanguage) {
    ManifestFolder folder;
    folder.write("<configuration><msi><installationUrl/><version>old</version><language/><productCode/></msi>"
                 "</configuration>");
    std::wstring error;
    ASSERT_TRUE(updateLoaderManifest(values(), folder.path(), error)) << error;
    EXPECT_EQ(folder.read(),
              "<configuration><msi><installationUrl>http://127.0.0.1/addin/</installationUrl>"
              "<version>old</version><language>1033</language><version>2.2.015</version>\r\n"
              "<productCode>{0F1E2D3C-4B5A-4968-8776-A5B4C3D2E1F0}</productCode></msi></configuration>");
}

TEST(UpdateLoaderManifest, EscapesMarkupCharactersSoTheLoaderReadsBackTheConfiguredUrl) {
    ManifestFolder folder;
    folder.write("<configuration><msi><installationUrl/><language/><version/><productCode/></msi></configuration>");
    const std::wstring url = L"http://127.0.0.1/addin/?a=1&b=<2>";
    std::wstring error;
    ASSERT_TRUE(updateLoaderManifest(values(url), folder.path(), error)) << error;
    EXPECT_NE(folder.read().find("<installationUrl>http://127.0.0.1/addin/?a=1&amp;b=&lt;2&gt;</installationUrl>"),
              std::string::npos);

    XmlDocument reader;  // what any XML reader makes of it: well formed, and the value decodes back
    ASSERT_TRUE(reader.loadFile(folder.manifest())) << reader.resultText();
    EXPECT_EQ(escapeElementText(url), L"http://127.0.0.1/addin/?a=1&amp;b=&lt;2&gt;");
    EXPECT_EQ(escapeElementText(L"plain 2.2.015"), L"plain 2.2.015");
}

TEST(UpdateLoaderManifest, KeepsAByteOrderMarkWhenThereWasOneAndAddsNone) {
    ManifestFolder with;
    with.write("\xEF\xBB\xBF<configuration/>");
    ManifestFolder without;
    without.write("<configuration/>");
    std::wstring error;
    ASSERT_TRUE(updateLoaderManifest(values(), with.path(), error)) << error;
    ASSERT_TRUE(updateLoaderManifest(values(), without.path(), error)) << error;
    EXPECT_EQ(with.read().substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_EQ(with.read().substr(3), without.read());
    EXPECT_EQ(without.read().substr(0, 15), "<configuration>");
}

TEST(UpdateLoaderManifest, BadManifestsGiveTheirTextAndAreLeftAsTheyWere) {
    using namespace std::string_literals;  // bytes with NULs in them
    struct Case {
        bool file;
        std::string bytes;
        const wchar_t* text;
    } cases[] = {
        {false, "", L"Can't find the manifest file."},
        {true, "", L"Failed to read the manifest file."},
        {true, "<configuration><msi></configuration>", L"Failed to read the manifest file."},
        {true, "<settings><msi/></settings>", L"Can't find the 'configuration' section in the manifest file."},
        // Other encodings: read as UTF-8 they would be saved with U+FFFD in place of their characters.
        {true, "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n<configuration><note>caf\xE9</note></configuration>",
         L"Failed to read the manifest file."},
        {true, "\xFF\xFE<\0c\0o\0n\0f\0i\0g\0u\0r\0a\0t\0i\0o\0n\0/\0>\0"s, L"Failed to read the manifest file."},
    };
    for (const Case& c : cases) {
        ManifestFolder folder;
        if (c.file) folder.write(c.bytes);
        std::wstring error = L"earlier";
        EXPECT_FALSE(updateLoaderManifest(values(), folder.path(), error));
        EXPECT_EQ(error, c.text);
        if (c.file) {
            EXPECT_EQ(folder.read(), c.bytes);
        }
    }
}

TEST(UpdateLoaderManifest, AReadOnlyManifestCannotBeSavedAndStaysWhole) {
    ManifestFolder folder;
    const std::string original = "<configuration>\r\n</configuration>\r\n";
    folder.write(original);
    ::SetFileAttributesW(folder.manifest().c_str(), FILE_ATTRIBUTE_READONLY);
    std::wstring error;
    EXPECT_FALSE(updateLoaderManifest(values(), folder.path(), error));
    EXPECT_EQ(error, L"Can't save the manifest file.");
    EXPECT_EQ(folder.read(), original);
    EXPECT_EQ(::GetFileAttributesW((folder.manifest() + L".new").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(RecordInstallLocation, WritesAMissingLocationButNeverReplacesOneNorCreatesTheKey) {
    ManifestFolder folder;
    folder.write("<configuration/>");
    ::RegDeleteKeyW(HKEY_CURRENT_USER, uninstallKey.c_str());
    EXPECT_FALSE(recordInstallLocation(testProductCode, true, L"C:\\addin"));
    EXPECT_FALSE(uninstallKeyExists()) << "a missing uninstall key is not created";

    UninstallKey key;
    std::wstring error;
    ASSERT_TRUE(updateLoaderManifest(values(), folder.path(), error)) << error;
    EXPECT_EQ(key.location(), folder.path()) << "the update records the folder when the key exists";

    key.set(L"");
    EXPECT_TRUE(recordInstallLocation(testProductCode, true, L"C:\\addin"));
    EXPECT_EQ(key.location(), L"C:\\addin") << "an empty location counts as missing";

    EXPECT_TRUE(recordInstallLocation(testProductCode, true, L"C:\\elsewhere"));
    EXPECT_EQ(key.location(), L"C:\\addin") << "an existing location is never replaced";
}

// A per-machine product registered by a 32-bit or a 64-bit package gets the
// location in the view that holds its key, and no key appears in the other.
TEST(RecordInstallLocation, WritesIntoTheRegistryViewThatHoldsTheKey) {
    if (!base::systemHasRegistryViews())
        GTEST_SKIP() << "32-bit Windows has one registry view: there is no other view to keep apart";
    for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
        const REGSAM other = view == KEY_WOW64_32KEY ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
        UninstallKey key(HKEY_LOCAL_MACHINE, view);
        EXPECT_TRUE(recordInstallLocation(testProductCode, false, L"C:\\Program Files\\Add-in")) << view;
        EXPECT_EQ(key.location(), L"C:\\Program Files\\Add-in") << view;
        EXPECT_FALSE(uninstallKeyExists(HKEY_LOCAL_MACHINE, other)) << view;
    }
}
