// verify: the digest checked, then the whole payload walked and every block inflated, by the
// installer's reading rules.
#include <cstdio>
#include <string>

#include "payload/chunk_format.h"
#include "payload/chunk_walker.h"
#include "payload/payload_digest.h"
#include "tools/payload/commands.h"
#include "tools/payload/digest_report.h"
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
        if (chunk.kind == static_cast<uint8_t>(ChunkKind::Digest)) {
            // Before the first file chunk it is the digest, or what makes the digest malformed:
            // reported with the digest either way.
            if (files > 0) ++lateDigestChunks;
        } else if (chunk.kind != static_cast<uint8_t>(ChunkKind::Version) || !versionValue(chunk, value)) {
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
    uint32_t lateDigestChunks = 0;
    bool versionFirst = false;
    uint32_t firstChunkEnd = 0;

private:
    void noteFirstChunk(const Chunk& chunk) {
        std::string_view value;
        if (chunk.offset == 0) {
            versionFirst = chunk.kind == static_cast<uint8_t>(ChunkKind::Version) && versionValue(chunk, value);
            firstChunkEnd = kChunkHeaderSize + chunk.length;
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
    // The digest first, as the installer checks it before it changes anything.
    const PayloadDigest digest = checkPayloadDigest(source.data, source.size);
    std::printf("%s\n", describeDigest(source, digest).c_str());
    Verifier verifier;
    const WalkResult walk = walkPayload(source.data, source.size, verifier, InflateMode::Inflate);
    const std::string digestError = digestProblem(source, digest);
    if (!digestError.empty()) printError("verify", path + ": " + digestError);
    if (walk.fault != PayloadFault::None) {
        printError("verify", path + ": broken at " + describeFault(source, walk, verifier.currentFile));
    }
    if (!digestError.empty() || walk.fault != PayloadFault::None) return kExitFailure;

    std::printf("OK: %u files, %llu bytes in %u blocks, from %u payload bytes in %u chunks\n",
                verifier.files, static_cast<unsigned long long>(verifier.inflatedBytes), verifier.blocks,
                source.size, walk.chunks);
    // Readers accept these; a writer that follows the conventions never produces them.
    if (source.size > 0 && !verifier.versionFirst) std::printf("note: the first chunk is not a version chunk\n");
    const uint32_t digestPlace = verifier.versionFirst ? verifier.firstChunkEnd : 0;
    if (digest.status == DigestStatus::Matches && digest.offset != digestPlace) {
        std::printf("note: the digest chunk is not %s\n",
                    verifier.versionFirst ? "the second chunk, directly after the version chunk" : "the first chunk");
    }
    if (verifier.shortBlocks > 0) {
        std::printf("note: %u blocks inflate to fewer bytes than their size field says (the first at "
                    "payload byte %u)\n", verifier.shortBlocks, verifier.firstShortBlock);
    }
    if (verifier.unknownChunks > 0) {
        std::printf("note: %u chunks of unknown kinds were skipped\n", verifier.unknownChunks);
    }
    if (verifier.lateDigestChunks > 0) {
        std::printf("note: %u digest chunks after the first file chunk were skipped (readers look for the "
                    "digest only before it)\n", verifier.lateDigestChunks);
    }
    return kExitSuccess;
}

}  // namespace swiftsetup
