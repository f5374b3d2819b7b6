// pack: a folder of application files into a payload, by the writer conventions. Identical input
// gives identical bytes: nothing but names and contents reaches the payload.
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "payload/chunk_format.h"
#include "payload/payload_writer.h"
#include "tools/payload/commands.h"
#include "tools/payload/progress_display.h"
#include "tools/payload/tree_scan.h"

namespace swiftsetup {

namespace {

constexpr char kCommand[] = "pack";

// Buffered writes to a file descriptor that starts empty; reports the first failure.
class FileSink final : public ByteSink {
public:
    explicit FileSink(int fd) : fd_(fd) { buffer_.reserve(kBufferSize); }
    bool write(const uint8_t* bytes, size_t length) override {
        if (buffer_.size() + length > kBufferSize && !flush()) return false;
        if (length >= kBufferSize) return writeAll(bytes, length);
        buffer_.insert(buffer_.end(), bytes, bytes + length);
        return true;
    }
    // What is still buffered goes to the file first, so the offset always names bytes on disk.
    bool patch(uint64_t offset, const uint8_t* bytes, size_t length) override {
        if (!flush()) return false;
        while (length > 0) {
            const ssize_t n = ::pwrite(fd_, bytes, length, static_cast<off_t>(offset));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                error_ = n < 0 ? errno : EIO;
                return false;
            }
            bytes += n;
            offset += static_cast<uint64_t>(n);
            length -= static_cast<size_t>(n);
        }
        return true;
    }
    bool flush() {
        const bool ok = writeAll(buffer_.data(), buffer_.size());
        buffer_.clear();
        return ok;
    }
    int error() const { return error_; }

private:
    static constexpr size_t kBufferSize = 1 << 20;
    bool writeAll(const uint8_t* bytes, size_t length) {
        while (length > 0) {
            const ssize_t n = ::write(fd_, bytes, length);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                error_ = n < 0 ? errno : EIO;
                return false;
            }
            bytes += n;
            length -= static_cast<size_t>(n);
        }
        return true;
    }
    int fd_;
    int error_ = 0;
    std::vector<uint8_t> buffer_;
};

// Fills the buffer from the file until it is full or the file ends; the count, or -1.
ssize_t readBlock(int fd, uint8_t* buffer, size_t capacity) {
    size_t filled = 0;
    while (filled < capacity) {
        const ssize_t n = ::read(fd, buffer + filled, capacity - filled);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        if (n == 0) break;
        filled += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(filled);
}

std::string folderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// True when the output would land inside the folder being packed, where a later pack would
// pick it up as an application file.
bool insideFolder(const std::string& folder, const std::string& output) {
    char folderReal[PATH_MAX];
    char outputFolderReal[PATH_MAX];
    if (realpath(folder.c_str(), folderReal) == nullptr ||
        realpath(folderOf(output).c_str(), outputFolderReal) == nullptr) {
        return false;
    }
    return isWithinFolder(folderReal, outputFolderReal);
}

// "a", "a or b", "a, b or c".
std::string listed(const std::vector<std::string>& names) {
    std::string text;
    for (size_t i = 0; i < names.size(); ++i) {
        if (i > 0) text += i + 1 == names.size() ? " or " : ", ";
        text += names[i];
    }
    return text;
}

// Removes the half-written output unless it was completed and renamed.
class TemporaryOutput {
public:
    explicit TemporaryOutput(const std::string& output) : path_(output + ".partial-XXXXXX") {
        fd_ = mkstemp(path_.data());
        created_ = fd_ >= 0;
    }
    ~TemporaryOutput() {
        if (fd_ >= 0) close(fd_);
        if (created_ && !kept_) unlink(path_.c_str());
    }
    int fd() const { return fd_; }
    const std::string& path() const { return path_; }
    bool keepAs(const std::string& output) {
        const int fd = fd_;
        fd_ = -1;
        // mkstemp makes the file private; the payload gets the usual mode of new files.
        const mode_t mask = umask(0);
        umask(mask);
        if (fchmod(fd, 0666 & ~mask) != 0 || close(fd) != 0) return false;
        if (rename(path_.c_str(), output.c_str()) != 0) return false;
        kept_ = true;
        return true;
    }

private:
    std::string path_;
    int fd_ = -1;
    bool created_ = false;
    bool kept_ = false;
};

}  // namespace

int packCommand(const std::string& folder, const std::string& output, const std::string& version,
                DigestMode digest, const std::vector<std::string>& required) {
    const TreeScan scan = scanTree(folder);
    if (!scan.error.empty()) {
        printError(kCommand, "cannot pack " + scan.error);
        return kExitFailure;
    }
    const std::vector<std::string> missing = missingFiles(scan, required);
    if (!missing.empty()) {
        printError(kCommand, "cannot pack " + folder + ": it has no file " + listed(missing) +
                                 ", which --require asks for");
        return kExitFailure;
    }
    for (const std::string& note : scan.notes) printError(kCommand, "note: " + note);
    if (insideFolder(folder, output)) {
        printError(kCommand, output + " lies inside " + folder + ", which is being packed");
        return kExitFailure;
    }

    TemporaryOutput temporary(output);
    if (temporary.fd() < 0) {
        printError(kCommand, "cannot create a file beside " + output + ": " + std::strerror(errno));
        return kExitFailure;
    }
    FileSink sink(temporary.fd());
    PayloadWriter writer(sink, digest);
    auto fail = [&](const std::string& what, WriteError error) {
        std::string reason = writeErrorDescription(error);
        if ((error == WriteError::OutputFailed || error == WriteError::PatchFailed) && sink.error() != 0) {
            reason += std::string(": ") + std::strerror(sink.error());
        }
        printError(kCommand, what + ": " + reason);
        return kExitFailure;
    };

    WriteError error = writer.addVersion(version);
    if (error != WriteError::None) return fail("version \"" + version + "\"", error);

    ProgressDisplay progress("packing", scan.totalBytes);
    std::unique_ptr<uint8_t[]> block(new uint8_t[kBlockSize]);
    uint64_t done = 0;
    uint64_t packedBytes = 0;
    for (const PackEntry& entry : scan.files) {
        error = writer.beginFile(entry.payloadPath);
        if (error != WriteError::None) return fail(entry.payloadPath, error);
        // The scan resolved every link: a file that has become one since is not followed.
        const int fd = open(entry.diskPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0) {
            printError(kCommand, entry.diskPath + ": " + std::strerror(errno));
            return kExitFailure;
        }
        for (;;) {
            const ssize_t length = readBlock(fd, block.get(), kBlockSize);
            if (length < 0) {
                printError(kCommand, entry.diskPath + ": " + std::strerror(errno));
                close(fd);
                return kExitFailure;
            }
            if (length == 0) break;
            error = writer.addBlock(block.get(), static_cast<size_t>(length));
            if (error != WriteError::None) {
                close(fd);
                return fail(entry.payloadPath, error);
            }
            done += static_cast<uint64_t>(length);
            packedBytes += static_cast<uint64_t>(length);
            progress.update(done, entry.payloadPath);
            if (static_cast<size_t>(length) < kBlockSize) break;
        }
        close(fd);
    }
    progress.finish();
    error = writer.finish();
    if (error != WriteError::None) return fail(output, error);
    if (!sink.flush()) return fail(output, WriteError::OutputFailed);
    if (!temporary.keepAs(output)) {
        printError(kCommand, "cannot complete " + output + ": " + std::strerror(errno));
        return kExitFailure;
    }
    std::printf("packed %zu files, %llu bytes, into %s: %llu bytes\n", scan.files.size(),
                static_cast<unsigned long long>(packedBytes), output.c_str(),
                static_cast<unsigned long long>(writer.size()));
    return kExitSuccess;
}

}  // namespace swiftsetup
