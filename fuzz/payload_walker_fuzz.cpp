// Fuzz target of the payload reading rules: any bytes are walked twice, inflating every block
// and looking at sizes only, and what the walker reports is checked against the rules it must
// keep whatever the input. Built with clang's libFuzzer by scripts/fuzz-payload, and replayed
// over the committed corpus by the native tests.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "payload/block_inflater.h"
#include "payload/chunk_format.h"
#include "payload/chunk_walker.h"

namespace {

using namespace swiftsetup;

void require(bool condition) {
    if (!condition) std::abort();
}

// No level of an accepted path may be empty, "." or "..", and no byte may be ":" or NUL.
bool stays_inside(std::string_view path) {
    if (path.empty()) return false;
    size_t start = 0;
    for (size_t i = 0; i <= path.size(); ++i) {
        if (i < path.size() && (path[i] == ':' || path[i] == '\0')) return false;
        if (i == path.size() || path[i] == '/' || path[i] == '\\') {
            const std::string_view level = path.substr(start, i - start);
            if (level.empty() || level == "." || level == "..") return false;
            start = i + 1;
        }
    }
    return true;
}

class CheckingVisitor final : public ChunkVisitor {
public:
    CheckingVisitor(const uint8_t* data, uint32_t size, InflateMode mode)
        : data_(data), size_(size), mode_(mode) {}

    bool onFile(const Chunk& chunk, std::string_view path) override {
        checkChunk(chunk, ChunkKind::File);
        require(stays_inside(path));
        require(path.data() == reinterpret_cast<const char*>(chunk.body) && path.size() == chunk.length);
        fileSeen_ = true;
        return true;
    }

    bool onBlock(const Chunk& chunk, const Block& block) override {
        checkChunk(chunk, ChunkKind::Data);
        require(fileSeen_);
        require(chunk.length >= kBlockSizeFieldSize);
        require(block.declaredSize == readBigEndian32(chunk.body));
        require(block.streamLength == chunk.length - kBlockSizeFieldSize);
        if (mode_ == InflateMode::SizesOnly || block.declaredSize == 0) {
            require(block.bytes == nullptr && block.length == 0);
        } else {
            require(block.length <= block.declaredSize);
            require(block.length <= maximumInflatedSize(block.streamLength));
            // Every inflated byte must be readable (AddressSanitizer watches this).
            unsigned sum = 0;
            for (size_t i = 0; i < block.length; ++i) sum += block.bytes[i];
            checksum_ = checksum_ + sum;
        }
        return true;
    }

    bool onOtherChunk(const Chunk& chunk) override {
        require(chunk.kind > static_cast<uint8_t>(ChunkKind::File));
        checkChunk(chunk, static_cast<ChunkKind>(chunk.kind));
        return true;
    }

    void onChunkDone(uint32_t consumed) override {
        require(consumed >= consumed_ + kChunkHeaderSize);
        require(consumed <= size_);
        require(consumed == expectedEnd_);
        consumed_ = consumed;
        ++chunks_;
    }

    uint32_t consumed() const { return consumed_; }
    uint32_t chunks() const { return chunks_; }

private:
    void checkChunk(const Chunk& chunk, ChunkKind kind) {
        require(chunk.kind == static_cast<uint8_t>(kind));
        require(chunk.offset == consumed_);
        require(chunk.body == data_ + chunk.offset + kChunkHeaderSize);
        require(uint64_t{chunk.offset} + kChunkHeaderSize + chunk.length <= size_);
        require(chunk.length == readBigEndian24(data_ + chunk.offset + 1));
        expectedEnd_ = chunk.offset + kChunkHeaderSize + chunk.length;
    }

    const uint8_t* data_;
    uint32_t size_;
    InflateMode mode_;
    bool fileSeen_ = false;
    uint32_t consumed_ = 0;
    uint32_t expectedEnd_ = 0;
    uint32_t chunks_ = 0;
    volatile unsigned checksum_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > UINT32_MAX) return 0;
    const auto length = static_cast<uint32_t>(size);

    CheckingVisitor inflating(data, length, InflateMode::Inflate);
    const WalkResult full = walkPayload(data, length, inflating, InflateMode::Inflate);
    CheckingVisitor sizing(data, length, InflateMode::SizesOnly);
    const WalkResult quick = walkPayload(data, length, sizing, InflateMode::SizesOnly);

    for (const auto& [walk, visitor] : {std::pair{full, &inflating}, std::pair{quick, &sizing}}) {
        require(walk.offset <= length);
        require(walk.chunks == visitor->chunks());
        require(walk.offset == visitor->consumed());
        if (walk.fault == PayloadFault::None) require(walk.offset == length);
        if (walk.fault == PayloadFault::TruncatedHeader) require(length - walk.offset < kChunkHeaderSize);
        require(walk.fault != PayloadFault::StoppedByVisitor);
        require((faultMessageKey(walk.fault) == nullptr) == (walk.fault == PayloadFault::None));
    }
    require(quick.fault != PayloadFault::DecompressionFailed);
    // Inflating only adds a reason to stop: up to where it stopped, both walks agree.
    if (full.fault == PayloadFault::DecompressionFailed) {
        require(quick.chunks > full.chunks);
    } else {
        require(full.fault == quick.fault && full.offset == quick.offset && full.chunks == quick.chunks);
    }
    return 0;
}
