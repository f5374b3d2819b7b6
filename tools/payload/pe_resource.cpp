#include "tools/payload/pe_resource.h"

#include <algorithm>
#include <vector>

namespace swiftsetup {

namespace {

using Status = PeResourceLookup::Status;

constexpr size_t kDosHeaderSize = 0x40;
constexpr size_t kPeOffsetField = 0x3C;
constexpr size_t kCoffHeaderSize = 20;
constexpr size_t kSectionHeaderSize = 40;
constexpr size_t kDirectoryHeaderSize = 16;
constexpr size_t kDirectoryEntrySize = 8;
constexpr size_t kDataEntrySize = 16;
constexpr uint32_t kHighBit = 0x80000000u;

uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t le32(const uint8_t* p) {
    return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

struct Section {
    uint32_t virtualAddress;
    uint32_t mappedSize;  // the part of the section that comes from the file
    uint32_t rawOffset;
};

class Image {
public:
    Image(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    bool fits(uint64_t offset, uint64_t length) const {
        return offset <= size_ && length <= size_ - offset;
    }

    // The file offset of length bytes at an address of the loaded image, when the file holds them.
    bool fileOffset(uint32_t rva, uint32_t length, uint64_t& offset, uint64_t* sectionEnd = nullptr) const {
        for (const Section& s : sections) {
            if (rva < s.virtualAddress) continue;
            const uint64_t into = uint64_t{rva} - s.virtualAddress;
            if (into + length > s.mappedSize) continue;
            offset = uint64_t{s.rawOffset} + into;
            if (!fits(offset, length)) return false;
            if (sectionEnd != nullptr) {
                *sectionEnd = std::min<uint64_t>(uint64_t{s.rawOffset} + s.mappedSize, size_);
            }
            return true;
        }
        return false;
    }

    const uint8_t* at(uint64_t offset) const { return data_ + offset; }

    std::vector<Section> sections;

private:
    const uint8_t* data_;
    size_t size_;
};

// The COFF header and the optional header, as far as the data directories and the section table.
struct Headers {
    bool pe32Plus = false;
    uint64_t optional = 0;  // file offset of the optional header
    uint32_t optionalSize = 0;
    uint32_t sectionCount = 0;
    uint32_t directories = 0;  // offset of the data directories in the optional header
    uint32_t directoryCount = 0;  // as many as the count field says and the header holds
};

// After looksLikePeProgram: false, with the problem, when the headers do not hold together.
bool readHeaders(const Image& image, const uint8_t* data, Headers& headers, std::string& problem) {
    const uint64_t coff = uint64_t{le32(data + kPeOffsetField)} + 4;
    headers.sectionCount = le16(data + coff + 2);
    headers.optionalSize = le16(data + coff + 16);
    headers.optional = coff + kCoffHeaderSize;
    if (!image.fits(headers.optional, headers.optionalSize) || headers.optionalSize < 2) {
        problem = "the optional header runs past the end of the file";
        return false;
    }
    const uint16_t magic = le16(data + headers.optional);
    uint32_t countField = 0;
    if (magic == 0x10B) {
        countField = 92;
        headers.directories = 96;
    } else if (magic == 0x20B) {
        countField = 108;
        headers.directories = 112;
        headers.pe32Plus = true;
    } else {
        problem = "the optional header has an unknown magic number";
        return false;
    }
    if (headers.optionalSize >= countField + 4) {
        const uint32_t declared = le32(data + headers.optional + countField);
        const uint32_t room = headers.optionalSize > headers.directories
                                  ? (headers.optionalSize - headers.directories) / 8 : 0;
        headers.directoryCount = std::min(declared, room);
    }
    return true;
}

PeDataDirectory directoryEntry(const uint8_t* data, const Headers& headers, uint32_t index) {
    PeDataDirectory entry;
    entry.pe32Plus = headers.pe32Plus;
    entry.status = PeDataDirectory::Status::Absent;
    if (index >= headers.directoryCount) return entry;
    const uint8_t* field = data + headers.optional + headers.directories + uint64_t{index} * 8;
    entry.address = le32(field);
    entry.size = le32(field + 4);
    if (entry.address != 0) entry.status = PeDataDirectory::Status::Present;
    return entry;
}

PeResourceLookup malformed(std::string problem) {
    PeResourceLookup result;
    result.status = Status::Malformed;
    result.problem = std::move(problem);
    return result;
}

// The resource directory: all of its tables and entries lie in one region of the file.
class ResourceDirectory {
public:
    ResourceDirectory(const Image& image, uint64_t start, uint64_t end)
        : image_(image), start_(start), length_(end - start) {}

    // The entry with a numeric id in the table at a directory-relative offset; with anyId, the
    // table's first entry. Its offset field, or false when it is missing or out of bounds.
    bool entry(uint32_t table, bool anyId, uint16_t id, uint32_t& target, std::string& problem) const {
        if (uint64_t{table} + kDirectoryHeaderSize > length_) {
            problem = "a resource table lies outside the resource section";
            return false;
        }
        const uint8_t* header = image_.at(start_ + table);
        const uint32_t named = le16(header + 12);
        const uint32_t numbered = le16(header + 14);
        const uint64_t entries = uint64_t{named} + numbered;
        if (uint64_t{table} + kDirectoryHeaderSize + entries * kDirectoryEntrySize > length_) {
            problem = "a resource table's entries run past the resource section";
            return false;
        }
        for (uint64_t i = anyId ? 0 : named; i < entries; ++i) {
            const uint8_t* e = header + kDirectoryHeaderSize + i * kDirectoryEntrySize;
            const uint32_t nameField = le32(e);
            if (anyId || ((nameField & kHighBit) == 0 && (nameField & 0xFFFF) == id &&
                          (nameField >> 16) == 0)) {
                target = le32(e + 4);
                return true;
            }
        }
        return false;
    }

    bool dataEntry(uint32_t offset, uint32_t& rva, uint32_t& size) const {
        if (uint64_t{offset} + kDataEntrySize > length_) return false;
        const uint8_t* e = image_.at(start_ + offset);
        rva = le32(e);
        size = le32(e + 4);
        return true;
    }

private:
    const Image& image_;
    uint64_t start_;
    uint64_t length_;
};

}  // namespace

bool looksLikePeProgram(const uint8_t* data, size_t size) {
    if (size < kDosHeaderSize || data[0] != 'M' || data[1] != 'Z') return false;
    const uint32_t peOffset = le32(data + kPeOffsetField);
    if (uint64_t{peOffset} + 4 + kCoffHeaderSize > size) return false;
    return data[peOffset] == 'P' && data[peOffset + 1] == 'E' && data[peOffset + 2] == 0 &&
           data[peOffset + 3] == 0;
}

PeDataDirectory findPeDataDirectory(const uint8_t* data, size_t size, uint32_t index) {
    PeDataDirectory entry;
    if (!looksLikePeProgram(data, size)) return entry;
    const Image image(data, size);
    Headers headers;
    if (!readHeaders(image, data, headers, entry.problem)) {
        entry.status = PeDataDirectory::Status::Malformed;
        return entry;
    }
    return directoryEntry(data, headers, index);
}

PeResourceLookup findPeResource(const uint8_t* data, size_t size, uint16_t type, uint16_t name) {
    PeResourceLookup result;
    if (!looksLikePeProgram(data, size)) return result;
    Image image(data, size);

    Headers headers;
    std::string problem;
    if (!readHeaders(image, data, headers, problem)) return malformed(problem);
    result.pe32Plus = headers.pe32Plus;
    const PeDataDirectory resources = directoryEntry(data, headers, kPeResourceDirectory);
    if (resources.status != PeDataDirectory::Status::Present) {
        result.status = Status::NoResources;
        return result;
    }
    const uint32_t resourceRva = resources.address;
    const uint32_t sectionCount = headers.sectionCount;

    const uint64_t sectionTable = headers.optional + headers.optionalSize;
    if (!image.fits(sectionTable, uint64_t{sectionCount} * kSectionHeaderSize)) {
        return malformed("the section table runs past the end of the file");
    }
    for (uint32_t i = 0; i < sectionCount; ++i) {
        const uint8_t* s = data + sectionTable + uint64_t{i} * kSectionHeaderSize;
        const uint32_t virtualSize = le32(s + 8);
        const uint32_t rawSize = le32(s + 16);
        Section section;
        section.virtualAddress = le32(s + 12);
        section.mappedSize = virtualSize != 0 ? std::min(virtualSize, rawSize) : rawSize;
        section.rawOffset = le32(s + 20);
        image.sections.push_back(section);
    }

    uint64_t root = 0;
    uint64_t regionEnd = 0;
    if (!image.fileOffset(resourceRva, kDirectoryHeaderSize, root, &regionEnd)) {
        return malformed("the resource directory lies outside every section");
    }
    const ResourceDirectory directory(image, root, regionEnd);

    // Three levels: type, name, language. The first two lead to tables, the last to the data.
    uint32_t target = 0;
    if (!directory.entry(0, false, type, target, problem)) {
        if (!problem.empty()) return malformed(problem);
        result.status = Status::NotFound;
        return result;
    }
    if ((target & kHighBit) == 0) return malformed("a resource type entry leads to data, not to a table");
    if (!directory.entry(target & ~kHighBit, false, name, target, problem)) {
        if (!problem.empty()) return malformed(problem);
        result.status = Status::NotFound;
        return result;
    }
    if ((target & kHighBit) == 0) return malformed("a resource name entry leads to data, not to a table");
    if (!directory.entry(target & ~kHighBit, true, 0, target, problem)) {
        if (!problem.empty()) return malformed(problem);
        result.status = Status::NotFound;  // a name without any language
        return result;
    }
    if ((target & kHighBit) != 0) return malformed("a resource language entry leads to a table, not to data");

    uint32_t dataRva = 0;
    uint32_t dataSize = 0;
    if (!directory.dataEntry(target, dataRva, dataSize)) {
        return malformed("a resource data entry lies outside the resource section");
    }
    if (dataSize == 0) {
        result.offset = 0;
    } else if (!image.fileOffset(dataRva, dataSize, result.offset)) {
        return malformed("the resource's bytes lie outside the file");
    }
    result.size = dataSize;
    result.status = Status::Found;
    return result;
}

}  // namespace swiftsetup
