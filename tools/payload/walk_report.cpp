#include "tools/payload/walk_report.h"

#include "payload/chunk_format.h"

namespace swiftsetup {

std::string payloadPosition(const PayloadSource& source, uint32_t offset) {
    std::string text = "payload byte " + std::to_string(offset);
    if (source.inProgram) text += " (file offset " + std::to_string(source.fileOffset + offset) + ")";
    return text;
}

std::string describeFault(const PayloadSource& source, const WalkResult& walk,
                          const std::string& currentFile) {
    std::string text = payloadPosition(source, walk.offset);
    text += ", chunk " + std::to_string(walk.chunks + 1);
    if (walk.fault != PayloadFault::TruncatedHeader && source.size - walk.offset >= kChunkHeaderSize) {
        const uint8_t* header = source.data + walk.offset;
        text += " (kind " + std::to_string(header[0]) + ", body of " +
                std::to_string(readBigEndian24(header + 1)) + " bytes)";
    } else {
        text += " (" + std::to_string(source.size - walk.offset) + " stray bytes)";
    }
    if (!currentFile.empty() && (walk.fault == PayloadFault::DecompressionFailed ||
                                 walk.fault == PayloadFault::ShortDataChunk)) {
        text += " in \"" + currentFile + "\"";
    }
    text += ": ";
    text += faultDescription(walk.fault);
    if (const char* key = faultMessageKey(walk.fault)) {
        text += " [";
        text += key;
        text += "]";
    }
    return text;
}

}  // namespace swiftsetup
