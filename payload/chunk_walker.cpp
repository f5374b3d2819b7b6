#include "payload/chunk_walker.h"

#include <cstring>

#include "payload/block_inflater.h"
#include "payload/chunk_format.h"
#include "payload/payload_path.h"

namespace swiftsetup {

const char* faultMessageKey(PayloadFault fault) {
    switch (fault) {
        case PayloadFault::TruncatedHeader: return "#extractor_invalid_chunk_error";
        case PayloadFault::ChunkPastEnd: return "#extractor_invalid_chunk_size";
        case PayloadFault::DataBeforeFile: return "#extractor_unexpected_data_chunk";
        case PayloadFault::ShortDataChunk: return "#extractor_invalid_data_chunk";
        case PayloadFault::DecompressionFailed: return "#extractor_decompression_failed";
        case PayloadFault::UnsafePath: return "#extractor_invalid_path";
        case PayloadFault::None:
        case PayloadFault::StoppedByVisitor: break;
    }
    return nullptr;
}

const char* faultDescription(PayloadFault fault) {
    switch (fault) {
        case PayloadFault::None: return "no fault";
        case PayloadFault::TruncatedHeader:
            return "1 to 3 bytes remain after the last chunk, too few for a chunk header";
        case PayloadFault::ChunkPastEnd: return "the chunk's length runs past the end of the payload";
        case PayloadFault::DataBeforeFile: return "a data chunk comes before the first file chunk";
        case PayloadFault::ShortDataChunk:
            return "the data chunk's body is shorter than its 4-byte size field";
        case PayloadFault::DecompressionFailed:
            return "the block's zlib stream does not inflate completely within its declared size";
        case PayloadFault::UnsafePath:
            return "the file chunk's path could leave the target folder (empty, \".\" or \"..\" "
                   "level, leading separator, \":\" or NUL, or longer than 32767 bytes)";
        case PayloadFault::StoppedByVisitor: return "the chunk could not be handled";
    }
    return "unknown fault";
}

namespace {

PayloadFault walkDataChunk(const Chunk& chunk, ChunkVisitor& visitor, InflateMode mode) {
    if (chunk.length < kBlockSizeFieldSize) return PayloadFault::ShortDataChunk;
    Block block;
    block.declaredSize = readBigEndian32(chunk.body);
    block.stream = chunk.body + kBlockSizeFieldSize;
    block.streamLength = chunk.length - kBlockSizeFieldSize;
    // The buffer lives until the visitor is done with the bytes, then goes: one block at a time.
    InflatedBlock inflated;
    if (mode == InflateMode::Inflate && block.declaredSize != 0) {
        if (!inflateBlock(block.stream, block.streamLength, block.declaredSize, inflated)) {
            return PayloadFault::DecompressionFailed;
        }
        block.bytes = inflated.bytes.get();
        block.length = inflated.length;
    }
    return visitor.onBlock(chunk, block) ? PayloadFault::None : PayloadFault::StoppedByVisitor;
}

}  // namespace

WalkResult walkPayload(const uint8_t* data, uint32_t size, ChunkVisitor& visitor, InflateMode mode) {
    const uint8_t* cursor = data;
    uint32_t remaining = size;
    bool fileOpen = false;
    WalkResult result;
    for (;;) {
        result.offset = size - remaining;
        if (remaining == 0) return result;
        if (remaining < kChunkHeaderSize) {
            result.fault = PayloadFault::TruncatedHeader;
            return result;
        }
        Chunk chunk;
        chunk.offset = result.offset;
        chunk.kind = cursor[0];
        chunk.length = readBigEndian24(cursor + 1);
        cursor += kChunkHeaderSize;
        remaining -= kChunkHeaderSize;
        // Checked before the kind is looked at, so chunks that are skipped must fit as well.
        if (chunk.length > remaining) {
            result.fault = PayloadFault::ChunkPastEnd;
            return result;
        }
        chunk.body = cursor;

        PayloadFault fault = PayloadFault::None;
        if (chunk.kind == static_cast<uint8_t>(ChunkKind::Data)) {
            fault = fileOpen ? walkDataChunk(chunk, visitor, mode) : PayloadFault::DataBeforeFile;
        } else if (chunk.kind == static_cast<uint8_t>(ChunkKind::File)) {
            const std::string_view path(reinterpret_cast<const char*>(chunk.body), chunk.length);
            if (!isSafePayloadPath(path)) {
                fault = PayloadFault::UnsafePath;
            } else if (!visitor.onFile(chunk, path)) {
                fault = PayloadFault::StoppedByVisitor;
            } else {
                fileOpen = true;
            }
        } else if (!visitor.onOtherChunk(chunk)) {
            fault = PayloadFault::StoppedByVisitor;
        }
        if (fault != PayloadFault::None) {
            result.fault = fault;
            return result;
        }

        cursor += chunk.length;
        remaining -= chunk.length;
        ++result.chunks;
        visitor.onChunkDone(size - remaining);
    }
}

bool versionValue(const Chunk& chunk, std::string_view& value) {
    if (chunk.length < kVersionKeyLength ||
        std::memcmp(chunk.body, kVersionKey, kVersionKeyLength) != 0) {
        return false;
    }
    value = std::string_view(reinterpret_cast<const char*>(chunk.body) + kVersionKeyLength,
                             chunk.length - kVersionKeyLength);
    return true;
}

}  // namespace swiftsetup
