#include "machine/installation_folder/version_resource.h"

namespace swiftsetup {
namespace {

// One block of the resource: its total length, its value's length (in characters when the value
// is text), whether it is text, a NUL-terminated UTF-16 key, then the value and the child
// blocks, each on a 4-byte boundary counted from the resource's first byte.
struct VersionBlock {
    size_t key = 0;  // offset of the key's first unit
    size_t keyUnits = 0;
    size_t value = 0;  // offset of the value
    size_t valueBytes = 0;
    size_t childrenBegin = 0;
    size_t end = 0;
};

size_t alignUp(size_t offset) { return (offset + 3) & ~size_t{3}; }

void appendUtf8(std::string& out, uint32_t point) {
    if (point < 0x80) {
        out.push_back(static_cast<char>(point));
    } else if (point < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (point >> 6)));
        out.push_back(static_cast<char>(0x80 | (point & 0x3F)));
    } else if (point < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (point >> 12)));
        out.push_back(static_cast<char>(0x80 | ((point >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (point & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (point >> 18)));
        out.push_back(static_cast<char>(0x80 | ((point >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((point >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (point & 0x3F)));
    }
}

class VersionReader {
public:
    VersionReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    uint16_t unitAt(size_t offset) const { return static_cast<uint16_t>(data_[offset] | (data_[offset + 1] << 8)); }

    // The block at offset, which must end no later than limit; nothing when it does not fit.
    std::optional<VersionBlock> block(size_t offset, size_t limit) const {
        if (limit > size_ || offset > limit || limit - offset < 6) return std::nullopt;
        const size_t length = unitAt(offset);
        const size_t valueLength = unitAt(offset + 2);
        const bool text = unitAt(offset + 4) == 1;
        if (length < 6 || length > limit - offset) return std::nullopt;
        VersionBlock found;
        found.end = offset + length;

        size_t cursor = offset + 6;
        found.key = cursor;
        for (;; cursor += 2) {
            if (cursor + 2 > found.end) return std::nullopt;  // the key runs out of the block
            if (unitAt(cursor) == 0) break;
            ++found.keyUnits;
        }
        cursor = alignUp(cursor + 2);
        const size_t valueBytes = text ? valueLength * size_t{2} : valueLength;
        if (cursor > found.end || valueBytes > found.end - cursor) {
            // Some writers count a text value's terminator beyond the block: take what is there.
            if (!text || cursor > found.end) return std::nullopt;
            found.valueBytes = found.end - cursor;
        } else {
            found.valueBytes = valueBytes;
        }
        found.value = cursor;
        found.childrenBegin = alignUp(cursor + found.valueBytes);
        return found;
    }

    // Calls visit for each child of the block until it returns true; true when one did.
    template <typename Visit>
    bool children(const VersionBlock& parent, Visit visit) const {
        for (size_t offset = parent.childrenBegin; offset < parent.end;) {
            const std::optional<VersionBlock> child = block(offset, parent.end);
            if (!child) return false;
            if (visit(*child)) return true;
            offset = alignUp(child->end);
        }
        return false;
    }

    bool keyIs(const VersionBlock& of, std::string_view ascii) const {
        if (of.keyUnits != ascii.size()) return false;
        for (size_t i = 0; i < ascii.size(); ++i) {
            if (unitAt(of.key + 2 * i) != static_cast<unsigned char>(ascii[i])) return false;
        }
        return true;
    }

    // The value as UTF-8, up to its terminator; a unit that is half of no pair becomes U+FFFD.
    std::string text(const VersionBlock& of) const {
        std::string value;
        for (size_t i = 0; i + 2 <= of.valueBytes; i += 2) {
            uint32_t point = unitAt(of.value + i);
            if (point == 0) break;
            if (point >= 0xD800 && point <= 0xDBFF && i + 4 <= of.valueBytes) {
                const uint32_t low = unitAt(of.value + i + 2);
                if (low >= 0xDC00 && low <= 0xDFFF) {
                    point = 0x10000 + ((point - 0xD800) << 10) + (low - 0xDC00);
                    i += 2;
                }
            }
            if (point >= 0xD800 && point <= 0xDFFF) point = 0xFFFD;
            appendUtf8(value, point);
        }
        return value;
    }

private:
    const uint8_t* data_;
    size_t size_;
};

}  // namespace

std::optional<std::string> versionString(const uint8_t* resource, size_t size, std::string_view name) {
    if (resource == nullptr) return std::nullopt;
    const VersionReader reader(resource, size);
    const std::optional<VersionBlock> root = reader.block(0, size);
    if (!root || !reader.keyIs(*root, "VS_VERSION_INFO")) return std::nullopt;

    std::optional<std::string> found;
    reader.children(*root, [&](const VersionBlock& info) {
        if (!reader.keyIs(info, "StringFileInfo")) return false;
        return reader.children(info, [&](const VersionBlock& table) {
            return reader.children(table, [&](const VersionBlock& entry) {
                if (!reader.keyIs(entry, name)) return false;
                found = reader.text(entry);
                return true;
            });
        });
    });
    return found;
}

}  // namespace swiftsetup
