#pragma once
// The payload's walk with its blocks inflated ahead of their turn by the extraction's threads,
// while the calling thread hands every chunk to its visitor in payload order: the extractor
// writes files on one thread and inflates on every core. Portable.

#include <cstdint>

#include "payload/chunk_walker.h"
#include "payload/unpack_threads.h"

namespace swiftsetup {

struct InflateAhead {
    // The threads that inflate besides the calling thread, which inflates too whenever it would
    // otherwise wait. None (or null): every block is inflated on the calling thread in its turn.
    UnpackThreads* threads = nullptr;
    // The most blocks inflated ahead at once, each in a buffer of at most kBlockSize bytes kept
    // for the whole walk; 0 is one for each inflating thread, the calling one included, and one
    // more for the block being handed over.
    unsigned blocks = 0;
};

// Walks the payload exactly as walkPayload(data, size, visitor, InflateMode::Inflate) does: the
// same calls of the visitor in the same order, all on the calling thread, the same bytes for every
// block, and the same result, whatever the threads do meanwhile. The first fault in payload order
// ends it, and nothing after that chunk reaches the visitor. Blocks whose buffer would exceed
// kBlockSize (only payloads no writer makes) are inflated in their turn, one at a time, in a buffer
// of their own. When it returns, no thread is inflating for it any more.
WalkResult walkPayloadInflatingAhead(const uint8_t* data, uint32_t size, ChunkVisitor& visitor,
                                     const InflateAhead& ahead);

}  // namespace swiftsetup
