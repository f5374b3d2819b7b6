#pragma once
// Writing payloads by the writer conventions: the version chunk first, the digest chunk second,
// then every file's chunk followed directly by its data chunks, blocks of 64 KiB each compressed
// on its own by zlib at level 6. The writer refuses what the format or Windows cannot carry, so
// every payload it writes unpacks on every machine. Portable.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace swiftsetup {

enum class WriteError {
    None,
    PathTooLong,        // longer than the 3-byte length field can say
    PathTooLongForWindows,  // longer than any Windows path
    PathNotUtf8,
    PathUnsafe,         // readers would refuse it: empty, "." or ".." level, leading "/", ":" ...
    NameNotWindows,     // a level Windows cannot create: reserved character, trailing dot or blank,
                        // device name, more than 255 characters
    VersionInvalid,     // not printable ASCII, or too long for a chunk
    BlockSizeInvalid,   // a block of 0 or more than 65,536 bytes
    NoFileOpen,         // a block before any file
    PayloadTooLarge,    // resource sizes are 32-bit: at most 4 GiB - 1 bytes
    CompressionFailed,
    OutputFailed,       // the sink refused the bytes
    PatchFailed,        // the sink could not put the digest's value over its placeholder
    Finished,           // nothing can be added once the digest is complete
};

const char* writeErrorDescription(WriteError error);

// Where a writer's bytes go.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual bool write(const uint8_t* bytes, size_t length) = 0;
    // Overwrites bytes already written, the offset counted from the first byte this sink was
    // given. The writer needs it once, to put the digest's value where its placeholder went; a
    // sink that cannot go back (a pipe, a socket) keeps this default and says no.
    virtual bool patch(uint64_t /*offset*/, const uint8_t* /*bytes*/, size_t /*length*/) { return false; }
};

// Appends to a string; offsets count from the string's size when the sink was made.
class StringSink final : public ByteSink {
public:
    explicit StringSink(std::string& out) : out_(out), start_(out.size()) {}
    bool write(const uint8_t* bytes, size_t length) override {
        out_.append(reinterpret_cast<const char*>(bytes), length);
        return true;
    }
    bool patch(uint64_t offset, const uint8_t* bytes, size_t length) override {
        const size_t written = out_.size() - start_;
        if (offset > written || length > written - offset) return false;
        out_.replace(start_ + static_cast<size_t>(offset), length, reinterpret_cast<const char*>(bytes), length);
        return true;
    }

private:
    std::string& out_;
    size_t start_;
};

// Strict UTF-8 (RFC 3629): no overlong forms, no surrogates, nothing above U+10FFFF.
bool isValidUtf8(std::string_view text);

// Why one level of a path (a file or folder name) cannot be created on Windows: null when it can.
const char* windowsNameProblem(std::string_view name);

// Every rule a path in a file chunk must meet for a writer: fits the length field, UTF-8, "/"
// between levels, passes the readers' safety rule, and every level is a Windows name.
WriteError checkPayloadPath(std::string_view path);

// The number of UTF-16 units a valid UTF-8 text becomes.
size_t utf16Length(std::string_view utf8);

enum class DigestMode {
    Write,  // a digest chunk, completed by finish()
    Omit,   // no digest chunk: the payloads of before there was one
};

// With DigestMode::Write the digest chunk goes directly after the first version chunk. A caller
// that begins a file, or finishes, without having added a version gets the digest chunk first
// instead, so every file chunk follows it. The chunk is written with a placeholder value and a
// running CRC-32 of every byte but the value is kept; finish() puts the value in place through
// ByteSink::patch. Until then the payload does not match its digest.
class PayloadWriter {
public:
    explicit PayloadWriter(ByteSink& sink, DigestMode digest = DigestMode::Write);
    ~PayloadWriter();
    PayloadWriter(const PayloadWriter&) = delete;
    PayloadWriter& operator=(const PayloadWriter&) = delete;

    // The version chunk; the value is printable ASCII.
    WriteError addVersion(std::string_view value);
    // A file chunk: the blocks that follow are this file's contents.
    WriteError beginFile(std::string_view path);
    // One block of the current file: 1 to 65,536 bytes, compressed on its own.
    WriteError addBlock(const uint8_t* bytes, size_t length);
    // A whole file held in memory: its file chunk and its blocks.
    WriteError addFile(std::string_view path, std::string_view contents);
    // Completes the payload: writes the digest's value over its placeholder (PatchFailed when the
    // sink cannot). Afterwards every add is refused (Finished); finishing again does nothing.
    // With DigestMode::Omit there is nothing to complete, but adds are refused all the same.
    WriteError finish();

    uint64_t size() const { return size_; }

private:
    WriteError emit(uint8_t kind, const uint8_t* prefix, size_t prefixLength, const uint8_t* body,
                    size_t bodyLength);
    WriteError writeOut(const uint8_t* bytes, size_t length, bool covered);
    WriteError emitDigestIfDue();

    ByteSink& sink_;
    DigestMode digestMode_;
    bool digestWritten_ = false;
    uint64_t digestValueOffset_ = 0;
    uint32_t crc_ = 0;  // of every byte written so far, the digest's value excepted
    bool finished_ = false;
    uint64_t size_ = 0;
    bool fileOpen_ = false;
    std::unique_ptr<uint8_t[]> compressed_;
    size_t compressedCapacity_ = 0;
};

}  // namespace swiftsetup
