#pragma once
// Inflating one data chunk's zlib stream into a buffer bounded by what the stream can hold, with
// libdeflate's decoder: it inflates a whole block in one call, faster than zlib's streaming one
// (the payload's writer still compresses with zlib). Portable. inflateBlock is the
// plain way (a decoder and a buffer of its own per block); BlockInflater gives the same results
// with one decoder kept for every block and no allocation per block, for the extractor's threads,
// each of which keeps one.

#include <cstddef>
#include <cstdint>
#include <memory>

namespace swiftsetup {

// Deflate cannot expand by more than 1032 to 1 (a 258-byte match coded in two bits), so a zlib
// stream of n bytes never inflates to more than this many bytes.
uint64_t maximumInflatedSize(uint32_t streamLength);

// The buffer a block gets: the smaller of its declared size and maximumInflatedSize(streamLength).
// Every stream gives the same result as with a buffer of the declared size, but a size field that
// lies costs nothing. 0 when that many bytes cannot be addressed here (the block then fails).
size_t inflationCapacity(uint32_t streamLength, uint32_t declaredSize);

// The decoder blocks are inflated with and its version, for the benchmarks' reports.
const char* blockDecoderName();

struct InflatedBlock {
    std::unique_ptr<uint8_t[]> bytes;
    size_t length = 0;
};

// Inflates a complete zlib stream that must end within declaredSize output bytes; trailing bytes
// after the stream's end are ignored. A declared size of 0 is an empty block and reads nothing.
// The buffer holds inflationCapacity bytes. False for a damaged, truncated or oversized stream, a
// wrong checksum, a preset dictionary, or a decoder or buffer that cannot be allocated.
[[nodiscard]] bool inflateBlock(const uint8_t* stream, uint32_t streamLength, uint32_t declaredSize,
                                InflatedBlock& block);

// A decoder made for the first block and used again for every later one. Its results are
// inflateBlock's, block for block: the same bytes, the same failures. Not shared between threads;
// movable.
class BlockInflater {
public:
    BlockInflater();
    ~BlockInflater();
    BlockInflater(BlockInflater&&) noexcept;
    BlockInflater& operator=(BlockInflater&&) noexcept;

    // Inflates a stream that must end within `capacity` bytes (inflationCapacity of the block,
    // at least 1) into `output`; `length` is what it gave. False as inflateBlock is, and when
    // the decoder could not be made.
    [[nodiscard]] bool inflate(const uint8_t* stream, uint32_t streamLength, uint8_t* output, size_t capacity,
                               size_t& length);

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace swiftsetup
