#pragma once
// Unpacks the payload resource of the running program into the installation folder: one walk
// over its chunks, folders and files created as the file chunks name them, every block inflated
// and appended, progress after every chunk. Stops at the first failure with a code and a text
// for the user; never deletes anything.

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/handles.h"
#include "platform/text_conversion.h"
#include "text/failure.h"

namespace swiftsetup {

class Interface;
struct Block;

enum class ExtractorError : uint32_t {
    None = 0,
    InvalidChunkSize = 1,
    UnexpectedDataChunk = 2,
    WriteFailed = 3,
    CreateDirectoryFailed = 4,
    CreateFileFailed = 5,
    InvalidPath = 6,
    InvalidDataChunk = 7,
    InvalidChunk = 8,
    ResourceLoadFailed = 9,
};

class PayloadExtractor {
public:
    PayloadExtractor(HMODULE module, HRSRC resource);
    ~PayloadExtractor();
    PayloadExtractor(const PayloadExtractor&) = delete;
    PayloadExtractor& operator=(const PayloadExtractor&) = delete;

    // targetFolder without a trailing backslash; frontEnd may be null. Progress positions run
    // from progressBase to progressBase + payloadSize(), out of progressExtra + payloadSize().
    bool extract(const std::string& targetFolder, Interface* frontEnd, uint32_t progressBase,
                 uint32_t progressExtra);

    // What went wrong: the step (unpacking), the system's error and the file or folder, or the
    // catalogue key of a broken reading rule.
    const Failure& failure() const { return failure_; }
    // The same in the user's language or as the system words it, the path on a line of its own.
    std::string errorText() const;
    ExtractorError errorCode() const;
    uint32_t payloadSize() const;
    // The payload in the resource's memory, for a look before extracting; null when it did not
    // load (errorText() then says why).
    const uint8_t* payloadData() const { return data_; }

private:
    class ChunkHandler;

    // Appends one inflated block to the open file.
    bool handleDataChunk(const Block& block);
    // Closes the open file and creates the one the chunk names, below the target folder.
    bool handleFileChunk(std::string_view path);
    bool createOutputFile(const std::string& path);
    // Creates the folder and every missing folder above it, outermost first.
    bool ensureDirectory(const WideBuffer& folder);
    void reportProgress(uint32_t consumed);
    bool fail(ExtractorError code, uint32_t systemError, std::string path);
    bool failWithKey(ExtractorError code, const char* messageKey);

    bool freeResource_ = true;
    HGLOBAL resource_ = nullptr;
    const uint8_t* data_ = nullptr;  // the resource's memory, in place; never written
    uint32_t size_ = 0;
    ExtractorError errorCode_ = ExtractorError::None;
    Failure failure_;
    Interface* frontEnd_ = nullptr;  // not owned
    uint32_t progressBase_ = 0;
    uint32_t progressExtra_ = 0;
    std::string targetFolder_;
    std::string outputPath_;  // of the open file, as errors name it
    UniqueHandle outputFile_;
};

}  // namespace swiftsetup
