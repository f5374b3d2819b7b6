// verify: the whole payload walked and every block inflated, by the installer's reading rules.
#include <cstdio>
#include <string>

#include "payload/chunk_format.h"
#include "payload/chunk_walker.h"
#include "tools/payload/commands.h"
#include "tools/payload/payload_source.h"
#include "tools/payload/walk_report.h"

namespace swiftsetup {

namespace {

class Verifier final : public ChunkVisitor {
public:
    bool onFile(const Chunk& chunk, std::string_view path) override {
        noteFirstChunk(chunk);
        currentFile.assign(path);
        ++files;
        return true;
    }
    bool onBlock(const Chunk& chunk, const Block& block) override {
        ++blocks;
        inflatedBytes += block.length;
        if (block.declaredSize != 0 && block.length != block.declaredSize) {
            if (shortBlocks++ == 0) firstShortBlock = chunk.offset;
        }
        return true;
    }
    bool onOtherChunk(const Chunk& chunk) override {
        noteFirstChunk(chunk);
        std::string_view value;
        if (chunk.kind != static_cast<uint8_t>(ChunkKind::Version) || !versionValue(chunk, value)) {
            ++unknownChunks;
        }
        return true;
    }

    std::string currentFile;
    uint32_t files = 0;
    uint32_t blocks = 0;
    uint64_t inflatedBytes = 0;
    uint32_t shortBlocks = 0;
    uint32_t firstShortBlock = 0;
    uint32_t unknownChunks = 0;
    bool versionFirst = false;

private:
    void noteFirstChunk(const Chunk& chunk) {
        std::string_view value;
        if (chunk.offset == 0) {
            versionFirst = chunk.kind == static_cast<uint8_t>(ChunkKind::Version) && versionValue(chunk, value);
        }
    }
};

}  // namespace

int verifyCommand(const std::string& path, bool rawOnly) {
    PayloadSource source;
    std::string error;
    if (!openPayload(path, rawOnly, source, error)) {
        printError("verify", error);
        return kExitFailure;
    }
    std::printf("%s\n", source.describe(path).c_str());
    Verifier verifier;
    const WalkResult walk = walkPayload(source.data, source.size, verifier, InflateMode::Inflate);
    if (walk.fault != PayloadFault::None) {
        printError("verify", path + ": broken at " + describeFault(source, walk, verifier.currentFile));
        return kExitFailure;
    }

    std::printf("OK: %u files, %llu bytes in %u blocks, from %u payload bytes in %u chunks\n",
                verifier.files, static_cast<unsigned long long>(verifier.inflatedBytes), verifier.blocks,
                source.size, walk.chunks);
    // Readers accept these; a writer that follows the conventions never produces them.
    if (source.size > 0 && !verifier.versionFirst) std::printf("note: the first chunk is not a version chunk\n");
    if (verifier.shortBlocks > 0) {
        std::printf("note: %u blocks inflate to fewer bytes than their size field says (the first at "
                    "payload byte %u)\n", verifier.shortBlocks, verifier.firstShortBlock);
    }
    if (verifier.unknownChunks > 0) {
        std::printf("note: %u chunks of unknown kinds were skipped\n", verifier.unknownChunks);
    }
    return kExitSuccess;
}

}  // namespace swiftsetup
