#pragma once
// The payload a command works on: a payload file as the packer writes it, or the payload that an
// installer program carries as its resource of type 256, name 256. The file is mapped, not read.

#include <cstddef>
#include <cstdint>
#include <string>

namespace swiftsetup {

class MappedFile {
public:
    MappedFile() = default;
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    bool open(const std::string& path, std::string& error);
    const uint8_t* data() const { return data_; }
    size_t size() const { return size_; }

private:
    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
};

struct PayloadSource {
    MappedFile file;
    const uint8_t* data = nullptr;
    uint32_t size = 0;
    bool inProgram = false;   // found in an installer program's resources
    bool pe32Plus = false;
    uint64_t fileOffset = 0;  // of the payload's first byte in the file

    // One line: what was opened and where the payload lies in it.
    std::string describe(const std::string& path) const;
};

// A file that begins like a PE program is read as one (unless rawOnly): its resource of type 256,
// name 256 is the payload. Any other file is the payload itself.
bool openPayload(const std::string& path, bool rawOnly, PayloadSource& source, std::string& error);

}  // namespace swiftsetup
