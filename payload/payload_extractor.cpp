#include "payload/payload_extractor.h"

#include <shlwapi.h>

#include <cwchar>
#include <utility>
#include <vector>

#include "payload/chunk_walker.h"
#include "text/catalogue.h"
#include "ui/interface.h"

namespace swiftsetup {

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
    reportProgress(0);
    outputFile_.reset();

    // The handler creates files, writes blocks and reports progress.
    ChunkHandler handler(*this);
    const WalkResult walk = walkPayload(data_, size_, handler, InflateMode::Inflate);
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

    // No file stays open, whether the walk succeeded or not.
    outputFile_.reset();
    return errorCode_ == ExtractorError::None;
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
    // One write per block, straight from the inflation buffer. A write that the system calls a
    // success but that wrote less is a full disk: some systems set no error code for it, and
    // "Success." would be the user's whole explanation.
    DWORD written = 0;
    const DWORD length = static_cast<DWORD>(block.length);
    if (!WriteFile(outputFile_.get(), block.bytes, length, &written, nullptr)) {
        return fail(ExtractorError::WriteFailed, GetLastError(), outputPath_);
    }
    if (written != length) return fail(ExtractorError::WriteFailed, ERROR_DISK_FULL, outputPath_);
    return true;
}

bool PayloadExtractor::handleFileChunk(std::string_view path) {
    outputFile_.reset();
    std::string fullPath = targetFolder_;
    fullPath += '\\';
    fullPath.append(path);
    return createOutputFile(fullPath);
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
