#include "xml/utf8.h"
#include "xml/xml_document.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace fs = std::filesystem;

namespace {

// Wide file names as the engine sees them: UTF-16 on Windows, UTF-8 bytes elsewhere.
fs::path toPath(const std::wstring& name) {
#ifdef _WIN32
    return fs::path(name);
#else
    return fs::path(xml::wideToUtf8(name));
#endif
}

std::wstring fromPath(const fs::path& path) {
#ifdef _WIN32
    return path.wstring();
#else
    return xml::utf8ToWide(path.string());
#endif
}

// A scratch folder of its own for each test, removed at the end.
class TextFile : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("xml_text_file_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ignored;  // best effort: a leftover folder only wastes space
        fs::remove_all(dir_, ignored);
    }
    std::wstring path(const std::wstring& name) const { return fromPath(dir_ / toPath(name)); }
    static void writeBytes(const std::wstring& file, const std::string& bytes) {
        std::ofstream out(toPath(file), std::ios::binary);
        out << bytes;
    }
    static std::string readBytes(const std::wstring& file) {
        std::ifstream in(toPath(file), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    fs::path dir_;
};

}  // namespace

// A UTF-8 byte order mark becomes U+FEFF, the document parses, and saving writes it back byte for byte.
TEST_F(TextFile, ByteOrderMarkRoundTrip) {
    const std::string bytes = "\xEF\xBB\xBF<a x='\xC3\xA9'>\r\n\xF0\x9F\x98\x80</a>\n";
    writeBytes(path(L"in.xml"), bytes);
    XmlDocument doc;
    EXPECT_TRUE(doc.loadFile(path(L"in.xml")));
    EXPECT_EQ(L"24 bytes to 19 wide chars", doc.resultText());
    ASSERT_EQ(19u, doc.documentText().size());
    EXPECT_EQ(wchar_t(0xFEFF), doc.documentText()[0]);
    EXPECT_TRUE(doc.findElement(L"a"));
    EXPECT_EQ(L"\u00e9", doc.getAttribute(L"x"));
    EXPECT_TRUE(doc.saveFile(path(L"out.xml")));
    EXPECT_EQ(L"19 wide chars to 24 bytes", doc.resultText());
    EXPECT_EQ(bytes, readBytes(path(L"out.xml")));
}

// The read result stands in front of the parse message.
TEST_F(TextFile, ReadResultBeforeParseMessage) {
    writeBytes(path(L"bad.xml"), "<a>");
    XmlDocument doc;
    EXPECT_FALSE(doc.loadFile(path(L"bad.xml")));
    EXPECT_EQ(L"3 bytes to 3 wide chars, Element 'a' at offset 0 not ended", doc.resultText());
}

// A missing file or folder gives the runtime's text for the error and leaves the document alone.
TEST_F(TextFile, OpenFailures) {
    XmlDocument doc;
    doc.parseText(L"<keep/>");
    EXPECT_FALSE(doc.loadFile(path(L"missing.xml")));
    EXPECT_EQ(L"No such file or directory", doc.resultText());
    EXPECT_EQ(L"<keep/>", doc.documentText());
    std::wstring text = L"unchanged", result;
    EXPECT_FALSE(XmlDocument::readTextFile(path(L"missing.xml"), text, result));
    EXPECT_EQ(L"unchanged", text);
    EXPECT_FALSE(XmlDocument::writeTextFile(path(L"no-dir") + L"/x.xml", L"<a/>", result));
    EXPECT_EQ(L"No such file or directory", result);
    EXPECT_FALSE(XmlDocument::readTextFile(path(L"x") + std::wstring(1, L'\0') + L"y", text, result));
}

// A file in another encoding fails as a read does, with the runtime's text for
// EILSEQ, and leaves the document and the text alone instead of reading U+FFFD.
TEST_F(TextFile, NotUtf8IsRefused) {
    const std::wstring expected = xml::utf8ToWide(std::strerror(EILSEQ));
    writeBytes(path(L"latin1.xml"), "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n<a>caf\xE9</a>\n");
    writeBytes(path(L"utf16.xml"), std::string("\xFF\xFE<\0a\0/\0>\0", 10));
    for (const wchar_t* name : {L"latin1.xml", L"utf16.xml"}) {
        XmlDocument doc;
        doc.parseText(L"<keep/>");
        EXPECT_FALSE(doc.loadFile(path(name)));
        EXPECT_EQ(expected, doc.resultText());
        EXPECT_EQ(L"<keep/>", doc.documentText());
        std::wstring text = L"unchanged", result;
        EXPECT_FALSE(XmlDocument::readTextFile(path(name), text, result));
        EXPECT_EQ(L"unchanged", text);
        EXPECT_EQ(expected, result);
    }
}

// An empty text writes an empty file, and an empty file reads as an empty text.
TEST_F(TextFile, EmptyFile) {
    std::wstring result;
    EXPECT_TRUE(XmlDocument::writeTextFile(path(L"empty.xml"), L"", result));
    EXPECT_EQ(L"0 wide chars to 0 bytes", result);
    EXPECT_EQ("", readBytes(path(L"empty.xml")));
    std::wstring text = L"x";
    EXPECT_TRUE(XmlDocument::readTextFile(path(L"empty.xml"), text, result));
    EXPECT_EQ(L"", text);
    EXPECT_EQ(L"0 bytes to 0 wide chars", result);
}

// Writing truncates, keeps line ends as they are, and works for non-ASCII file names.
TEST_F(TextFile, TruncatesAndKeepsBytes) {
    const std::wstring file = path(L"\u00e9t\u00e9.xml");
    writeBytes(file, std::string(1000, 'x'));
    std::wstring result;
    EXPECT_TRUE(XmlDocument::writeTextFile(file, L"<a>\r\n\n\r</a>", result));
    EXPECT_EQ("<a>\r\n\n\r</a>", readBytes(file));
    std::wstring text;
    EXPECT_TRUE(XmlDocument::readTextFile(file, text, result));
    EXPECT_EQ(L"<a>\r\n\n\r</a>", text);
}
