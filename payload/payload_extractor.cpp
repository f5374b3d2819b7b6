#include "payload/payload_extractor.h"

#include <shlwapi.h>

#include <cwchar>
#include <utility>
#include <vector>

#include "payload/chunk_walker.h"
#include "payload/inflate_ahead.h"
#include "payload/unpack_threads.h"
#include "platform/file_flush.h"
#include "platform/threads.h"
#include "text/catalogue.h"
#include "ui/interface.h"

namespace swiftsetup {

namespace {

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
    void add(UniqueHandle file, std::string path) {
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
        const bool failed = failure_.error != ERROR_SUCCESS;
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
        UniqueHandle file;
        std::string path;
        uint32_t order = 0;
        DWORD error = ERROR_SUCCESS;
        bool busy = false;

        void run(BlockInflater&) override { error = flushAndClose(std::move(file), finisher->flush_); }
        void finish() override {
            FileFailure& failure = finisher->failure_;
            if (error != ERROR_SUCCESS && (failure.error == ERROR_SUCCESS || order < finisher->failedOrder_)) {
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

PayloadExtractor::PayloadExtractor(HMODULE module, HRSRC resource)
    : resource_(LoadResource(module, resource)) {
    if (resource_ != nullptr) data_ = static_cast<const uint8_t*>(LockResource(resource_));
    if (data_ == nullptr) {
        errorCode_ = ExtractorError::ResourceLoadFailed;
        failure_ = Failure{Step::Unpacking, GetLastError(), {}};
        return;
    }
    size_ = SizeofResource(module, resource);
}

PayloadExtractor::~PayloadExtractor() {
    outputFile_.reset();
    if (freeResource_ && resource_ != nullptr) FreeResource(resource_);
}

bool PayloadExtractor::extract(const std::string& targetFolder, Interface* frontEnd,
                               uint32_t progressBase, uint32_t progressExtra) {
    // A resource that did not load keeps the load failure's code and text.
    if (data_ == nullptr) return false;

    // A fresh walk from the first byte.
    progressBase_ = progressBase;
    progressExtra_ = progressExtra;
    frontEnd_ = frontEnd;
    targetFolder_ = targetFolder;
    filesWritten_ = 0;
    bytesWritten_ = 0;
    reportProgress(0);
    outputFile_.reset();

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
        finishOutputFile();
    } else {
        outputFile_.reset();
    }
    const FileFailure unfinished = finisher.finishAll();
    finisher_ = nullptr;

    switch (walk.fault) {
        case PayloadFault::None: errorCode_ = ExtractorError::None; break;
        case PayloadFault::TruncatedHeader:
            failWithKey(ExtractorError::InvalidChunk, faultMessageKey(walk.fault));
            break;
        case PayloadFault::ChunkPastEnd:
            failWithKey(ExtractorError::InvalidChunkSize, faultMessageKey(walk.fault));
            break;
        case PayloadFault::DataBeforeFile:
            failWithKey(ExtractorError::UnexpectedDataChunk, faultMessageKey(walk.fault));
            break;
        case PayloadFault::ShortDataChunk:
        case PayloadFault::DecompressionFailed:
            failWithKey(ExtractorError::InvalidDataChunk, faultMessageKey(walk.fault));
            break;
        case PayloadFault::UnsafePath:
            failWithKey(ExtractorError::InvalidPath, faultMessageKey(walk.fault));
            break;
        case PayloadFault::StoppedByVisitor: break;  // the step that failed has said why
    }
    // A file that did not reach the disk, or did not close, is a write failure of that file. It
    // was finished before the chunk at which the walk ended, so it comes first in payload order.
    if (unfinished.error != ERROR_SUCCESS) {
        fail(ExtractorError::WriteFailed, unfinished.error, unfinished.path);
    }
    return errorCode_ == ExtractorError::None;
}

unsigned PayloadExtractor::threadCount() const {
    const unsigned threads = threads_ != 0 ? threads_ : logicalProcessorCount();
    return threads < kMostInflatingThreads ? threads : kMostInflatingThreads;
}

std::string PayloadExtractor::errorText() const {
    return failureReason(failure_, languageForLocale(GetUserDefaultLCID()), systemErrorText(failure_.systemError));
}
ExtractorError PayloadExtractor::errorCode() const { return errorCode_; }
uint32_t PayloadExtractor::payloadSize() const { return size_; }

void PayloadExtractor::reportProgress(uint32_t consumed) {
    if (frontEnd_ != nullptr) frontEnd_->setProgress(progressBase_ + consumed, progressExtra_ + size_);
}

bool PayloadExtractor::fail(ExtractorError code, uint32_t systemError, std::string path) {
    errorCode_ = code;
    failure_ = Failure{Step::Unpacking, systemError, std::move(path)};
    return false;
}

bool PayloadExtractor::failWithKey(ExtractorError code, const char* messageKey) {
    errorCode_ = code;
    failure_ = Failure{Step::Unpacking, 0, {}, messageKey};
    return false;
}

bool PayloadExtractor::handleDataChunk(const Block& block) {
    if (block.declaredSize == 0) return true;
    // Nothing more is written once a finished file has failed; that failure is the one reported.
    if (finisher_->failed()) return false;
    // One write per block, straight from the inflation buffer. A write that the system calls a
    // success but that wrote less is a full disk: some systems set no error code for it, and
    // "Success." would be the user's whole explanation.
    DWORD written = 0;
    const DWORD length = static_cast<DWORD>(block.length);
    if (!WriteFile(outputFile_.get(), block.bytes, length, &written, nullptr)) {
        return fail(ExtractorError::WriteFailed, GetLastError(), outputPath_);
    }
    if (written != length) return fail(ExtractorError::WriteFailed, ERROR_DISK_FULL, outputPath_);
    bytesWritten_ += length;
    return true;
}

bool PayloadExtractor::handleFileChunk(std::string_view path) {
    if (!finishOutputFile()) return false;
    std::string fullPath = targetFolder_;
    fullPath += '\\';
    fullPath.append(path);
    return createOutputFile(fullPath);
}

bool PayloadExtractor::finishOutputFile() {
    if (outputFile_.valid()) finisher_->add(std::move(outputFile_), std::move(outputPath_));
    return !finisher_->failed();
}

bool PayloadExtractor::createOutputFile(const std::string& path) {
    WideBuffer widePath = utf8ToWide(path);
    for (size_t i = 0; i + 1 < widePath.size(); ++i) {
        if (widePath[i] == L'/') widePath[i] = L'\\';
    }
    WideBuffer parent = widePath;
    if (!PathRemoveFileSpecW(parent.data())) {
        return failWithKey(ExtractorError::InvalidPath, "#extractor_invalid_path");
    }
    if (!ensureDirectory(parent)) return false;

    OutputDebugStringW(widePath.c_str());
    OutputDebugStringW(L"\r\n");

    outputPath_ = wideToUtf8(widePath.c_str(), -1);
    outputFile_.reset(CreateFileW(widePath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!outputFile_.valid()) {
        return fail(ExtractorError::CreateFileFailed, GetLastError(), outputPath_);
    }
    ++filesWritten_;
    return true;
}

bool PayloadExtractor::ensureDirectory(const WideBuffer& folder) {
    // Up from the folder to the nearest one that exists (a file of that name counts, as does a
    // root), noting where each missing level ends; then create them outermost first. A loop
    // rather than recursion, so that a path of thousands of levels cannot exhaust the stack.
    std::vector<wchar_t> probe(folder.c_str(), folder.c_str() + folder.size());
    std::vector<size_t> missingLevelEnds;
    while (!PathFileExistsW(probe.data())) {
        const size_t length = std::wcslen(probe.data());
        if (!PathRemoveFileSpecW(probe.data())) break;  // a root: nothing above to create
        missingLevelEnds.push_back(length);
    }
    // A file where a folder of the path must be: no folder can be made there, and the file is
    // not ours to replace. Name it, rather than let the file's creation fail with "Path not
    // found." for a path that seems to be there.
    const DWORD attributes = GetFileAttributesW(probe.data());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return fail(ExtractorError::CreateDirectoryFailed, ERROR_FILE_EXISTS, wideToUtf8(probe.data(), -1));
    }
    for (auto level = missingLevelEnds.rbegin(); level != missingLevelEnds.rend(); ++level) {
        const std::wstring path(folder.c_str(), *level);
        if (!CreateDirectoryW(path.c_str(), nullptr)) {
            const DWORD error = GetLastError();
            if (error == ERROR_ALREADY_EXISTS) continue;
            return fail(ExtractorError::CreateDirectoryFailed, error, wideToUtf8(path.c_str(), -1));
        }
    }
    return true;
}

}  // namespace swiftsetup
