#include "payload/payload_writer.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "payload/chunk_format.h"
#include "payload/payload_path.h"
#include "text/ascii_case.h"

namespace swiftsetup {

namespace {

constexpr uint64_t kMaxPayloadSize = 0xFFFFFFFFu;
constexpr int kCompressionLevel = 6;
constexpr size_t kMaxNameUnits = 255;

// Windows opens these as devices whatever the folder, with or without an extension.
bool isDeviceName(std::string_view name) {
    const std::string_view stem = name.substr(0, name.find('.'));
    for (const char* device : {"CON", "PRN", "AUX", "NUL"}) {
        if (equalsIgnoringAsciiCase(stem, device)) return true;
    }
    if (stem.size() == 4 && stem[3] >= '1' && stem[3] <= '9' &&
        (equalsIgnoringAsciiCase(stem.substr(0, 3), "COM") ||
         equalsIgnoringAsciiCase(stem.substr(0, 3), "LPT"))) {
        return true;
    }
    return false;
}

}  // namespace

const char* writeErrorDescription(WriteError error) {
    switch (error) {
        case WriteError::None: return "no error";
        case WriteError::PathTooLong:
            return "the path is longer than a chunk can carry (16,777,215 bytes)";
        case WriteError::PathTooLongForWindows:
            return "the path is longer than any Windows path (32,767 characters)";
        case WriteError::PathNotUtf8: return "the path is not valid UTF-8";
        case WriteError::PathUnsafe:
            return "the path is not a plain relative path (empty, \".\" or \"..\" level, leading "
                   "\"/\", \":\" or NUL), which the installer refuses";
        case WriteError::NameNotWindows: return "a name in the path cannot be created on Windows";
        case WriteError::VersionInvalid:
            return "the version value must be printable ASCII and fit in a chunk";
        case WriteError::BlockSizeInvalid: return "a block must hold 1 to 65,536 bytes";
        case WriteError::NoFileOpen: return "a block needs a file chunk before it";
        case WriteError::PayloadTooLarge:
            return "the payload would exceed 4 GiB - 1 bytes, the most a resource can hold";
        case WriteError::CompressionFailed: return "zlib could not compress a block";
        case WriteError::OutputFailed: return "the payload could not be written";
        case WriteError::PatchFailed:
            return "the digest's value could not be written over its placeholder (the output "
                   "cannot be changed once written)";
        case WriteError::Finished: return "the payload is already finished: its digest is complete";
    }
    return "unknown error";
}

bool isValidUtf8(std::string_view text) {
    size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<uint8_t>(text[i]);
        size_t extra = 0;
        uint32_t codePoint = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            extra = 1;
            codePoint = lead & 0x1Fu;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            extra = 2;
            codePoint = lead & 0x0Fu;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            extra = 3;
            codePoint = lead & 0x07u;
        } else {
            return false;
        }
        if (text.size() - i <= extra) return false;
        for (size_t k = 1; k <= extra; ++k) {
            const auto next = static_cast<uint8_t>(text[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            codePoint = (codePoint << 6) | (next & 0x3Fu);
        }
        const uint32_t smallest[] = {0, 0x80, 0x800, 0x10000};
        if (codePoint < smallest[extra] || codePoint > 0x10FFFF ||
            (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
            return false;
        }
        i += extra + 1;
    }
    return true;
}

size_t utf16Length(std::string_view utf8) {
    size_t units = 0;
    for (const char c : utf8) {
        const auto byte = static_cast<uint8_t>(c);
        if ((byte & 0xC0) != 0x80) ++units;   // a lead byte starts a character
        if ((byte & 0xF8) == 0xF0) ++units;   // four-byte forms need a surrogate pair
    }
    return units;
}

const char* windowsNameProblem(std::string_view name) {
    if (name.empty()) return "an empty name";
    for (const char c : name) {
        if (static_cast<uint8_t>(c) < 0x20) return "a control character";
        if (std::strchr("<>:\"/\\|?*", c) != nullptr) return "one of the characters < > : \" / \\ | ? *";
    }
    if (name.back() == '.' || name.back() == ' ') return "a dot or blank at its end";
    if (isDeviceName(name)) return "the name of a Windows device (CON, PRN, AUX, NUL, COM1-9, LPT1-9)";
    if (utf16Length(name) > kMaxNameUnits) return "more than 255 characters";
    return nullptr;
}

WriteError checkPayloadPath(std::string_view path) {
    if (path.size() > kMaxChunkLength) return WriteError::PathTooLong;
    if (path.size() > kMaxPayloadPathLength) return WriteError::PathTooLongForWindows;
    if (!isValidUtf8(path)) return WriteError::PathNotUtf8;
    if (!isSafePayloadPath(path)) return WriteError::PathUnsafe;
    size_t levelStart = 0;
    for (;;) {
        const size_t separator = path.find('/', levelStart);
        const std::string_view level = path.substr(levelStart, separator - levelStart);
        if (windowsNameProblem(level) != nullptr) return WriteError::NameNotWindows;
        if (separator == std::string_view::npos) break;
        levelStart = separator + 1;
    }
    return WriteError::None;
}

PayloadWriter::PayloadWriter(ByteSink& sink, DigestMode digest)
    : sink_(sink), digestMode_(digest), crc_(static_cast<uint32_t>(crc32(0L, Z_NULL, 0))) {}
PayloadWriter::~PayloadWriter() = default;

WriteError PayloadWriter::writeOut(const uint8_t* bytes, size_t length, bool covered) {
    if (length == 0) return WriteError::None;
    if (!sink_.write(bytes, length)) return WriteError::OutputFailed;
    if (covered && digestMode_ == DigestMode::Write) {
        crc_ = static_cast<uint32_t>(crc32(crc_, bytes, static_cast<uInt>(length)));
    }
    return WriteError::None;
}

WriteError PayloadWriter::emit(uint8_t kind, const uint8_t* prefix, size_t prefixLength,
                               const uint8_t* body, size_t bodyLength) {
    if (finished_) return WriteError::Finished;
    const uint64_t length = uint64_t{prefixLength} + bodyLength;
    if (size_ + kChunkHeaderSize + length > kMaxPayloadSize) return WriteError::PayloadTooLarge;
    std::string header;
    appendChunkHeader(header, kind, static_cast<uint32_t>(length));
    // The digest chunk's body after its key is the value: the one part the digest cannot cover.
    const bool bodyCovered = kind != static_cast<uint8_t>(ChunkKind::Digest);
    WriteError error = writeOut(reinterpret_cast<const uint8_t*>(header.data()), header.size(), true);
    if (error == WriteError::None) error = writeOut(prefix, prefixLength, true);
    if (error == WriteError::None) error = writeOut(body, bodyLength, bodyCovered);
    if (error != WriteError::None) return error;
    size_ += kChunkHeaderSize + length;
    return WriteError::None;
}

WriteError PayloadWriter::emitDigestIfDue() {
    if (digestMode_ != DigestMode::Write || digestWritten_) return WriteError::None;
    const uint64_t valueOffset = size_ + kChunkHeaderSize + kDigestKeyLength;
    const uint8_t placeholder[kDigestValueSize] = {};
    const WriteError error = emit(static_cast<uint8_t>(ChunkKind::Digest),
                                  reinterpret_cast<const uint8_t*>(kDigestKey), kDigestKeyLength,
                                  placeholder, sizeof(placeholder));
    if (error == WriteError::None) {
        digestWritten_ = true;
        digestValueOffset_ = valueOffset;
    }
    return error;
}

WriteError PayloadWriter::addVersion(std::string_view value) {
    if (value.size() > kMaxChunkLength - kVersionKeyLength) return WriteError::VersionInvalid;
    for (const char c : value) {
        if (c < 0x20 || c > 0x7E) return WriteError::VersionInvalid;
    }
    const WriteError error = emit(static_cast<uint8_t>(ChunkKind::Version),
                                  reinterpret_cast<const uint8_t*>(kVersionKey), kVersionKeyLength,
                                  reinterpret_cast<const uint8_t*>(value.data()), value.size());
    return error != WriteError::None ? error : emitDigestIfDue();
}

WriteError PayloadWriter::beginFile(std::string_view path) {
    const WriteError problem = checkPayloadPath(path);
    if (problem != WriteError::None) return problem;
    WriteError error = emitDigestIfDue();
    if (error != WriteError::None) return error;
    error = emit(static_cast<uint8_t>(ChunkKind::File), nullptr, 0,
                 reinterpret_cast<const uint8_t*>(path.data()), path.size());
    if (error == WriteError::None) fileOpen_ = true;
    return error;
}

WriteError PayloadWriter::addBlock(const uint8_t* bytes, size_t length) {
    if (finished_) return WriteError::Finished;
    if (!fileOpen_) return WriteError::NoFileOpen;
    if (length == 0 || length > kBlockSize) return WriteError::BlockSizeInvalid;
    if (!compressed_) {
        compressedCapacity_ = compressBound(kBlockSize);
        compressed_ = std::make_unique<uint8_t[]>(compressedCapacity_);
    }
    uLongf compressedLength = static_cast<uLongf>(compressedCapacity_);
    if (compress2(compressed_.get(), &compressedLength, bytes, static_cast<uLong>(length),
                  kCompressionLevel) != Z_OK) {
        return WriteError::CompressionFailed;
    }
    std::string size;
    appendBigEndian32(size, static_cast<uint32_t>(length));
    return emit(static_cast<uint8_t>(ChunkKind::Data), reinterpret_cast<const uint8_t*>(size.data()),
                size.size(), compressed_.get(), compressedLength);
}

WriteError PayloadWriter::addFile(std::string_view path, std::string_view contents) {
    WriteError error = beginFile(path);
    const auto* bytes = reinterpret_cast<const uint8_t*>(contents.data());
    for (size_t offset = 0; error == WriteError::None && offset < contents.size(); offset += kBlockSize) {
        const size_t length = std::min<size_t>(kBlockSize, contents.size() - offset);
        error = addBlock(bytes + offset, length);
    }
    return error;
}

WriteError PayloadWriter::finish() {
    if (finished_) return WriteError::None;
    const WriteError error = emitDigestIfDue();
    if (error != WriteError::None) return error;
    if (digestWritten_) {
        std::string value;
        appendBigEndian32(value, crc_);
        if (!sink_.patch(digestValueOffset_, reinterpret_cast<const uint8_t*>(value.data()), value.size())) {
            return WriteError::PatchFailed;
        }
    }
    finished_ = true;
    return WriteError::None;
}

}  // namespace swiftsetup
