// Fuzz target of the payload reading rules: any bytes are walked twice, inflating every block
// and looking at sizes only, and what the walker reports is checked against the rules it must
// keep whatever the input. The walk that inflates ahead (with the blocks' reused decoder and
// buffers, here without threads) must agree with the plain one chunk for chunk and byte for byte.
// Every block's verdict is checked against zlib's inflate, the reference for a block's rules. The
// digest check runs on the same bytes, agrees with the walk about the digest chunks before the
// first file chunk, and never matches once its value or a covered byte is changed. Built with
// clang's libFuzzer by scripts/fuzz-payload, and replayed over the committed corpus by the native
// tests.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include <zlib.h>

#include "payload/block_inflater.h"
#include "payload/chunk_format.h"
#include "payload/chunk_walker.h"
#include "payload/inflate_ahead.h"
#include "payload/payload_digest.h"

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
        if (chunk.kind == static_cast<uint8_t>(ChunkKind::Digest) && !fileSeen_) {
            if (digestChunks_++ == 0) firstDigest_ = chunk;
        }
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
    unsigned checksum() const { return checksum_; }
    bool fileSeen() const { return fileSeen_; }
    // Digest chunks before the first file chunk, and the first of them.
    uint32_t digestChunks() const { return digestChunks_; }
    const Chunk& firstDigest() const { return firstDigest_; }

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
    uint32_t digestChunks_ = 0;
    Chunk firstDigest_;
    volatile unsigned checksum_ = 0;
};

// Every block inflated by the walk's decoder and by zlib's inflate into the same room. The decoder
// must accept what zlib accepts, with the same bytes, and refuse whatever zlib refuses for the
// room, the Adler-32, a preset dictionary, the header or a stream cut short. It is laxer only
// about code descriptions that zlib calls malformed yet decode one way (a repeat running past the
// code lengths, a code of one symbol, literal/length codes 286 and 287 and distance codes 30 and
// 31), and then the output must still match the stream's Adler-32.
class ZlibReference final : public ChunkVisitor {
public:
    bool onFile(const Chunk&, std::string_view) override { return true; }
    bool onOtherChunk(const Chunk&) override { return true; }
    bool onBlock(const Chunk&, const Block& block) override {
        if (block.declaredSize == 0) return true;
        InflatedBlock ours;
        const bool accepted = inflateBlock(block.stream, block.streamLength, block.declaredSize, ours);
        const size_t capacity = inflationCapacity(block.streamLength, block.declaredSize);
        require(capacity != 0);
        const std::unique_ptr<uint8_t[]> theirs(new uint8_t[capacity]);
        z_stream z{};
        require(inflateInit(&z) == Z_OK);
        z.next_in = const_cast<Bytef*>(block.stream);
        z.avail_in = block.streamLength;
        z.next_out = theirs.get();
        z.avail_out = static_cast<uInt>(capacity);
        const int result = inflate(&z, Z_FINISH);
        const std::string_view why = z.msg != nullptr ? z.msg : "";
        if (result == Z_STREAM_END) {
            require(accepted && ours.length == z.total_out);
            require(std::memcmp(ours.bytes.get(), theirs.get(), ours.length) == 0);
        } else if (accepted) {
            require(result == Z_DATA_ERROR);
            require(why == "invalid bit length repeat" || why == "invalid literal/length code" ||
                    why == "invalid distance code" || why == "too many length or distance symbols" ||
                    why == "invalid code lengths set" || why == "invalid literal/lengths set" ||
                    why == "invalid distances set");
            require(ours.length <= capacity);
        }
        inflateEnd(&z);
        return true;
    }
};

bool wellFormedDigestBody(const Chunk& chunk) {
    return chunk.length == kDigestBodyLength && std::memcmp(chunk.body, kDigestKey, kDigestKeyLength) == 0;
}

// What the digest check says must hold for the bytes it was given, and must agree with what the
// walk saw of the chunks before the first file chunk wherever the walk got that far.
void checkDigest(const uint8_t* data, uint32_t length, const CheckingVisitor& sizing, const WalkResult& quick) {
    const PayloadDigest digest = checkPayloadDigest(data, length);
    switch (digest.status) {
        case DigestStatus::Absent:
            require(digest.offset == 0 && digest.stored == 0 && digest.computed == 0 && digest.problem == nullptr);
            break;
        case DigestStatus::Malformed:
            require(digest.problem != nullptr);
            require(uint64_t{digest.offset} + kChunkHeaderSize <= length);
            require(data[digest.offset] == static_cast<uint8_t>(ChunkKind::Digest));
            break;
        case DigestStatus::Matches:
        case DigestStatus::Mismatch: {
            const uint32_t value = digest.offset + kChunkHeaderSize + kDigestKeyLength;
            require(uint64_t{value} + kDigestValueSize <= length);
            require(data[digest.offset] == static_cast<uint8_t>(ChunkKind::Digest));
            require(readBigEndian24(data + digest.offset + 1) == kDigestBodyLength);
            require(std::memcmp(data + digest.offset + kChunkHeaderSize, kDigestKey, kDigestKeyLength) == 0);
            require(digest.stored == readBigEndian32(data + value));
            require(digest.computed == payloadCrc32(data, length, value));
            require((digest.status == DigestStatus::Matches) == (digest.stored == digest.computed));

            // The value is not covered: changed, the rest gives the same CRC, and a value that
            // matched matches no more.
            std::vector<uint8_t> changed(data, data + length);
            changed[value + kDigestValueSize - 1] ^= 0x01;
            const PayloadDigest forged = checkPayloadDigest(changed.data(), length);
            require(forged.offset == digest.offset && forged.stored == (digest.stored ^ 0x01));
            require(forged.computed == digest.computed);
            require((forged.status == DigestStatus::Matches) == (forged.stored == forged.computed));
            if (digest.status == DigestStatus::Matches) require(forged.status == DigestStatus::Mismatch);
            // A changed covered byte changes the CRC wherever the digest chunk is still found.
            changed[value + kDigestValueSize - 1] ^= 0x01;
            const uint32_t covered = value + kDigestValueSize < length ? length - 1 : 0;
            changed[covered] ^= 0x80;
            const PayloadDigest damaged = checkPayloadDigest(changed.data(), length);
            if (damaged.offset == digest.offset &&
                (damaged.status == DigestStatus::Matches || damaged.status == DigestStatus::Mismatch)) {
                require(damaged.computed != digest.computed);
                require(damaged.status == DigestStatus::Mismatch || digest.status == DigestStatus::Mismatch);
            }
            break;
        }
    }

    // The walk frames every chunk before the first file chunk when it ends cleanly, reaches a file
    // chunk, or stops at one (an unsafe path); the digest check must then see the same digest chunks.
    if (quick.fault == PayloadFault::None || sizing.fileSeen() || quick.fault == PayloadFault::UnsafePath) {
        if (sizing.digestChunks() == 0) {
            require(digest.status == DigestStatus::Absent);
        } else if (sizing.digestChunks() > 1 || !wellFormedDigestBody(sizing.firstDigest())) {
            require(digest.status == DigestStatus::Malformed);
        } else {
            require(digest.status == DigestStatus::Matches || digest.status == DigestStatus::Mismatch);
            require(digest.offset == sizing.firstDigest().offset);
        }
    } else if (quick.fault == PayloadFault::ChunkPastEnd && data[quick.offset] == static_cast<uint8_t>(ChunkKind::Digest)) {
        require(digest.status == DigestStatus::Malformed);  // a cut digest chunk is not hidden
    }
}

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
    for (const unsigned blocks : {1u, 3u}) {
        CheckingVisitor ahead(data, length, InflateMode::Inflate);
        const WalkResult walk = walkPayloadInflatingAhead(data, length, ahead, InflateAhead{nullptr, blocks});
        require(walk.fault == full.fault && walk.offset == full.offset && walk.chunks == full.chunks);
        require(ahead.chunks() == inflating.chunks() && ahead.consumed() == inflating.consumed());
        require(ahead.checksum() == inflating.checksum());
    }
    ZlibReference reference;
    walkPayload(data, length, reference, InflateMode::SizesOnly);
    checkDigest(data, length, sizing, quick);
    return 0;
}
