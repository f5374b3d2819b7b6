#pragma once
// The reading rules of the payload: one walk from the first byte to the last, chunk by chunk,
// that stops at the first rule a payload breaks. What happens to each file and block is the
// visitor's business, so the installer's extractor and the release engineers' tool read payloads
// by exactly the same rules. Portable.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace swiftsetup {

// Why a walk ended early, in the order the rules are checked.
enum class PayloadFault : uint8_t {
    None = 0,
    TruncatedHeader,      // 1 to 3 bytes remain, too few for a chunk header
    ChunkPastEnd,         // a chunk's length runs past the end of the payload
    DataBeforeFile,       // a data chunk before any file chunk
    ShortDataChunk,       // a data chunk's body is shorter than its 4-byte size field
    DecompressionFailed,  // a block's stream does not inflate completely within its size
    UnsafePath,           // a file chunk's path could leave the target folder
    StoppedByVisitor,     // the visitor refused a chunk (it knows why)
};

// The message key the installer reports for a fault ("#extractor_..."); null for None and
// StoppedByVisitor.
const char* faultMessageKey(PayloadFault fault);

// The broken rule in plain English, for release engineers' tools.
const char* faultDescription(PayloadFault fault);

struct Chunk {
    uint32_t offset = 0;  // of its header, from the payload's first byte
    uint8_t kind = 0;
    uint32_t length = 0;  // of the body
    const uint8_t* body = nullptr;
};

struct Block {
    uint32_t declaredSize = 0;  // what the size field says; 0 is an empty block
    const uint8_t* stream = nullptr;
    uint32_t streamLength = 0;
    // The inflated bytes, when the walk inflates (they may be fewer than declared): valid only
    // during the call. Null with length 0 for an empty block, and when the walk does not inflate.
    const uint8_t* bytes = nullptr;
    size_t length = 0;
};

class ChunkVisitor {
public:
    virtual ~ChunkVisitor() = default;
    // A file chunk whose path passed the safety rule; the path is the body as stored, with "/"
    // or "\" between levels. Return false to stop the walk.
    virtual bool onFile(const Chunk& chunk, std::string_view path) = 0;
    // A data chunk of the current file. Return false to stop the walk.
    virtual bool onBlock(const Chunk& chunk, const Block& block) = 0;
    // A chunk of any other kind, which readers skip (the version chunk among them).
    virtual bool onOtherChunk(const Chunk&) { return true; }
    // After every chunk handled without fault: payload bytes consumed so far, headers included.
    virtual void onChunkDone(uint32_t /*consumed*/) {}
};

enum class InflateMode {
    Inflate,    // every block is inflated and checked; the visitor gets its bytes
    SizesOnly,  // blocks are not inflated: a quick look at the layout (listing)
};

struct WalkResult {
    PayloadFault fault = PayloadFault::None;
    // Where the walk ended: the offset of the chunk that broke a rule (of the stray bytes for
    // TruncatedHeader), or the payload's size after a complete walk.
    uint32_t offset = 0;
    uint32_t chunks = 0;  // chunks handled without fault
};

WalkResult walkPayload(const uint8_t* data, uint32_t size, ChunkVisitor& visitor,
                       InflateMode mode = InflateMode::Inflate);

// The value of a version chunk, or false when its body does not start with "VERSION" and NUL.
bool versionValue(const Chunk& chunk, std::string_view& value);

}  // namespace swiftsetup
