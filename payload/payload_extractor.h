#pragma once
// Unpacks the payload resource of the running program into the installation folder: one walk
// over its chunks, folders and files created as the file chunks name them, every block inflated
// and appended, progress after every chunk. Files are written in payload order on the calling
// thread while threads inflate the blocks ahead of it, and each finished file is flushed to the
// disk and closed on a thread of its own. Stops at the first failure in payload order with a code
// and a text for the user; never deletes anything.

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

// A file that could not be finished (flushed to the disk and closed): the system's error and the
// file's path (UTF-8).
struct FileFailure {
    DWORD error = ERROR_SUCCESS;
    std::string path;
};

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
    // The most threads that inflate, whatever the machine: beyond this the disk and the one thread
    // that writes are what an extraction waits for, and every thread holds two blocks' buffers.
    static constexpr unsigned kMostInflatingThreads = 8;

    PayloadExtractor(HMODULE module, HRSRC resource);
    ~PayloadExtractor();
    PayloadExtractor(const PayloadExtractor&) = delete;
    PayloadExtractor& operator=(const PayloadExtractor&) = delete;

    // targetFolder without a trailing backslash; frontEnd may be null. Progress positions run
    // from progressBase to progressBase + payloadSize(), out of progressExtra + payloadSize().
    bool extract(const std::string& targetFolder, Interface* frontEnd, uint32_t progressBase,
                 uint32_t progressExtra);

    // Threads that inflate: 0 (the default) is one per logical processor this process may use, at
    // most kMostInflatingThreads; 1 inflates every block on the calling thread, in its turn.
    void setThreadCount(unsigned threads) { threads_ = threads; }
    // What extract uses: the count set, or the default worked out, at most kMostInflatingThreads.
    unsigned threadCount() const;
    // Whether extract waits until every file it wrote has reached the disk before it reports
    // success: on by default, and the installer never turns it off. Off, files are closed as they
    // are finished (for measurements).
    void setFlushFiles(bool flush) { flushFiles_ = flush; }

    // What went wrong: the step (unpacking), the system's error and the file or folder, or the
    // catalogue key of a broken reading rule.
    const Failure& failure() const { return failure_; }
    // The same in the user's language or as the system words it, the path on a line of its own.
    std::string errorText() const;
    // What the last extract created and wrote.
    uint64_t filesWritten() const { return filesWritten_; }
    uint64_t bytesWritten() const { return bytesWritten_; }
    ExtractorError errorCode() const;
    uint32_t payloadSize() const;
    // The payload in the resource's memory, for a look before extracting; null when it did not
    // load (errorText() then says why).
    const uint8_t* payloadData() const { return data_; }

private:
    class ChunkHandler;
    class FileFinisher;

    // Appends one inflated block to the open file.
    bool handleDataChunk(const Block& block);
    // Hands the open file over to be flushed and closed, and creates the one the chunk names,
    // below the target folder.
    bool handleFileChunk(std::string_view path);
    // Hands the open file over to be finished; false once a file handed over earlier has failed.
    bool finishOutputFile();
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
    uint64_t filesWritten_ = 0;
    uint64_t bytesWritten_ = 0;
    unsigned threads_ = 0;
    bool flushFiles_ = true;
    Interface* frontEnd_ = nullptr;  // not owned
    FileFinisher* finisher_ = nullptr;  // during extract only
    uint32_t progressBase_ = 0;
    uint32_t progressExtra_ = 0;
    std::string targetFolder_;
    std::string outputPath_;  // of the open file, as errors name it
    UniqueHandle outputFile_;
};

}  // namespace swiftsetup
