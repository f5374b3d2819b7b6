#include "payload/inflate_ahead.h"

#include <memory>
#include <new>
#include <string_view>
#include <vector>

#include "payload/block_inflater.h"
#include "payload/chunk_format.h"

namespace swiftsetup {
namespace {

// One block's inflation, in a buffer that is kept for the blocks after it.
struct Slot final : UnpackThreads::Job {
    // Set by the walk before the block is queued.
    const uint8_t* stream = nullptr;
    uint32_t streamLength = 0;
    size_t capacity = 0;
    std::unique_ptr<uint8_t[]> buffer;
    size_t bufferSize = 0;
    // Set by whichever thread inflated it.
    size_t length = 0;
    bool inflated = false;
    bool done = false;

    void run(BlockInflater& inflater) override {
        inflated = inflater.inflate(stream, streamLength, buffer.get(), capacity, length);
    }
    void finish() override { done = true; }
};

constexpr uint32_t kNoJob = UINT32_MAX;

// A chunk that the framing walk has passed and the visitor has not yet seen.
struct Pending {
    enum class Kind : uint8_t { File, Block, Other } kind = Kind::Other;
    Chunk chunk;
    Block block;            // declared size and stream, for a data chunk
    std::string_view path;  // for a file chunk
    uint32_t consumed = 0;
    uint32_t job = kNoJob;  // the queued inflation of a data chunk, if it has one
};

class AheadWalk final : public ChunkVisitor {
public:
    AheadWalk(ChunkVisitor& visitor, const InflateAhead& ahead)
        : visitor_(visitor), threads_(ahead.threads != nullptr ? *ahead.threads : none_) {
        const size_t blocks = ahead.blocks != 0 ? ahead.blocks : threads_.threads() == 0 ? 1 : threads_.threads() + 2;
        slots_ = std::vector<Slot>(blocks);
        ring_ = std::vector<Pending>(4 * blocks);
    }
    // No thread may still be inflating into the slots when they go.
    ~AheadWalk() override {
        threads_.lock();
        threads_.dropInflations();
        threads_.unlock();
    }
    AheadWalk(const AheadWalk&) = delete;
    AheadWalk& operator=(const AheadWalk&) = delete;

    WalkResult run(const uint8_t* data, uint32_t size) {
        // The framing walk runs ahead and queues; the visitor hears of each chunk when room is
        // needed, and of the rest once the framing walk has ended.
        const WalkResult framing = walkPayload(data, size, *this, InflateMode::SizesOnly);
        while (!failed_ && queued_ > 0) handOver();
        return failed_ ? failure_ : framing;
    }

    bool onFile(const Chunk& chunk, std::string_view path) override {
        if (!makeRoom(false)) return false;
        Pending& pending = push(Pending::Kind::File, chunk);
        pending.path = path;
        return true;
    }

    bool onBlock(const Chunk& chunk, const Block& block) override {
        const size_t capacity = block.declaredSize == 0 ? 0 : inflationCapacity(block.streamLength, block.declaredSize);
        const bool ahead = capacity != 0 && capacity <= kBlockSize;
        if (!makeRoom(ahead)) return false;
        Pending& pending = push(Pending::Kind::Block, chunk);
        pending.block = block;
        if (ahead) pending.job = queue(block, capacity);
        return true;
    }

    bool onOtherChunk(const Chunk& chunk) override {
        if (!makeRoom(false)) return false;
        push(Pending::Kind::Other, chunk);
        return true;
    }

    // Comes right after the chunk was queued.
    void onChunkDone(uint32_t consumed) override { ring_[(first_ + queued_ - 1) % ring_.size()].consumed = consumed; }

private:
    // Hands chunks to the visitor until one more chunk (and, for a block to inflate ahead, one more
    // block) fits. False once one of them has failed.
    bool makeRoom(bool block) {
        while (queued_ == ring_.size() || (block && submitted_ - handedJobs_ == slots_.size())) {
            if (!handOver()) return false;
        }
        return !failed_;
    }

    Pending& push(Pending::Kind kind, const Chunk& chunk) {
        Pending& pending = ring_[(first_ + queued_++) % ring_.size()];
        pending = Pending{};
        pending.kind = kind;
        pending.chunk = chunk;
        return pending;
    }

    // Queues a block's inflation in the next slot, whose buffer is grown here, on the walk's
    // thread, so the inflating threads never allocate. A buffer that cannot be had leaves the
    // block to be inflated in its turn, which then fails as inflateBlock fails.
    uint32_t queue(const Block& block, size_t capacity) {
        const uint32_t job = submitted_;
        Slot& slot = slots_[job % slots_.size()];
        if (slot.bufferSize < capacity) {
            slot.buffer.reset(new (std::nothrow) uint8_t[capacity]);
            slot.bufferSize = slot.buffer ? capacity : 0;
            if (!slot.buffer) return kNoJob;
        }
        slot.stream = block.stream;
        slot.streamLength = block.streamLength;
        slot.capacity = capacity;
        slot.done = false;
        ++submitted_;
        threads_.lock();
        threads_.queueInflation(slot);
        threads_.unlock();
        return job;
    }

    // The block's inflation, once done. Rather than wait, this thread inflates the oldest block
    // no thread has begun, this one or one after it.
    const Slot& finished(uint32_t job) {
        const Slot& slot = slots_[job % slots_.size()];
        threads_.lock();
        while (!slot.done) {
            if (!threads_.runQueuedInflation(inflater_)) threads_.waitForJob();
        }
        threads_.unlock();
        return slot;
    }

    // The oldest queued chunk to the visitor, then its progress. False when it fails: a block that
    // does not inflate, or a chunk the visitor refuses.
    bool handOver() {
        Pending& pending = ring_[first_];
        bool accepted = true;
        switch (pending.kind) {
            case Pending::Kind::File: accepted = visitor_.onFile(pending.chunk, pending.path); break;
            case Pending::Kind::Other: accepted = visitor_.onOtherChunk(pending.chunk); break;
            case Pending::Kind::Block: {
                Block block = pending.block;
                InflatedBlock own;  // a block not inflated ahead, in a buffer of its own
                bool inflated = true;
                if (pending.job != kNoJob) {
                    const Slot& slot = finished(pending.job);
                    ++handedJobs_;
                    inflated = slot.inflated;
                    block.bytes = slot.buffer.get();
                    block.length = slot.length;
                } else if (block.declaredSize != 0) {
                    inflated = inflateBlock(block.stream, block.streamLength, block.declaredSize, own);
                    block.bytes = own.bytes.get();
                    block.length = own.length;
                }
                if (!inflated) return fail(PayloadFault::DecompressionFailed, pending);
                accepted = visitor_.onBlock(pending.chunk, block);
                break;
            }
        }
        if (!accepted) return fail(PayloadFault::StoppedByVisitor, pending);
        const uint32_t consumed = pending.consumed;
        first_ = (first_ + 1) % ring_.size();
        --queued_;
        ++handed_;
        visitor_.onChunkDone(consumed);
        return true;
    }

    bool fail(PayloadFault fault, const Pending& pending) {
        failed_ = true;
        failure_.fault = fault;
        failure_.offset = pending.chunk.offset;
        failure_.chunks = handed_;
        return false;
    }

    ChunkVisitor& visitor_;
    UnpackThreads none_{nullptr, 0};  // the threads of a walk given none
    UnpackThreads& threads_;
    BlockInflater inflater_;  // this thread's, for blocks no other thread has begun
    std::vector<Slot> slots_;
    std::vector<Pending> ring_;
    size_t first_ = 0;
    size_t queued_ = 0;
    uint32_t handed_ = 0;      // chunks the visitor has seen
    uint32_t submitted_ = 0;   // inflations queued
    uint32_t handedJobs_ = 0;  // queued inflations whose block the visitor has seen
    bool failed_ = false;
    WalkResult failure_;
};

}  // namespace

WalkResult walkPayloadInflatingAhead(const uint8_t* data, uint32_t size, ChunkVisitor& visitor,
                                     const InflateAhead& ahead) {
    AheadWalk walk(visitor, ahead);
    return walk.run(data, size);
}

}  // namespace swiftsetup
