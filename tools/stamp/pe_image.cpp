#include "pe_image.h"

#include <cstdint>

namespace {

bool readU32(const std::string& bytes, size_t offset, uint32_t& value) {
    if (offset > bytes.size() || bytes.size() - offset < 4) return false;
    value = 0;
    for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(bytes[offset + i]);
    return true;
}

void writeU32(std::string& bytes, size_t offset, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

uint32_t readU16(const std::string& bytes, size_t offset) {
    return offset + 2 <= bytes.size()
               ? static_cast<unsigned char>(bytes[offset]) | (static_cast<unsigned char>(bytes[offset + 1]) << 8)
               : 0;
}

struct Headers {
    size_t optional = 0;      // offset of the optional header
    size_t directories = 0;   // offset of the first data directory
    uint32_t directoryCount = 0;
    size_t sections = 0;      // offset of the first section header
    uint32_t sectionCount = 0;
};

bool readHeaders(const std::string& image, Headers& h) {
    uint32_t header = 0, signature = 0, magic = 0;
    if (image.size() < 2 || image[0] != 'M' || image[1] != 'Z') return false;
    if (!readU32(image, 0x3C, header) || !readU32(image, header, signature) || signature != 0x00004550) return false;
    h.sectionCount = readU16(image, static_cast<size_t>(header) + 6);
    const uint32_t optionalSize = readU16(image, static_cast<size_t>(header) + 20);
    h.optional = static_cast<size_t>(header) + 24;  // past "PE\0\0" and the file header
    if (!readU32(image, h.optional, magic)) return false;
    magic &= 0xFFFF;
    // PE32 and PE32+ differ by the width of four fields before the directories.
    size_t countOffset;
    if (magic == 0x10B)
        countOffset = h.optional + 92;
    else if (magic == 0x20B)
        countOffset = h.optional + 108;
    else
        return false;
    if (!readU32(image, countOffset, h.directoryCount)) return false;
    h.directories = countOffset + 4;
    h.sections = h.optional + optionalSize;
    return h.sections + 40ull * h.sectionCount <= image.size() &&
           h.directories + 8ull * h.directoryCount <= h.sections;
}

// The furthest byte (relative to the section's start) that the resource tree
// below directory reaches; false when a piece lies outside limit.
bool treeExtent(const std::string& image, size_t base, uint32_t sectionAddress, uint32_t limit, uint32_t directory,
                int depth, uint32_t& extent, uint32_t& entriesLeft) {
    auto reach = [&extent, limit](uint64_t end) {
        if (end > limit) return false;
        if (end > extent) extent = static_cast<uint32_t>(end);
        return true;
    };
    if (depth > 3 || !reach(static_cast<uint64_t>(directory) + 16)) return false;
    const uint32_t count = readU16(image, base + directory + 12) + readU16(image, base + directory + 14);
    // Entries may point at shared directories; a bound on the walk keeps a crafted tree from taking forever.
    if (count > entriesLeft) return false;
    entriesLeft -= count;
    if (!reach(static_cast<uint64_t>(directory) + 16 + 8ull * count)) return false;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t name = 0, target = 0;
        readU32(image, base + directory + 16 + 8 * i, name);
        readU32(image, base + directory + 20 + 8 * i, target);
        if (name & 0x80000000u) {
            const uint32_t at = name & 0x7FFFFFFFu;
            if (!reach(static_cast<uint64_t>(at) + 2) ||
                !reach(static_cast<uint64_t>(at) + 2 + 2ull * readU16(image, base + at)))
                return false;
        }
        if (target & 0x80000000u) {
            if (!treeExtent(image, base, sectionAddress, limit, target & 0x7FFFFFFFu, depth + 1, extent, entriesLeft))
                return false;
            continue;
        }
        uint32_t address = 0, size = 0;
        if (!reach(static_cast<uint64_t>(target) + 16)) return false;
        readU32(image, base + target, address);
        readU32(image, base + target + 4, size);
        if (address < sectionAddress || !reach(static_cast<uint64_t>(address - sectionAddress) + size)) return false;
    }
    return true;
}

}  // namespace

bool fitResourceSection(std::string& image) {
    Headers h;
    const unsigned resourceDirectory = 2;
    uint32_t rootAddress = 0, directorySize = 0, sectionAlignment = 0, imageSize = 0;
    if (!readHeaders(image, h) || h.directoryCount <= resourceDirectory) return false;
    const size_t directoryEntry = h.directories + resourceDirectory * 8;
    readU32(image, directoryEntry, rootAddress);
    readU32(image, directoryEntry + 4, directorySize);
    readU32(image, h.optional + 32, sectionAlignment);
    readU32(image, h.optional + 56, imageSize);
    if (rootAddress == 0) return true;  // no resources: nothing to cover
    for (uint32_t i = 0; i < h.sectionCount; ++i) {
        const size_t section = h.sections + 40 * i;
        uint32_t virtualSize = 0, address = 0, rawSize = 0, rawOffset = 0;
        readU32(image, section + 8, virtualSize);
        readU32(image, section + 12, address);
        readU32(image, section + 16, rawSize);
        readU32(image, section + 20, rawOffset);
        if (rootAddress < address || rootAddress - address >= (virtualSize > rawSize ? virtualSize : rawSize)) continue;
        if (static_cast<uint64_t>(rawOffset) + rawSize > image.size()) return false;
        // The next section's start bounds how far this one may grow.
        uint64_t room = rawSize;
        for (uint32_t j = 0; j < h.sectionCount; ++j) {
            uint32_t other = 0;
            readU32(image, h.sections + 40 * j + 12, other);
            if (other > address && other - address < room) room = other - address;
        }
        uint32_t extent = 0, entriesLeft = 65536;
        if (!treeExtent(image, rawOffset, address, static_cast<uint32_t>(room), rootAddress - address, 0, extent,
                        entriesLeft))
            return false;
        const uint32_t coveredByDirectory = rootAddress - address + directorySize;
        if (extent > virtualSize) writeU32(image, section + 8, extent);
        if (extent > coveredByDirectory) writeU32(image, directoryEntry + 4, extent - (rootAddress - address));
        if (sectionAlignment != 0) {
            const uint64_t end = (static_cast<uint64_t>(address) + extent + sectionAlignment - 1) / sectionAlignment *
                                 sectionAlignment;
            if (end > imageSize && end <= 0xFFFFFFFFu) writeU32(image, h.optional + 56, static_cast<uint32_t>(end));
        }
        return true;
    }
    return false;
}

bool hasAuthenticodeSignature(const std::string& image) {
    Headers h;
    const unsigned securityDirectory = 4;
    uint32_t address = 0, size = 0;
    if (!readHeaders(image, h) || h.directoryCount <= securityDirectory) return false;
    const size_t entry = h.directories + securityDirectory * 8;
    return readU32(image, entry, address) && readU32(image, entry + 4, size) && address != 0 && size != 0;
}
