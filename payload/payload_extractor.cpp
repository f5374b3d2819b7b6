#include "payload/payload_extractor.h"

#include <utility>

#include "payload/chunk_walker.h"
#include "payload/inflate_ahead.h"
#include "payload/unpack_threads.h"
#include "platform/system_errors.h"
#include "platform/threads.h"

namespace swiftsetup {

namespace {

// A file that could not be finished (flushed to the disk and closed): the system's error and the
// file's path.
struct FileFailure {
    uint32_t error = error::kSuccess;
    std::string path;
};

// The extraction's threads, over Win32's.
class Win32Threads final : public PlatformThreads {
public:
    Win32Threads() = default;
    ~Win32Threads() override { joinAll(); }
    Win32Threads(const Win32Threads&) = delete;
    Win32Threads& operator=(const Win32Threads&) = delete;

    bool start(void (*body)(void*), void* context) override {
        if (started_ == PayloadExtractor::kMostInflatingThreads || !threads_[started_].start(body, context)) {
            return false;
        }
        ++started_;
        return true;
    }
    void joinAll() override {
        for (unsigned i = 0; i < started_; ++i) threads_[i].join();
        started_ = 0;
    }
    void lock() override { lock_.lock(); }
    void unlock() override { lock_.unlock(); }
    void wait(Condition condition) override { conditions_[index(condition)].wait(lock_); }
    void wakeOne(Condition condition) override { conditions_[index(condition)].wakeOne(); }
    void wakeAll(Condition condition) override { conditions_[index(condition)].wakeAll(); }

private:
    static unsigned index(Condition condition) { return condition == Condition::WorkQueued ? 0 : 1; }

    Thread threads_[PayloadExtractor::kMostInflatingThreads];
    unsigned started_ = 0;
    Lock lock_;
    swiftsetup::Condition conditions_[2];
};

}  // namespace

// The files the extraction has finished writing, each flushed to the disk and closed as a chore
// of its threads (at once, on this thread, when it has none). At most kWaitingFiles wait, so few
// handles stay open. A file that fails is a write failure of that file; the first in the order
// handed over is the one that counts.
class PayloadExtractor::FileFinisher {
public:
    static constexpr unsigned kWaitingFiles = 8;

    FileFinisher(UnpackThreads& threads, bool flush) : threads_(threads), flush_(flush) {
        for (Waiting& waiting : waiting_) waiting.finisher = this;
    }
    ~FileFinisher() { finishAll(); }
    FileFinisher(const FileFinisher&) = delete;
    FileFinisher& operator=(const FileFinisher&) = delete;

    // Takes the file over; waits while its place is taken.
    void add(OutputFile file, std::string path) {
        threads_.lock();
        Waiting& waiting = waiting_[handed_ % kWaitingFiles];
        while (waiting.busy) threads_.waitForJob();
        waiting.file = std::move(file);
        waiting.path = std::move(path);
        waiting.order = handed_++;
        waiting.busy = true;
        threads_.queueChore(waiting);
        threads_.unlock();
    }

    // Whether a file handed over has failed so far, without waiting for the rest.
    bool failed() {
        threads_.lock();
        const bool failed = failure_.error != error::kSuccess;
        threads_.unlock();
        return failed;
    }

    // Returns when every file handed over is finished: the first failure in the order handed over,
    // if any.
    const FileFailure& finishAll() {
        threads_.lock();
        for (const Waiting& waiting : waiting_) {
            while (waiting.busy) threads_.waitForJob();
        }
        threads_.unlock();
        return failure_;
    }

private:
    struct Waiting final : UnpackThreads::Job {
        FileFinisher* finisher = nullptr;
        OutputFile file;
        std::string path;
        uint32_t order = 0;
        uint32_t error = error::kSuccess;
        bool busy = false;

        void run(BlockInflater&) override { error = file.finish(finisher->flush_); }
        void finish() override {
            FileFailure& failure = finisher->failure_;
            if (error != error::kSuccess && (failure.error == error::kSuccess || order < finisher->failedOrder_)) {
                failure = FileFailure{error, std::move(path)};
                finisher->failedOrder_ = order;
            }
            busy = false;
        }
    };

    UnpackThreads& threads_;
    const bool flush_;
    Waiting waiting_[kWaitingFiles];
    uint32_t handed_ = 0;
    // Under the threads' lock.
    FileFailure failure_;
    uint32_t failedOrder_ = 0;
};

// Receives the walk's chunks and hands them to the extractor's steps.
class PayloadExtractor::ChunkHandler final : public ChunkVisitor {
public:
    explicit ChunkHandler(PayloadExtractor& extractor) : extractor_(extractor) {}
    bool onFile(const Chunk&, std::string_view path) override {
        return extractor_.handleFileChunk(path);
    }
    bool onBlock(const Chunk&, const Block& block) override {
        return extractor_.handleDataChunk(block);
    }
    void onChunkDone(uint32_t consumed) override { extractor_.reportProgress(consumed); }

private:
    PayloadExtractor& extractor_;
};

PayloadExtractor::PayloadExtractor(const ResourceBytes& payload) : data_(payload.data), size_(payload.data ? payload.size : 0) {
    if (data_ == nullptr) fail(payload.error, {});
}

PayloadExtractor::~PayloadExtractor() = default;

bool PayloadExtractor::extract(const std::string& targetFolder, const ProgressReport& progress, uint32_t progressBase,
                               uint32_t progressExtra) {
    // A resource that did not load keeps the load failure.
    if (data_ == nullptr) return false;

    // A fresh walk from the first byte.
    failed_ = false;
    failure_ = Failure{};
    progressBase_ = progressBase;
    progressExtra_ = progressExtra;
    progress_ = &progress;
    targetFolder_ = targetFolder;
    filesWritten_ = 0;
    bytesWritten_ = 0;
    reportProgress(0);
    outputFile_ = OutputFile();

    // The handler creates files, writes blocks and reports progress, on this thread, in payload
    // order. This thread inflates too, and the others inflate ahead of it: one per logical
    // processor in all. They also flush and close each file the handler has finished (with one
    // processor, a thread of their own does that alone). All of them have ended, and every file is
    // closed, before the outcome is decided.
    const unsigned inflating = threadCount();
    unsigned helpers = inflating - 1;
    if (helpers == 0 && flushFiles_) helpers = 1;
    Win32Threads platform;
    UnpackThreads threads(&platform, helpers);
    FileFinisher finisher(threads, flushFiles_);
    finisher_ = &finisher;
    ChunkHandler handler(*this);
    InflateAhead ahead;
    ahead.threads = inflating > 1 ? &threads : nullptr;
    const WalkResult walk = walkPayloadInflatingAhead(data_, size_, handler, ahead);
    // A file cut short by a failure is only closed; the last file of a whole walk is finished
    // like every other.
    if (walk.fault == PayloadFault::None) {
        if (!finishOutputFile()) failed_ = true;
    } else {
        outputFile_ = OutputFile();
    }
    const FileFailure unfinished = finisher.finishAll();
    finisher_ = nullptr;
    progress_ = nullptr;

    // A broken reading rule says why in the user's words; a step that stopped the walk has said
    // why already.
    if (walk.fault != PayloadFault::None && walk.fault != PayloadFault::StoppedByVisitor) {
        failWithKey(faultMessageKey(walk.fault));
    }
    // A file that did not reach the disk, or did not close, is a write failure of that file. It
    // was finished before the chunk at which the walk ended, so it comes first in payload order.
    if (unfinished.error != error::kSuccess) fail(unfinished.error, unfinished.path);
    return !failed_;
}

unsigned PayloadExtractor::threadCount() const {
    const unsigned threads = threads_ != 0 ? threads_ : logicalProcessorCount();
    return threads < kMostInflatingThreads ? threads : kMostInflatingThreads;
}

void PayloadExtractor::reportProgress(uint32_t consumed) {
    if (progress_ != nullptr && *progress_) (*progress_)(progressBase_ + consumed, progressExtra_ + size_);
}

bool PayloadExtractor::fail(uint32_t systemError, std::string path) {
    failed_ = true;
    failure_ = Failure{Step::Unpacking, systemError, std::move(path)};
    return false;
}

bool PayloadExtractor::failWithKey(const char* messageKey) {
    failed_ = true;
    failure_ = Failure{Step::Unpacking, 0, {}, messageKey};
    return false;
}

bool PayloadExtractor::handleDataChunk(const Block& block) {
    if (block.declaredSize == 0) return true;
    // Nothing more is written once a finished file has failed; that failure is the one reported.
    if (finisher_->failed()) return false;
    // One write per block, straight from the inflation buffer.
    const uint32_t error = outputFile_.write(block.bytes, block.length);
    if (error != error::kSuccess) return fail(error, outputPath_);
    bytesWritten_ += block.length;
    return true;
}

bool PayloadExtractor::handleFileChunk(std::string_view path) {
    if (!finishOutputFile()) return false;
    std::string fullPath = targetFolder_;
    fullPath += '\\';
    fullPath.append(path);
    return createOutputFile(std::move(fullPath));
}

bool PayloadExtractor::finishOutputFile() {
    if (outputFile_.valid()) finisher_->add(std::move(outputFile_), std::move(outputPath_));
    outputFile_ = OutputFile();
    return !finisher_->failed();
}

bool PayloadExtractor::createOutputFile(std::string path) {
    // Both separators name folders in a payload path; the system's is the backslash.
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    const size_t lastSeparator = path.find_last_of('\\');
    if (lastSeparator == std::string::npos || lastSeparator == 0) return failWithKey("#extractor_invalid_path");
    std::string parent = path.substr(0, lastSeparator);
    if (parent.back() == ':') parent += '\\';  // a drive's root
    std::string failedAt;
    const uint32_t folderError = createFolderPath(parent, failedAt);
    if (folderError != error::kSuccess) return fail(folderError, failedAt);

    outputPath_ = std::move(path);
    outputFile_ = OutputFile(outputPath_);
    if (!outputFile_.valid()) return fail(outputFile_.error(), outputPath_);
    ++filesWritten_;
    return true;
}

}  // namespace swiftsetup
