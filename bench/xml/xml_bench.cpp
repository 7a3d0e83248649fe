// Parse throughput of XmlDocument::parseText against pugixml on the same
// generated documents, in one run. pugixml gets its fastest form: the UTF-8
// bytes parsed in place with default options. Each side parses into a fresh
// document; preparing the input copy is outside the timing for both. The best of
// several interleaved runs counts.
#include "xml/utf8.h"
#include "xml/xml_document.h"

#include <pugixml.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

// Many small elements with attributes, some comments and processing
// instructions, and a few large text nodes.
std::string makeDocument(size_t target) {
    std::mt19937 random(42);
    static const char* words[] = {"alpha", "beta", "gamma", "delta", "release", "msi", "language", "version",
                                  "caf\xC3\xA9", "x&amp;y", "file", "product"};
    auto word = [&] { return std::string(words[random() % 12]); };
    std::string out = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<!-- generated -->\n<catalog count=\"0\">\n";
    out.reserve(target + 4096);
    const size_t bigTexts = 4;
    size_t nextBig = target / (bigTexts + 1);
    size_t item = 0;
    while (out.size() < target - 64) {
        ++item;
        if (item % 50 == 0) out += "  <!-- section " + std::to_string(item) + " -->\n";
        if (item % 120 == 0) out += "  <?process item=\"" + std::to_string(item) + "\"?>\n";
        out += "  <item id=\"" + std::to_string(item) + "\" name=\"" + word() + "\" kind='" + word() + "'>\n";
        out += "    <title lang=\"en\">" + word() + " " + word() + "</title>\n";
        out += "    <value n=\"" + std::to_string(random() % 1000) + "\" unit=\"ms\"/>\n";
        if (item % 3 == 0) out += "    <note>" + word() + "</note>\n";
        if (out.size() > nextBig) {
            out += "    <text>";
            const size_t size = target / 100;
            while (size > 0 && out.size() < nextBig + size) out += word() + " lorem ipsum dolor sit amet\n";
            out += "</text>\n";
            nextBig += target / (bigTexts + 1);
        }
        out += "  </item>\n";
    }
    out += "</catalog>\n";
    return out;
}

size_t countPugi(const pugi::xml_node& root) {
    size_t n = 0;
    for (pugi::xml_node c = root.first_child(); c; c = c.next_sibling())
        if (c.type() == pugi::node_element) n += 1 + countPugi(c);
    return n;
}

size_t countOurs(XmlDocument& doc) {
    size_t n = 0;
    doc.resetPosition();
    for (;;) {
        if (doc.findElement(L"")) {
            ++n;
            doc.enterElement();
            continue;
        }
        if (!doc.leaveElement()) break;
    }
    return n;
}

struct Result {
    double ours = 1e30;
    double pugi = 1e30;
    size_t elements = 0;
    double indexBytesPerElement = 0;
};

Result measure(const std::string& utf8, int runs) {
    const std::wstring wide = xml::utf8ToWide(utf8);
    std::unique_ptr<char[]> buffer(new char[utf8.size()]);
    Result r;
    for (int i = 0; i < runs; ++i) {
        {
            std::wstring copy = wide;
            auto doc = std::make_unique<XmlDocument>();
            const auto t0 = Clock::now();
            const bool ok = doc->parseText(std::move(copy));
            const auto t1 = Clock::now();
            if (!ok) {
                std::fprintf(stderr, "our parse failed: %ls\n", doc->resultText().c_str());
                std::exit(1);
            }
            r.ours = std::min(r.ours, std::chrono::duration<double>(t1 - t0).count());
            if (i == 0) {
                r.elements = countOurs(*doc);
                r.indexBytesPerElement = double(doc->indexCapacity()) * 32.0 / double(r.elements);
            }
        }
        {
            std::memcpy(buffer.get(), utf8.data(), utf8.size());
            auto doc = std::make_unique<pugi::xml_document>();
            const auto t0 = Clock::now();
            const pugi::xml_parse_result ok = doc->load_buffer_inplace(buffer.get(), utf8.size());
            const auto t1 = Clock::now();
            if (!ok) {
                std::fprintf(stderr, "pugixml parse failed: %s\n", ok.description());
                std::exit(1);
            }
            r.pugi = std::min(r.pugi, std::chrono::duration<double>(t1 - t0).count());
            if (i == 0 && countPugi(*doc) != r.elements) {
                std::fprintf(stderr, "element counts differ: %zu against %zu\n", r.elements, countPugi(*doc));
                std::exit(1);
            }
        }
    }
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::atoi(argv[1]) : 7;
    const std::string small = makeDocument(size_t(1) << 20);
    const Result a = measure(small, runs * 3);
    const std::string large = makeDocument(size_t(64) << 20);
    const Result b = measure(large, runs);
    const double mb = 1024.0 * 1024.0;
    std::printf("BENCH xml_parse_1mb_ours %.0f MB/s\n", double(small.size()) / a.ours / mb);
    std::printf("BENCH xml_parse_1mb_pugixml %.0f MB/s\n", double(small.size()) / a.pugi / mb);
    std::printf("BENCH xml_parse_64mb_ours %.0f MB/s\n", double(large.size()) / b.ours / mb);
    std::printf("BENCH xml_parse_64mb_pugixml %.0f MB/s\n", double(large.size()) / b.pugi / mb);
    std::printf("BENCH xml_parse_64mb_elements %zu elements\n", b.elements);
    std::printf("RATIO xml_parse_1mb_vs_pugixml %.3f\n", a.pugi / a.ours);
    std::printf("RATIO xml_parse_vs_pugixml %.3f\n", b.pugi / b.ours);
    std::printf("BENCH xml_index_bytes_per_element %.1f bytes\n", b.indexBytesPerElement);
    return 0;
}
