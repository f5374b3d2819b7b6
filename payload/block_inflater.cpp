#include "payload/block_inflater.h"

#include <libdeflate.h>

#include <algorithm>
#include <limits>
#include <new>

namespace swiftsetup {

namespace {
constexpr uint64_t kMaximumDeflateRatio = 1032;

// The decoder's memory through operator new, so that what the extractor holds can be counted like
// the rest of it.
void* allocateForDecoder(size_t size) { return new (std::nothrow) unsigned char[size]; }
void freeForDecoder(void* address) { delete[] static_cast<unsigned char*>(address); }

struct DecoderRelease {
    void operator()(libdeflate_decompressor* decoder) const { libdeflate_free_decompressor(decoder); }
};
using Decoder = std::unique_ptr<libdeflate_decompressor, DecoderRelease>;

Decoder makeDecoder() {
    // libdeflate's allocator is one for the whole process: set once, before the first decoder,
    // whichever thread makes it.
    static const bool routed = (libdeflate_set_memory_allocator(allocateForDecoder, freeForDecoder), true);
    static_cast<void>(routed);
    return Decoder(libdeflate_alloc_decompressor());
}

// The rules of a block, in one place for both ways of inflating. The stream must end within the
// room it is given (more is LIBDEFLATE_INSUFFICIENT_SPACE, and what was written is not used), pass
// its Adler-32, and have no preset dictionary (refused as bad data). Asked how much it wrote, the
// decoder lets a stream end short of the room; not asked how much input it used, it ignores bytes
// after the stream's end, as zlib did. It is laxer than zlib only about a few code descriptions
// that zlib calls malformed yet that decode one way, and then the output must still match the
// stream's Adler-32 (the payload fuzz target checks that nothing else differs).
[[nodiscard]] bool inflateWith(libdeflate_decompressor* decoder, const uint8_t* stream, uint32_t streamLength,
                               uint8_t* output, size_t capacity, size_t& length) {
    size_t produced = 0;
    if (libdeflate_zlib_decompress_ex(decoder, stream, streamLength, output, capacity, nullptr, &produced) !=
        LIBDEFLATE_SUCCESS) {
        return false;
    }
    length = produced;
    return true;
}
}  // namespace

uint64_t maximumInflatedSize(uint32_t streamLength) {
    return (uint64_t{streamLength} + 1) * kMaximumDeflateRatio;
}

size_t inflationCapacity(uint32_t streamLength, uint32_t declaredSize) {
    const uint64_t capacity = std::min<uint64_t>(declaredSize, maximumInflatedSize(streamLength));
    if (capacity > std::numeric_limits<size_t>::max()) return 0;
    return static_cast<size_t>(capacity);
}

const char* blockDecoderName() { return "libdeflate " LIBDEFLATE_VERSION_STRING; }

bool inflateBlock(const uint8_t* stream, uint32_t streamLength, uint32_t declaredSize, InflatedBlock& block) {
    block.bytes.reset();
    block.length = 0;
    if (declaredSize == 0) return true;

    const size_t capacity = inflationCapacity(streamLength, declaredSize);
    if (capacity == 0) return false;
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[capacity]);
    const Decoder decoder = makeDecoder();
    if (!buffer || !decoder) return false;

    size_t produced = 0;
    if (!inflateWith(decoder.get(), stream, streamLength, buffer.get(), capacity, produced)) return false;
    block.bytes = std::move(buffer);
    block.length = produced;
    return true;
}

struct BlockInflater::State {
    Decoder decoder = makeDecoder();
};

BlockInflater::BlockInflater() = default;
BlockInflater::~BlockInflater() = default;
BlockInflater::BlockInflater(BlockInflater&&) noexcept = default;
BlockInflater& BlockInflater::operator=(BlockInflater&&) noexcept = default;

bool BlockInflater::inflate(const uint8_t* stream, uint32_t streamLength, uint8_t* output, size_t capacity,
                            size_t& length) {
    length = 0;
    // The decoder is made for the first block, so an inflater that is never used costs nothing.
    // It keeps no state from one block to the next: each call decodes a whole stream afresh.
    if (!state_) state_.reset(new (std::nothrow) State);
    if (!state_ || !state_->decoder || capacity == 0) return false;
    return inflateWith(state_->decoder.get(), stream, streamLength, output, capacity, length);
}

}  // namespace swiftsetup
