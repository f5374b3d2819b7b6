#include "tools/payload/payload_source.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <limits>

#include "tools/payload/pe_resource.h"

namespace swiftsetup {

namespace {
constexpr uint16_t kPayloadResourceType = 256;
constexpr uint16_t kPayloadResourceName = 256;
}  // namespace

MappedFile::~MappedFile() {
    if (data_ != nullptr) munmap(const_cast<uint8_t*>(data_), size_);
}

bool MappedFile::open(const std::string& path, std::string& error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    struct stat facts {};
    if (fstat(fd, &facts) != 0 || !S_ISREG(facts.st_mode)) {
        error = path + ": not a regular file";
        close(fd);
        return false;
    }
    size_ = static_cast<size_t>(facts.st_size);
    if (size_ > 0) {
        void* mapping = mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd, 0);
        if (mapping == MAP_FAILED) {
            error = path + ": cannot be mapped: " + std::strerror(errno);
            close(fd);
            size_ = 0;
            return false;
        }
        data_ = static_cast<const uint8_t*>(mapping);
    }
    close(fd);
    return true;
}

std::string PayloadSource::describe(const std::string& path) const {
    if (!inProgram) return path + ": payload file, " + std::to_string(size) + " bytes";
    return path + ": installer program (" + (pe32Plus ? "64-bit" : "32-bit") +
           "), payload resource 256/256 of " + std::to_string(size) + " bytes at file offset " +
           std::to_string(fileOffset);
}

bool openPayload(const std::string& path, bool rawOnly, PayloadSource& source, std::string& error) {
    if (!source.file.open(path, error)) return false;
    const uint8_t* bytes = source.file.data();
    const size_t length = source.file.size();

    if (!rawOnly && looksLikePeProgram(bytes, length)) {
        const PeResourceLookup lookup =
            findPeResource(bytes, length, kPayloadResourceType, kPayloadResourceName);
        switch (lookup.status) {
            case PeResourceLookup::Status::Found: break;
            case PeResourceLookup::Status::NoResources:
                error = path + ": a Windows program without resources, so without a payload";
                return false;
            case PeResourceLookup::Status::NotFound:
                error = path + ": a Windows program without a resource of type 256, name 256";
                return false;
            case PeResourceLookup::Status::NotPe:
            case PeResourceLookup::Status::Malformed:
                error = path + ": a damaged Windows program: " + lookup.problem;
                return false;
        }
        source.inProgram = true;
        source.pe32Plus = lookup.pe32Plus;
        source.fileOffset = lookup.offset;
        source.data = bytes + lookup.offset;
        source.size = lookup.size;
        return true;
    }

    // The installer learns the payload's size as 32 bits; no payload can be larger.
    if (length > std::numeric_limits<uint32_t>::max()) {
        error = path + ": larger than 4 GiB - 1 bytes, so not a payload";
        return false;
    }
    source.data = bytes;
    source.size = static_cast<uint32_t>(length);
    return true;
}

}  // namespace swiftsetup
