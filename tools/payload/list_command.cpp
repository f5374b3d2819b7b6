// list: what a payload carries, file by file, without inflating anything; its digest, and who
// signed the program that carries it.
#include <cstdio>
#include <string>
#include <vector>

#include "payload/chunk_format.h"
#include "payload/chunk_walker.h"
#include "payload/payload_digest.h"
#include "tools/payload/commands.h"
#include "tools/payload/digest_report.h"
#include "tools/payload/payload_source.h"
#include "tools/payload/pe_signature.h"
#include "tools/payload/printable.h"
#include "tools/payload/walk_report.h"

namespace swiftsetup {

namespace {

struct ListedFile {
    std::string path;
    uint64_t size = 0;
    uint32_t blocks = 0;
};

class Lister final : public ChunkVisitor {
public:
    bool onFile(const Chunk&, std::string_view path) override {
        files.push_back(ListedFile{std::string(path), 0, 0});
        return true;
    }
    bool onBlock(const Chunk&, const Block& block) override {
        files.back().size += block.declaredSize;
        ++files.back().blocks;
        return true;
    }
    bool onOtherChunk(const Chunk& chunk) override {
        std::string_view value;
        if (chunk.kind == static_cast<uint8_t>(ChunkKind::Version) && versionValue(chunk, value)) {
            versions.emplace_back(value);
        } else if (chunk.kind != static_cast<uint8_t>(ChunkKind::Digest) || !files.empty()) {
            ++otherChunks;  // a digest chunk before the files is shown with the digest instead
        }
        return true;
    }

    std::vector<ListedFile> files;
    std::vector<std::string> versions;
    uint32_t otherChunks = 0;
};

}  // namespace

int listCommand(const std::string& path, bool rawOnly) {
    PayloadSource source;
    std::string error;
    if (!openPayload(path, rawOnly, source, error)) {
        printError("list", error);
        return kExitFailure;
    }
    Lister lister;
    const WalkResult walk = walkPayload(source.data, source.size, lister, InflateMode::SizesOnly);
    const PayloadDigest digest = checkPayloadDigest(source.data, source.size);

    std::printf("%s\n", source.describe(path).c_str());
    if (source.inProgram) {
        std::printf("%s\n", describePeSignature(readPeSignature(source.file.data(), source.file.size())).c_str());
    }
    for (const std::string& version : lister.versions) {
        std::printf("version %s\n", printable(version).c_str());
    }
    std::printf("%s\n", describeDigest(source, digest).c_str());
    std::printf("%12s %7s  %s\n", "SIZE", "BLOCKS", "PATH");
    uint64_t totalSize = 0;
    uint64_t totalBlocks = 0;
    for (const ListedFile& file : lister.files) {
        std::printf("%12llu %7u  %s\n", static_cast<unsigned long long>(file.size), file.blocks,
                    printable(file.path).c_str());
        totalSize += file.size;
        totalBlocks += file.blocks;
    }
    std::printf("%zu files, %llu bytes in %llu blocks; payload of %u bytes in %u chunks", lister.files.size(),
                static_cast<unsigned long long>(totalSize), static_cast<unsigned long long>(totalBlocks),
                source.size, walk.chunks);
    if (totalSize > 0) std::printf(" (%.1f%% of the unpacked size)", 100.0 * source.size / static_cast<double>(totalSize));
    std::printf("\n");
    if (lister.otherChunks > 0) std::printf("%u chunks of other kinds skipped\n", lister.otherChunks);

    const std::string digestError = digestProblem(source, digest);
    if (!digestError.empty()) printError("list", path + ": " + digestError);
    if (walk.fault != PayloadFault::None) {
        const std::string current = lister.files.empty() ? std::string() : lister.files.back().path;
        printError("list", path + ": broken at " + describeFault(source, walk, current));
    }
    return digestError.empty() && walk.fault == PayloadFault::None ? kExitSuccess : kExitFailure;
}

}  // namespace swiftsetup
