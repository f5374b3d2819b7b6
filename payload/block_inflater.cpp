#include "payload/block_inflater.h"

#include <zlib.h>

#include <algorithm>
#include <limits>
#include <new>

namespace swiftsetup {

namespace {
constexpr uint64_t kMaximumDeflateRatio = 1032;
}

uint64_t maximumInflatedSize(uint32_t streamLength) {
    return (uint64_t{streamLength} + 1) * kMaximumDeflateRatio;
}

bool inflateBlock(const uint8_t* stream, uint32_t streamLength, uint32_t declaredSize,
                  InflatedBlock& block) {
    block.bytes.reset();
    block.length = 0;
    if (declaredSize == 0) return true;

    const uint64_t capacity = std::min<uint64_t>(declaredSize, maximumInflatedSize(streamLength));
    if (capacity > std::numeric_limits<size_t>::max() ||
        capacity > std::numeric_limits<uLongf>::max()) {
        return false;
    }
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[static_cast<size_t>(capacity)]);
    if (!buffer) return false;

    uLongf produced = static_cast<uLongf>(capacity);
    if (uncompress(buffer.get(), &produced, stream, streamLength) != Z_OK) return false;
    block.bytes = std::move(buffer);
    block.length = produced;
    return true;
}

}  // namespace swiftsetup
