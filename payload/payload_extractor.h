#pragma once
// Unpacks the payload into a folder: one walk over its chunks, folders and files created as the
// file chunks name them, every block inflated and appended, progress after every chunk. Files are
// written in payload order on the calling thread while threads inflate the blocks ahead of it,
// and each finished file is flushed to the disk and closed on a thread of its own. Stops at the
// first failure in payload order, with a Failure that says why; never deletes anything.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/output_file.h"
#include "platform/resources.h"
#include "text/failure.h"

namespace swiftsetup {

struct Block;

// A position out of a total, after every chunk.
using ProgressReport = std::function<void(uint32_t position, uint32_t total)>;

class PayloadExtractor {
public:
    // The most threads that inflate, whatever the machine: beyond this the disk and the one thread
    // that writes are what an extraction waits for, and every thread holds two blocks' buffers.
    static constexpr unsigned kMostInflatingThreads = 8;

    // The payload in the resource's memory, read in place and never written. A resource that did
    // not load makes every extraction fail with the system's reason.
    explicit PayloadExtractor(const ResourceBytes& payload);
    ~PayloadExtractor();
    PayloadExtractor(const PayloadExtractor&) = delete;
    PayloadExtractor& operator=(const PayloadExtractor&) = delete;

    // targetFolder without a trailing backslash; progress may be empty. Progress positions run
    // from progressBase to progressBase + payloadSize(), out of progressExtra + payloadSize().
    [[nodiscard]] bool extract(const std::string& targetFolder, const ProgressReport& progress, uint32_t progressBase,
                               uint32_t progressExtra);

    // Threads that inflate: 0 (the default) is one per logical processor this process may use, at
    // most kMostInflatingThreads; 1 inflates every block on the calling thread, in its turn.
    void setThreadCount(unsigned threads) { threads_ = threads; }
    // What extract uses: the count set, or the default worked out, at most kMostInflatingThreads.
    [[nodiscard]] unsigned threadCount() const;
    // Whether extract waits until every file it wrote has reached the disk before it reports
    // success: on by default, and the installer never turns it off. Off, files are closed as they
    // are finished (for measurements).
    void setFlushFiles(bool flush) { flushFiles_ = flush; }

    // What went wrong: the step (unpacking), the system's error and the file or folder, or the
    // catalogue key of a broken reading rule.
    [[nodiscard]] const Failure& failure() const { return failure_; }
    // What the last extract created and wrote.
    [[nodiscard]] uint64_t filesWritten() const { return filesWritten_; }
    [[nodiscard]] uint64_t bytesWritten() const { return bytesWritten_; }
    [[nodiscard]] uint32_t payloadSize() const { return size_; }
    // The payload in the resource's memory, for a look before extracting; null when it did not
    // load (failure() then says why).
    [[nodiscard]] const uint8_t* payloadData() const { return data_; }

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
    bool createOutputFile(std::string path);
    void reportProgress(uint32_t consumed);
    bool fail(uint32_t systemError, std::string path);
    bool failWithKey(const char* messageKey);

    const uint8_t* data_ = nullptr;  // the resource's memory, in place; never written
    uint32_t size_ = 0;
    Failure failure_;
    bool failed_ = false;
    uint64_t filesWritten_ = 0;
    uint64_t bytesWritten_ = 0;
    unsigned threads_ = 0;
    bool flushFiles_ = true;
    const ProgressReport* progress_ = nullptr;  // during extract only
    FileFinisher* finisher_ = nullptr;          // during extract only
    uint32_t progressBase_ = 0;
    uint32_t progressExtra_ = 0;
    std::string targetFolder_;
    std::string outputPath_;  // of the open file, as errors name it
    OutputFile outputFile_;
};

}  // namespace swiftsetup
