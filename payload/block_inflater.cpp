#include "payload/block_inflater.h"

#include <zlib.h>

#include <algorithm>
#include <limits>
#include <new>

namespace swiftsetup {

namespace {
constexpr uint64_t kMaximumDeflateRatio = 1032;

// zlib's memory through operator new, so that what the extractor holds can be counted like the
// rest of it.
voidpf allocateForZlib(voidpf, uInt items, uInt size) {
    if (size != 0 && items > std::numeric_limits<size_t>::max() / size) return Z_NULL;
    return new (std::nothrow) unsigned char[static_cast<size_t>(items) * size];
}
void freeForZlib(voidpf, voidpf address) { delete[] static_cast<unsigned char*>(address); }
}  // namespace

uint64_t maximumInflatedSize(uint32_t streamLength) {
    return (uint64_t{streamLength} + 1) * kMaximumDeflateRatio;
}

size_t inflationCapacity(uint32_t streamLength, uint32_t declaredSize) {
    const uint64_t capacity = std::min<uint64_t>(declaredSize, maximumInflatedSize(streamLength));
    if (capacity > std::numeric_limits<size_t>::max() || capacity > std::numeric_limits<uLongf>::max() ||
        capacity > std::numeric_limits<uInt>::max()) {
        return 0;
    }
    return static_cast<size_t>(capacity);
}

bool inflateBlock(const uint8_t* stream, uint32_t streamLength, uint32_t declaredSize,
                  InflatedBlock& block) {
    block.bytes.reset();
    block.length = 0;
    if (declaredSize == 0) return true;

    const size_t capacity = inflationCapacity(streamLength, declaredSize);
    if (capacity == 0) return false;
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[capacity]);
    if (!buffer) return false;

    uLongf produced = static_cast<uLongf>(capacity);
    if (uncompress(buffer.get(), &produced, stream, streamLength) != Z_OK) return false;
    block.bytes = std::move(buffer);
    block.length = produced;
    return true;
}

struct BlockInflater::State {
    z_stream stream{};
    bool ready = false;

    State() {
        stream.zalloc = allocateForZlib;
        stream.zfree = freeForZlib;
        ready = inflateInit(&stream) == Z_OK;
    }
    ~State() {
        if (ready) inflateEnd(&stream);
    }
    State(const State&) = delete;
    State& operator=(const State&) = delete;
};

BlockInflater::BlockInflater() = default;
BlockInflater::~BlockInflater() = default;
BlockInflater::BlockInflater(BlockInflater&&) noexcept = default;
BlockInflater& BlockInflater::operator=(BlockInflater&&) noexcept = default;

bool BlockInflater::inflate(const uint8_t* stream, uint32_t streamLength, uint8_t* output, size_t capacity,
                            size_t& length) {
    length = 0;
    // zlib's state is set up for the first block, so an inflater that is never used costs nothing.
    if (!state_) state_.reset(new (std::nothrow) State);
    if (!state_ || !state_->ready || capacity == 0 || capacity > std::numeric_limits<uInt>::max()) return false;
    z_stream& z = state_->stream;
    // A reset state is a fresh one (windowBits 15, no dictionary, no history: a back reference
    // before the stream's start is still refused), and keeps its memory for the next block.
    if (inflateReset(&z) != Z_OK) return false;
    z.next_in = const_cast<Bytef*>(stream);
    z.avail_in = streamLength;
    z.next_out = output;
    z.avail_out = static_cast<uInt>(capacity);
    // All input and all room at once, as uncompress gives them: the stream must end within the
    // room (Z_STREAM_END), and trailing bytes after its end stay unread. Z_FINISH returns
    // Z_BUF_ERROR where Z_NO_FLUSH would return Z_OK and then Z_BUF_ERROR, so the verdict is the
    // same; it also spares the copy into the sliding window that nothing reads afterwards.
    // Z_NEED_DICT (a preset dictionary), Z_DATA_ERROR (damage, a wrong Adler-32) and Z_MEM_ERROR
    // fail, as they do for uncompress.
    const int result = ::inflate(&z, Z_FINISH);
    if (result != Z_STREAM_END) return false;
    length = z.total_out;
    return true;
}

}  // namespace swiftsetup
