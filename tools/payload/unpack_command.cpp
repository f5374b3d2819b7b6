// unpack: the payload's files below a folder on this system, for inspection, by the installer's
// reading rules (the path rule included). Every level is opened without following symbolic
// links, so a link already in the folder cannot lead a file outside it.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "payload/chunk_walker.h"
#include "payload/payload_path.h"
#include "tools/payload/commands.h"
#include "tools/payload/payload_source.h"
#include "tools/payload/printable.h"
#include "tools/payload/progress_display.h"
#include "tools/payload/walk_report.h"

namespace swiftsetup {

namespace {

constexpr char kCommand[] = "unpack";

class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() { reset(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    void reset(int fd = -1) {
        if (fd_ >= 0) close(fd_);
        fd_ = fd;
    }

private:
    int fd_;
};

// Creates the folder and the folders above it that are missing, like mkdir -p.
bool makeFolders(const std::string& folder) {
    std::string path;
    size_t start = 0;
    while (start <= folder.size()) {
        const size_t slash = folder.find('/', start);
        const size_t end = slash == std::string::npos ? folder.size() : slash;
        path = folder.substr(0, end);
        if (!path.empty() && mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) break;
        start = slash + 1;
    }
    struct stat facts {};
    return stat(folder.c_str(), &facts) == 0 && S_ISDIR(facts.st_mode);
}

class Unpacker final : public ChunkVisitor {
public:
    Unpacker(int root, ProgressDisplay& progress) : root_(root), progress_(progress) {}

    bool onFile(const Chunk&, std::string_view path) override {
        file_.reset();
        currentFile.assign(path);
        ++files;
        // The levels above the file: each made if missing and opened without following links.
        Descriptor folder(dup(root_));
        size_t start = 0;
        for (;;) {
            size_t end = start;
            while (end < path.size() && !isPayloadPathSeparator(path[end])) ++end;
            const std::string level(path.substr(start, end - start));
            if (end == path.size()) {
                const int fd = openat(folder.get(), level.c_str(),
                                      O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
                if (fd < 0) return fail("cannot create");
                file_.reset(fd);
                return true;
            }
            if (mkdirat(folder.get(), level.c_str(), 0755) != 0 && errno != EEXIST) {
                return fail("cannot create a folder of");
            }
            const int next = openat(folder.get(), level.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (next < 0) return fail("cannot open a folder of");
            folder.reset(next);
            start = end + 1;
        }
    }

    bool onBlock(const Chunk&, const Block& block) override {
        const uint8_t* bytes = block.bytes;
        size_t length = block.length;
        while (length > 0) {
            const ssize_t n = write(file_.get(), bytes, length);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return fail("cannot write");
            bytes += n;
            length -= static_cast<size_t>(n);
        }
        unpackedBytes += block.length;
        return true;
    }

    void onChunkDone(uint32_t consumed) override { progress_.update(consumed, currentFile); }

    void closeFile() { file_.reset(); }

    std::string currentFile;
    std::string error;
    uint32_t files = 0;
    uint64_t unpackedBytes = 0;

private:
    bool fail(const char* what) {
        error = std::string(what) + " \"" + printable(currentFile) + "\": " + std::strerror(errno);
        return false;
    }

    int root_;
    ProgressDisplay& progress_;
    Descriptor file_;
};

}  // namespace

int unpackCommand(const std::string& path, const std::string& folder, bool rawOnly) {
    PayloadSource source;
    std::string error;
    if (!openPayload(path, rawOnly, source, error)) {
        printError(kCommand, error);
        return kExitFailure;
    }
    if (!makeFolders(folder)) {
        printError(kCommand, folder + ": " + std::strerror(errno));
        return kExitFailure;
    }
    Descriptor root(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (root.get() < 0) {
        printError(kCommand, folder + ": " + std::strerror(errno));
        return kExitFailure;
    }

    ProgressDisplay progress("unpacking", source.size);
    Unpacker unpacker(root.get(), progress);
    const WalkResult walk = walkPayload(source.data, source.size, unpacker, InflateMode::Inflate);
    unpacker.closeFile();
    progress.finish();
    if (walk.fault == PayloadFault::StoppedByVisitor) {
        printError(kCommand, unpacker.error);
        return kExitFailure;
    }
    if (walk.fault != PayloadFault::None) {
        printError(kCommand, path + ": broken at " + describeFault(source, walk, unpacker.currentFile) +
                                 "; the files before it are unpacked");
        return kExitFailure;
    }
    std::printf("unpacked %u files, %llu bytes, into %s\n", unpacker.files,
                static_cast<unsigned long long>(unpacker.unpackedBytes), folder.c_str());
    return kExitSuccess;
}

}  // namespace swiftsetup
