#pragma once
// Unpacks the payload resource of the running program into the installation folder: one walk
// over its chunks, folders and files created as the file chunks name them, every block inflated
// and appended, progress after every chunk. Stops at the first failure with a code and a text
// for the user; never deletes anything.

#include <windows.h>

#include <cstdint>
#include <string>

namespace swiftsetup {

class Interface;

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

    // What went wrong, in the user's language or as the system words it.
    std::string errorText() const;
    ExtractorError errorCode() const;
    uint32_t payloadSize() const;
    // (the remaining members are the implementation's)
};

}  // namespace swiftsetup
